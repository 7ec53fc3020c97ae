// Allocation failure on demand, as when memory runs out: the test executables that link
// failing_allocations.cpp replace the global operator new with one that, while a
// FailingAllocations is alive, throws std::bad_alloc for the requests it names, on any thread.
#pragma once

#include <cstddef>
#include <cstdint>

class FailingAllocations {
 public:
  // Every request of at least `smallestFailing` bytes fails.
  explicit FailingAllocations(std::size_t smallestFailing);
  // Only the request after the next `succeeding` ones fails.
  static FailingAllocations After(int64_t succeeding);
  FailingAllocations(const FailingAllocations&) = delete;
  FailingAllocations& operator=(const FailingAllocations&) = delete;
  ~FailingAllocations();

  // Requests refused so far.
  int Failures() const;

 private:
  FailingAllocations() = default;
};
