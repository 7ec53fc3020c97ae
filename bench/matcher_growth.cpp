// Time and peak memory of the match count on very long texts: a random text against a
// 2%-edited copy, and two random texts over 26 letters, at 1, 3 and 10 million characters
// per side (or the sizes given), each count in a fresh child process, as a program using it
// would run: no count reuses memory that an earlier one already had from the system.
//   matcher_growth [--repeat R] [N ...]
//
// Time is the child's processor time for the count alone (the machine may be running other
// work), the fastest of R runs; wall time is shown beside it. Peak memory is counted by the
// counting operator new/delete of heap_counter.cpp: the most heap bytes live at once during
// the count, less those live when it started (the two input texts, which the caller owns).
// Every allocation the matcher makes goes through them. The child's peak resident set (the
// whole process: program, inputs and all) is shown beside it.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "heap_counter.h"
#include "inputs.h"
#include "scoring/fast_matcher.h"

namespace {

struct Run {
  double seconds = 0;  // processor time
  double wallSeconds = 0;
  int64_t peak = 0;        // heap bytes
  int64_t residentKb = 0;  // the whole child process
  int64_t characters = 0;  // of both texts
  int32_t k = -1;
};

// In the child: the input, then the count alone under the clocks and the counter.
Run CountInChild(const char* family, std::size_t n) {
  std::vector<uint8_t> a, b;
  {
    const auto [textA, textB] = bench::FamilyInput(family, n);
    a.assign(textA.begin(), textA.end());
    b.assign(textB.begin(), textB.end());
  }
  Run run;
  run.characters = static_cast<int64_t>(a.size() + b.size());
  const int64_t before = bench::HeapLiveBytes();
  bench::ResetHeapPeak();
  const auto start = std::chrono::steady_clock::now();
  const std::clock_t startClock = std::clock();
  run.k = scoring::FastMatchCount(a, b, 1, static_cast<int32_t>(a.size()), 1,
                                  static_cast<int32_t>(b.size()));
  run.seconds = static_cast<double>(std::clock() - startClock) / CLOCKS_PER_SEC;
  run.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.peak = bench::HeapPeakBytes() - before;
  return run;
}

Run CountOnce(const char* family, std::size_t n) {
  int channel[2];
  if (pipe(channel) != 0) std::exit(2);
  const pid_t child = fork();
  if (child < 0) std::exit(2);
  if (child == 0) {
    close(channel[0]);
    const Run run = CountInChild(family, n);
    const bool written = write(channel[1], &run, sizeof run) == static_cast<ssize_t>(sizeof run);
    _exit(written ? 0 : 1);
  }
  close(channel[1]);
  Run run;
  const bool readAll = read(channel[0], &run, sizeof run) == static_cast<ssize_t>(sizeof run);
  close(channel[0]);
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  if (!readAll || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "matcher_growth: the count of %s at %zu failed\n", family, n);
    std::exit(1);
  }
  run.residentKb = usage.ru_maxrss;
  return run;
}

}  // namespace

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
      "| family | n per side | processor time (s) | ratio to n = %zu | wall time (s) | "
      "peak heap (MB) | bytes per character | peak resident (MB) | K |\n",
      sizes.front());
  std::printf("| --- | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: |\n");
  for (const char* family : {"edited", "random26"}) {
    double first = 0;
    for (std::size_t n : sizes) {
      // The fastest of the runs: the others were slowed by other work on the machine.
      Run best = CountOnce(family, n);
      for (int r = 1; r < repeat; ++r) {
        const Run run = CountOnce(family, n);
        best.seconds = std::min(best.seconds, run.seconds);
        best.wallSeconds = std::min(best.wallSeconds, run.wallSeconds);
        best.peak = std::max(best.peak, run.peak);
        best.residentKb = std::max(best.residentKb, run.residentKb);
      }
      if (n == sizes.front()) first = best.seconds;
      std::printf("| %s | %zu | %.2f | %.1f | %.2f | %.0f | %.1f | %.0f | %d |\n", family, n,
                  best.seconds, best.seconds / first, best.wallSeconds,
                  static_cast<double>(best.peak) / 1e6,
                  static_cast<double>(best.peak) / static_cast<double>(best.characters),
                  static_cast<double>(best.residentKb) / 1e3, best.k);
      std::fflush(stdout);
    }
  }
  return 0;
}
