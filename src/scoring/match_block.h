// One common block of two texts, as the matcher finds and reports them.
#pragma once

#include <cstdint>

namespace scoring {

// 0-based starts in the first and second text, and its length (0 if none).
struct MatchBlock {
  int32_t start1 = 0;
  int32_t start2 = 0;
  int32_t length = 0;
  bool operator==(const MatchBlock&) const = default;
};

}  // namespace scoring
