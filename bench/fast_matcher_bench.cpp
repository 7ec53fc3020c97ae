// Timings of the matched-character count on the slow families and on ordinary names.
//   fast_matcher_bench [Google Benchmark flags]
//   fast_matcher_bench --write-inputs DIR   (the family inputs as DIR/FAMILY-N.a and .b)
#include <benchmark/benchmark.h>

#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "inputs.h"
#include "runtime/text_services.h"
#include "scoring/fast_matcher.h"
#include "scoring/module1.h"

namespace {

const std::vector<std::size_t> kSizes = {1000, 3000, 10000, 30000};

std::vector<uint8_t> Bytes(const std::string& s) {
  return std::vector<uint8_t>(s.begin(), s.end());
}

int32_t Size(const std::vector<uint8_t>& s) {
  return static_cast<int32_t>(s.size());
}

void Fast(benchmark::State& state, std::string family, std::size_t n) {
  const auto [sa, sb] = bench::FamilyInput(family, n);
  const auto a = Bytes(sa), b = Bytes(sb);
  scoring::MatcherStats stats;
  int32_t k = 0;
  for (auto _ : state) {
    stats = {};
    k = scoring::FastMatchCount(a, b, 1, Size(a), 1, Size(b), {}, &stats);
    benchmark::DoNotOptimize(k);
  }
  state.counters["K"] = k;
  state.counters["indexBuilt"] = stats.indexBuilt;
  state.counters["automatonCharacters"] = static_cast<double>(stats.automatonCharacters);
}

void Plain(benchmark::State& state, std::string family, std::size_t n) {
  const auto [sa, sb] = bench::FamilyInput(family, n);
  const auto a = Bytes(sa), b = Bytes(sb);
  int32_t k = 0;
  for (auto _ : state) {
    k = scoring::PlainMatchCount(a, b, 1, Size(a), 1, Size(b));
    benchmark::DoNotOptimize(k);
  }
  state.counters["K"] = k;
}

// The whole score as the Calculate command computes it: upper-casing, codes and count.
void Names(benchmark::State& state) {
  const auto pairs = bench::OrdinaryNames(1024);
  const runtime::PortableTextServices text;
  std::size_t i = 0;
  for (auto _ : state) {
    const auto& [a, b] = pairs[i++ & 1023];
    benchmark::DoNotOptimize(Module1::NameMatchScore(a, b, text));
  }
}

void Paste(benchmark::State& state) {
  const auto [sa, sb] = bench::FamilyInput("edited", 1000000);
  const std::u16string a(sa.begin(), sa.end()), b(sb.begin(), sb.end());
  const runtime::PortableTextServices text;
  double score = 0;
  for (auto _ : state) {
    score = Module1::NameMatchScore(a, b, text);
    benchmark::DoNotOptimize(score);
  }
  state.counters["score"] = score;
}

// The plain scan is cubic or worse on some families: only where it ends in seconds.
bool PlainIsQuick(const std::string& family, std::size_t n) {
  if (n <= 1000) return true;
  if (n <= 3000) return family == "random26" || family == "random2" || family == "edited";
  return false;
}

int WriteInputs(const std::string& directory) {
  for (const auto& family : bench::Families()) {
    for (std::size_t n : kSizes) {
      const auto [a, b] = bench::FamilyInput(family.name, n);
      const std::string stem = directory + "/" + family.name + "-" + std::to_string(n);
      for (const auto& [suffix, text] : {std::pair{".a", &a}, std::pair{".b", &b}}) {
        std::ofstream file(stem + suffix, std::ios::binary);
        file << *text;
        file.close();
        if (!file) {
          std::cerr << "fast_matcher_bench: cannot write " << stem << suffix << "\n";
          return 1;
        }
      }
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--write-inputs") == 0) return WriteInputs(argv[2]);

  for (const auto& family : bench::Families()) {
    for (std::size_t n : kSizes) {
      const std::string suffix = std::string(family.name) + "/" + std::to_string(n);
      benchmark::RegisterBenchmark(("fast/" + suffix).c_str(), Fast, family.name, n)
          ->Unit(benchmark::kMillisecond);
      if (PlainIsQuick(family.name, n)) {
        benchmark::RegisterBenchmark(("plain/" + suffix).c_str(), Plain, family.name, n)
            ->Unit(benchmark::kMillisecond);
      }
    }
  }
  benchmark::RegisterBenchmark("names", Names)->Unit(benchmark::kNanosecond);
  benchmark::RegisterBenchmark("paste_1M", Paste)->Unit(benchmark::kMillisecond);

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
