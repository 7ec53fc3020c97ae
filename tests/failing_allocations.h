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
  // A request fails when the bytes allocated since, and not yet freed, would go beyond
  // `budget`: as a machine with that much memory left.
  static FailingAllocations Beyond(int64_t budget);
  FailingAllocations(const FailingAllocations&) = delete;
  FailingAllocations& operator=(const FailingAllocations&) = delete;
  ~FailingAllocations();

  // Requests refused so far.
  int Failures() const;
  // The most bytes held at once since this began, over what was held when it began.
  int64_t PeakBytes() const;

 private:
  FailingAllocations(std::size_t smallestFailing, int64_t succeeding, int64_t budget);
};
