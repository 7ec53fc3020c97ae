// The batch mode: lines read in large pieces, scored in blocks of whole lines (on several
// threads when the input is large), the results written in input order in large pieces.
#include <algorithm>
#include <atomic>
#include <bit>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "calculate/calculate.h"
#include "pairly_score/scorer.h"
#include "runtime/number_text.h"
#include "runtime/text.h"
#include "scoring/pair_scorer.h"

namespace pairly_score {
namespace {

// Input is read, and handed out as work, in pieces of about this size.
constexpr std::size_t kBlockBytes = std::size_t{64} << 10;
// A line longer than this is read only once every line before it is scored, so that the
// memory of long lines is not needed for several at once.
constexpr std::size_t kLongLine = std::size_t{16} << 20;
// Buffers grown beyond this for long lines are given back once their block is written.
constexpr std::size_t kKeptBytes = 4 * kBlockBytes;

// Whether the text is ASCII, and so its own UTF-8 with one code unit a byte.
bool IsAscii(std::string_view text) {
  unsigned char bits = 0;
  for (const char byte : text) bits |= static_cast<unsigned char>(byte);
  return bits < 0x80;
}

// Why a line could not be scored.
enum class Fault { kNone, kNoTab, kBadUtf8, kRuntimeError, kOutOfMemory };

// Whole lines of the input and their results.
struct Block {
  std::string input;
  std::string output;
  int64_t lines = 0;  // lines scored, each with its result in `output`
  Fault fault = Fault::kNone;
  runtime::ErrorKind error = runtime::ErrorKind::kOverflow;  // for kRuntimeError
  std::size_t faultAt = 0;                                   // where the bad line starts in `input`
  int64_t sequence = 0;                                      // its place in the input
  bool concurrent = false;  // scored while other blocks may have been
};

// Scores lines one after the other, reusing its buffers from one line to the next.
class LineScorer {
 public:
  LineScorer(const runtime::TextServices& text, std::u16string_view separator)
      : scorer_(text), separator_(separator), texts_(std::size_t{1} << kTextsBits) {}

  // Scores the block's lines from `from` on, until its end, the first bad line, or `stop`.
  void Score(Block& block, std::size_t from, const std::atomic<bool>& stop) {
    const std::string_view input(block.input);
    for (std::size_t start = from; start < input.size();) {
      if (stop.load(std::memory_order_relaxed)) break;
      const std::size_t end = std::min(input.find('\n', start), input.size());
      block.fault = ScoreLine(input.substr(start, end - start), block.output, block.error);
      if (block.fault != Fault::kNone) {
        block.faultAt = start;
        break;
      }
      ++block.lines;
      start = end + 1;
    }
    Trim();
  }

 private:
  // The results of a score, kept by its value: names of ordinary length give a few hundred
  // values, each looked for in a few neighbouring places and kept in the first free one.
  struct Texts {
    uint64_t score;
    uint8_t size;  // 0 while unused
    char text[55];
  };
  static constexpr int kTextsBits = 10;
  static constexpr std::size_t kPlaces = 8;

  Fault ScoreLine(std::string_view line, std::string& output, runtime::ErrorKind& error) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) return Fault::kNoTab;
    const std::size_t mark = output.size();
    try {
      if (IsAscii(line)) {
        AppendResults(scorer_.ScoreAscii(line.substr(0, tab), line.substr(tab + 1)), output);
        return Fault::kNone;
      }
      const bool valid1 = runtime::DecodeUtf8(line.substr(0, tab), first_);
      const bool valid2 = runtime::DecodeUtf8(line.substr(tab + 1), second_);
      if (!valid1 || !valid2) return Fault::kBadUtf8;
      AppendResults(scorer_.Score(first_, second_), output);
      return Fault::kNone;
    } catch (const runtime::RuntimeError& raised) {
      error = raised.Kind();
      output.resize(mark);
      return Fault::kRuntimeError;
    } catch (const std::bad_alloc&) {
      output.resize(mark);
      return Fault::kOutOfMemory;
    } catch (const std::length_error&) {  // a size beyond what can be allocated at all
      output.resize(mark);
      return Fault::kOutOfMemory;
    }
  }

  // "RESULT2<TAB>RESULT\n" for the score: the captions a click shows for it.
  void AppendResults(double score, std::string& output) {
    const auto bits = std::bit_cast<uint64_t>(score);
    const std::size_t home = (bits * 0x9E3779B97F4A7C15u) >> (64 - kTextsBits);
    Texts* free = nullptr;
    for (std::size_t place = 0; place < kPlaces; ++place) {
      Texts& kept = texts_[(home + place) & (texts_.size() - 1)];
      if (kept.size == 0) {
        free = &kept;
        break;
      }
      if (kept.score == bits) {
        output.append(kept.text, kept.size);
        return;
      }
    }
    const std::u16string scoreText = runtime::NumberToText(score, separator_);
    const std::string line = runtime::Utf16ToUtf8(scoreText) + '\t' +
                             runtime::Utf16ToUtf8(calculate::PercentText(scoreText, separator_)) +
                             '\n';
    output += line;
    if (free && line.size() <= sizeof free->text) {
      line.copy(free->text, line.size());
      free->score = bits;
      free->size = static_cast<uint8_t>(line.size());
    }
  }

  void Trim() {
    scorer_.Trim();
    for (std::u16string* name : {&first_, &second_}) {
      if (name->capacity() > kKeptBytes) std::u16string().swap(*name);
    }
  }

  scoring::PairScorer scorer_;
  const std::u16string separator_;
  std::u16string first_;
  std::u16string second_;
  std::vector<Texts> texts_;
};

// The run. Every thread, this one included, takes the next block of input, scores it and
// writes whatever is next in input order: a block's lines and results stay with the core
// that read them, and no thread waits on another while there is input left.
class BatchRun {
 public:
  BatchRun(InputSource& input, std::ostream& output, std::ostream& errors,
           const runtime::TextServices& text, int jobs)
      : input_(input),
        output_(output),
        errors_(errors),
        text_(text),
        separator_(text.DecimalSeparator()),
        jobs_(jobs),
        mainScorer_(text, separator_) {}
  BatchRun(const BatchRun&) = delete;
  BatchRun& operator=(const BatchRun&) = delete;

  ~BatchRun() {
    Stop();
    for (std::thread& worker : workers_) worker.join();
  }

  int Run() {
    Work(mainScorer_);
    for (std::thread& worker : workers_) worker.join();
    workers_.clear();
    if (reported_) return 1;
    // Memory ran out outside any one line's scoring, or the input could not be read: the
    // lines before the first one not answered are, and that one is named.
    if (outOfMemory_ || inputOutOfMemory_) return Report(linesWritten_ + 1, "out of memory");
    if (inputFailed_) return Report(linesWritten_ + 1, "cannot read the input");
    output_.flush();
    if (!output_) {
      errors_ << "pairly-score: cannot write the results\n";
      return 1;
    }
    return 0;
  }

 private:
  // How the reading of a block ended.
  enum class ReadEnd { kLines, kInputEnded, kInputFailed, kOutOfMemory, kStopped };

  void Work(LineScorer& scorer) {
    try {
      while (std::unique_ptr<Block> block = ReadBlock()) {
        BeginScoring();
        scorer.Score(*block, 0, stop_);
        if (--scoring_ == 0 && retrying_) Notify();  // the retry waits for this
        Deliver(std::move(block), scorer);
      }
    } catch (const std::bad_alloc&) {
      OutOfMemory();
    } catch (const std::length_error&) {  // a size beyond what can be allocated at all
      OutOfMemory();
    }
  }

  // Gives the reader's role back however ReadBlock ends.
  class ReaderRole {
   public:
    ReaderRole(BatchRun& run, std::unique_lock<std::mutex>& lock) : run_(run), lock_(lock) {
      run_.reading_ = true;
      run_.readerWorking_ = true;
    }
    ReaderRole(const ReaderRole&) = delete;
    ReaderRole& operator=(const ReaderRole&) = delete;
    ~ReaderRole() {
      if (!lock_.owns_lock()) lock_.lock();
      run_.reading_ = false;
      run_.readerWorking_ = false;
      run_.changed_.notify_all();
    }

   private:
    BatchRun& run_;
    std::unique_lock<std::mutex>& lock_;
  };

  // The next block of whole lines; none once the input is done or the run stopped.
  std::unique_ptr<Block> ReadBlock() {
    std::unique_lock lock(mutex_);
    // One reader at a time, none while a line is tried again alone, and not too far ahead of
    // the writing.
    changed_.wait(lock, [&] {
      return stopped_ || (!reading_ && !retrying_ && nextSequence_ - nextToWrite_ < MaxAhead());
    });
    if (stopped_ || inputEnded_) return nullptr;
    const ReaderRole role(*this, lock);
    const int64_t sequence = nextSequence_;
    std::unique_ptr<Block> block = TakeSpare();
    lock.unlock();

    // (carry_ is the reader's alone.)
    std::optional<ReadEnd> end = WithMemory(sequence, [&] {
      if (!block) block = std::make_unique<Block>();
      block->input.assign(carry_);
    });
    if (!end) end = Fill(*block, sequence);
    if (end == ReadEnd::kStopped) return nullptr;
    // The unfinished last line waits for the next reader; when the input broke off or memory
    // ran out, it is the line that cannot be answered. At the end, a last line without a line
    // end counts.
    std::size_t complete = 0;
    if (block) {
      complete = block->input.size();
      if (end != ReadEnd::kInputEnded) {
        const std::size_t lineEnd = block->input.rfind('\n');
        complete = lineEnd == std::string::npos ? 0 : lineEnd + 1;
      }
    }
    if (end == ReadEnd::kLines) {
      if (const auto kept = WithMemory(sequence, [&] { carry_.assign(block->input, complete); })) {
        if (kept == ReadEnd::kStopped) return nullptr;
        end = kept;
      }
    } else {
      carry_.clear();
    }
    const bool full = block && block->input.size() >= kBlockBytes;
    if (block) block->input.resize(complete);
    if (end == ReadEnd::kLines && full && jobs_ > 1 && !workersStarted_) StartWorkers();

    lock.lock();
    inputEnded_ = end != ReadEnd::kLines;
    inputFailed_ = end == ReadEnd::kInputFailed;
    inputOutOfMemory_ = end == ReadEnd::kOutOfMemory;
    if (complete == 0) return nullptr;
    block->sequence = nextSequence_++;
    block->concurrent = workersStarted_;
    return block;
  }

  // Reads into the block, after what it holds, until it holds kBlockBytes and a line end or
  // the input ends. Each byte is looked at once for a line end and a long line's block grows
  // by doubling, so that a line of any length is read in time linear in its length, however
  // small the pieces the input comes in.
  ReadEnd Fill(Block& block, int64_t sequence) {
    std::string& input = block.input;
    std::size_t filled = input.size();  // the rest of `input` is room to read into
    std::size_t searched = 0;
    bool lineEnd = false;
    const auto look = [&] {
      lineEnd = lineEnd || std::memchr(input.data() + searched, '\n', filled - searched);
      searched = filled;
    };
    const auto end = [&](ReadEnd how) {
      input.resize(filled);
      return how;
    };
    look();
    for (;;) {
      if (!GoOnReading()) return end(ReadEnd::kStopped);
      if (input_.MustWait()) {
        // Everything read so far is answered before waiting for more.
        if (lineEnd) return end(ReadEnd::kLines);
        if (!WaitWritten(sequence)) return end(ReadEnd::kStopped);
      }
      if (filled >= kLongLine && !WaitWritten(sequence)) return end(ReadEnd::kStopped);
      if (filled == input.size()) {
        // Blocks are filled to kBlockBytes, so that a block used again needs no new memory.
        const std::size_t size =
            filled < kBlockBytes ? kBlockBytes : std::min(2 * filled, input.max_size());
        if (size == filled) return end(ReadEnd::kOutOfMemory);
        if (const auto failed = WithMemory(sequence, [&] { input.resize(size); })) {
          return end(*failed);
        }
      }
      const std::size_t read = input_.Read(input.data() + filled, input.size() - filled);
      if (read == 0) return end(input_.Failed() ? ReadEnd::kInputFailed : ReadEnd::kInputEnded);
      filled += read;
      look();
      if (filled >= kBlockBytes && lineEnd) return end(ReadEnd::kLines);
    }
  }

  // Runs `allocate`. When memory runs out, waits until the blocks before this one are written,
  // which gives theirs back, and tries once more. Nothing when it succeeded; otherwise what
  // ends the reading.
  template <typename Allocate>
  std::optional<ReadEnd> WithMemory(int64_t sequence, Allocate allocate) {
    for (bool waited = false;; waited = true) {
      try {
        allocate();
        return std::nullopt;
      } catch (const std::bad_alloc&) {
      } catch (const std::length_error&) {
      }
      if (waited) return ReadEnd::kOutOfMemory;
      if (!WaitWritten(sequence)) return ReadEnd::kStopped;
    }
  }

  // Puts the scored block in its place and writes what is next in input order: one thread at
  // a time writes, without the lock, while the others go on. A line that ran out of memory
  // while other lines were scored or read gets a second try alone first, as it would with one
  // job.
  void Deliver(std::unique_ptr<Block> block, LineScorer& scorer) {
    std::unique_lock lock(mutex_);
    const auto place = static_cast<std::size_t>(block->sequence - nextToWrite_);
    if (waiting_.size() <= place) waiting_.resize(place + 1);
    waiting_[place] = std::move(block);
    if (writing_) return;  // the thread writing takes this one too
    writing_ = true;
    while (!stopped_ && !retrying_ && !waiting_.empty() && waiting_.front()) {
      Block& head = *waiting_.front();
      if (head.fault == Fault::kOutOfMemory && head.concurrent) {
        // Really alone: the reader, too, waits, so that no block grows meanwhile.
        retrying_ = true;
        changed_.wait(lock, [&] { return (scoring_ == 0 && !readerWorking_) || stopped_; });
        head.fault = Fault::kNone;
        head.concurrent = false;
        lock.unlock();
        scorer.Score(head, head.faultAt, stop_);
        lock.lock();
        retrying_ = false;
        changed_.notify_all();
        continue;
      }
      std::unique_ptr<Block> next = std::move(waiting_.front());
      waiting_.pop_front();
      ++nextToWrite_;
      lock.unlock();
      int64_t linesOut = 0;
      const bool wrote = Write(*next, linesOut);
      lock.lock();
      linesWritten_ += linesOut;
      if (!wrote) {
        // Nothing more is read or scored: its results could not be written either.
        Report(linesWritten_ + 1, "cannot write the results");
        break;
      }
      if (next->fault != Fault::kNone) {
        Report(linesWritten_ + 1, Why(*next));
        break;
      }
      ++written_;
      Recycle(std::move(next));
      changed_.notify_all();
    }
    writing_ = false;
    changed_.notify_all();
  }

  // Writes the block's results and flushes them, so that a failure shows at the block it
  // happens in, and a program waiting for an answer gets it. `linesOut`: how many of the
  // block's lines are known to be out (a piece the stream took but could not pass on is not).
  bool Write(const Block& block, int64_t& linesOut) {
    const std::string& text = block.output;
    const auto size = static_cast<std::streamsize>(text.size());
    std::streambuf* const buffer = output_.rdbuf();
    const std::streamsize put = buffer && output_ ? buffer->sputn(text.data(), size) : 0;
    output_.flush();
    if (put == size && output_) {
      linesOut = block.lines;
      return true;
    }
    linesOut = output_ ? std::count(text.data(), text.data() + put, '\n') : 0;
    return false;
  }

  // Waits, as the reader, until every block before this one is written; false once the run
  // stopped.
  bool WaitWritten(int64_t sequence) {
    std::unique_lock lock(mutex_);
    readerWorking_ = false;  // a line tried again alone need not wait for this one
    changed_.notify_all();
    changed_.wait(lock, [&] { return stopped_ || (written_ == sequence && !writing_); });
    readerWorking_ = true;
    return !stopped_;
  }

  // As the reader: steps aside while a line is tried again alone, so that no block grows
  // meanwhile; false once the run stopped.
  bool GoOnReading() {
    std::unique_lock lock(mutex_);
    if (retrying_) {
      readerWorking_ = false;
      changed_.notify_all();
      changed_.wait(lock, [&] { return !retrying_ || stopped_; });
      readerWorking_ = true;
    }
    return !stopped_;
  }

  // Counts this thread among those scoring, unless a line is being tried again alone: then it
  // steps aside until that is done. (Each side looks at the other's flag after setting its
  // own, so one of them always sees the other.)
  void BeginScoring() {
    for (;;) {
      ++scoring_;
      if (!retrying_) return;
      std::unique_lock lock(mutex_);
      if (--scoring_ == 0) changed_.notify_all();
      changed_.wait(lock, [&] { return !retrying_ || stopped_; });
      if (stopped_) {
        ++scoring_;  // (the scoring stops at once)
        return;
      }
    }
  }

  void Notify() {
    const std::lock_guard lock(mutex_);
    changed_.notify_all();
  }

  int64_t MaxAhead() const { return 4 * static_cast<int64_t>(jobs_); }

  // Reports the bad line (with the mutex held, or once the other threads are done) and stops.
  int Report(int64_t line, const std::string& why) {
    output_.flush();
    errors_ << "pairly-score: line " << line << ": " << why << '\n';
    reported_ = true;
    stopped_ = true;
    stop_ = true;
    return 1;
  }

  static std::string Why(const Block& block) {
    switch (block.fault) {
      case Fault::kNoTab:
        return "no tab between the two names";
      case Fault::kBadUtf8:
        return "not valid UTF-8";
      case Fault::kRuntimeError:
        return ErrorText(block.error);
      case Fault::kOutOfMemory:
      case Fault::kNone:
        break;
    }
    return "out of memory";
  }

  void OutOfMemory() {
    const std::lock_guard lock(mutex_);
    outOfMemory_ = true;
    stopped_ = true;
    stop_ = true;
    changed_.notify_all();
  }

  void Stop() {
    const std::lock_guard lock(mutex_);
    stopped_ = true;
    stop_ = true;
    changed_.notify_all();
  }

  // A written block to use again, if there is one (with the mutex held, as Recycle).
  std::unique_ptr<Block> TakeSpare() {
    if (spare_.empty()) return nullptr;
    std::unique_ptr<Block> block = std::move(spare_.back());
    spare_.pop_back();
    return block;
  }

  void Recycle(std::unique_ptr<Block> block) {
    if (block->input.capacity() > kKeptBytes || block->output.capacity() > kKeptBytes) return;
    block->input.clear();
    block->output.clear();
    block->lines = 0;
    block->fault = Fault::kNone;
    try {
      spare_.push_back(std::move(block));
    } catch (const std::bad_alloc&) {
      // Not kept, then.
    }
  }

  // By the reader, before any other thread runs.
  void StartWorkers() {
    workersStarted_ = true;
    try {
      workers_.reserve(static_cast<std::size_t>(jobs_ - 1));
      for (int i = 1; i < jobs_; ++i) {
        otherScorers_.push_back(std::make_unique<LineScorer>(text_, separator_));
        workers_.emplace_back(&BatchRun::Work, this, std::ref(*otherScorers_.back()));
      }
    } catch (const std::exception&) {
      // Fewer threads than asked for: the lines are scored by those there are.
    }
  }

  InputSource& input_;
  std::ostream& output_;
  std::ostream& errors_;
  const runtime::TextServices& text_;
  const std::u16string separator_;
  const int jobs_;
  LineScorer mainScorer_;           // this thread's
  std::atomic<bool> stop_ = false;  // as stopped_, for the scoring to read line by line

  // Shared by the threads, under the mutex.
  std::mutex mutex_;
  std::condition_variable changed_;
  bool reading_ = false;
  // The reader is at work: not waiting for the writing, nor stepping aside for a retry.
  bool readerWorking_ = false;
  std::string carry_;  // the unfinished line read last
  bool inputEnded_ = false;
  bool inputFailed_ = false;
  bool inputOutOfMemory_ = false;  // the next line could not be read for want of memory
  int64_t nextSequence_ = 0;       // of the next block read
  int64_t nextToWrite_ = 0;        // the block at the front of waiting_
  int64_t written_ = 0;            // blocks written
  bool writing_ = false;
  std::deque<std::unique_ptr<Block>> waiting_;  // scored, or not yet, from nextToWrite_ on
  std::vector<std::unique_ptr<Block>> spare_;   // written, to be read into again
  int64_t linesWritten_ = 0;
  std::atomic<int> scoring_ = 0;  // threads scoring a block
  std::atomic<bool> retrying_ = false;
  bool stopped_ = false;  // no more reading or scoring
  bool reported_ = false;
  bool outOfMemory_ = false;

  bool workersStarted_ = false;
  std::vector<std::unique_ptr<LineScorer>> otherScorers_;
  std::vector<std::thread> workers_;
};

}  // namespace

int ScoreBatch(InputSource& input, std::ostream& output, std::ostream& errors,
               const runtime::TextServices& text, int jobs) {
  try {
    BatchRun run(input, output, errors, text, jobs);
    return run.Run();
  } catch (const std::bad_alloc&) {  // not even the scorer's tables could be made
    errors << "pairly-score: out of memory\n";
    return 1;
  }
}

}  // namespace pairly_score
