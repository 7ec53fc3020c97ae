#include "failing_allocations.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

// 0: no request fails by its size.
std::atomic<std::size_t> smallestFailing{0};
// Requests still to succeed before one fails; negative: none fails by its number.
std::atomic<int64_t> succeeding{-1};
std::atomic<int> failures{0};

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
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}

}  // namespace

FailingAllocations::FailingAllocations(std::size_t smallest) {
  failures = 0;
  smallestFailing = smallest;
}

FailingAllocations FailingAllocations::After(int64_t count) {
  failures = 0;
  succeeding = count;
  return FailingAllocations();
}

FailingAllocations::~FailingAllocations() {
  smallestFailing = 0;
  succeeding = -1;
}

int FailingAllocations::Failures() const {
  return failures;
}

void* operator new(std::size_t size) {
  return Allocate(size);
}
void* operator new[](std::size_t size) {
  return Allocate(size);
}
void operator delete(void* memory) noexcept {
  std::free(memory);
}
void operator delete[](void* memory) noexcept {
  std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
  std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
  std::free(memory);
}
