#include "scoring/fast_matcher.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <vector>

#include "scoring/suffix_array.h"
#include "scoring/suffix_automaton.h"

namespace scoring {

int32_t PlainMatchCount(std::span<const uint8_t> first, std::span<const uint8_t> second,
                        int32_t start1, int32_t end1, int32_t start2, int32_t end2) {
  if (!(start1 <= end1 && start2 <= end2 && start1 > 0 && start2 > 0)) return 0;

  // 64-bit positions: a run may reach one past INT32_MAX.
  int32_t best = 0, best_i = 0, best_j = 0;
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
        best_i = static_cast<int32_t>(i);
        best_j = static_cast<int32_t>(j);
      }
    }
  }
  if (best == 0) return 0;
  const int32_t right = PlainMatchCount(first, second, best_i + best, end1, best_j + best, end2);
  const int32_t left = PlainMatchCount(first, second, start1, best_i - 1, start2, best_j - 1);
  return best + right + left;
}

namespace {

// A pair of ranges still to count, 0-based within the texts being matched. `bound` is a
// length no block in them can exceed (the block found around them); `bound_ruled_out` says
// no block of exactly that length exists either (so they hold something shorter).
struct Pending {
  int32_t start1;
  int32_t size1;
  int32_t start2;
  int32_t size2;
  int32_t bound;
  bool bound_ruled_out;
};

bool LowerBound(const Pending& x, const Pending& y) {
  return x.bound < y.bound;
}

// Below this the blocks are short and common, and searching by reach rarely pays.
constexpr int32_t kLongBlock = 8;

// Blocks of one given length, found through a suffix array of both texts. For a length U the
// suffixes that agree in their first U symbols are neighbours in the array, so each position
// gets the number of its group, and each group the sorted list of its positions in the
// second text; one pass regroups for a new length.
class EqualBlockIndex {
 public:
  EqualBlockIndex(std::span<const uint8_t> first, std::span<const uint8_t> second)
      : first_size_(static_cast<int32_t>(first.size())),
        second_size_(static_cast<int32_t>(second.size())) {
    // first, a separator, second, and the final 0: the separator and the end stop every
    // common prefix at the end of its own text.
    const std::size_t size = first.size() + second.size() + 2;
    std::vector<int32_t> text(size);
    for (std::size_t i = 0; i < first.size(); ++i) text[i] = first[i] + 2;
    text[first.size()] = 1;
    for (std::size_t i = 0; i < second.size(); ++i) text[first.size() + 1 + i] = second[i] + 2;
    text[size - 1] = 0;
    order_.resize(size);
    prefix_.resize(size);
    rank_.resize(size);
    BuildSuffixArray(text, 258, order_);
    BuildCommonPrefixes(text, order_, rank_, prefix_);
    text = {};

    // reach_[i]: the longest prefix of the first text's suffix i found anywhere in the
    // second text, the larger common prefix with the nearest second-text suffix on either
    // side in the array.
    reach_.assign(first.size(), 0);
    int32_t common = 0;  // with the nearest second-text suffix so far (0: none yet)
    for (std::size_t r = 0; r < size; ++r) {
      if (r > 0) common = std::min(common, prefix_[r]);
      const int32_t position = order_[r];
      if (position > first_size_) {
        common = std::numeric_limits<int32_t>::max();
      } else if (position < first_size_) {
        reach_[static_cast<std::size_t>(position)] = common;
      }
    }
    common = 0;
    for (std::size_t r = size; r-- > 0;) {
      const int32_t position = order_[r];
      if (position > first_size_) {
        common = std::numeric_limits<int32_t>::max();
      } else if (position < first_size_) {
        int32_t& reach = reach_[static_cast<std::size_t>(position)];
        reach = std::max(reach, common);
      }
      common = std::min(common, prefix_[r]);
    }
  }

  // The earliest longest block in the item's ranges, tried position by position in the
  // first text, where a position can only beat the best so far if its reach does. Each try
  // walks the suffixes sharing the block: cheap for long, rare blocks, costly for short,
  // common ones; so only lengths from `shortest` on are tried, and it gives up (false) past
  // `budget` suffixes visited or if the longest block is shorter than that.
  bool FindLongest(const Pending& item, int32_t shortest, int64_t budget, MatchBlock& block) const {
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
        if (work > budget) return false;
        if (start2 >= 0) {
          block = {i, start2, length};
          low = length + 1;
        } else {
          high = length - 1;
        }
        length = low + (high - low) / 2;
      }
    }
    return block.length > 0;
  }

  int64_t size() const { return static_cast<int64_t>(order_.size()); }
  int32_t length() const { return length_; }

  void GroupBy(int32_t length) {
    length_ = length;
    group_.resize(order_.size());
    int32_t group = -1;
    for (std::size_t r = 0; r < order_.size(); ++r) {
      if (r == 0 || prefix_[r] < length) ++group;
      group_[static_cast<std::size_t>(order_[r])] = group;
    }
    // Counting sort of the second text's positions by group, kept in position order.
    group_end_.assign(static_cast<std::size_t>(group) + 3, 0);
    const int32_t* second_groups = group_.data() + first_size_ + 1;
    for (int32_t q = 0; q < second_size_; ++q)
      ++group_end_[static_cast<std::size_t>(second_groups[q]) + 2];
    for (std::size_t g = 2; g < group_end_.size(); ++g) group_end_[g] += group_end_[g - 1];
    positions_.resize(static_cast<std::size_t>(second_size_));
    for (int32_t q = 0; q < second_size_; ++q) {
      positions_[static_cast<std::size_t>(
          group_end_[static_cast<std::size_t>(second_groups[q]) + 1]++)] = q;
    }
  }

  // The block of length() in the item's ranges with the lowest start in the first text,
  // then in the second. `scanned` counts first-text positions tried.
  bool FindEarliest(const Pending& item, MatchBlock& block, int64_t& scanned) const {
    const int32_t last1 = item.start1 + item.size1 - length_;
    const int32_t last2 = item.start2 + item.size2 - length_;
    for (int32_t i = item.start1; i <= last1; ++i) {
      ++scanned;
      const auto g = static_cast<std::size_t>(group_[static_cast<std::size_t>(i)]);
      const int32_t* begin = positions_.data() + group_end_[g];
      const int32_t* end = positions_.data() + group_end_[g + 1];
      if (begin == end) continue;
      const int32_t* found = std::lower_bound(begin, end, item.start2);
      if (found != end && *found <= last2) {
        block = {i, *found, length_};
        return true;
      }
    }
    return false;
  }

 private:
  // The lowest start in the item's second range of the block of `length` at first-text
  // position i, or -1: the suffixes around i's in the array that share `length` symbols.
  int32_t Occurrence(int32_t i, int32_t length, const Pending& item, int64_t& work) const {
    const int32_t last2 = item.start2 + item.size2 - length;
    const int32_t offset = first_size_ + 1;
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

  int32_t first_size_;
  int32_t second_size_;
  int32_t length_ = 0;  // 0: not grouped yet
  std::vector<int32_t> order_;
  std::vector<int32_t> prefix_;
  std::vector<int32_t> rank_;       // by text position
  std::vector<int32_t> reach_;      // by first-text position
  std::vector<int32_t> group_;      // by text position
  std::vector<int32_t> group_end_;  // group g's positions are [group_end_[g], group_end_[g + 1])
  std::vector<int32_t> positions_;  // second-text positions, by group
};

class Matcher {
 public:
  Matcher(std::span<const uint8_t> first, std::span<const uint8_t> second,
          const MatcherTuning& tuning, MatcherStats& stats)
      : first_(first), second_(second), tuning_(tuning), stats_(stats) {
    const auto size = static_cast<int64_t>(first.size()) + static_cast<int64_t>(second.size()) + 2;
    // The suffix array's positions are 32-bit.
    shortcut_possible_ = size <= std::numeric_limits<int32_t>::max();
    forced_ = tuning.automaton_budget == 0;
    // The suffix array costs a few automaton passes over the input; below that much
    // automaton work (shallow recursion, the usual case) it is not worth building.
    budget_ = tuning.automaton_budget >= 0 ? tuning.automaton_budget : 2 * size;
  }

  int64_t Count() {
    const auto size1 = static_cast<int32_t>(first_.size());
    const auto size2 = static_cast<int32_t>(second_.size());
    pending_.push_back({0, size1, 0, size2, std::min(size1, size2), false});
    if (forced_ && shortcut_possible_) EnableShortcut();

    int64_t total = 0;
    while (!pending_.empty()) {
      if (index_) std::pop_heap(pending_.begin(), pending_.end(), LowerBound);
      const Pending item = pending_.back();
      pending_.pop_back();

      if (static_cast<int64_t>(item.size1) * item.size2 <= tuning_.plain_scan_pairs) {
        ++stats_.plain_scans;
        total += PlainMatchCount(first_.subspan(static_cast<std::size_t>(item.start1)),
                                 second_.subspan(static_cast<std::size_t>(item.start2)), 1,
                                 item.size1, 1, item.size2);
        continue;
      }
      const MatchBlock block = LongestBlock(item);
      if (block.length == 0) continue;
      total += block.length;
      // Right of the block, then left of it; the order is free, as only the sum is kept.
      Push({block.start1 + block.length, item.start1 + item.size1 - block.start1 - block.length,
            block.start2 + block.length, item.start2 + item.size2 - block.start2 - block.length,
            block.length, false});
      // Left of the earliest longest block there is nothing as long.
      Push({item.start1, block.start1 - item.start1, item.start2, block.start2 - item.start2,
            block.length, true});

      if (!index_ && shortcut_possible_ && stats_.automaton_characters > budget_) {
        EnableShortcut();
      }
    }
    return total;
  }

 private:
  void EnableShortcut() {
    index_ = std::make_unique<EqualBlockIndex>(first_, second_);
    stats_.shortcut_enabled = true;
    credit_ = stats_.automaton_characters;
    std::make_heap(pending_.begin(), pending_.end(), LowerBound);
  }

  void Push(Pending item) {
    if (item.size1 == 0 || item.size2 == 0) return;
    const int32_t fits = std::min(item.size1, item.size2);
    if (item.bound > fits) item.bound = fits, item.bound_ruled_out = false;
    pending_.push_back(item);
    if (index_) std::push_heap(pending_.begin(), pending_.end(), LowerBound);
  }

  MatchBlock LongestBlock(const Pending& item) {
    MatchBlock block;
    if (index_ && !item.bound_ruled_out) {
      // Lengths come out of the heap in decreasing order, so each grouping is made once.
      // A regrouping costs a pass over both texts: made only once as much automaton work
      // has been done since the last (or always, when forced).
      if (index_->length() != item.bound && (forced_ || credit_ >= index_->size())) {
        index_->GroupBy(item.bound);
        ++stats_.length_groupings;
        credit_ = forced_ ? 0 : credit_ - index_->size();
      }
      if (index_->length() == item.bound) {
        int64_t scanned = 0;
        const bool found = index_->FindEarliest(item, block, scanned);
        if (found) {
          ++stats_.shortcut_hits;
          return block;
        }
        ++stats_.shortcut_misses;
      }
    }
    const int64_t work = static_cast<int64_t>(item.size1) + item.size2;
    if (index_ && (forced_ || item.bound >= kLongBlock)) {
      // Known no block of the bound: one shorter at most.
      Pending capped = item;
      if (item.bound_ruled_out) --capped.bound;
      const bool found =
          forced_ ? index_->FindLongest(capped, 1, std::numeric_limits<int64_t>::max(), block)
                  : index_->FindLongest(capped, kLongBlock, work, block);
      if (found) {
        ++stats_.reach_searches;
        return block;
      }
      ++stats_.reach_searches_abandoned;
    }
    ++stats_.automaton_calls;
    stats_.automaton_characters += work;
    credit_ += work;
    block = automaton_.EarliestLongestBlock(
        first_.subspan(static_cast<std::size_t>(item.start1), static_cast<std::size_t>(item.size1)),
        second_.subspan(static_cast<std::size_t>(item.start2),
                        static_cast<std::size_t>(item.size2)));
    block.start1 += item.start1;
    block.start2 += item.start2;
    return block;
  }

  std::span<const uint8_t> first_;
  std::span<const uint8_t> second_;
  const MatcherTuning& tuning_;
  MatcherStats& stats_;
  bool shortcut_possible_;
  bool forced_;
  int64_t budget_;
  int64_t credit_ = 0;
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
  if (size1 * size2 <= tuning.plain_scan_pairs) {
    ++out.plain_scans;
    return PlainMatchCount(first, second, start1, end1, start2, end2);
  }
  Matcher matcher(
      first.subspan(static_cast<std::size_t>(start1) - 1, static_cast<std::size_t>(size1)),
      second.subspan(static_cast<std::size_t>(start2) - 1, static_cast<std::size_t>(size2)), tuning,
      out);
  // At most min(size1, size2), so it fits.
  return static_cast<int32_t>(matcher.Count());
}

}  // namespace scoring
