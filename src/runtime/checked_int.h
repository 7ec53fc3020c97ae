// 32-bit signed arithmetic that raises the overflow error instead of wrapping.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

#include "runtime/runtime_error.h"

namespace runtime {

inline int32_t CheckedAdd(int32_t a, int32_t b) {
  int32_t sum;
  if (__builtin_add_overflow(a, b, &sum)) Raise(ErrorKind::kOverflow);
  return sum;
}

// A length in characters as the 32-bit count the score works with.
inline int32_t CheckedLength(std::size_t length) {
  if (length > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) {
    Raise(ErrorKind::kOverflow);
  }
  return static_cast<int32_t>(length);
}

// Narrows a 16-bit character code to a byte; anything outside 0..255 overflows.
inline uint8_t CheckedByte(int32_t code) {
  if (code < 0 || code > 255) Raise(ErrorKind::kOverflow);
  return static_cast<uint8_t>(code);
}

}  // namespace runtime
