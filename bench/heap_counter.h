// The benchmarks' global operator new and delete: a benchmark executable that links
// heap_counter.cpp counts every allocation made through them, and the heap bytes live at once.
#pragma once

#include <cstdint>

namespace bench {

// Allocations so far.
int64_t HeapAllocations();
// Bytes allocated and not yet freed.
int64_t HeapLiveBytes();
// The most bytes live at once since the last ResetHeapPeak (or the start).
int64_t HeapPeakBytes();
void ResetHeapPeak();

}  // namespace bench
