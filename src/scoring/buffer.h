// The matcher's large arrays: sized so that every failure to get the memory is std::bad_alloc
// (the caller reports that one as "out of memory"; a size too large for the address space
// would otherwise throw std::length_error, and one computed in 32 bits could wrap), and, for
// arrays that are written in full before they are read, without filling them first.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "scoring/cancellation.h"

namespace scoring {

// Leaves new elements of trivial types uninitialised (value-initialises them only when
// asked to, with an argument).
template <typename T>
class UninitializedAllocator : public std::allocator<T> {
 public:
  template <typename U>
  struct rebind {
    using other = UninitializedAllocator<U>;
  };
  UninitializedAllocator() = default;
  template <typename U>
  UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}

  template <typename U>
  void construct(U* at) noexcept {
    ::new (static_cast<void*>(at)) U;
  }
  template <typename U, typename... Args>
  void construct(U* at, Args&&... args) {
    ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
  }
};

// A vector whose resize leaves the new elements unwritten.
template <typename T>
using Buffer = std::vector<T, UninitializedAllocator<T>>;

// Sizes are computed in 64 bits by the callers, so nothing wraps before this check.
template <typename V>
void CheckCapacity(const V& v, uint64_t count) {
  if (count > static_cast<uint64_t>(v.max_size())) throw std::bad_alloc();
}

template <typename V>
void ResizeOrThrow(V& v, uint64_t count) {
  CheckCapacity(v, count);
  v.resize(static_cast<std::size_t>(count));
}

template <typename V>
void ReserveOrThrow(V& v, uint64_t count) {
  CheckCapacity(v, count);
  v.reserve(static_cast<std::size_t>(count));
}

// std::fill for arrays as long as the texts: a piece at a time, each element a unit of work,
// so that a cancel is seen part way.
template <typename Iterator, typename T>
void FillInPieces(Iterator begin, Iterator end, const T& value, CancelCheck& check,
                  WorkStage stage) {
  constexpr std::ptrdiff_t kPiece = 1 << 14;
  while (begin != end) {
    const std::ptrdiff_t size = std::min(end - begin, kPiece);
    std::fill_n(begin, size, value);
    begin += size;
    check.Add(size, stage);
  }
}

// Sizes an array whose contents are all written anew, in an order that jumps about: what it
// held is dropped rather than copied into new memory, and its new elements are written
// (zero) a piece at a time first. Otherwise the system maps the new memory in one burst of
// page faults as the copy or the scattered writes begin, tens of milliseconds on long texts
// with no look for a cancel in between; this way they come spread out, with looks between.
template <typename V>
void ResizeForScatter(V& v, uint64_t count, CancelCheck& check, WorkStage stage) {
  if (count > v.capacity()) V().swap(v);
  const auto old = static_cast<std::ptrdiff_t>(v.size());
  ResizeOrThrow(v, count);
  if (v.size() > static_cast<std::size_t>(old)) {
    FillInPieces(v.begin() + old, v.end(), typename V::value_type{}, check, stage);
  }
}

}  // namespace scoring
