// Time and peak memory of the match count on very long texts: a random text against a
// 2%-edited copy, and two random texts over 26 letters, at 1, 3 and 10 million characters
// per side (or the sizes given).
//   matcher_growth [--repeat R] [N ...]
//
// Peak memory is counted by this program's own global operator new/delete: the most heap
// bytes live at once during the count, less those live when it started (the two input
// texts, which the caller owns). Every allocation the matcher makes goes through them.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "inputs.h"
#include "scoring/fast_matcher.h"

namespace {

// Sizes are kept in a header before each block so that delete knows what it frees.
constexpr std::size_t kHeader = alignof(std::max_align_t);
std::atomic<int64_t> liveBytes{0};
std::atomic<int64_t> peakBytes{0};

void* Allocate(std::size_t size) {
  if (size > SIZE_MAX - kHeader) throw std::bad_alloc();
  void* raw = std::malloc(size + kHeader);
  if (raw == nullptr) throw std::bad_alloc();
  *static_cast<std::size_t*>(raw) = size;
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

struct Run {
  double seconds;
  int64_t peak;
  int32_t k;
};

Run CountOnce(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  const int64_t before = liveBytes.load();
  peakBytes.store(before);
  const auto start = std::chrono::steady_clock::now();
  const int32_t k = scoring::FastMatchCount(a, b, 1, static_cast<int32_t>(a.size()), 1,
                                            static_cast<int32_t>(b.size()));
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  return {elapsed.count(), peakBytes.load() - before, k};
}

}  // namespace

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

int main(int argc, char** argv) {
  int repeat = 1;
  std::vector<std::size_t> sizes;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--repeat" && i + 1 < argc) {
      repeat = std::max(1, std::atoi(argv[++i]));
    } else {
      sizes.push_back(static_cast<std::size_t>(std::strtoull(argv[i], nullptr, 10)));
    }
  }
  if (sizes.empty()) sizes = {1000000, 3000000, 10000000};

  std::printf(
      "| family | n per side | time (s) | time / time at %zu | peak heap (MB) | "
      "bytes per character | K |\n",
      sizes.front());
  std::printf("| --- | ---: | ---: | ---: | ---: | ---: | ---: |\n");
  for (const char* family : {"edited", "random26"}) {
    double first = 0;
    for (std::size_t n : sizes) {
      std::vector<uint8_t> a, b;
      {
        const auto [textA, textB] = bench::FamilyInput(family, n);
        a.assign(textA.begin(), textA.end());
        b.assign(textB.begin(), textB.end());
      }
      // The fastest of the runs: the others were slowed by other work on the machine.
      Run best = CountOnce(a, b);
      for (int r = 1; r < repeat; ++r) {
        const Run run = CountOnce(a, b);
        best.seconds = std::min(best.seconds, run.seconds);
        best.peak = std::max(best.peak, run.peak);
      }
      if (n == sizes.front()) first = best.seconds;
      const double characters = static_cast<double>(a.size() + b.size());
      std::printf("| %s | %zu | %.2f | %.1f | %.0f | %.1f | %d |\n", family, n, best.seconds,
                  best.seconds / first, static_cast<double>(best.peak) / 1e6,
                  static_cast<double>(best.peak) / characters, best.k);
      std::fflush(stdout);
    }
  }
  return 0;
}
