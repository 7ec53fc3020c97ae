// Allocation failure on demand, as when memory runs out: the test executables that link
// failing_allocations.cpp replace the global operator new with one that, while a
// FailingAllocations is alive, throws std::bad_alloc for every request of at least a given
// size, on any thread.
#pragma once

#include <cstddef>

class FailingAllocations {
 public:
  explicit FailingAllocations(std::size_t smallestFailing);
  FailingAllocations(const FailingAllocations&) = delete;
  FailingAllocations& operator=(const FailingAllocations&) = delete;
  ~FailingAllocations();

  // Requests refused so far.
  int Failures() const;
};
