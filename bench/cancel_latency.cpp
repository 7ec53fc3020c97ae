// How soon a long score stops once it is cancelled from another thread. The input is two
// names of 4,000,000 characters each by default: random runs of A and B, 1 to 100 letters
// each (a slow family for the matcher), or, with --family deep, all A against AB repeated (a
// recursion as deep as the names are long, one block of one letter at each level).
//
// First the whole score without a cancellation, then with one that is never set, timing every
// look at the flag: the longest time between two looks (or from the start to the first, or
// from the last to the return) is the longest a cancel can wait, shown for each part of the
// work. Where the system offers it (not on Windows), the same in the processor time of the
// score's thread, which other work on the machine does not stretch. Then the score again,
// cancelled from this thread at evenly spread moments of it, each time timing the cancel to the
// score's return (its memory freed and the exception caught).
//   cancel_latency [--size N] [--points P] [--family runs|deep]
#if !defined(_WIN32)
#include <time.h>
#endif

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "runtime/text_services.h"
#include "scoring/cancellation.h"
#include "scoring/module1.h"

namespace {

using Clock = std::chrono::steady_clock;
using scoring::WorkStage;

constexpr std::array kStageNames = {"upper-casing and comparing",
                                    "filling the codes",
                                    "suffix array and index",
                                    "suffix automaton",
                                    "searches for a block",
                                    "ranges of the recursion",
                                    "plain scans"};
constexpr std::size_t kStages = kStageNames.size();

double Milliseconds(Clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

// The calling thread's processor time in milliseconds; negative where there is none to read.
double ThreadProcessorMs() {
#if defined(_WIN32)
  return -1;
#else
  timespec now{};
  if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now) != 0) return -1;
  return static_cast<double>(now.tv_sec) * 1000 + static_cast<double>(now.tv_nsec) / 1e6;
#endif
}

std::u16string RandomRuns(std::mt19937& random, std::size_t length) {
  std::uniform_int_distribution<int> run(1, 100);
  std::u16string text;
  char16_t letter = u'A';
  while (text.size() < length) {
    text.append(std::min(static_cast<std::size_t>(run(random)), length - text.size()), letter);
    letter = letter == u'A' ? u'B' : u'A';
  }
  return text;
}

// The gaps between the looks at the flag of one whole score, by the part of the work that
// ended each gap ("return" for the last).
struct Looks {
  std::array<int64_t, kStages> count{};
  std::array<double, kStages + 1> longestMs{};
  std::array<double, kStages + 1> longestProcessorMs{};
  Clock::time_point last;
  double lastProcessorMs = 0;

  void Start() {
    last = Clock::now();
    lastProcessorMs = ThreadProcessorMs();
  }
  void Seen(std::size_t stage) {
    const Clock::time_point now = Clock::now();
    const double processorMs = ThreadProcessorMs();
    longestMs[stage] = std::max(longestMs[stage], Milliseconds(now - last));
    longestProcessorMs[stage] = std::max(longestProcessorMs[stage], processorMs - lastProcessorMs);
    last = now;
    lastProcessorMs = processorMs;
    if (stage < kStages) ++count[stage];
  }
};

struct Cancelled {
  double momentS;
  double latencyMs;  // negative: the score had ended before the cancel
  std::size_t stage;
};

}  // namespace

int main(int argc, char** argv) {
  std::size_t size = 4000000;
  int points = 9;
  bool deep = false;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--size") == 0) size = std::strtoul(argv[i + 1], nullptr, 10);
    if (std::strcmp(argv[i], "--points") == 0) points = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--family") == 0) deep = std::strcmp(argv[i + 1], "deep") == 0;
  }
  std::u16string first, second;
  if (deep) {
    first.assign(size, u'A');
    for (std::size_t i = 0; i < size; ++i) second += i % 2 ? u'B' : u'A';
  } else {
    std::mt19937 random(4000000);
    first = RandomRuns(random, size);
    second = RandomRuns(random, size);
  }
  const runtime::TextServices& text = runtime::SystemTextServices();

  const auto plainStart = Clock::now();
  const double score = Module1::NameMatchScore(first, second, text);
  const double plainS = Milliseconds(Clock::now() - plainStart) / 1000;

  Looks looks;
  const scoring::Cancellation watched(
      [&](WorkStage stage) { looks.Seen(static_cast<std::size_t>(stage)); });
  looks.Start();
  const auto watchedStart = looks.last;
  Module1::NameMatchScore(first, second, text, &watched);
  looks.Seen(kStages);
  const double watchedS = Milliseconds(looks.last - watchedStart) / 1000;
  const bool processorTime = ThreadProcessorMs() >= 0;

  std::printf("Two names of %zu characters, %s; score %.15g.\n\n", size,
              deep ? "all A against AB repeated" : "random runs of A and B of 1 to 100", score);
  std::printf(
      "Whole score: %.2f s without a cancellation, %.2f s with one never set (and every "
      "look timed).\n\n",
      plainS, watchedS);
  std::printf("| part of the work | looks at the flag | longest wait for a look (ms) |%s\n",
              processorTime ? " the same in processor time (ms) |" : "");
  std::printf("| --- | ---: | ---: |%s\n", processorTime ? " ---: |" : "");
  for (std::size_t stage = 0; stage <= kStages; ++stage) {
    if (stage < kStages) {
      std::printf("| %s | %lld | %.2f |", kStageNames[stage],
                  static_cast<long long>(looks.count[stage]), looks.longestMs[stage]);
    } else {
      std::printf("| from the last look to the return | - | %.2f |", looks.longestMs[stage]);
    }
    if (processorTime) std::printf(" %.2f |", looks.longestProcessorMs[stage]);
    std::printf("\n");
  }

  std::vector<Cancelled> cancels;
  for (int point = 1; point <= points; ++point) {
    const auto moment = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(watchedS * point / (points + 1)));
    std::size_t lastStage = kStages;
    scoring::Cancellation cancellation(
        [&](WorkStage stage) { lastStage = static_cast<std::size_t>(stage); });
    bool stopped = false;
    Clock::time_point end;
    const auto start = Clock::now();
    std::thread worker([&] {
      try {
        Module1::NameMatchScore(first, second, text, &cancellation);
      } catch (const scoring::Cancelled&) {
        stopped = true;
      }
      end = Clock::now();
    });
    std::this_thread::sleep_until(start + moment);
    const auto cancelled = Clock::now();
    cancellation.Cancel();
    worker.join();
    cancels.push_back({Milliseconds(cancelled - start) / 1000,
                       stopped ? Milliseconds(end - cancelled) : -1.0, lastStage});
  }

  std::printf("\n| cancelled after (s) | in | cancel to return (ms) |\n| ---: | --- | ---: |\n");
  std::vector<double> latencies;
  for (const Cancelled& cancel : cancels) {
    if (cancel.latencyMs < 0) {
      std::printf("| %.2f | - | had ended |\n", cancel.momentS);
      continue;
    }
    latencies.push_back(cancel.latencyMs);
    std::printf("| %.2f | %s | %.2f |\n", cancel.momentS, kStageNames[cancel.stage],
                cancel.latencyMs);
  }
  if (!latencies.empty()) {
    std::sort(latencies.begin(), latencies.end());
    std::printf("\nCancel to return: worst %.2f ms, median %.2f ms, of %zu cancels.\n",
                latencies.back(), latencies[latencies.size() / 2], latencies.size());
  }
  return 0;
}
