// Suffix array (by induced sorting, linear time) and longest-common-prefix array.
#pragma once

#include <cstdint>
#include <span>

namespace scoring {

// Sorts the suffixes of `text` into `order`. The text's last symbol must be 0 and occur
// nowhere else; every symbol is below `alphabet`. Both spans of the same size.
void BuildSuffixArray(std::span<const int32_t> text, int32_t alphabet, std::span<int32_t> order);

// prefix[r] = length of the common prefix of the suffixes at order[r - 1] and order[r];
// prefix[0] = 0. `scratch` (same size) is overwritten.
void BuildCommonPrefixes(std::span<const int32_t> text, std::span<const int32_t> order,
                         std::span<int32_t> scratch, std::span<int32_t> prefix);

}  // namespace scoring
