// Sizing the matcher's arrays so that every failure to get the memory is std::bad_alloc: the
// caller reports that one as "out of memory". A size too large for the address space would
// otherwise throw std::length_error, and one computed in 32 bits could wrap.
#pragma once

#include <cstdint>
#include <new>
#include <vector>

namespace scoring {

// Sizes are computed in 64 bits by the callers, so nothing wraps before this check.
template <typename T>
void CheckCapacity(const std::vector<T>& v, uint64_t count) {
  if (count > static_cast<uint64_t>(v.max_size())) throw std::bad_alloc();
}

template <typename T>
void ResizeOrThrow(std::vector<T>& v, uint64_t count) {
  CheckCapacity(v, count);
  v.resize(static_cast<std::size_t>(count));
}

template <typename T>
void ReserveOrThrow(std::vector<T>& v, uint64_t count) {
  CheckCapacity(v, count);
  v.reserve(static_cast<std::size_t>(count));
}

}  // namespace scoring
