#include "scoring/fast_matcher.h"

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <vector>

#include "scoring/buffer.h"
#include "scoring/suffix_array.h"
#include "scoring/suffix_automaton.h"

namespace scoring {
namespace {

// The plain scan's block in two ranges (1-based and inclusive, as in PlainMatchCount): its
// starts are 1-based too.
template <typename Symbol>
[[gnu::always_inline]] inline MatchBlock PlainLongest(std::span<const Symbol> first,
                                                      std::span<const Symbol> second,
                                                      int32_t start1, int32_t end1, int32_t start2,
                                                      int32_t end2, CancelCheck& check) {
  // 64-bit positions: a run may reach one past INT32_MAX.
  int32_t best = 0, bestI = 0, bestJ = 0;
  for (int64_t i = start1; i <= end1; ++i) {
    int64_t walked = 0;
    for (int64_t j = start2; j <= end2; ++j) {
      int64_t k = 0;
      while (i + k <= end1 && j + k <= end2 &&
             first[static_cast<std::size_t>(i + k - 1)] ==
                 second[static_cast<std::size_t>(j + k - 1)]) {
        ++k;
      }
      walked += k;
      if (k > best) {
        best = static_cast<int32_t>(k);
        bestI = static_cast<int32_t>(i);
        bestJ = static_cast<int32_t>(j);
      }
    }
    // Counted a row at a time: a row is short wherever the scan is used.
    check.Add(walked + end2 - start2 + 1, WorkStage::kPlainScan);
  }
  return {bestI, bestJ, best};
}

// Reports each block of the ranges as report(block), with 1-based starts, the block itself
// first, then those to its right, then those to its left.
template <typename Symbol, typename Report>
void PlainScan(std::span<const Symbol> first, std::span<const Symbol> second, int32_t start1,
               int32_t end1, int32_t start2, int32_t end2, CancelCheck& check, Report& report) {
  if (!(start1 <= end1 && start2 <= end2 && start1 > 0 && start2 > 0)) return;
  const MatchBlock block = PlainLongest(first, second, start1, end1, start2, end2, check);
  if (block.length == 0) return;
  report(block);
  PlainScan(first, second, block.start1 + block.length, end1, block.start2 + block.length, end2,
            check, report);
  PlainScan(first, second, start1, block.start1 - 1, start2, block.start2 - 1, check, report);
}

}  // namespace

int32_t PlainMatchCount(std::span<const uint8_t> first, std::span<const uint8_t> second,
                        int32_t start1, int32_t end1, int32_t start2, int32_t end2) {
  CancelCheck uncancellable;
  int32_t total = 0;
  auto add = [&](const MatchBlock& block) { total += block.length; };
  PlainScan(first, second, start1, end1, start2, end2, uncancellable, add);
  return total;
}

namespace {

// A pair of ranges still to count, 0-based within the texts being matched. No common block
// in them is longer than `bound` (at most the block found around them).
struct Pending {
  int32_t start1;
  int32_t size1;
  int32_t start2;
  int32_t size2;
  int32_t bound;
};

bool LowerBound(const Pending& x, const Pending& y) {
  return x.bound < y.bound;
}

// Below this the blocks are short and common, and searching by reach rarely pays: the
// ranges take tables of their short blocks, or a grouping of the suffix array by length.
constexpr int32_t kLongBlock = 8;

// By default the suffix array is built before any automaton pass over more characters than
// this: an automaton of a longer text no longer stays in cache, and one pass over it then
// costs more than building the suffix array of both texts.
constexpr int64_t kLargestAutomatonPass = int64_t{1} << 18;

// By default the automaton's work is weighed by what it costs, in characters through dense
// states. The suffix array with the groupings that follow costs about twelve of those for each
// character of the input, and it is built once the automaton has cost as much, or sooner once
// passes that stall have cost twice the input: a pass stalls when it leaves more than 15/16 of
// its range in one piece, the mark of a long recursion of small blocks (AB against AC,
// staircases) that the groupings serve at once. Where each pass splits its range (random
// text), the recursion takes a pass over the input for each doubling of the blocks: on two
// letters, up to ten in all, cheaper than the suffix array. A character through edge lists
// counts six (three to five times the instructions, more in time, as its states miss the
// cache more often): over more letters the suffix array comes after two passes, as it always
// did.
constexpr int64_t kSparseUnits = 6;
constexpr int64_t kIndexUnits = 12;
constexpr int64_t kStalledUnits = 2;

// Ranges of ids take the plain scan up to eight times as many pairs as the tuning says for
// bytes: their automaton and their searches cost more for each range (no tables of short
// blocks), and an id compares as cheaply as a byte.
template <typename Symbol>
int64_t PlainScanPairs(const MatcherTuning& tuning) {
  if constexpr (sizeof(Symbol) == 1) {
    return tuning.plainScanPairs;
  } else {
    return tuning.plainScanPairs > std::numeric_limits<int64_t>::max() / 8
               ? tuning.plainScanPairs
               : 8 * tuning.plainScanPairs;
  }
}

enum class Search { kFound, kNone, kAbandoned };

// A grouping scatters over both texts; a table stays in cache: a grouping is made for ranges
// that have a short side once their tables have cost this many passes over both texts.
constexpr int64_t kTablePasses = 4;

// What starting a walk through the suffix array counts for, in steps of the walk: a walk
// starts with a few cache misses, where each step reads on in cache.
constexpr int64_t kWalkStartUnits = 64;

// What taking a pair of ranges from the heap and putting back its remainders counts for.
constexpr int64_t kRangeUnits = 16;

// Passes that scatter over a long text ask for the memory a little ahead, to keep several
// cache misses in flight.
constexpr std::size_t kAhead = 16;

inline void Prefetch([[maybe_unused]] const void* address) {
#if defined(__GNUC__)
  __builtin_prefetch(address);
#endif
}

// Blocks found through a suffix array of both texts. For a length U the suffixes that agree
// in their first U symbols are neighbours in the array: grouping them gives each first-text
// position the group of its U-symbol block, and each group the sorted list of its positions
// in the second text; one pass regroups for a new length. Each first-text position's longest
// match anywhere in the second text ("reach") leads the search for long blocks.
// Memory, a symbol of both texts: 12 bytes (the array, its common prefixes, each first-text
// position's rank and reach), up to 8 more once grouped, 13 at most while it is built (more
// for ids, whose text for the sorting takes up to 4 bytes a symbol).
template <typename Symbol>
class EqualBlockIndex {
 public:
  // Ids are below `alphabet`; bytes number their codes in use themselves.
  EqualBlockIndex(std::span<const Symbol> first, std::span<const Symbol> second, int32_t alphabet,
                  CancelCheck& check)
      : first_(first),
        second_(second),
        firstSize_(static_cast<int32_t>(first.size())),
        secondSize_(static_cast<int32_t>(second.size())),
        check_(check) {
    if constexpr (kBytes) {
      // The codes in use, numbered from 0 in order.
      for (const auto text : {first, second}) {
        check_.ForEach(std::size_t{0}, text.size(), WorkStage::kIndex,
                       [&](std::size_t i) { symbol_[text[i]] = 1; });
      }
      for (uint16_t& s : symbol_) {
        if (s != 0) s = static_cast<uint16_t>(symbols_++);
      }
    } else {
      symbols_ = alphabet;
    }
    {
      SuffixArray array;
      if (symbols_ <= 254) {
        array = BuildArray<uint8_t>();
      } else if (kBytes || symbols_ <= 65534) {
        array = BuildArray<uint16_t>();
      } else {
        array = BuildArray<int32_t>();
      }
      order_ = std::move(array.order);
      prefix_ = std::move(array.prefix);
    }

    // Each first-text suffix's rank, and its reach: the larger common prefix with the nearest
    // second-text suffix on either side in the array. Written together, one cache line per
    // suffix and pass, and without branches (suffixes of the two texts alternate at random):
    // the other suffixes write to a spare entry at the end.
    ResizeForScatter(firstSuffixes_, first.size() + 1, check_, WorkStage::kIndex);
    const std::size_t size = order_.size();
    const auto slot = [&](std::size_t r) {
      return static_cast<std::size_t>(std::min(order_[r], firstSize_));
    };
    int32_t common = 0;  // with the nearest second-text suffix so far (0: none yet)
    check_.ForEach(std::size_t{0}, size, WorkStage::kIndex, [&](std::size_t r) {
      if (r + kAhead < size) Prefetch(firstSuffixes_.data() + slot(r + kAhead));
      common = std::min(common, prefix_[r]);  // prefix_[0] is 0
      if (order_[r] > firstSize_) common = std::numeric_limits<int32_t>::max();
      firstSuffixes_[slot(r)] = {static_cast<int32_t>(r), common};
    });
    common = 0;
    check_.ForEachDown(static_cast<int64_t>(size) - 1, 0, WorkStage::kIndex, [&](int64_t at) {
      const auto r = static_cast<std::size_t>(at);
      if (r >= kAhead) Prefetch(firstSuffixes_.data() + slot(r - kAhead));
      if (order_[r] > firstSize_) common = std::numeric_limits<int32_t>::max();
      int32_t& reach = firstSuffixes_[slot(r)].reach;
      reach = std::max(reach, common);
      common = std::min(common, prefix_[r]);
    });
    ResizeOrThrow(reachMax_, (first.size() + kSpan - 1) / kSpan);
    check_.ForEach(std::size_t{0}, reachMax_.size(), WorkStage::kIndex, [&](std::size_t span) {
      int32_t most = 0;
      const std::size_t end = std::min(first.size(), (span + 1) * kSpan);
      for (std::size_t i = span * kSpan; i < end; ++i)
        most = std::max(most, firstSuffixes_[i].reach);
      reachMax_[span] = most;
    });
  }

  // The earliest longest block in the item's ranges, tried position by position in the
  // first text, where a position can only beat the best so far if its reach does. Each try
  // walks the suffixes sharing the block: cheap for long, rare blocks, costly for short,
  // common ones; so only lengths from `shortest` on are tried (kNone: there is no block that
  // long), and it gives up (kAbandoned) past `budget` suffixes visited.
  Search FindLongest(const Pending& item, int32_t shortest, int64_t budget,
                     MatchBlock& block) const {
    block = {};
    int64_t work = 0;
    const int32_t end1 = item.start1 + item.size1;  // one past
    // At least a span at a time; the walks count themselves.
    check_.Add(item.size1 / kSpan + 1, WorkStage::kSearch);
    // The positions in pieces, with a look for a cancel between them.
    for (int32_t i = item.start1; i < end1 && block.length < item.bound;) {
      for (const int32_t stop = CancelCheck::PieceEnd(i, end1);
           i < stop && block.length < item.bound; ++i) {
        // Whole spans that cannot beat the best so far at once (most of them, on long texts).
        while (i % kSpan == 0 && i + kSpan <= end1 &&
               reachMax_[static_cast<std::size_t>(i / kSpan)] <
                   std::max(block.length + 1, shortest)) {
          i += kSpan;
        }
        if (i >= end1) break;
        const int32_t reach =
            std::min({firstSuffixes_[static_cast<std::size_t>(i)].reach, end1 - i, item.bound});
        if (reach <= block.length || reach < shortest) continue;
        // Usually the whole reach is there; otherwise the longest length that is, by halving
        // (a block's prefixes occur wherever it does).
        int32_t low = std::max(block.length + 1, shortest), high = reach, length = reach;
        while (low <= high) {
          const int32_t start2 = Occurrence(i, length, item, work);
          if (work > budget) return Search::kAbandoned;
          if (start2 >= 0) {
            block = {i, start2, length};
            low = length + 1;
          } else {
            high = length - 1;
          }
          length = low + (high - low) / 2;
        }
      }
      if (i < end1 && block.length < item.bound) check_.Look(WorkStage::kSearch);
    }
    return block.length > 0 ? Search::kFound : Search::kNone;
  }

  int64_t Size() const { return static_cast<int64_t>(order_.size()); }
  int32_t Length() const { return length_; }

  // Groups the positions by their blocks of `length`. Only groups with positions in both
  // texts can hold a common block; the first text's positions in other groups get -1, so the
  // search skips them without looking further.
  void GroupBy(int32_t length) {
    length_ = length;
    ResizeOrThrow(group_, first_.size());
    FillInPieces(group_.begin(), group_.end(), -1, check_, WorkStage::kSearch);
    // Short blocks over few symbols are numbered directly, in passes along the texts with
    // a table of all possible blocks; otherwise the suffix array's runs are the groups.
    uint64_t blocks = 1;
    for (int32_t k = 0; k < length && blocks <= MostDirectBlocks(); ++k) blocks *= symbols_;
    if (blocks <= MostDirectBlocks()) {
      GroupByNumber(blocks);
    } else {
      GroupByRuns();
    }
  }

  // The block of Length() in the item's ranges with the lowest start in the first text,
  // then in the second; it gives up (kAbandoned) past `budget` positions looked up.
  Search FindEarliest(const Pending& item, int64_t budget, MatchBlock& block) const {
    const int32_t last1 = item.start1 + item.size1 - length_;
    const int32_t last2 = item.start2 + item.size2 - length_;
    // In pieces, with a look for a cancel between them (a range can be as long as the texts),
    // each piece counted once it ends.
    for (int32_t i = item.start1; i <= last1;) {
      const int32_t from = i;
      for (const int32_t stop = CancelCheck::PieceEnd(i, last1 + 1); i < stop; ++i) {
        const int32_t group = group_[static_cast<std::size_t>(i)];
        if (group < 0) continue;
        if (--budget < 0) return Search::kAbandoned;
        const int32_t* begin = positions_.data() + groupEnd_[static_cast<std::size_t>(group)];
        const int32_t* end = positions_.data() + groupEnd_[static_cast<std::size_t>(group) + 1];
        const int32_t* found = std::lower_bound(begin, end, item.start2);
        if (found != end && *found <= last2) {
          check_.Add(i - from + 1, WorkStage::kSearch);
          block = {i, *found, length_};
          return Search::kFound;
        }
      }
      check_.Add(i - from, WorkStage::kSearch);
    }
    return Search::kNone;
  }

 private:
  // Groups of at most this many blocks are numbered directly: the table stays no larger
  // than the texts, and small enough to stay mostly in cache.
  uint64_t MostDirectBlocks() const { return std::min<uint64_t>(order_.size(), uint64_t{1} << 20); }

  // The group of the block at each position is its number, written in base symbols_.
  void GroupByNumber(uint64_t blocks) {
    ResizeOrThrow(groupEnd_, blocks + 2);
    FillInPieces(groupEnd_.begin(), groupEnd_.end(), 0, check_, WorkStage::kSearch);
    // Counting sort of the second text's positions by block, kept in position order.
    ForEachBlock(second_, [&](int32_t, uint64_t block) { ++groupEnd_[block + 2]; });
    check_.ForEach(std::size_t{2}, groupEnd_.size(), WorkStage::kSearch,
                   [&](std::size_t g) { groupEnd_[g] += groupEnd_[g - 1]; });
    ResizeForScatter(positions_, static_cast<uint64_t>(groupEnd_.back()), check_,
                     WorkStage::kSearch);
    ForEachBlock(second_, [&](int32_t q, uint64_t block) {
      positions_[static_cast<std::size_t>(groupEnd_[block + 1]++)] = q;
    });
    ForEachBlock(first_, [&](int32_t i, uint64_t block) {
      if (groupEnd_[block] != groupEnd_[block + 1])
        group_[static_cast<std::size_t>(i)] = static_cast<int32_t>(block);
    });
  }

  // Calls visit(start, number) for each block of length_ in the text, by a rolling number.
  template <typename Visit>
  void ForEachBlock(std::span<const Symbol> text, Visit visit) const {
    const auto length = static_cast<std::size_t>(length_);
    if (text.size() < length) return;
    uint64_t top = 1;  // the weight of a block's first symbol
    for (std::size_t k = 1; k < length; ++k) top *= symbols_;
    uint64_t number = 0;
    for (std::size_t k = 0; k + 1 < length; ++k) number = number * symbols_ + Code(text[k]);
    check_.ForEach(std::size_t{0}, text.size() - length + 1, WorkStage::kSearch,
                   [&](std::size_t start) {
                     number = number * symbols_ + Code(text[start + length - 1]);
                     visit(static_cast<int32_t>(start), number);
                     number -= Code(text[start]) * top;
                   });
  }

  bool InSecond(int32_t position) const {
    return position > firstSize_ && position <= firstSize_ + secondSize_;
  }

  // One past the run of the array that starts at `begin`, of suffixes sharing length_ symbols.
  std::size_t RunEnd(std::size_t begin) const {
    std::size_t end = begin + 1;
    while (end < order_.size() && prefix_[end] >= length_) {
      check_.Every(end, WorkStage::kSearch);
      ++end;
    }
    return end;
  }

  // The runs of the array sharing length_ symbols are the groups, numbered in array order.
  void GroupByRuns() {
    const int32_t secondBegin = firstSize_ + 1;
    const std::size_t size = order_.size();
    // First where the runs with suffixes of both texts start, in one pass without a branch
    // per run (runs are often short, and their ends unpredictable). There are at most as
    // many as second-text positions.
    ResizeOrThrow(runStarts_, static_cast<uint64_t>(secondSize_) + 1);
    std::size_t runs = 0;
    std::size_t start = 0;
    bool inFirst = false, inSecond = false;
    check_.ForEach(std::size_t{0}, size, WorkStage::kSearch, [&](std::size_t r) {
      const bool boundary = prefix_[r] < length_;
      runStarts_[runs] = static_cast<int32_t>(start);
      runs += boundary & inFirst & inSecond;
      start = boundary ? r : start;
      const int32_t position = order_[r];
      inFirst = (!boundary & inFirst) | (position < firstSize_);
      inSecond = (!boundary & inSecond) | InSecond(position);
    });
    runStarts_[runs] = static_cast<int32_t>(start);
    runs += inFirst & inSecond;

    // The runs taken are scattered over the array: their steps are counted.
    uint64_t steps = 0;
    int32_t largest = 0;  // group
    ResizeOrThrow(groupEnd_, static_cast<uint64_t>(runs) + 1);
    groupEnd_[0] = 0;
    for (std::size_t g = 0; g < runs; ++g) {
      const auto begin = static_cast<std::size_t>(runStarts_[g]);
      int32_t seconds = 0;
      for (std::size_t r = begin, end = RunEnd(begin); r < end; ++r) {
        check_.Every(++steps, WorkStage::kSearch);
        const int32_t position = order_[r];
        if (position < firstSize_) {
          group_[static_cast<std::size_t>(position)] = static_cast<int32_t>(g);
        } else if (InSecond(position)) {
          ++seconds;
        }
      }
      groupEnd_[g + 1] = groupEnd_[g] + seconds;
      largest = std::max(largest, seconds);
    }
    ResizeForScatter(positions_, static_cast<uint64_t>(groupEnd_[runs]), check_,
                     WorkStage::kSearch);
    // A sort cannot stop for a cancel part way: one as long as the texts could keep a cancel
    // waiting, and it goes to the counting sort instead.
    if (groupEnd_[runs] <= 8 * static_cast<int64_t>(runs) && largest <= CancelCheck::kInterval) {
      // Small groups: each listed in array order, then sorted.
      for (std::size_t g = 0; g < runs; ++g) {
        const auto begin = static_cast<std::size_t>(runStarts_[g]);
        int32_t* const listed = positions_.data() + groupEnd_[g];
        int32_t* out = listed;
        for (std::size_t r = begin, end = RunEnd(begin); r < end; ++r) {
          check_.Every(++steps, WorkStage::kSearch);
          if (InSecond(order_[r])) *out++ = order_[r] - secondBegin;
        }
        std::sort(listed, out);
      }
      return;
    }
    // Large groups: a counting sort of the second text's positions by group, kept in
    // position order.
    Buffer<int32_t> groupOf;
    ResizeOrThrow(groupOf, second_.size());
    FillInPieces(groupOf.begin(), groupOf.end(), -1, check_, WorkStage::kSearch);
    for (std::size_t g = 0; g < runs; ++g) {
      const auto begin = static_cast<std::size_t>(runStarts_[g]);
      for (std::size_t r = begin, end = RunEnd(begin); r < end; ++r) {
        check_.Every(++steps, WorkStage::kSearch);
        if (InSecond(order_[r])) {
          groupOf[static_cast<std::size_t>(order_[r] - secondBegin)] = static_cast<int32_t>(g);
        }
      }
    }
    Buffer<int32_t> next(groupEnd_.begin(), groupEnd_.end());
    check_.ForEach(int32_t{0}, secondSize_, WorkStage::kSearch, [&](int32_t q) {
      const int32_t g = groupOf[static_cast<std::size_t>(q)];
      if (g >= 0) positions_[static_cast<std::size_t>(next[static_cast<std::size_t>(g)]++)] = q;
    });
  }

  // A symbol's number among those in use.
  uint32_t Code(Symbol symbol) const {
    if constexpr (kBytes) {
      return symbol_[symbol];
    } else {
      return symbol;
    }
  }

  template <typename Stored>
  SuffixArray BuildArray() const {
    // first, a separator, second, and the final 0: the separator and the end stop every
    // common prefix at the end of its own text.
    Buffer<Stored> text;
    ResizeOrThrow(text, static_cast<uint64_t>(first_.size()) + second_.size() + 2);
    Stored* out = text.data();
    for (const auto codes : {first_, second_}) {
      check_.ForEach(std::size_t{0}, codes.size(), WorkStage::kIndex,
                     [&](std::size_t i) { *out++ = static_cast<Stored>(Code(codes[i]) + 2); });
      *out++ = 1;
    }
    out[-1] = 0;
    return BuildSuffixArray(std::span<const Stored>(text), symbols_ + 2, check_);
  }

  // The lowest start in the item's second range of the block of `length` at first-text
  // position i, or -1: the suffixes around i's in the array that share `length` symbols.
  int32_t Occurrence(int32_t i, int32_t length, const Pending& item, int64_t& work) const {
    const int32_t last2 = item.start2 + item.size2 - length;
    const int32_t offset = firstSize_ + 1;
    int32_t found = -1;
    const auto consider = [&](std::size_t r) {
      const int32_t q = order_[r] - offset;
      if (q >= item.start2 && q <= last2 && (found < 0 || q < found)) found = q;
    };
    // Up the array, then down it. A walk can be as long as the texts: it goes in pieces, with
    // a look for a cancel between them, and each piece as tight as a plain walk.
    constexpr auto kPiece = static_cast<std::size_t>(CancelCheck::kInterval);
    const auto rank = static_cast<std::size_t>(firstSuffixes_[static_cast<std::size_t>(i)].rank);
    std::size_t low = rank;
    for (std::size_t stop = 0; low > 0; check_.Look(WorkStage::kSearch)) {
      stop = low > kPiece ? low - kPiece : 0;
      while (low > stop && prefix_[low] >= length) consider(--low);
      if (low != stop) break;
    }
    std::size_t high = rank + 1;
    for (std::size_t stop = 0; high < order_.size(); check_.Look(WorkStage::kSearch)) {
      stop = std::min(order_.size(), high + kPiece);
      for (; high < stop && prefix_[high] >= length; ++high) consider(high);
      if (high != stop) break;
    }
    const auto steps = static_cast<int64_t>(high - low - 1);
    work += steps;
    // Many short walks: each also costs a few cache misses to start.
    check_.Add(kWalkStartUnits + steps, WorkStage::kSearch);
    return found;
  }

  static constexpr bool kBytes = sizeof(Symbol) == 1;

  std::span<const Symbol> first_;
  std::span<const Symbol> second_;
  int32_t firstSize_;
  int32_t secondSize_;
  CancelCheck& check_;
  std::array<uint16_t, 256> symbol_{};  // by code: the code's number among those in use
  int32_t symbols_ = 0;                 // codes in use (ids: the alphabet)
  int32_t length_ = 0;                  // 0: not grouped yet
  Buffer<int32_t> order_;
  Buffer<int32_t> prefix_;
  struct FirstSuffix {
    int32_t rank;   // its place in order_
    int32_t reach;  // its longest common prefix with any second-text suffix
  };
  Buffer<FirstSuffix> firstSuffixes_;  // by first-text position
  // The reach search skips whole spans of positions by their largest reach.
  static constexpr int32_t kSpan = 64;
  Buffer<int32_t> reachMax_;   // by span of first-text positions
  Buffer<int32_t> group_;      // by first-text position (-1: in no group)
  Buffer<int32_t> groupEnd_;   // group g's positions are [groupEnd_[g], groupEnd_[g + 1])
  Buffer<int32_t> positions_;  // second-text positions, by group
  Buffer<int32_t> runStarts_;  // by group, when the groups are runs of the array
};

// The earliest block of one short length in two ranges, through a hash table of the
// blocks of the shorter range: a pass over each range, in cache while that one is short.
class ShortBlockTable {
 public:
  // Lengths up to this many bytes are one 64-bit number.
  static constexpr int32_t kLongest = 8;

  // The block of `length` (1 to kLongest) with the lowest start in `first`, then in `second`.
  bool FindEarliest(std::span<const uint8_t> first, std::span<const uint8_t> second, int32_t length,
                    MatchBlock& block, CancelCheck& check) {
    const auto size = static_cast<std::size_t>(length);
    if (first.size() < size || second.size() < size) return false;
    const bool tableOfSecond = second.size() <= first.size();
    Fill(tableOfSecond ? second : first, size, check);
    block = {};
    int32_t found = -1;
    if (tableOfSecond) {
      // The first start in the first range whose block is in the table.
      ForEachNumber(first, size, check, [&](int32_t i, uint64_t number) {
        found = Lookup(number);
        if (found < 0) return true;
        block = {i, found, length};
        return false;
      });
    } else {
      // Every start in the second range whose block is in the table, keeping the lowest
      // start in the first range (the table holds each block's lowest), first seen.
      ForEachNumber(second, size, check, [&](int32_t j, uint64_t number) {
        const int32_t i = Lookup(number);
        if (i >= 0 && (found < 0 || i < block.start1)) {
          found = i;
          block = {i, j, length};
        }
        return block.start1 != 0 || found < 0;  // nothing comes before the first start
      });
    }
    return found >= 0;
  }

 private:
  struct Slot {
    uint64_t number;
    int32_t position;  // -1: empty
  };

  // Calls visit(start, number) for each block of `size` bytes, in order, while it returns
  // true.
  template <typename Visit>
  static void ForEachNumber(std::span<const uint8_t> text, std::size_t size, CancelCheck& check,
                            Visit visit) {
    if (text.size() < size) return;
    const uint64_t mask = size == 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * size)) - 1;
    uint64_t number = 0;
    for (std::size_t k = 0; k + 1 < size; ++k) number = number << 8 | text[k];
    check.ForEachWhile(std::size_t{0}, text.size() - size + 1, WorkStage::kSearch,
                       [&](std::size_t start) {
                         number = (number << 8 | text[start + size - 1]) & mask;
                         return visit(static_cast<int32_t>(start), number);
                       });
  }

  std::size_t Home(uint64_t number) const {
    return static_cast<std::size_t>((number * 0x9E3779B97F4A7C15u) >> shift_);
  }

  // Each block of the range with its lowest start.
  void Fill(std::span<const uint8_t> text, std::size_t size, CancelCheck& check) {
    // At most half full, and a power of two (sizes in 64 bits: a 32-bit size could wrap).
    const uint64_t blocks = text.size() - size + 1;
    int32_t bits = 4;
    while ((uint64_t{1} << bits) < 2 * blocks) ++bits;
    const uint64_t capacity = uint64_t{1} << bits;
    if (slots_.size() < capacity) ResizeOrThrow(slots_, capacity);
    shift_ = 64 - bits;
    mask_ = static_cast<std::size_t>(capacity - 1);
    FillInPieces(slots_.begin(), slots_.begin() + static_cast<std::ptrdiff_t>(capacity),
                 Slot{0, -1}, check, WorkStage::kSearch);
    ForEachNumber(text, size, check, [&](int32_t start, uint64_t number) {
      std::size_t at = Home(number);
      while (slots_[at].position >= 0 && slots_[at].number != number) at = (at + 1) & mask_;
      if (slots_[at].position < 0) slots_[at] = {number, start};
      return true;
    });
  }

  int32_t Lookup(uint64_t number) const {
    for (std::size_t at = Home(number);; at = (at + 1) & mask_) {
      if (slots_[at].position < 0) return -1;
      if (slots_[at].number == number) return slots_[at].position;
    }
  }

  Buffer<Slot> slots_;  // filled before each use
  std::size_t mask_ = 0;
  int32_t shift_ = 64;
};

static_assert(kLongBlock - 1 <= ShortBlockTable::kLongest);

template <typename Symbol>
class Matcher {
 public:
  // Ids are below `alphabet`; bytes need none.
  Matcher(std::span<const Symbol> first, std::span<const Symbol> second, int32_t alphabet,
          const MatcherTuning& tuning, MatcherStats& stats, CancelCheck& check)
      : first_(first),
        second_(second),
        alphabet_(alphabet),
        tuning_(tuning),
        stats_(stats),
        check_(check) {
    const auto size = static_cast<int64_t>(first.size()) + static_cast<int64_t>(second.size()) + 2;
    // The suffix array's positions are 32-bit.
    indexPossible_ = size <= std::numeric_limits<int32_t>::max();
    forced_ = tuning.automatonBudget == 0;
    inputSize_ = size;
    plainScanPairs_ = PlainScanPairs<Symbol>(tuning);
    budget_ = tuning.automatonBudget;
    largestAutomatonPass_ =
        tuning.automatonBudget < 0 ? kLargestAutomatonPass : std::numeric_limits<int64_t>::max();
  }

  // Reports every block of the decomposition as report(block), in no particular order.
  template <typename Report>
  void Run(Report& report) {
    const auto size1 = static_cast<int32_t>(first_.size());
    const auto size2 = static_cast<int32_t>(second_.size());
    Push({0, size1, 0, size2, std::min(size1, size2)});
    if (forced_ && indexPossible_) BuildIndex();

    while (!pending_.empty()) {
      if (index_) std::pop_heap(pending_.begin(), pending_.end(), LowerBound);
      Pending item = pending_.back();
      pending_.pop_back();
      // The searches count their own work.
      check_.Add(kRangeUnits, WorkStage::kRanges);
      if (static_cast<int64_t>(item.size1) * item.size2 <= plainScanPairs_) {
        ++stats_.plainScans;
        auto shifted = [&](const MatchBlock& found) {
          report(MatchBlock{item.start1 + found.start1 - 1, item.start2 + found.start2 - 1,
                            found.length});
        };
        PlainScan(first_.subspan(static_cast<std::size_t>(item.start1)),
                  second_.subspan(static_cast<std::size_t>(item.start2)), 1, item.size1, 1,
                  item.size2, check_, shifted);
        continue;
      }
      MatchBlock block;
      if (!LongestBlock(item, block)) {
        Push(item);  // with the lower bound learnt, to wait for its length
        continue;
      }
      if (block.length == 0) continue;
      report(block);
      // Right of the block, then left of it; the order is free, as the blocks are sorted
      // where their order matters.
      Push({block.start1 + block.length, item.start1 + item.size1 - block.start1 - block.length,
            block.start2 + block.length, item.start2 + item.size2 - block.start2 - block.length,
            block.length});
      // Left of the earliest longest block there is nothing as long.
      Push({item.start1, block.start1 - item.start1, item.start2, block.start2 - item.start2,
            block.length - 1});

      if (!index_ && indexPossible_ && IndexDue(item, block)) BuildIndex();
    }
  }

  // The first block of the decomposition alone: the earliest longest block of the texts.
  MatchBlock Longest() {
    const auto size1 = static_cast<int32_t>(first_.size());
    const auto size2 = static_cast<int32_t>(second_.size());
    Pending item{0, size1, 0, size2, std::min(size1, size2)};
    MatchBlock block;
    if (item.bound <= 0) return block;
    if (static_cast<int64_t>(size1) * size2 <= plainScanPairs_) {
      ++stats_.plainScans;
      block = PlainLongest(first_, second_, 1, size1, 1, size2, check_);
      return block.length == 0 ? MatchBlock{}
                               : MatchBlock{block.start1 - 1, block.start2 - 1, block.length};
    }
    if (forced_ && indexPossible_) BuildIndex();
    // Each round without a block has learnt a lower bound, down to 0 at most.
    while (!LongestBlock(item, block)) {
    }
    return block;
  }

 private:
  // Once the index is there, longest bounds first: each grouping then serves every range
  // of its length, and lengths only go down.
  void Push(Pending item) {
    item.bound = std::min({item.bound, item.size1, item.size2});
    if (item.bound <= 0) return;  // nothing in common, or an empty range
    pending_.push_back(item);
    if (index_) std::push_heap(pending_.begin(), pending_.end(), LowerBound);
  }

  // After an automaton pass over the item found the block: whether to build the index now.
  bool IndexDue(const Pending& item, const MatchBlock& block) {
    if (tuning_.automatonBudget >= 0) return stats_.automatonCharacters > budget_;
    const int64_t whole = static_cast<int64_t>(item.size1) + item.size2;
    const int64_t left =
        static_cast<int64_t>(block.start1 - item.start1) + block.start2 - item.start2;
    const int64_t right = whole - left - 2 * static_cast<int64_t>(block.length);
    if (16 * std::max(left, right) > 15 * whole) stalledCost_ += passCost_;
    return automatonCost_ > kIndexUnits * inputSize_ || stalledCost_ > kStalledUnits * inputSize_;
  }

  void BuildIndex() {
    automaton_.Release();  // kept from larger ranges than are likely to come
    index_ = std::make_unique<EqualBlockIndex<Symbol>>(first_, second_, alphabet_, check_);
    stats_.indexBuilt = true;
    credit_ = stats_.automatonCharacters;
    std::make_heap(pending_.begin(), pending_.end(), LowerBound);
  }

  void Regroup(int32_t length) {
    index_->GroupBy(length);
    ++stats_.lengthGroupings;
    credit_ = forced_ ? 0 : std::max<int64_t>(credit_ - index_->Size(), 0);
  }

  std::span<const Symbol> First(const Pending& item) const {
    return first_.subspan(static_cast<std::size_t>(item.start1),
                          static_cast<std::size_t>(item.size1));
  }
  std::span<const Symbol> Second(const Pending& item) const {
    return second_.subspan(static_cast<std::size_t>(item.start2),
                           static_cast<std::size_t>(item.size2));
  }

  // The earliest longest block of the item's ranges, in `block` (length 0: none). False
  // when only a lower bound was learnt, set in `item`, which then waits for its length.
  bool LongestBlock(Pending& item, MatchBlock& block) {
    block = {};
    const int64_t work = static_cast<int64_t>(item.size1) + item.size2;
    if (!index_ && indexPossible_ && work > largestAutomatonPass_) BuildIndex();
    if (index_ && !forced_ && item.bound < kLongBlock) return ShortBlock(item, block);
    if (index_) {
      // A regrouping costs a pass over both texts: made once as much other work has been
      // done since the last (or always, when forced).
      if (index_->Length() != item.bound && (forced_ || credit_ >= index_->Size())) {
        Regroup(item.bound);
      }
      if (index_->Length() == item.bound) {
        if (index_->FindEarliest(item, std::numeric_limits<int64_t>::max(), block) ==
            Search::kFound) {
          ++stats_.groupingHits;
          return true;
        }
        ++stats_.groupingMisses;
        if (--item.bound == 0) return true;
        if (!forced_ && item.bound < kLongBlock) return false;
      }
      const int32_t shortest = forced_ ? 1 : kLongBlock;
      const int64_t budget = forced_ ? std::numeric_limits<int64_t>::max() : work;
      switch (index_->FindLongest(item, shortest, budget, block)) {
        case Search::kFound:
          ++stats_.reachSearches;
          return true;
        case Search::kNone:
          ++stats_.reachSearchesEmpty;
          item.bound = shortest - 1;
          return item.bound == 0;
        case Search::kAbandoned:
          ++stats_.reachSearchesAbandoned;
          break;
      }
    }
    ++stats_.automatonCalls;
    stats_.automatonCharacters += work;
    credit_ += work;
    block = automaton_.EarliestLongestBlock(First(item), Second(item),
                                            static_cast<uint32_t>(item.bound), check_);
    if (automaton_.WasDense()) stats_.denseAutomatonCharacters += work;
    passCost_ = automaton_.WasDense() ? work : kSparseUnits * work;
    automatonCost_ += passCost_;
    block.start1 += item.start1;
    block.start2 += item.start2;
    return true;
  }

  // Blocks shorter than the reach search tries. A grouping of the suffix array serves all
  // the ranges of its length, when their blocks come early in them (nested ranges of tiny
  // blocks, where one range's remainder is nearly all of it); a table of the short side
  // finds a block in one pass over each range, in cache, and is the way for the long side
  // of a range whose short side is short. So: a grouping for a range with no short side, or
  // once the tables have cost a few passes over both texts since the last grouping; the grouping
  // when it is there, for as long as it does not cost the range more than a table would;
  // otherwise a table. Ids have no tables (a block of them is no 64-bit number): always
  // the grouping.
  bool ShortBlock(Pending& item, MatchBlock& block) {
    const int64_t work = static_cast<int64_t>(item.size1) + item.size2;
    const bool tabled = kBytes && std::min(item.size1, item.size2) <= tuning_.shortTableSide;
    if (index_->Length() != item.bound &&
        (!tabled || shortCredit_ >= kTablePasses * index_->Size())) {
      Regroup(item.bound);
      shortCredit_ = 0;
    }
    if (index_->Length() == item.bound) {
      const int64_t budget = tabled ? work / 4 : std::numeric_limits<int64_t>::max();
      switch (index_->FindEarliest(item, budget, block)) {
        case Search::kFound:
          ++stats_.groupingHits;
          return true;
        case Search::kNone:
          ++stats_.groupingMisses;
          return --item.bound == 0;
        case Search::kAbandoned:
          break;
      }
    }
    // Down from the bound: usually the bound itself or one less.
    if constexpr (kBytes) {
      for (int32_t length = item.bound; length > 0; --length) {
        ++stats_.shortTableSearches;
        shortCredit_ += work;
        if (shortTable_.FindEarliest(First(item), Second(item), length, block, check_)) {
          block.start1 += item.start1;
          block.start2 += item.start2;
          return true;
        }
      }
    }
    return true;
  }

  static constexpr bool kBytes = sizeof(Symbol) == 1;

  std::span<const Symbol> first_;
  std::span<const Symbol> second_;
  int32_t alphabet_;
  const MatcherTuning& tuning_;
  MatcherStats& stats_;
  CancelCheck& check_;
  bool indexPossible_;
  bool forced_;
  int64_t plainScanPairs_;
  int64_t inputSize_;          // both texts and two separators, as the suffix array has them
  int64_t budget_;             // automaton characters, where the tuning gives them
  int64_t automatonCost_ = 0;  // what the automaton's passes cost by default, weighed
  int64_t stalledCost_ = 0;    // of that, in passes that stalled
  int64_t passCost_ = 0;       // the last pass's
  int64_t largestAutomatonPass_;
  int64_t credit_ = 0;       // automaton work since the last grouping
  int64_t shortCredit_ = 0;  // table work since the last grouping
  std::vector<Pending> pending_;
  SuffixAutomaton<Symbol> automaton_;
  ShortBlockTable shortTable_;  // bytes only
  std::unique_ptr<EqualBlockIndex<Symbol>> index_;
};

// Reports the blocks of the ranges (1-based and inclusive) as report(block), with 0-based
// starts in the whole texts, in no particular order.
template <typename Symbol, typename Report>
[[gnu::always_inline]] inline void MatchRanges(std::span<const Symbol> first,
                                               std::span<const Symbol> second, int32_t start1,
                                               int32_t end1, int32_t start2, int32_t end2,
                                               int32_t alphabet, const MatcherTuning& tuning,
                                               MatcherStats* stats,
                                               const Cancellation* cancellation, Report& report) {
  if (!(start1 <= end1 && start2 <= end2 && start1 > 0 && start2 > 0)) return;
  MatcherStats ignored;
  MatcherStats& out = stats ? *stats : ignored;
  CancelCheck check(cancellation);

  const auto size1 = static_cast<int64_t>(end1) - start1 + 1;
  const auto size2 = static_cast<int64_t>(end2) - start2 + 1;
  if (size1 * size2 <= PlainScanPairs<Symbol>(tuning)) {
    ++out.plainScans;
    auto zeroBased = [&](const MatchBlock& block) {
      report(MatchBlock{block.start1 - 1, block.start2 - 1, block.length});
    };
    PlainScan(first, second, start1, end1, start2, end2, check, zeroBased);
    return;
  }
  try {
    Matcher<Symbol> matcher(
        first.subspan(static_cast<std::size_t>(start1) - 1, static_cast<std::size_t>(size1)),
        second.subspan(static_cast<std::size_t>(start2) - 1, static_cast<std::size_t>(size2)),
        alphabet, tuning, out, check);
    auto shifted = [&](const MatchBlock& block) {
      report(MatchBlock{start1 - 1 + block.start1, start2 - 1 + block.start2, block.length});
    };
    matcher.Run(shifted);
  } catch (const std::length_error&) {
    // A container asked for more than the address space holds: out of memory all the same.
    throw std::bad_alloc();
  }
}

template <typename Symbol>
std::vector<MatchBlock> SortedBlocks(std::span<const Symbol> first, std::span<const Symbol> second,
                                     int32_t start1, int32_t end1, int32_t start2, int32_t end2,
                                     int32_t alphabet, const MatcherTuning& tuning,
                                     MatcherStats* stats, const Cancellation* cancellation) {
  std::vector<MatchBlock> blocks;
  auto keep = [&](const MatchBlock& block) { blocks.push_back(block); };
  MatchRanges(first, second, start1, end1, start2, end2, alphabet, tuning, stats, cancellation,
              keep);
  // Blocks never cross: in the order of the first text, they are in that of the second.
  std::sort(blocks.begin(), blocks.end(),
            [](const MatchBlock& x, const MatchBlock& y) { return x.start1 < y.start1; });
  return blocks;
}

template <typename Symbol>
MatchBlock Longest(std::span<const Symbol> first, std::span<const Symbol> second, int32_t start1,
                   int32_t end1, int32_t start2, int32_t end2, int32_t alphabet,
                   const MatcherTuning& tuning, MatcherStats* stats,
                   const Cancellation* cancellation) {
  if (!(start1 <= end1 && start2 <= end2 && start1 > 0 && start2 > 0)) return {};
  MatcherStats ignored;
  CancelCheck check(cancellation);
  try {
    Matcher<Symbol> matcher(
        first.subspan(static_cast<std::size_t>(start1) - 1,
                      static_cast<std::size_t>(end1) - static_cast<std::size_t>(start1) + 1),
        second.subspan(static_cast<std::size_t>(start2) - 1,
                       static_cast<std::size_t>(end2) - static_cast<std::size_t>(start2) + 1),
        alphabet, tuning, stats ? *stats : ignored, check);
    const MatchBlock block = matcher.Longest();
    if (block.length == 0) return {};
    return {start1 - 1 + block.start1, start2 - 1 + block.start2, block.length};
  } catch (const std::length_error&) {
    throw std::bad_alloc();
  }
}

// The alphabet of two texts of ids: one more than the largest.
int32_t IdAlphabet(std::span<const uint32_t> first, std::span<const uint32_t> second) {
  uint32_t largest = 0;
  for (const auto text : {first, second}) {
    for (const uint32_t id : text) largest = std::max(largest, id);
  }
  // The suffix array numbers them from 2, in 32 bits.
  if (largest >= kIdLimit) throw std::invalid_argument("an id beyond the matcher's range");
  return static_cast<int32_t>(largest) + 1;
}

}  // namespace

int32_t FastMatchCount(std::span<const uint8_t> first, std::span<const uint8_t> second,
                       int32_t start1, int32_t end1, int32_t start2, int32_t end2,
                       const MatcherTuning& tuning, MatcherStats* stats,
                       const Cancellation* cancellation) {
  int64_t total = 0;
  auto add = [&](const MatchBlock& block) { total += block.length; };
  MatchRanges(first, second, start1, end1, start2, end2, 0, tuning, stats, cancellation, add);
  // At most min(size1, size2), so it fits.
  return static_cast<int32_t>(total);
}

std::vector<MatchBlock> FastMatchBlocks(std::span<const uint8_t> first,
                                        std::span<const uint8_t> second, int32_t start1,
                                        int32_t end1, int32_t start2, int32_t end2,
                                        const MatcherTuning& tuning, MatcherStats* stats,
                                        const Cancellation* cancellation) {
  return SortedBlocks(first, second, start1, end1, start2, end2, 0, tuning, stats, cancellation);
}

std::vector<MatchBlock> FastMatchBlocks(std::span<const uint32_t> first,
                                        std::span<const uint32_t> second, int32_t start1,
                                        int32_t end1, int32_t start2, int32_t end2,
                                        const MatcherTuning& tuning, MatcherStats* stats,
                                        const Cancellation* cancellation) {
  return SortedBlocks(first, second, start1, end1, start2, end2, IdAlphabet(first, second), tuning,
                      stats, cancellation);
}

MatchBlock FastLongestBlock(std::span<const uint8_t> first, std::span<const uint8_t> second,
                            int32_t start1, int32_t end1, int32_t start2, int32_t end2,
                            const MatcherTuning& tuning, MatcherStats* stats,
                            const Cancellation* cancellation) {
  return Longest(first, second, start1, end1, start2, end2, 0, tuning, stats, cancellation);
}

MatchBlock FastLongestBlock(std::span<const uint32_t> first, std::span<const uint32_t> second,
                            int32_t start1, int32_t end1, int32_t start2, int32_t end2,
                            const MatcherTuning& tuning, MatcherStats* stats,
                            const Cancellation* cancellation) {
  return Longest(first, second, start1, end1, start2, end2, IdAlphabet(first, second), tuning,
                 stats, cancellation);
}

}  // namespace scoring
