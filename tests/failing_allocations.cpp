#include "failing_allocations.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

// 0: nothing fails.
std::atomic<std::size_t> smallestFailing{0};
std::atomic<int> failures{0};

}  // namespace

FailingAllocations::FailingAllocations(std::size_t smallest) {
  failures = 0;
  smallestFailing = smallest;
}

FailingAllocations::~FailingAllocations() {
  smallestFailing = 0;
}

int FailingAllocations::Failures() const {
  return failures;
}

void* operator new(std::size_t size) {
  const std::size_t smallest = smallestFailing.load(std::memory_order_relaxed);
  if (smallest != 0 && size >= smallest) {
    ++failures;
    throw std::bad_alloc();
  }
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}

void operator delete(void* memory) noexcept {
  std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept {
  std::free(memory);
}
