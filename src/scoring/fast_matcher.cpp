#include "scoring/fast_matcher.h"

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <vector>

#include "scoring/checked_size.h"
#include "scoring/suffix_array.h"
#include "scoring/suffix_automaton.h"

namespace scoring {

int32_t PlainMatchCount(std::span<const uint8_t> first, std::span<const uint8_t> second,
                        int32_t start1, int32_t end1, int32_t start2, int32_t end2) {
  if (!(start1 <= end1 && start2 <= end2 && start1 > 0 && start2 > 0)) return 0;

  // 64-bit positions: a run may reach one past INT32_MAX.
  int32_t best = 0, bestI = 0, bestJ = 0;
  for (int64_t i = start1; i <= end1; ++i) {
    for (int64_t j = start2; j <= end2; ++j) {
      int64_t k = 0;
      while (i + k <= end1 && j + k <= end2 &&
             first[static_cast<std::size_t>(i + k - 1)] ==
                 second[static_cast<std::size_t>(j + k - 1)]) {
        ++k;
      }
      if (k > best) {
        best = static_cast<int32_t>(k);
        bestI = static_cast<int32_t>(i);
        bestJ = static_cast<int32_t>(j);
      }
    }
  }
  if (best == 0) return 0;
  const int32_t right = PlainMatchCount(first, second, bestI + best, end1, bestJ + best, end2);
  const int32_t left = PlainMatchCount(first, second, start1, bestI - 1, start2, bestJ - 1);
  return best + right + left;
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

// Below this the blocks are short and common, and searching by reach rarely pays; the
// ranges wait for a grouping of the suffix array by their length instead.
constexpr int32_t kLongBlock = 8;

// By default the suffix array is built before any automaton pass over more characters than
// this: an automaton of a longer text no longer stays in cache, and one pass over it then
// costs more than building the suffix array of both texts.
constexpr int64_t kLargestAutomatonPass = int64_t{1} << 18;

// Roughly what the automaton costs per character, in passes of a regrouping per symbol.
constexpr int64_t kAutomatonCostRatio = 4;

enum class Search { kFound, kNone, kAbandoned };

// Blocks found through a suffix array of both texts. For a length U the suffixes that agree
// in their first U symbols are neighbours in the array: grouping them gives each first-text
// position the group of its U-symbol block, and each group the sorted list of its positions
// in the second text; one pass regroups for a new length. Each first-text position's longest
// match anywhere in the second text ("reach") leads the search for long blocks.
// Memory: 16 bytes a symbol of both texts, 24 once grouped, 13 more while it is built.
class EqualBlockIndex {
 public:
  EqualBlockIndex(std::span<const uint8_t> first, std::span<const uint8_t> second)
      : firstSize_(static_cast<int32_t>(first.size())),
        secondSize_(static_cast<int32_t>(second.size())) {
    {
      SuffixArray array = BuildArray(first, second);
      order_ = std::move(array.order);
      prefix_ = std::move(array.prefix);
    }
    rank_ = RanksBefore(order_, firstSize_);

    // reach_[i]: the larger common prefix with the nearest second-text suffix on either side
    // in the array.
    ResizeOrThrow(reach_, first.size());
    const std::size_t size = order_.size();
    int32_t common = 0;  // with the nearest second-text suffix so far (0: none yet)
    for (std::size_t r = 0; r < size; ++r) {
      if (r > 0) common = std::min(common, prefix_[r]);
      const int32_t position = order_[r];
      if (position > firstSize_) {
        common = std::numeric_limits<int32_t>::max();
      } else if (position < firstSize_) {
        reach_[static_cast<std::size_t>(position)] = common;
      }
    }
    common = 0;
    for (std::size_t r = size; r-- > 0;) {
      const int32_t position = order_[r];
      if (position > firstSize_) {
        common = std::numeric_limits<int32_t>::max();
      } else if (position < firstSize_) {
        int32_t& reach = reach_[static_cast<std::size_t>(position)];
        reach = std::max(reach, common);
      }
      common = std::min(common, prefix_[r]);
    }
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
    for (int32_t i = item.start1; i < end1 && block.length < item.bound; ++i) {
      const int32_t reach = std::min({reach_[static_cast<std::size_t>(i)], end1 - i, item.bound});
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
    return block.length > 0 ? Search::kFound : Search::kNone;
  }

  int64_t Size() const { return static_cast<int64_t>(order_.size()); }
  int32_t Length() const { return length_; }

  void GroupBy(int32_t length) {
    length_ = length;
    const std::size_t size = order_.size();
    ResizeOrThrow(group_, size);
    // Only groups with positions in both texts can hold a block; the others get -1, so the
    // search skips their positions without looking further.
    const int32_t secondBegin = firstSize_ + 1;
    const int32_t secondEnd = secondBegin + secondSize_;
    int32_t groups = 0;
    for (std::size_t r = 0; r < size;) {
      bool inFirst = false, inSecond = false;
      std::size_t end = r;
      do {
        const int32_t position = order_[end];
        inFirst |= position < firstSize_;
        inSecond |= position >= secondBegin && position < secondEnd;
        ++end;
      } while (end < size && prefix_[end] >= length);
      const int32_t group = inFirst && inSecond ? groups++ : -1;
      for (; r < end; ++r) group_[static_cast<std::size_t>(order_[r])] = group;
    }
    // Counting sort of the second text's positions by group, kept in position order.
    ResizeOrThrow(groupEnd_, static_cast<uint64_t>(groups) + 2);
    std::fill(groupEnd_.begin(), groupEnd_.end(), 0);
    const int32_t* secondGroups = group_.data() + secondBegin;
    for (int32_t q = 0; q < secondSize_; ++q) {
      if (secondGroups[q] >= 0) ++groupEnd_[static_cast<std::size_t>(secondGroups[q]) + 2];
    }
    for (std::size_t g = 2; g < groupEnd_.size(); ++g) groupEnd_[g] += groupEnd_[g - 1];
    ResizeOrThrow(positions_, static_cast<uint64_t>(groupEnd_.back()));
    for (int32_t q = 0; q < secondSize_; ++q) {
      if (secondGroups[q] < 0) continue;
      positions_[static_cast<std::size_t>(
          groupEnd_[static_cast<std::size_t>(secondGroups[q]) + 1]++)] = q;
    }
  }

  // The block of Length() in the item's ranges with the lowest start in the first text,
  // then in the second.
  bool FindEarliest(const Pending& item, MatchBlock& block) const {
    const int32_t last1 = item.start1 + item.size1 - length_;
    const int32_t last2 = item.start2 + item.size2 - length_;
    for (int32_t i = item.start1; i <= last1; ++i) {
      const int32_t group = group_[static_cast<std::size_t>(i)];
      if (group < 0) continue;
      const int32_t* begin = positions_.data() + groupEnd_[static_cast<std::size_t>(group)];
      const int32_t* end = positions_.data() + groupEnd_[static_cast<std::size_t>(group) + 1];
      const int32_t* found = std::lower_bound(begin, end, item.start2);
      if (found != end && *found <= last2) {
        block = {i, *found, length_};
        return true;
      }
    }
    return false;
  }

 private:
  // first, a separator, second, and the final 0: the separator and the end stop every
  // common prefix at the end of its own text. One byte a symbol when the texts use at most
  // 254 different codes (renumbered in order), two otherwise.
  static SuffixArray BuildArray(std::span<const uint8_t> first, std::span<const uint8_t> second) {
    std::array<uint16_t, 256> symbol{};
    for (uint8_t c : first) symbol[c] = 1;
    for (uint8_t c : second) symbol[c] = 1;
    uint16_t next = 2;
    for (uint16_t& s : symbol) {
      if (s != 0) s = next++;
    }
    if (next <= 256) return BuildArrayOf<uint8_t>(first, second, symbol, next);
    return BuildArrayOf<uint16_t>(first, second, symbol, next);
  }

  template <typename Symbol>
  static SuffixArray BuildArrayOf(std::span<const uint8_t> first, std::span<const uint8_t> second,
                                  const std::array<uint16_t, 256>& symbol, int32_t alphabet) {
    std::vector<Symbol> text;
    ResizeOrThrow(text, static_cast<uint64_t>(first.size()) + second.size() + 2);
    Symbol* out = text.data();
    for (uint8_t c : first) *out++ = static_cast<Symbol>(symbol[c]);
    *out++ = 1;
    for (uint8_t c : second) *out++ = static_cast<Symbol>(symbol[c]);
    *out = 0;
    return BuildSuffixArray(std::span<const Symbol>(text), alphabet);
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
    const auto rank = static_cast<std::size_t>(rank_[static_cast<std::size_t>(i)]);
    for (std::size_t r = rank; r > 0 && prefix_[r] >= length; ++work) consider(--r);
    for (std::size_t r = rank + 1; r < order_.size() && prefix_[r] >= length; ++r, ++work)
      consider(r);
    return found;
  }

  int32_t firstSize_;
  int32_t secondSize_;
  int32_t length_ = 0;  // 0: not grouped yet
  std::vector<int32_t> order_;
  std::vector<int32_t> prefix_;
  std::vector<int32_t> rank_;       // by first-text position
  std::vector<int32_t> reach_;      // by first-text position
  std::vector<int32_t> group_;      // by text position
  std::vector<int32_t> groupEnd_;   // group g's positions are [groupEnd_[g], groupEnd_[g + 1])
  std::vector<int32_t> positions_;  // second-text positions, by group
};

class Matcher {
 public:
  Matcher(std::span<const uint8_t> first, std::span<const uint8_t> second,
          const MatcherTuning& tuning, MatcherStats& stats)
      : first_(first), second_(second), tuning_(tuning), stats_(stats) {
    const auto size = static_cast<int64_t>(first.size()) + static_cast<int64_t>(second.size()) + 2;
    // The suffix array's positions are 32-bit.
    indexPossible_ = size <= std::numeric_limits<int32_t>::max();
    forced_ = tuning.automatonBudget == 0;
    // The suffix array costs a few automaton passes over the input; below that much
    // automaton work (shallow recursion, the usual case) it is not worth building.
    budget_ = tuning.automatonBudget >= 0 ? tuning.automatonBudget : 2 * size;
    largestAutomatonPass_ =
        tuning.automatonBudget < 0 ? kLargestAutomatonPass : std::numeric_limits<int64_t>::max();
  }

  int64_t Count() {
    const auto size1 = static_cast<int32_t>(first_.size());
    const auto size2 = static_cast<int32_t>(second_.size());
    Push({0, size1, 0, size2, std::min(size1, size2)});
    if (forced_ && indexPossible_) BuildIndex();

    int64_t total = 0;
    while (!pending_.empty()) {
      Pending item = Pop();
      if (PlainSized(item)) {
        ++stats_.plainScans;
        total += PlainMatchCount(first_.subspan(static_cast<std::size_t>(item.start1)),
                                 second_.subspan(static_cast<std::size_t>(item.start2)), 1,
                                 item.size1, 1, item.size2);
        continue;
      }
      MatchBlock block;
      if (!LongestBlock(item, block)) {
        Push(item);  // with the lower bound learnt, to wait for its length
        continue;
      }
      if (block.length == 0) continue;
      total += block.length;
      // Right of the block, then left of it; the order is free, as only the sum is kept.
      Push({block.start1 + block.length, item.start1 + item.size1 - block.start1 - block.length,
            block.start2 + block.length, item.start2 + item.size2 - block.start2 - block.length,
            block.length});
      // Left of the earliest longest block there is nothing as long.
      Push({item.start1, block.start1 - item.start1, item.start2, block.start2 - item.start2,
            block.length - 1});

      if (!index_ && indexPossible_ && stats_.automatonCharacters > budget_) BuildIndex();
    }
    return total;
  }

 private:
  bool PlainSized(const Pending& item) const {
    return static_cast<int64_t>(item.size1) * item.size2 <= tuning_.plainScanPairs;
  }

  static int64_t Work(const Pending& item) { return static_cast<int64_t>(item.size1) + item.size2; }

  // The characters of the ranges waiting at each short bound, which a grouping would serve.
  void Track(const Pending& item, int64_t sign) {
    if (item.bound < kLongBlock && !PlainSized(item)) {
      waiting_[static_cast<std::size_t>(item.bound)] += sign * Work(item);
    }
  }

  void Push(Pending item) {
    item.bound = std::min({item.bound, item.size1, item.size2});
    if (item.bound <= 0) return;  // nothing in common, or an empty range
    pending_.push_back(item);
    if (index_) std::push_heap(pending_.begin(), pending_.end(), LowerBound);
    Track(item, 1);
  }

  // Once the index is there, longest bounds first: each grouping then serves every range
  // of its length, and lengths only go down.
  Pending Pop() {
    if (index_) std::pop_heap(pending_.begin(), pending_.end(), LowerBound);
    const Pending item = pending_.back();
    pending_.pop_back();
    Track(item, -1);
    return item;
  }

  void BuildIndex() {
    automaton_.Release();  // kept from larger ranges than are likely to come
    index_ = std::make_unique<EqualBlockIndex>(first_, second_);
    stats_.indexBuilt = true;
    credit_ = stats_.automatonCharacters;
    std::make_heap(pending_.begin(), pending_.end(), LowerBound);
  }

  // A regrouping costs a pass over both texts. For a short length, made once the ranges
  // waiting for it would cost the automaton as much; for a long one, once as much automaton
  // work has been done since the last (or always, when forced).
  bool ShouldRegroup(const Pending& item) const {
    if (forced_) return true;
    if (item.bound < kLongBlock) {
      const int64_t waiting = waiting_[static_cast<std::size_t>(item.bound)] + Work(item);
      return waiting * kAutomatonCostRatio >= index_->Size();
    }
    return credit_ >= index_->Size();
  }

  // The earliest longest block of the item's ranges, in `block` (length 0: none). False
  // when only a lower bound was learnt, set in `item`, which then waits for its length.
  bool LongestBlock(Pending& item, MatchBlock& block) {
    block = {};
    const int64_t work = Work(item);
    if (!index_ && indexPossible_ && work > largestAutomatonPass_) BuildIndex();
    if (index_) {
      if (index_->Length() != item.bound && ShouldRegroup(item)) {
        index_->GroupBy(item.bound);
        ++stats_.lengthGroupings;
        if (item.bound >= kLongBlock) credit_ = forced_ ? 0 : credit_ - index_->Size();
      }
      if (index_->Length() == item.bound) {
        if (index_->FindEarliest(item, block)) {
          ++stats_.groupingHits;
          return true;
        }
        ++stats_.groupingMisses;
        if (--item.bound == 0) return true;
        if (!forced_ && item.bound < kLongBlock) return false;
      }
      if (forced_ || item.bound >= kLongBlock) {
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
    }
    ++stats_.automatonCalls;
    stats_.automatonCharacters += work;
    credit_ += work;
    block = automaton_.EarliestLongestBlock(
        first_.subspan(static_cast<std::size_t>(item.start1), static_cast<std::size_t>(item.size1)),
        second_.subspan(static_cast<std::size_t>(item.start2),
                        static_cast<std::size_t>(item.size2)));
    block.start1 += item.start1;
    block.start2 += item.start2;
    return true;
  }

  std::span<const uint8_t> first_;
  std::span<const uint8_t> second_;
  const MatcherTuning& tuning_;
  MatcherStats& stats_;
  bool indexPossible_;
  bool forced_;
  int64_t budget_;
  int64_t largestAutomatonPass_;
  int64_t credit_ = 0;
  std::array<int64_t, kLongBlock> waiting_{};
  std::vector<Pending> pending_;
  SuffixAutomaton automaton_;
  std::unique_ptr<EqualBlockIndex> index_;
};

}  // namespace

int32_t FastMatchCount(std::span<const uint8_t> first, std::span<const uint8_t> second,
                       int32_t start1, int32_t end1, int32_t start2, int32_t end2,
                       const MatcherTuning& tuning, MatcherStats* stats) {
  if (!(start1 <= end1 && start2 <= end2 && start1 > 0 && start2 > 0)) return 0;
  MatcherStats ignored;
  MatcherStats& out = stats ? *stats : ignored;

  const auto size1 = static_cast<int64_t>(end1) - start1 + 1;
  const auto size2 = static_cast<int64_t>(end2) - start2 + 1;
  if (size1 * size2 <= tuning.plainScanPairs) {
    ++out.plainScans;
    return PlainMatchCount(first, second, start1, end1, start2, end2);
  }
  try {
    Matcher matcher(
        first.subspan(static_cast<std::size_t>(start1) - 1, static_cast<std::size_t>(size1)),
        second.subspan(static_cast<std::size_t>(start2) - 1, static_cast<std::size_t>(size2)),
        tuning, out);
    // At most min(size1, size2), so it fits.
    return static_cast<int32_t>(matcher.Count());
  } catch (const std::length_error&) {
    // A container asked for more than the address space holds: out of memory all the same.
    throw std::bad_alloc();
  }
}

}  // namespace scoring
