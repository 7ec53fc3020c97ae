#include "failing_allocations.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace {

// 0: no request fails by its size.
std::atomic<std::size_t> smallestFailing{0};
// Requests still to succeed before one fails; negative: none fails by its number.
std::atomic<int64_t> succeeding{-1};
// Bytes held now, and what was held when the current FailingAllocations began; its budget
// (negative: none) and the most held since.
std::atomic<int64_t> held{0};
std::atomic<int64_t> heldAtStart{0};
std::atomic<int64_t> budget{-1};
std::atomic<int64_t> peak{0};
std::atomic<int> failures{0};

// Each block starts with its size, so that a delete knows what it gives back.
constexpr std::size_t kHeader = alignof(std::max_align_t);

bool Refused(std::size_t size) {
  const std::size_t smallest = smallestFailing.load(std::memory_order_relaxed);
  if (smallest != 0 && size >= smallest) return true;
  if (succeeding.load(std::memory_order_relaxed) < 0) return false;
  return succeeding.fetch_sub(1) == 0;
}

void* Allocate(std::size_t size) {
  if (Refused(size)) {
    ++failures;
    throw std::bad_alloc();
  }
  const auto bytes = static_cast<int64_t>(size);
  const int64_t now = held.fetch_add(bytes) + bytes - heldAtStart.load();
  const int64_t limit = budget.load();
  if (limit >= 0 && now > limit) {
    held -= bytes;
    ++failures;
    throw std::bad_alloc();
  }
  for (int64_t most = peak.load(); now > most && !peak.compare_exchange_weak(most, now);) {
  }
  if (size > SIZE_MAX - kHeader) throw std::bad_alloc();
  if (void* memory = std::malloc(size + kHeader)) {
    *static_cast<std::size_t*>(memory) = size;
    return static_cast<char*>(memory) + kHeader;
  }
  held -= bytes;
  throw std::bad_alloc();
}

void Free(void* memory) noexcept {
  if (!memory) return;
  void* const block = static_cast<char*>(memory) - kHeader;
  held -= static_cast<int64_t>(*static_cast<std::size_t*>(block));
  std::free(block);
}

}  // namespace

FailingAllocations::FailingAllocations(std::size_t smallest)
    : FailingAllocations(smallest, -1, -1) {}

FailingAllocations::FailingAllocations(std::size_t smallest, int64_t count, int64_t bytes) {
  failures = 0;
  heldAtStart = held.load();
  peak = 0;
  smallestFailing = smallest;
  succeeding = count;
  budget = bytes;
}

FailingAllocations FailingAllocations::After(int64_t count) {
  return FailingAllocations(0, count, -1);
}

FailingAllocations FailingAllocations::Beyond(int64_t bytes) {
  return FailingAllocations(0, -1, bytes);
}

FailingAllocations::~FailingAllocations() {
  smallestFailing = 0;
  succeeding = -1;
  budget = -1;
}

int FailingAllocations::Failures() const {
  return failures;
}

int64_t FailingAllocations::PeakBytes() const {
  return peak;
}

void* operator new(std::size_t size) {
  return Allocate(size);
}
void* operator new[](std::size_t size) {
  return Allocate(size);
}
void operator delete(void* memory) noexcept {
  Free(memory);
}
void operator delete[](void* memory) noexcept {
  Free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
  Free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
  Free(memory);
}
