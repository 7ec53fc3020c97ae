// Checked arithmetic: 32-bit signed integers that raise the overflow error instead of
// wrapping, and doubles whose non-finite result raises the floating-point error.
#pragma once

#include <cmath>
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

inline double CheckedMultiply(double left, double right) {
  const double product = left * right;
  if (!std::isfinite(product)) Raise(ErrorKind::kFloatingPoint);
  return product;
}

inline double CheckedDivide(double dividend, double divisor) {
  if (divisor == 0.0) Raise(ErrorKind::kFloatingPoint);
  const double quotient = dividend / divisor;
  if (!std::isfinite(quotient)) Raise(ErrorKind::kFloatingPoint);
  return quotient;
}

}  // namespace runtime
