#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <limits>
#include <random>
#include <streambuf>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "failing_allocations.h"
#include "pairly_score/scorer.h"
#include "runtime/text.h"
#include "test_support.h"

namespace {

struct ScorerRun {
  int exitCode;
  std::string output, errors;
};

const DoubleByteTextServices kText;

ScorerRun RunScorer(const std::vector<std::u16string>& arguments, const std::string& input = "") {
  std::istringstream stream(input);
  pairly_score::StreamInput in(stream);
  std::ostringstream out, err;
  const int code = pairly_score::Main(arguments, in, out, err, kText);
  return {code, out.str(), err.str()};
}

ScorerRun RunBatch(const std::string& input, int jobs) {
  std::istringstream stream(input);
  pairly_score::StreamInput in(stream);
  std::ostringstream out, err;
  const int code = pairly_score::ScoreBatch(in, out, err, kText, jobs);
  return {code, out.str(), err.str()};
}

// Input as a pipe gives it: in pieces of at most `piece` bytes, a read never waiting.
class PipeInput : public pairly_score::InputSource {
 public:
  PipeInput(std::string text, std::size_t piece) : text_(std::move(text)), piece_(piece) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    const std::size_t count = text_.copy(buffer, std::min(size, piece_), read_);
    read_ += count;
    return count;
  }
  bool MustWait() override { return false; }
  bool Failed() const override { return false; }
  std::size_t BytesRead() const { return read_; }

 private:
  const std::string text_;
  const std::size_t piece_;
  std::size_t read_ = 0;
};

// Output that takes the first `room` bytes and refuses the rest, as a full disk does.
class FullDevice : public std::streambuf {
 public:
  explicit FullDevice(std::size_t room) : room_(room) {}
  const std::string& Text() const { return text_; }

 private:
  std::streamsize xsputn(const char* bytes, std::streamsize count) override {
    const std::size_t taken = std::min(static_cast<std::size_t>(count), room_ - text_.size());
    text_.append(bytes, taken);
    return static_cast<std::streamsize>(taken);
  }
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char byte = traits_type::to_char_type(c);
    return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
  }
  const std::size_t room_;
  std::string text_;
};

// Lines of every kind a batch may hold, none of them bad, with the names each one gives.
struct MixedInput {
  std::string text;
  std::vector<std::pair<std::u16string, std::u16string>> names;
};

MixedInput MakeMixedInput(int lines) {
  const std::string pool[] = {"a",
                              "B",
                              "c",
                              " ",
                              "\xC3\xA9",
                              "\xC3\x89",
                              "\xC3\xBF",
                              "\xC5\xB8" /* Ÿ */,
                              "\xCE\xB1",
                              "\xE2\x82\xAC",
                              "\xF0\x90\x90\xA8",
                              "\xF0\x9F\x98\x80"};
  std::mt19937 random(4242);
  const auto name = [&](int longest) {
    std::string s;
    const int length = std::uniform_int_distribution<int>(0, longest)(random);
    for (int i = 0; i < length; ++i) s += pool[random() % std::size(pool)];
    return s;
  };
  MixedInput input;
  for (int line = 0; line < lines; ++line) {
    std::string first = name(line % 400 == 0 ? 1500 : 12), second = name(12);
    if (line % 7 == 0) second = first;
    if (line % 11 == 0) second.append("\t").append(name(3));  // the first tab splits
    input.text.append(first).append("\t").append(second).append(line % 5 == 0 ? "\r\n" : "\n");
    input.names.emplace_back(runtime::Utf8ToUtf16(first), runtime::Utf8ToUtf16(second));
  }
  return input;
}

TEST(Scorer, PairPrintsWarningsThenBothCaptions) {
  const ScorerRun run = RunScorer({u"", u"SITA"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, "warning: Enter Your Name!!!\n0\n0%\n");

  EXPECT_EQ(RunScorer({u"RAM", u"SITA"}).output, "0.714285714285714\n71%\n");
}

TEST(Scorer, LongNamesScoreToTheLastDigit) {
  // 328 matched of 2,067: a quotient that rounds differently when computed at the x87 unit's
  // 64-bit precision and then rounded to double ("...925"); every build must print "...926".
  const std::u16string common(328, u'A');
  EXPECT_EQ(
      RunScorer({common + std::u16string(705, u'B'), common + std::u16string(706, u'C')}).output,
      "0.793420416061926\n79%\n");
}

TEST(Scorer, PairReportsRuntimeErrorsAndUsage) {
  const ScorerRun error = RunScorer({u"A", u"\u3042"});
  EXPECT_EQ(error.exitCode, 1);
  EXPECT_EQ(error.output, "");
  EXPECT_EQ(error.errors, "pairly-score: run-time error 6: Overflow\n");

  const ScorerRun usage = RunScorer({u"only one"});
  EXPECT_EQ(usage.exitCode, 2);
  EXPECT_NE(usage.errors.find("usage:"), std::string::npos);

  EXPECT_EQ(RunScorer({u"--jobs", u"2", u"--batch"}, "ABC\tABD\n").output,
            "1.66666666666667\t166%\n");
  for (const char16_t* jobs : {u"0", u"x", u"257"}) {
    EXPECT_EQ(RunScorer({u"--batch", u"--jobs", jobs}).exitCode, 2);
  }
}

TEST(Scorer, BlocksComeFirstAsTheScoreCountedThem) {
  // 0-based "I J SIZE" in the order of the first name, upper-cased: J and N make 125%.
  EXPECT_EQ(RunScorer({u"--blocks", u"john", u"JANE"}).output, "0 0 1\n3 2 1\n1.25\n125%\n");
  EXPECT_EQ(RunScorer({u"--blocks", u"xyzAB", u"ABxyz"}).output, "0 2 3\n1.5\n150%\n");
  // Names equal once upper-cased, or an empty one, score without a count: no blocks.
  EXPECT_EQ(RunScorer({u"--blocks", u"anna", u"ANNA"}).output, "1\n100%\n");
  EXPECT_EQ(RunScorer({u"--blocks", u"", u"SITA"}).output, "warning: Enter Your Name!!!\n0\n0%\n");
  const ScorerRun error = RunScorer({u"--blocks", u"A", u"\u3042"});
  EXPECT_EQ(error.exitCode, 1);
  EXPECT_EQ(error.output, "");
  EXPECT_EQ(RunScorer({u"--blocks", u"A", u"B", u"C"}).exitCode, 2);
  // Without a third argument it is a name, as before.
  EXPECT_EQ(RunScorer({u"--blocks", u"--BLOCKS"}).output, "1\n100%\n");
}

TEST(Scorer, BatchScoresEachLineWithoutWarnings) {
  const ScorerRun run = RunScorer({u"--batch"},
                                  "ABC\tABD\n\t\nJOHN\tJANE\r\nA\t\nAB\tAB\tX\n"
                                  "\xC3\xA9t\xC3\xA9\t\xC3\x89T\xC3\x89\n\xC3\xA9t\xC3\xA9\tETE\n");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output,
            "1.66666666666667\t166%\n1\t100%\n1.25\t125%\n0\t0%\n"
            "1.66666666666667\t166%\n"  // a second tab belongs to the second name
            "1\t100%\n"
            "0.833333333333333\t83%\n");
  EXPECT_EQ(run.errors, "");

  // A last line without a line end is a line too.
  EXPECT_EQ(RunScorer({u"--batch"}, "ABC\tABD\nA\tB").output, "1.66666666666667\t166%\n0\t0%\n");
}

TEST(Scorer, BatchStopsAtTheFirstBadLineNamingIt) {
  const struct {
    std::string input, message;
  } cases[] = {
      {"AB\tAB\nno tab here\nAB\tAB\n", "pairly-score: line 2: no tab between the two names\n"},
      {"AB\tAB\nA\xFF\tB\n", "pairly-score: line 2: not valid UTF-8\n"},
      {"AB\tAB\nA\t\xE3\x81\x82\n", "pairly-score: line 2: run-time error 6: Overflow\n"},
  };
  for (const auto& c : cases) {
    const ScorerRun run = RunScorer({u"--batch"}, c.input);
    EXPECT_NE(run.exitCode, 0);
    EXPECT_EQ(run.output, "1\t100%\n");  // the lines before it are printed
    EXPECT_EQ(run.errors, c.message);
  }
}

// A large input scored on several threads prints what one thread prints: each line what a
// click on its names shows, in input order; a bad line near the end stops both alike.
TEST(Scorer, BatchOnSeveralJobsPrintsWhatOneJobPrints) {
  constexpr int kLines = 20000, kBad = 19990;
  const MixedInput input = MakeMixedInput(kLines);
  std::string expected, expectedBeforeBad;
  for (std::size_t i = 0; i < input.names.size(); ++i) {
    const std::vector<std::string> shown =
        pairly_score::ScorePair(input.names[i].first, input.names[i].second, kText);
    expected += shown[shown.size() - 2] + "\t" + shown.back() + "\n";
    if (i + 1 == kBad - 1) expectedBeforeBad = expected;
  }
  std::size_t badAt = 0;
  for (int line = 1; line < kBad; ++line) badAt = input.text.find('\n', badAt) + 1;

  for (const int jobs : {1, 3}) {
    SCOPED_TRACE(testing::Message() << jobs << " jobs");
    const ScorerRun all = RunBatch(input.text, jobs);
    EXPECT_EQ(all.exitCode, 0);
    EXPECT_TRUE(all.output == expected);  // (not printed whole when it fails: too long)
    EXPECT_EQ(all.errors, "");

    for (const auto& [bad, why] : {std::pair{"no tab", "no tab between the two names"},
                                   {"A\xFF\tB", "not valid UTF-8"},
                                   {"A\t\xE3\x81\x82", "run-time error 6: Overflow"}}) {
      std::string withBad = input.text;
      withBad.insert(badAt, std::string(bad) + "\n");
      const ScorerRun run = RunBatch(withBad, jobs);
      EXPECT_EQ(run.exitCode, 1);
      EXPECT_TRUE(run.output == expectedBeforeBad) << why;
      EXPECT_EQ(run.errors, "pairly-score: line " + std::to_string(kBad) + ": " + why + "\n");
    }
  }
}

// A program that sends a line and waits for its answer gets it before the next read: the
// answer is flushed, not only written. A line end counts from the read that brought it, even
// when later reads, before the input must be waited for, bring none.
TEST(Scorer, BatchAnswersWhatItHasReadBeforeWaitingForMore) {
  // Output a reader sees only once it is flushed, as through a pipe.
  class ShownWhenFlushed : public std::stringbuf {
   public:
    std::string shown;

   private:
    int sync() override {
      shown = str();
      return 0;
    }
  };
  // Input in the pieces given; before each, whether the writer is still to send it.
  struct Piece {
    bool mustWait;
    std::string_view text;
  };
  class Conversation : public pairly_score::InputSource {
   public:
    Conversation(const ShownWhenFlushed& output, std::vector<Piece> pieces)
        : output_(output), pieces_(std::move(pieces)) {}
    std::size_t Read(char* buffer, std::size_t) override {
      shownAtRead.push_back(output_.shown);
      if (next_ == pieces_.size()) return 0;
      const std::string_view piece = pieces_[next_++].text;
      piece.copy(buffer, piece.size());
      return piece.size();
    }
    bool MustWait() override { return next_ == pieces_.size() || pieces_[next_].mustWait; }
    bool Failed() const override { return false; }
    std::vector<std::string> shownAtRead;

   private:
    const ShownWhenFlushed& output_;
    const std::vector<Piece> pieces_;
    std::size_t next_ = 0;
  };
  const std::string first = "1.66666666666667\t166%\n", both = first + "1.25\t125%\n";
  const struct {
    std::vector<Piece> pieces;  // the last without a line end: the input's end ends it
    std::vector<std::string> shownAtRead;
  } conversations[] = {
      {{{true, "ABC\tABD\n"}, {true, "JOHN\tJANE"}}, {"", first, first}},
      {{{true, "ABC\tABD\nJO"}, {false, "HN\tJA"}, {true, "NE"}}, {"", "", first, first}},
  };
  for (const auto& conversation : conversations) {
    ShownWhenFlushed shown;
    std::ostream out(&shown);
    std::ostringstream err;
    Conversation input(shown, conversation.pieces);
    EXPECT_EQ(pairly_score::ScoreBatch(input, out, err, kText, 2), 0);
    EXPECT_EQ(input.shownAtRead, conversation.shownAtRead);
    EXPECT_EQ(shown.shown, both);
  }
}

// A line longer than any block, from a pipe in small pieces, is read whole: each name's
// length exact, so that the two are equal once upper-cased.
TEST(Scorer, BatchReadsALongLineFromAPipeWhole) {
  constexpr std::size_t kLength = 9u << 20;  // the line is beyond the 16 MiB read alone
  const std::string input =
      "ABC\tABD\n" + std::string(kLength, 'A') + "\t" + std::string(kLength, 'a') + "\nRAM\tSITA";
  for (const int jobs : {1, 2}) {
    PipeInput pipe(input, 16 << 10);
    std::ostringstream out, err;
    EXPECT_EQ(pairly_score::ScoreBatch(pipe, out, err, kText, jobs), 0);
    EXPECT_EQ(out.str(), "1.66666666666667\t166%\n1\t100%\n0.714285714285714\t71%\n");
    EXPECT_EQ(err.str(), "");
  }
}

// When the results cannot be written, the scorer names the first line not out, and stops
// reading and scoring soon after.
TEST(Scorer, BatchStopsAtAFailedWriteNamingTheLine) {
  constexpr int kLines = 500000;
  const std::string result = "1.66666666666667\t166%\n";
  std::string input;
  for (int i = 0; i < kLines; ++i) input += "ABC\tABD\n";
  const std::size_t room = 150000 + result.size() / 2;  // the disk fills half-way into a line
  for (const int jobs : {1, 3}) {
    SCOPED_TRACE(testing::Message() << jobs << " jobs");
    PipeInput pipe(input, 64 << 10);
    FullDevice device(room);
    std::ostream out(&device);
    std::ostringstream err;
    EXPECT_EQ(pairly_score::ScoreBatch(pipe, out, err, kText, jobs), 1);
    std::string written;
    while (written.size() < room) written += result;
    EXPECT_EQ(device.Text(), written.substr(0, room));
    EXPECT_EQ(err.str(), "pairly-score: line " + std::to_string(room / result.size() + 1) +
                             ": cannot write the results\n");
    EXPECT_LT(pipe.BytesRead(), input.size() / 4);
  }
}

// Output whose flush fails, as a pipe whose reader has gone, after taking every byte.
TEST(Scorer, BatchStopsAtAFailedFlushNamingTheFirstLineNotKnownToBeOut) {
  class FailingFlush : public std::stringbuf {
    int sync() override { return -1; }
  };
  FailingFlush failing;
  std::ostream out(&failing);
  std::istringstream stream("ABC\tABD\nJOHN\tJANE\n");
  pairly_score::StreamInput in(stream);
  std::ostringstream err;
  EXPECT_EQ(pairly_score::ScoreBatch(in, out, err, kText, 1), 1);
  EXPECT_EQ(err.str(), "pairly-score: line 1: cannot write the results\n");
}

#ifndef _WIN32
// A poll interrupted by a signal is asked again; one that fails never reads as "ready".
TEST(Scorer, InputThatCannotBePolledIsNeverReady) {
  static int interruptions = 0, error = 0, answer = 0, calls = 0;
  const pairly_score::PollFunction poll = [](pollfd*, nfds_t, int) {
    ++calls;
    if (interruptions > 0 || error != 0) {
      errno = interruptions-- > 0 ? EINTR : error;
      return -1;
    }
    return answer;
  };
  const struct {
    int interruptions, error, answer;
    bool mayWait;
  } cases[] = {{2, 0, 1, false}, {1, 0, 0, true}, {0, EBADF, 0, true}, {0, ENOMEM, 1, true}};
  for (const auto& c : cases) {
    interruptions = c.interruptions, error = c.error, answer = c.answer, calls = 0;
    EXPECT_EQ(pairly_score::ReadMayWait(0, poll), c.mayWait) << c.interruptions << " " << c.error;
    EXPECT_EQ(calls, c.interruptions + 1);
  }
}
#endif

// Memory running out while a line is matched, or while it is read, is that line's error, on
// any number of jobs, and the two-name form says so too.
TEST(Scorer, OutOfMemoryIsReportedForItsLine) {
  // Failing from six bytes per character on: more than reading and decoding the names take,
  // less than matching them needs.
  constexpr std::size_t kLength = 100000;
  std::mt19937 random(77);
  std::string name1(kLength, 'A'), name2(kLength, 'A');
  for (std::string* name : {&name1, &name2}) {
    for (char& c : *name) c = static_cast<char>('A' + random() % 26);
  }
  const std::string input = "ABC\tABD\nJOHN\tJANE\n" + name1 + "\t" + name2 + "\nRAM\tSITA\n";
  // Some blocks of short lines, then a line whose block cannot grow to hold it.
  std::string shortLines, shortResults;
  for (int i = 0; i < 20000; ++i)
    shortLines += "ABC\tABD\n", shortResults += "1.66666666666667\t166%\n";
  const std::string unreadable = shortLines + std::string(3 << 20, 'A') + "\tA\nRAM\tSITA\n";
  for (const int jobs : {1, 2}) {
    SCOPED_TRACE(testing::Message() << jobs << " jobs");
    {
      const FailingAllocations failing(6 * kLength);
      const ScorerRun run = RunBatch(input, jobs);
      EXPECT_GT(failing.Failures(), 0);
      EXPECT_EQ(run.exitCode, 1);
      EXPECT_EQ(run.output, "1.66666666666667\t166%\n1.25\t125%\n");
      EXPECT_EQ(run.errors, "pairly-score: line 3: out of memory\n");
    }
    PipeInput pipe(unreadable, 64 << 10);
    std::ostringstream out, err;
    const FailingAllocations failing(1 << 20);
    EXPECT_EQ(pairly_score::ScoreBatch(pipe, out, err, kText, jobs), 1);
    EXPECT_GT(failing.Failures(), 0);
    EXPECT_TRUE(out.str() == shortResults);
    EXPECT_EQ(err.str(), "pairly-score: line 20001: out of memory\n");
  }

  const FailingAllocations failing(6 * kLength);
  const ScorerRun pair = RunScorer({runtime::Utf8ToUtf16(name1), runtime::Utf8ToUtf16(name2)});
  EXPECT_GT(failing.Failures(), 0);
  EXPECT_EQ(pair.exitCode, 1);
  EXPECT_EQ(pair.output, "");
  EXPECT_EQ(pair.errors, "pairly-score: out of memory\n");
}

// A line that ran out of memory only because other lines were scored or read at the same time
// is tried again alone, and scores. The machine has room for one long line's matching, not two.
TEST(Scorer, LineOutOfMemoryAmongOthersScoresAlone) {
  constexpr std::size_t kLength = 60000;
  std::mt19937 random(1209);
  const auto name = [&] {
    std::string text(kLength, 'A');
    for (char& c : text) c = static_cast<char>('A' + random() % 26);
    return text;
  };
  std::string input;
  for (int i = 0; i < 10000; ++i) input += "ABC\tABD\n";  // a block of its own: the jobs start
  for (int i = 0; i < 4; ++i) input += name() + "\t" + name() + "\n";
  input += "RAM\tSITA\n";
  const ScorerRun expected = RunBatch(input, 1);
  ASSERT_EQ(expected.exitCode, 0);

  // What one job holds at most, a long line's matching included.
  int64_t alone = 0;
  {
    const auto counting = FailingAllocations::Beyond(std::numeric_limits<int64_t>::max());
    RunBatch(input, 1);
    alone = counting.PeakBytes();
  }
  // Room for that and a little more than the other lines waiting meanwhile take, far from
  // a second matching. Two lines are not always matched at once: a few tries.
  int caught = 0;
  for (int attempt = 0; attempt < 10 && caught == 0; ++attempt) {
    const auto budget = FailingAllocations::Beyond(alone * 7 / 5);
    const ScorerRun run = RunBatch(input, 2);
    caught = budget.Failures();
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    ASSERT_TRUE(run.output == expected.output);
  }
  EXPECT_GT(caught, 0);
}

// Upper-casing that runs out of memory the first time it meets the marked character, as a line
// scored beside others may, and takes its time when asked again: while the line is tried alone.
class RetryWatch : public DoubleByteTextServices {
 public:
  static constexpr char16_t kMark = u'\u2603';
  std::u16string UpperCase(std::u16string_view text) const override {
    if (text.find(kMark) != std::u16string_view::npos) {
      if (!met_.exchange(true)) throw std::bad_alloc();
      ++retry_;  // odd while the line is tried alone
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      ++retry_;
    }
    return DoubleByteTextServices::UpperCase(text);
  }
  int Retry() const { return retry_; }
  int Retries() const { return retry_ / 2; }

 private:
  mutable std::atomic<bool> met_ = false;
  mutable std::atomic<int> retry_ = 0;
};

// A slow pipe that counts the reads overlapping a retry.
class WatchedPipe : public PipeInput {
 public:
  WatchedPipe(std::string text, const RetryWatch& watch)
      : PipeInput(std::move(text), 64 << 10), watch_(watch) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    const int before = watch_.Retry();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const std::size_t count = PipeInput::Read(buffer, size);
    if (before % 2 == 1 || watch_.Retry() != before) ++overlapping_;
    return count;
  }
  int Overlapping() const { return overlapping_; }

 private:
  const RetryWatch& watch_;
  std::atomic<int> overlapping_ = 0;
};

// Alone means the reader too stands aside: no block grows while the line is tried again.
TEST(Scorer, LineTriedAloneWaitsForTheReader) {
  std::string input;
  for (int i = 0; i < 10000; ++i) input += "ABC\tABD\n";  // a block of its own: the jobs start
  input += runtime::Utf16ToUtf8(std::u16string(1, RetryWatch::kMark)) + "AB\tABD\n";
  for (int i = 0; i < 200000; ++i) input += "RAM\tSITA\n";  // still being read meanwhile
  const ScorerRun expected = RunBatch(input, 1);
  ASSERT_EQ(expected.exitCode, 0);

  const RetryWatch watch;
  WatchedPipe pipe(input, watch);
  std::ostringstream out, err;
  EXPECT_EQ(pairly_score::ScoreBatch(pipe, out, err, watch, 2), 0) << err.str();
  EXPECT_TRUE(out.str() == expected.output);
  EXPECT_EQ(watch.Retries(), 1);
  EXPECT_EQ(pipe.Overlapping(), 0);
}

}  // namespace
