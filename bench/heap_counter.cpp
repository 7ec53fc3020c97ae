#include "heap_counter.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace {

// Sizes are kept in a header before each block so that delete knows what it frees.
constexpr std::size_t kHeader = alignof(std::max_align_t);
std::atomic<int64_t> allocations{0};
std::atomic<int64_t> liveBytes{0};
std::atomic<int64_t> peakBytes{0};

void* Allocate(std::size_t size) {
  if (size > SIZE_MAX - kHeader) throw std::bad_alloc();
  void* raw = std::malloc(size + kHeader);
  if (raw == nullptr) throw std::bad_alloc();
  *static_cast<std::size_t*>(raw) = size;
  allocations.fetch_add(1, std::memory_order_relaxed);
  const int64_t live = liveBytes.fetch_add(static_cast<int64_t>(size)) + static_cast<int64_t>(size);
  int64_t peak = peakBytes.load();
  while (live > peak && !peakBytes.compare_exchange_weak(peak, live)) {
  }
  return static_cast<char*>(raw) + kHeader;
}

void Free(void* block) {
  if (block == nullptr) return;
  void* raw = static_cast<char*>(block) - kHeader;
  liveBytes.fetch_sub(static_cast<int64_t>(*static_cast<std::size_t*>(raw)));
  std::free(raw);
}

}  // namespace

namespace bench {

int64_t HeapAllocations() {
  return allocations.load();
}
int64_t HeapLiveBytes() {
  return liveBytes.load();
}
int64_t HeapPeakBytes() {
  return peakBytes.load();
}
void ResetHeapPeak() {
  peakBytes.store(liveBytes.load());
}

}  // namespace bench

void* operator new(std::size_t size) {
  return Allocate(size);
}
void* operator new[](std::size_t size) {
  return Allocate(size);
}
void operator delete(void* block) noexcept {
  Free(block);
}
void operator delete[](void* block) noexcept {
  Free(block);
}
void operator delete(void* block, std::size_t) noexcept {
  Free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  Free(block);
}
