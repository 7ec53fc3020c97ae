// A dynamically sized array of bytes indexed from 1, with every access bounds-checked
// against its current bounds. Empty until Redim sizes it; Erase frees the storage.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "runtime/runtime_error.h"

namespace runtime {

class ByteArray {
 public:
  // Sizes the array to 1..count with every element 0; a count of 0 leaves it empty.
  void Redim(int32_t count) {
    if (count < 0) Raise(ErrorKind::kSubscriptOutOfRange);
    bytes_.assign(static_cast<std::size_t>(count), 0);
  }

  // Frees the storage; afterwards the array has no elements.
  void Erase() { std::vector<uint8_t>().swap(bytes_); }

  uint8_t& operator()(int32_t index) {
    if (index < 1 || static_cast<std::size_t>(index) > bytes_.size()) {
      Raise(ErrorKind::kSubscriptOutOfRange);
    }
    return bytes_[static_cast<std::size_t>(index) - 1];
  }

  bool IsEmpty() const { return bytes_.empty(); }
  std::size_t Capacity() const { return bytes_.capacity(); }
  int32_t UpperBound() const { return static_cast<int32_t>(bytes_.size()); }
  std::span<const uint8_t> Bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace runtime
