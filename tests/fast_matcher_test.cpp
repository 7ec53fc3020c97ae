#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <numeric>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "runtime/runtime_error.h"
#include "scoring/fast_matcher.h"
#include "scoring/module1.h"
#include "scoring/suffix_array.h"
#include "test_support.h"

namespace {

using scoring::Cancellation;
using scoring::FastLongestBlock;
using scoring::FastMatchBlocks;
using scoring::FastMatchCount;
using scoring::MatchBlock;
using scoring::MatcherStats;
using scoring::MatcherTuning;
using scoring::PlainMatchCount;
using scoring::WorkStage;
using Bytes = std::vector<uint8_t>;

Bytes ToBytes(const std::string& s) {
  return Bytes(s.begin(), s.end());
}
int32_t Size(const Bytes& s) {
  return static_cast<int32_t>(s.size());
}

// The fast matcher's three ways of finding a block, each made to do all the work.
const MatcherTuning kAutomatonOnly{std::numeric_limits<int64_t>::max(), 0};
const MatcherTuning kShortcutForced{0, 0};
const MatcherTuning kDefault{};

// Checks every way against the plain scan on the given ranges.
void ExpectSameCount(const Bytes& a, const Bytes& b, int32_t s1, int32_t e1, int32_t s2,
                     int32_t e2) {
  const int32_t expected = PlainMatchCount(a, b, s1, e1, s2, e2);
  for (const MatcherTuning* tuning : {&kAutomatonOnly, &kShortcutForced, &kDefault}) {
    ASSERT_EQ(FastMatchCount(a, b, s1, e1, s2, e2, *tuning), expected)
        << "budget " << tuning->automatonBudget << ", plain " << tuning->plainScanPairs
        << "\n a=" << std::string(a.begin(), a.end()) << "\n b=" << std::string(b.begin(), b.end())
        << "\n ranges " << s1 << ".." << e1 << ", " << s2 << ".." << e2;
  }
}

void ExpectSameCount(const Bytes& a, const Bytes& b) {
  ExpectSameCount(a, b, 1, Size(a), 1, Size(b));
}

std::string Repeat(const std::string& unit, int times) {
  std::string s;
  for (int i = 0; i < times; ++i) s += unit;
  return s;
}

// A^t B A^(t-1) B ... A B: every block one shorter than the one before.
std::string Staircase(int steps, char separator) {
  std::string s;
  for (int t = steps; t >= 1; --t) s += std::string(static_cast<std::size_t>(t), 'A') + separator;
  return s;
}

class RandomTexts {
 public:
  explicit RandomTexts(uint32_t seed) : random_(seed) {}
  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  Bytes Text(int length, int alphabet, int base = 'A') {
    Bytes s(static_cast<std::size_t>(length));
    for (auto& c : s) c = static_cast<uint8_t>(base + Between(0, alphabet - 1));
    return s;
  }
  // A copy with about `percent`% of positions substituted, deleted or followed by an insertion.
  Bytes Edited(const Bytes& s, int percent, int alphabet, int base = 'A') {
    Bytes out;
    for (uint8_t c : s) {
      const int roll = Between(0, 299);
      if (roll < percent) continue;  // delete
      if (roll < 2 * percent)
        c = static_cast<uint8_t>(base + Between(0, alphabet - 1));  // substitute
      out.push_back(c);
      if (roll >= 2 * percent && roll < 3 * percent)
        out.push_back(static_cast<uint8_t>(base + Between(0, alphabet - 1)));
    }
    return out;
  }

 private:
  std::mt19937 random_;
};

TEST(FastMatcher, AgreesWithPlainScanOnRandomPairs) {
  RandomTexts random(5);
  for (int trial = 0; trial < 6000; ++trial) {
    const int alphabet = std::vector<int>{1, 2, 2, 3, 4, 26}[static_cast<std::size_t>(trial % 6)];
    // Bytes above 127 as well as letters.
    const int base = trial % 5 == 0 ? 250 - alphabet : 'A';
    const Bytes a = random.Text(random.Between(0, 70), alphabet, base);
    const Bytes b = trial % 3 == 0 ? random.Edited(a, 10, alphabet, base)
                                   : random.Text(random.Between(0, 70), alphabet, base);
    ExpectSameCount(a, b);
    if (HasFatalFailure()) return;
  }
}

TEST(FastMatcher, AgreesWithPlainScanOnPeriodicTexts) {
  RandomTexts random(7);
  for (int trial = 0; trial < 1500; ++trial) {
    const Bytes unit1 = random.Text(random.Between(1, 4), 2);
    const Bytes unit2 = trial % 2 ? unit1 : random.Text(random.Between(1, 4), 3);
    Bytes a, b;
    for (int i = random.Between(1, 25); i > 0; --i) a.insert(a.end(), unit1.begin(), unit1.end());
    for (int i = random.Between(1, 25); i > 0; --i) b.insert(b.end(), unit2.begin(), unit2.end());
    if (trial % 3 == 0) b = random.Edited(b, 5, 2);
    ExpectSameCount(a, b);
    if (HasFatalFailure()) return;
  }
}

TEST(FastMatcher, AgreesWithPlainScanOnSubranges) {
  // Ranges that do not start at 1 or end at the last code, as the recursion makes them.
  RandomTexts random(11);
  for (int trial = 0; trial < 2000; ++trial) {
    const Bytes a = random.Text(random.Between(1, 60), 2 + trial % 3);
    const Bytes b = random.Edited(a, 15, 2 + trial % 3);
    if (b.empty()) continue;
    const int32_t s1 = random.Between(1, Size(a)), e1 = random.Between(s1, Size(a));
    const int32_t s2 = random.Between(1, Size(b)), e2 = random.Between(s2, Size(b));
    ExpectSameCount(a, b, s1, e1, s2, e2);
    if (HasFatalFailure()) return;
  }
}

TEST(FastMatcher, AgreesWithPlainScanOnTheHardFamilies) {
  RandomTexts random(13);
  const int n = 400;
  const std::vector<std::pair<std::string, std::string>> families = {
      {std::string(n, 'A'), std::string(n, 'A')},
      {std::string(n, 'A'), std::string(n + 7, 'A')},
      {std::string(n + 7, 'A'), std::string(n, 'A')},
      {Repeat("AB", n / 2), Repeat("AC", n / 2)},
      {std::string(n, 'A'), Repeat("AB", n / 2)},
      {Repeat("AB", n / 2), std::string(n, 'A')},
      {Staircase(27, 'B'), Staircase(27, 'C')},
      {Staircase(27, 'B'), Staircase(26, 'C') + "AAAAAAAAAAAAAAAAAAAAAAAAAAA"},
  };
  for (const auto& [a, b] : families) {
    SCOPED_TRACE(a.substr(0, 40) + " / " + b.substr(0, 40));
    ExpectSameCount(ToBytes(a), ToBytes(b));
  }
  // 256: every code, more than a suffix array over single bytes can take with its two
  // separators.
  for (int alphabet : {2, 26, 256}) {
    const int base = alphabet == 256 ? 0 : 'A';
    Bytes a = random.Text(n, alphabet, base);
    if (alphabet == 256) {
      for (int c = 0; c < 256; ++c) a.push_back(static_cast<uint8_t>(c));
    }
    ExpectSameCount(a, random.Text(n, alphabet, base));
    ExpectSameCount(a, random.Edited(a, 2, alphabet, base));
  }
}

TEST(FastMatcher, AgreesWithPlainScanWhereTheDefaultMixesMethods) {
  // Large enough for the default to switch from the automaton to the suffix array part way,
  // with blocks both longer and shorter than the reach search tries. Over more letters than
  // dense states take, where the automaton costs the most.
  RandomTexts random(19);
  for (int percent : {3, 12, 100}) {
    SCOPED_TRACE(percent);
    const Bytes a = random.Text(2500, 6);
    // 100: unrelated texts, with no block as long as the reach search tries.
    const Bytes b = percent == 100 ? random.Text(2500, 5) : random.Edited(a, percent, 6);
    ExpectSameCount(a, b);
    MatcherStats stats;
    FastMatchCount(a, b, 1, Size(a), 1, Size(b), kDefault, &stats);
    EXPECT_TRUE(stats.indexBuilt);
    EXPECT_GT(stats.automatonCalls, 0);
    EXPECT_GT(percent == 100 ? stats.reachSearchesEmpty : stats.reachSearches, 0);
    if (percent == 100) {
      EXPECT_GT(stats.groupingHits, 0);
    }
  }
}

TEST(FastMatcher, DefaultKeepsTheDenseAutomatonWhileItsPassesSplitTheirRanges) {
  // Two letters: random texts, where each pass splits its range, stay with the automaton's
  // dense states; AB against AC, where each pass leaves its range nearly whole, soon takes
  // the suffix array. Only the speed depends on it: the counts are checked elsewhere.
  RandomTexts random(41);
  const Bytes a = random.Text(20000, 2), b = random.Text(20000, 2);
  MatcherStats stats;
  FastMatchCount(a, b, 1, Size(a), 1, Size(b), kDefault, &stats);
  EXPECT_FALSE(stats.indexBuilt);
  EXPECT_GT(stats.automatonCharacters, 4 * (Size(a) + Size(b)));
  EXPECT_EQ(stats.denseAutomatonCharacters, stats.automatonCharacters);

  const Bytes ab = ToBytes(Repeat("AB", 10000)), ac = ToBytes(Repeat("AC", 10000));
  stats = {};
  FastMatchCount(ab, ac, 1, Size(ab), 1, Size(ac), kDefault, &stats);
  EXPECT_TRUE(stats.indexBuilt);
  EXPECT_LE(stats.automatonCalls, 3);
}

TEST(FastMatcher, ReachSearchFindsTheLongBlocksOfAnEditedCopy) {
  // What the reach search is for: long blocks that occur once. If it stopped finding them
  // (for one, through wrong ranks of the suffixes), every count would stay right, only
  // slower, so its use is checked here.
  RandomTexts random(23);
  const Bytes a = random.Text(40000, 26);
  const Bytes b = random.Edited(a, 2, 26);
  MatcherStats stats;
  EXPECT_EQ(FastMatchCount(a, b, 1, Size(a), 1, Size(b), kDefault, &stats),
            FastMatchCount(a, b, 1, Size(a), 1, Size(b), kAutomatonOnly));
  EXPECT_TRUE(stats.indexBuilt);
  EXPECT_GT(stats.reachSearches, 300);
  EXPECT_EQ(stats.reachSearchesAbandoned, 0);
  EXPECT_LT(stats.automatonCalls, stats.reachSearches / 10);
}

TEST(FastMatcher, ForcedShortcutTakesTheShortcut) {
  // The tests above pass with any mix of methods; make sure the equal-length one really ran
  // (and also missed, falling back) on inputs whose blocks repeat in length.
  MatcherStats stats;
  const Bytes a = ToBytes(Repeat("AB", 100)), b = ToBytes(Repeat("AC", 100));
  EXPECT_EQ(FastMatchCount(a, b, 1, Size(a), 1, Size(b), kShortcutForced, &stats), 100);
  EXPECT_TRUE(stats.indexBuilt);
  EXPECT_GT(stats.groupingHits, 90);
  EXPECT_GT(stats.groupingMisses + stats.automatonCalls, 0);
  MatcherStats stairs;
  const Bytes up = ToBytes(Staircase(20, 'B')), down = ToBytes(Staircase(20, 'C'));
  EXPECT_EQ(FastMatchCount(up, down, 1, Size(up), 1, Size(down), kShortcutForced, &stairs), 210);
  EXPECT_GT(stairs.reachSearches, 15);

  // The default turns it on by itself once the recursion runs deep.
  MatcherStats deep;
  const Bytes allA = ToBytes(std::string(4000, 'A')), ab = ToBytes(Repeat("AB", 2000));
  EXPECT_EQ(FastMatchCount(allA, ab, 1, 4000, 1, 4000, kDefault, &deep), 2000);
  EXPECT_TRUE(deep.indexBuilt);
  EXPECT_GT(deep.groupingHits, 1000);
}

TEST(FastMatcher, LargeInputsNeedNoDeepStack) {
  // 'A' x 2n against (AB) x n: n blocks of one, each the next level's right remainder,
  // so n levels of recursion, which would overflow a native stack.
  const int n = 100000;
  const std::u16string allA(2 * n, u'A');
  std::u16string ab;
  for (int i = 0; i < n; ++i) ab += u"AB";
  const runtime::PortableTextServices text;
  EXPECT_EQ(Module1::NameMatchScore(allA, ab, text), 5.0 * n / (4 * n));
  EXPECT_TRUE(Module1::Codes1.IsEmpty());
  EXPECT_TRUE(Module1::Codes2.IsEmpty());

  // Staircases: A^t..A^1 are all matched, the separators never.
  const int steps = 300;
  const Bytes up = ToBytes(Staircase(steps, 'B')), down = ToBytes(Staircase(steps, 'C'));
  EXPECT_EQ(FastMatchCount(up, down, 1, Size(up), 1, Size(down)), steps * (steps + 1) / 2);
  // Equal texts and a longer copy of one letter match whole.
  const Bytes longA = ToBytes(std::string(300001, 'A'));
  EXPECT_EQ(FastMatchCount(longA, longA, 1, 300000, 1, 300001), 300000);
}

// The blocks of the decomposition by brute force, written out here rather than borrowed from
// the code under test: the longest block of the ranges, the first in the order of the starts
// in the first text and then the second, then the same again to its right and to its left.
template <typename Symbol>
void ReferenceBlocks(const std::vector<Symbol>& a, const std::vector<Symbol>& b, int32_t lo1,
                     int32_t hi1, int32_t lo2, int32_t hi2, std::vector<MatchBlock>& blocks) {
  MatchBlock best;
  for (int32_t i = lo1; i < hi1; ++i) {
    for (int32_t j = lo2; j < hi2; ++j) {
      int32_t k = 0;
      while (i + k < hi1 && j + k < hi2 && a[i + k] == b[j + k]) ++k;
      if (k > best.length) best = {i, j, k};
    }
  }
  if (best.length == 0) return;
  blocks.push_back(best);
  ReferenceBlocks(a, b, best.start1 + best.length, hi1, best.start2 + best.length, hi2, blocks);
  ReferenceBlocks(a, b, lo1, best.start1, lo2, best.start2, blocks);
}

// The same codes as ids: from `offset` 256 on the suffix array's symbols take two bytes, from
// 65,535 on four.
std::vector<uint32_t> ToIds(const Bytes& s, uint32_t offset) {
  std::vector<uint32_t> ids;
  for (const uint8_t c : s) ids.push_back(c + offset);
  return ids;
}

// Blocks of bytes and of ids, and the longest block, against the brute force, every way.
void ExpectSameBlocks(const Bytes& a, const Bytes& b, int32_t s1, int32_t e1, int32_t s2,
                      int32_t e2) {
  std::vector<MatchBlock> expected;
  ReferenceBlocks(a, b, s1 - 1, e1, s2 - 1, e2, expected);
  const MatchBlock longest = expected.empty() ? MatchBlock{} : expected.front();
  std::sort(expected.begin(), expected.end(),
            [](const MatchBlock& x, const MatchBlock& y) { return x.start1 < y.start1; });
  const uint32_t offset = a.size() % 2 ? 256 : 65535;
  const auto ids = ToIds(a, offset), otherIds = ToIds(b, offset);
  for (const MatcherTuning* tuning : {&kAutomatonOnly, &kShortcutForced, &kDefault}) {
    SCOPED_TRACE(testing::Message() << "budget " << tuning->automatonBudget
                                    << "\n a=" << std::string(a.begin(), a.end())
                                    << "\n b=" << std::string(b.begin(), b.end()) << "\n ranges "
                                    << s1 << ".." << e1 << ", " << s2 << ".." << e2);
    ASSERT_EQ(FastMatchBlocks(a, b, s1, e1, s2, e2, *tuning), expected);
    ASSERT_EQ(FastMatchBlocks(ids, otherIds, s1, e1, s2, e2, *tuning), expected);
    ASSERT_EQ(FastLongestBlock(a, b, s1, e1, s2, e2, *tuning), longest);
    ASSERT_EQ(FastLongestBlock(ids, otherIds, s1, e1, s2, e2, *tuning), longest);
  }
}

TEST(FastMatcher, BlocksOfBytesAndOfIdsAreTheBruteForces) {
  RandomTexts random(37);
  for (int trial = 0; trial < 1500; ++trial) {
    const int alphabet = std::vector<int>{1, 2, 3, 26}[static_cast<std::size_t>(trial % 4)];
    const Bytes a = random.Text(random.Between(0, 60), alphabet);
    const Bytes b = trial % 3 == 0 ? random.Edited(a, 10, alphabet)
                                   : random.Text(random.Between(0, 60), alphabet);
    ExpectSameBlocks(a, b, 1, Size(a), 1, Size(b));
    if (HasFatalFailure()) return;
    if (Size(a) > 2 && Size(b) > 2) {
      ExpectSameBlocks(a, b, 2, Size(a) - 1, 1 + Size(b) / 3, Size(b));
      if (HasFatalFailure()) return;
    }
  }
  // Long enough for the index, its groupings and the reach search, which ids reach without
  // the tables of short blocks.
  for (int percent : {3, 30}) {
    const Bytes a = random.Text(1200, 4), b = random.Edited(a, percent, 4);
    ExpectSameBlocks(a, b, 1, Size(a), 1, Size(b));
  }
}

TEST(FastMatcher, IdsFollowedByManyDistinctOthers) {
  // Id 0 before each of the others: the automaton's state for it has an edge for each, found
  // through a table past a few; in the second case more than 65,535 of them.
  std::mt19937 random(41);
  for (const uint32_t others : {300u, 70000u}) {
    std::vector<uint32_t> order(others);
    std::iota(order.begin(), order.end(), 1u);
    std::vector<uint32_t> a, b;
    for (const uint32_t k : order) a.insert(a.end(), {0u, k});
    if (others == 300) {
      std::shuffle(order.begin(), order.end(), random);
    } else {
      std::reverse(order.begin(), order.end());
    }
    for (const uint32_t k : order) b.insert(b.end(), {0u, k});
    const auto size = static_cast<int32_t>(a.size());
    std::vector<MatchBlock> expected;
    if (others == 300) {
      ReferenceBlocks(a, b, 0, size, 0, size, expected);
      std::sort(expected.begin(), expected.end(),
                [](const MatchBlock& x, const MatchBlock& y) { return x.start1 < y.start1; });
    } else {
      // 0 2 0, the earliest longest, then the first 0 left of it.
      expected = {{0, 0, 1}, {2, size - 4, 3}};
    }
    for (const MatcherTuning* tuning : {&kAutomatonOnly, &kDefault}) {
      ASSERT_EQ(FastMatchBlocks(a, b, 1, size, 1, size, *tuning), expected) << others;
    }
  }
}

TEST(CountMatches, RaisesWhatThePlainScanRaises) {
  FillCodesForTest("ABC", "AB");
  using runtime::ErrorKind;
  const auto error = [](int32_t s1, int32_t e1, int32_t s2, int32_t e2) {
    try {
      Module1::CountMatches(s1, e1, s2, e2);
    } catch (const runtime::RuntimeError& e) {
      return static_cast<int>(e.Kind());
    }
    return -1;
  };
  const int kSubscript = static_cast<int>(ErrorKind::kSubscriptOutOfRange);
  EXPECT_EQ(error(4, 5, 1, 2), kSubscript);  // first range past the end
  EXPECT_EQ(error(2, 4, 1, 2), kSubscript);  // first range running past it
  EXPECT_EQ(error(1, 3, 2, 3), kSubscript);  // second range running past it
  EXPECT_EQ(error(1, 3, 3, 2), -1);          // empty: the guard returns 0 first
  EXPECT_EQ(Module1::CountMatches(2, 3, 1, 2), 1);
  Module1::Codes1.Erase();
  Module1::Codes2.Erase();
  EXPECT_EQ(error(1, 1, 1, 1), kSubscript);  // arrays empty between score calls
}

TEST(SuffixArray, SortsSuffixesAndTheirCommonPrefixes) {
  RandomTexts random(17);
  for (int trial = 0; trial < 400; ++trial) {
    const int size = random.Between(1, 60);
    std::vector<uint8_t> text(static_cast<std::size_t>(size));
    for (auto& c : text) c = static_cast<uint8_t>(random.Between(1, 1 + trial % 4));
    text.back() = 0;
    scoring::CancelCheck uncancellable;
    const scoring::SuffixArray array = scoring::BuildSuffixArray(text, 6, uncancellable);

    std::vector<int32_t> expected(text.size());
    std::iota(expected.begin(), expected.end(), 0);
    const auto suffix = [&](int32_t i) {
      return std::vector<uint8_t>(text.begin() + i, text.end());
    };
    std::sort(expected.begin(), expected.end(),
              [&](int32_t x, int32_t y) { return suffix(x) < suffix(y); });
    ASSERT_EQ(std::vector<int32_t>(array.order.begin(), array.order.end()), expected);
    ASSERT_EQ(array.prefix[0], 0);
    for (std::size_t r = 1; r < array.order.size(); ++r) {
      const auto x = suffix(array.order[r - 1]), y = suffix(array.order[r]);
      const auto mismatch = std::mismatch(x.begin(), x.end(), y.begin(), y.end());
      ASSERT_EQ(array.prefix[r], mismatch.first - x.begin()) << "rank " << r;
    }
  }
}

// Alternating runs of A and B, each 1 to maxRun long: a slow family for the matcher, which
// takes every part of it (automaton, index, searches, plain scans) to count.
std::u16string RandomRuns(std::mt19937& random, std::size_t length, int maxRun) {
  std::u16string text;
  char16_t letter = u'A';
  while (text.size() < length) {
    const auto run =
        static_cast<std::size_t>(std::uniform_int_distribution<int>(1, maxRun)(random));
    text.append(std::min(run, length - text.size()), letter);
    letter = letter == u'A' ? u'B' : u'A';
  }
  return text;
}

enum class Ended { kReturned, kCancelled, kOtherException };

struct CancelledRun {
  bool reached = false;  // the work looked at the flag in the stage that often
  Ended ended = Ended::kReturned;
  int looksAfterCancel = 0;  // further looks before it ended
};

// Runs `work` on a thread of its own and holds it at its `nth` look at the flag in `stage`;
// this thread then cancels it and lets it go on to the end.
template <typename Work>
CancelledRun CancelAtLook(WorkStage stage, int nth, Work work) {
  std::mutex mutex;
  std::condition_variable changed;
  CancelledRun run;
  bool released = false, done = false;
  int seen = 0;
  Cancellation cancellation([&](WorkStage looking) {
    std::unique_lock lock(mutex);
    if (released) {
      ++run.looksAfterCancel;
    } else if (looking == stage && ++seen == nth) {
      run.reached = true;
      changed.notify_all();
      changed.wait(lock, [&] { return released; });
    }
  });
  std::thread worker([&] {
    Ended ended = Ended::kReturned;
    try {
      work(cancellation);
    } catch (const scoring::Cancelled&) {
      ended = Ended::kCancelled;
    } catch (...) {
      ended = Ended::kOtherException;
    }
    const std::lock_guard lock(mutex);
    run.ended = ended;
    done = true;
    changed.notify_all();
  });
  {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return run.reached || done; });
    if (run.reached) cancellation.Cancel();
    released = true;
    changed.notify_all();
  }
  worker.join();
  return run;
}

TEST(Cancellation, SetBeforeTheCallStopsItAtOnceAndNeverSetChangesNothing) {
  const runtime::PortableTextServices text;
  Cancellation cancelled;
  cancelled.Cancel();
  for (const auto& [first, second] : std::vector<std::pair<std::u16string, std::u16string>>{
           {u"JOHN", u"JANE"}, {u"anna", u"ANNA"}, {u"A", u""}}) {
    EXPECT_THROW(Module1::NameMatchScore(first, second, text, &cancelled), scoring::Cancelled);
    EXPECT_TRUE(Module1::Codes1.IsEmpty());
    EXPECT_TRUE(Module1::Codes2.IsEmpty());
  }
  const Bytes a = ToBytes("ABC"), b = ToBytes("ABD");
  EXPECT_THROW(FastMatchCount(a, b, 1, 3, 1, 3, kDefault, nullptr, &cancelled), scoring::Cancelled);

  std::mt19937 random(29);
  const std::u16string first = RandomRuns(random, 50000, 10),
                       second = RandomRuns(random, 50000, 10);
  const Cancellation neverSet;
  EXPECT_EQ(Module1::NameMatchScore(first, second, text, &neverSet),
            Module1::NameMatchScore(first, second, text));
}

TEST(Cancellation, SetFromAnotherThreadStopsTheWorkAtItsNextLookWhereverItIs) {
  std::mt19937 random(31);
  // Equal but for the case of the first 200,000 characters: upper-cased and compared in
  // full, then all their codes filled.
  const std::u16string same = RandomRuns(random, 200000, 100);
  std::u16string lower = same;
  for (char16_t& c : lower) c = static_cast<char16_t>(c + (u'a' - u'A'));
  const std::u16string nearlySame1 = same + u"A", nearlySame2 = lower + u"B";
  const std::u16string runs1 = RandomRuns(random, 100000, 10),
                       runs2 = RandomRuns(random, 100000, 10);
  // Too long for the automaton to stay in cache: the suffix array at once.
  const std::u16string longRuns1 = RandomRuns(random, 150000, 10),
                       longRuns2 = RandomRuns(random, 150000, 10);
  // 50,000 levels of recursion, each one block of one.
  std::u16string ab;
  for (int i = 0; i < 50000; ++i) ab += u"AB";
  const std::u16string allA(100000, u'A');

  struct Case {
    const char* where;
    WorkStage stage;
    int nth;
    const std::u16string& first;
    const std::u16string& second;
  };
  const Case cases[] = {
      {"upper-casing", WorkStage::kUpperCase, 3, nearlySame1, nearlySame2},
      {"filling Codes2", WorkStage::kCodes, 250, nearlySame1, nearlySame2},
      {"sorting the suffixes", WorkStage::kIndex, 30, longRuns1, longRuns2},
      {"automaton", WorkStage::kAutomaton, 3, runs1, runs2},
      {"searches", WorkStage::kSearch, 20, longRuns1, longRuns2},
      // The first at the top, the next ones thousands of levels down each.
      {"deep in the recursion", WorkStage::kRanges, 5, allA, ab},
  };
  const runtime::PortableTextServices text;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    const CancelledRun run = CancelAtLook(c.stage, c.nth, [&](const Cancellation& cancellation) {
      Module1::NameMatchScore(c.first, c.second, text, &cancellation);
    });
    EXPECT_TRUE(run.reached);
    EXPECT_EQ(run.ended, Ended::kCancelled);
    EXPECT_EQ(run.looksAfterCancel, 0);
    EXPECT_TRUE(Module1::Codes1.IsEmpty());
    EXPECT_TRUE(Module1::Codes2.IsEmpty());
  }

  // Plain scans among the other ways, where they take a larger share of the work than the
  // default's (ranges of up to 2,048 pairs); and on their own, as long as they are made to
  // run: every pair of positions of two runs of one letter, each walked to its end; and two
  // texts without a character in common, whose rows walk nothing but still take their time.
  const Bytes runBytes1(longRuns1.begin(), longRuns1.end()),
      runBytes2(longRuns2.begin(), longRuns2.end());
  const Bytes longA1 = ToBytes(std::string(1000, 'A')), longA2 = ToBytes(std::string(999, 'A'));
  const Bytes shortA = ToBytes(std::string(200, 'A')), manyB = ToBytes(std::string(100000, 'B'));
  const MatcherTuning largerPlainScans{-1, 2048};
  const MatcherTuning plainOnly{-1, std::numeric_limits<int64_t>::max()};
  for (const auto& [where, nth, a, b, tuning] :
       {std::tuple{"plain scans among the others", 2, &runBytes1, &runBytes2, &largerPlainScans},
        std::tuple{"plain scan alone", 3, &longA1, &longA2, &plainOnly},
        std::tuple{"rows without a match", 3, &shortA, &manyB, &plainOnly}}) {
    SCOPED_TRACE(where);
    const CancelledRun plain = CancelAtLook(WorkStage::kPlainScan, nth, [&](const Cancellation& c) {
      FastMatchCount(*a, *b, 1, Size(*a), 1, Size(*b), *tuning, nullptr, &c);
    });
    EXPECT_TRUE(plain.reached);
    EXPECT_EQ(plain.ended, Ended::kCancelled);
    EXPECT_EQ(plain.looksAfterCancel, 0);
  }

  EXPECT_EQ(Module1::NameMatchScore(u"JOHN", u"JANE", text), 1.25);
}

}  // namespace
