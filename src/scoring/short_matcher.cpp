#include "scoring/short_matcher.h"

#include <bit>
#include <utility>

namespace scoring {

int32_t ShortMatcher::Count(std::span<const uint8_t> first, std::span<const uint8_t> second) {
  for (std::size_t j = 0; j < second.size(); ++j) positions_[second[j]] |= uint64_t{1} << j;

  // Ranges still to count, 0-based and half-open. Each block found adds two and takes one
  // away, and there are at most kLongest blocks.
  struct Range {
    int32_t start1, end1, start2, end2;
  };
  std::array<Range, 2 * kLongest + 2> pending;
  std::size_t waiting = 0;
  pending[waiting++] = {0, static_cast<int32_t>(first.size()), 0,
                        static_cast<int32_t>(second.size())};
  int32_t total = 0;
  while (waiting > 0) {
    const Range range = pending[--waiting];
    if (range.start1 >= range.end1 || range.start2 >= range.end2) continue;
    const uint64_t inRange = (~uint64_t{0} >> (64 - (range.end2 - range.start2))) << range.start2;
    // The longest block, found one length at a time over all starts i of the range at once:
    // bit j of runs[i] says the run from (i, j) is at least `best` long. A pass without a
    // jump per start costs less than the jumps a start-by-start search mispredicts.
    const int32_t size = range.end1 - range.start1;
    const uint8_t* const codes = first.data() + range.start1;
    uint64_t* const matches = runs_[0].data();
    uint64_t* runs = runs_[1].data();
    uint64_t* longer = runs_[2].data();
    uint64_t any = 0;
    for (int32_t i = 0; i < size; ++i) any |= runs[i] = matches[i] = positions_[codes[i]] & inRange;
    if (any == 0) continue;
    int32_t best = 1;
    for (; best < size; ++best) {
      any = 0;
      for (int32_t i = 0; i + best < size; ++i)
        any |= longer[i] = runs[i] & matches[i + best] >> best;
      if (any == 0) break;
      std::swap(runs, longer);
    }
    // The first of them in scan order: lowest start in the first text, then in the second.
    int32_t i = 0;
    while (runs[i] == 0) ++i;
    const int32_t bestI = range.start1 + i;
    const int32_t bestJ = std::countr_zero(runs[i]);
    total += best;
    pending[waiting++] = {bestI + best, range.end1, bestJ + best, range.end2};
    pending[waiting++] = {range.start1, bestI, range.start2, bestJ};
  }

  for (const uint8_t code : second) positions_[code] = 0;
  return total;
}

}  // namespace scoring
