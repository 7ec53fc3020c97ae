// Suffix array (by induced sorting, linear time) with its longest-common-prefix array.
#pragma once

#include <cstdint>
#include <span>

#include "scoring/buffer.h"
#include "scoring/cancellation.h"

namespace scoring {

struct SuffixArray {
  // order[r]: start of the r-th smallest suffix.
  Buffer<int32_t> order;
  // prefix[r]: length of the common prefix of the suffixes at order[r - 1] and order[r];
  // prefix[0] = 0.
  Buffer<int32_t> prefix;
};

// Sorts the suffixes of `text`. The text's last symbol must be 0 and occur nowhere else, every
// symbol is below `alphabet`, and the text is at most INT32_MAX symbols long. Memory: the
// result (8 bytes a symbol) and, while it runs, 5 bytes a symbol more. Every pass counts its
// steps in `check`, which may end the work by throwing Cancelled.
SuffixArray BuildSuffixArray(std::span<const uint8_t> text, int32_t alphabet, CancelCheck& check);
SuffixArray BuildSuffixArray(std::span<const uint16_t> text, int32_t alphabet, CancelCheck& check);
SuffixArray BuildSuffixArray(std::span<const int32_t> text, int32_t alphabet, CancelCheck& check);

}  // namespace scoring
