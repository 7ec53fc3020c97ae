// The fast matcher against the plain scan, and the score's contract on the code arrays.
// Input: two byte strings separated by the first '\n' (without one, the two halves).
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <limits>
#include <span>
#include <string>
#include <string_view>

#include "runtime/runtime_error.h"
#include "runtime/text.h"
#include "runtime/text_services.h"
#include "scoring/fast_matcher.h"
#include "scoring/module1.h"

namespace {

using Bytes = std::span<const uint8_t>;
using scoring::MatcherTuning;

// The plain scan is cubic on repetitive text; above this many character pairs the fast
// matcher's methods are checked against one another instead.
constexpr int64_t kPlainScanPairs = 1 << 16;

[[noreturn]] void Fail(const char* what, int64_t expected, int64_t got) {
  std::fprintf(stderr, "fuzz_score: %s: expected %lld, got %lld\n", what,
               static_cast<long long>(expected), static_cast<long long>(got));
  std::abort();
}

// Every way of running the fast matcher: default, the suffix array's searches forced from
// the start, and each with the plain scan for small ranges switched off so short inputs reach
// the automaton, the suffix array, the tables of short blocks and the switches between them;
// and once with the tables off, so that short blocks come from groupings of the array.
constexpr MatcherTuning kTunings[] = {
    {}, {0, 2048}, {0, 0}, {-1, 0}, {1, 0}, {std::numeric_limits<int64_t>::max(), 0}, {1, 0, 0},
};

// Fewer for the extra checks: quicker runs are worth more than repeated ones.
constexpr MatcherTuning kSomeTunings[] = {{}, {0, 0}, {1, 0}};

// Inputs up to this size are checked against the plain scan with the default tuning and one
// other, chosen by the input, so that several times as many run; longer ones, where the plain
// scan checks only the smaller ranges, with every tuning.
constexpr std::size_t kShortInput = 128;

// The plain scan as CountMatches describes it, written out here as the oracle rather than
// borrowed from the code under test. Left out of the coverage feedback: its cubic loops
// would take most of the time, and steer the fuzzing towards inputs that only vary them.
__attribute__((no_sanitize("coverage"))) int64_t PlainScan(Bytes a, Bytes b, int64_t start1,
                                                           int64_t end1, int64_t start2,
                                                           int64_t end2) {
  if (!(start1 <= end1 && start2 <= end2 && start1 > 0 && start2 > 0)) return 0;
  int64_t best = 0, bestI = 0, bestJ = 0;
  for (int64_t i = start1; i <= end1; ++i) {
    for (int64_t j = start2; j <= end2; ++j) {
      int64_t k = 0;
      while (i + k <= end1 && j + k <= end2 &&
             a[static_cast<std::size_t>(i + k - 1)] == b[static_cast<std::size_t>(j + k - 1)]) {
        ++k;
      }
      if (k > best) best = k, bestI = i, bestJ = j;
    }
  }
  if (best == 0) return 0;
  return best + PlainScan(a, b, bestI + best, end1, bestJ + best, end2) +
         PlainScan(a, b, start1, bestI - 1, start2, bestJ - 1);
}

void CheckCount(Bytes a, Bytes b, int32_t start1, int32_t end1, int32_t start2, int32_t end2,
                std::span<const MatcherTuning> tunings = kTunings) {
  const int64_t pairs = static_cast<int64_t>(end1 - start1 + 1) * (end2 - start2 + 1);
  int64_t expected = -1;
  if (pairs <= kPlainScanPairs) expected = PlainScan(a, b, start1, end1, start2, end2);
  for (const MatcherTuning& tuning : tunings) {
    const int32_t got = scoring::FastMatchCount(a, b, start1, end1, start2, end2, tuning);
    if (expected < 0) expected = got;
    if (got != expected) Fail("match count", expected, got);
  }
  const int64_t most = std::min(end1 - start1 + 1, end2 - start2 + 1);
  if (expected < 0 || expected > std::max<int64_t>(most, 0))
    Fail("count out of bounds", most, expected);
}

// A double-byte code page in miniature: hiragana have two-byte codes, which the score
// cannot hold and reports as an overflow.
class DoubleByteText : public runtime::PortableTextServices {
 public:
  int32_t AnsiCode(char16_t c) const override {
    if (c >= 0x3041 && c <= 0x3096) return 0x829F + (c - 0x3041);
    return PortableTextServices::AnsiCode(c);
  }
};

void CheckScore(std::string_view a, std::string_view b) {
  const std::u16string first = runtime::Utf8ToUtf16(a);
  const std::u16string second = runtime::Utf8ToUtf16(b);
  const runtime::PortableTextServices portable;
  const DoubleByteText doubleByte;
  for (const runtime::TextServices* text :
       {static_cast<const runtime::TextServices*>(&portable),
        static_cast<const runtime::TextServices*>(&doubleByte)}) {
    // The codes as the score should see them.
    std::basic_string<uint8_t> codes[2];
    bool tooWide = false;
    const std::u16string* names[2] = {&first, &second};
    for (int n = 0; n < 2; ++n) {
      for (char16_t c : *names[n]) {
        const int32_t code = text->AnsiCode(runtime::PortableUpperCase(c));
        tooWide |= code > 255;
        codes[n].push_back(static_cast<uint8_t>(code));
      }
    }
    const bool equal = text->UpperCase(first) == text->UpperCase(second);
    const bool oneEmpty = first.empty() || second.empty();

    double score = -1;
    bool raised = false;
    try {
      score = Module1::NameMatchScore(first, second, *text);
    } catch (const runtime::RuntimeError& error) {
      if (error.Kind() != runtime::ErrorKind::kOverflow)
        Fail("error kind", 0, static_cast<int>(error.Kind()));
      raised = true;
    }
    // Between calls the code arrays are empty and hold no storage, however the call ended.
    if (!Module1::Codes1.IsEmpty() || !Module1::Codes2.IsEmpty() ||
        Module1::Codes1.Capacity() != 0 || Module1::Codes2.Capacity() != 0) {
      Fail("code arrays left filled", 0, 1);
    }
    const bool shouldRaise = tooWide && !equal && !oneEmpty;
    if (raised != shouldRaise) Fail("raised", shouldRaise, raised);
    if (raised) continue;

    double expected;
    if (equal) {
      expected = 1.0;
    } else if (oneEmpty) {
      expected = 0.0;
    } else {
      const auto size1 = static_cast<int32_t>(codes[0].size());
      const auto size2 = static_cast<int32_t>(codes[1].size());
      const int64_t k = static_cast<int64_t>(size1) * size2 <= kPlainScanPairs
                            ? PlainScan(codes[0], codes[1], 1, size1, 1, size2)
                            : scoring::FastMatchCount(codes[0], codes[1], 1, size1, 1, size2);
      expected = static_cast<double>(k) / static_cast<double>(size1 + size2) * 5.0;
    }
    if (score != expected || !(score >= 0.0 && score <= 2.5)) {
      std::fprintf(stderr, "fuzz_score: score %.17g, expected %.17g\n", score, expected);
      std::abort();
    }
  }
}

// How many inputs were long, and their mean size, printed at the end for tools/fuzz.sh.
struct LongInputs {
  int64_t count = 0;
  int64_t bytes = 0;
  ~LongInputs() {
    if (count == 0) return;
    std::fprintf(stderr, "fuzz_score: %lld inputs longer than %zu bytes, %lld bytes on average\n",
                 static_cast<long long>(count), kShortInput, static_cast<long long>(bytes / count));
  }
} longInputs;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size > kShortInput) ++longInputs.count, longInputs.bytes += static_cast<int64_t>(size);
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::size_t split = input.find('\n');
  std::size_t skip = 1;
  if (split == std::string_view::npos) split = size / 2, skip = 0;
  const std::string_view a = input.substr(0, split);
  const std::string_view b = input.substr(split + skip);
  const Bytes first(reinterpret_cast<const uint8_t*>(a.data()), a.size());
  const Bytes second(reinterpret_cast<const uint8_t*>(b.data()), b.size());
  const auto size1 = static_cast<int32_t>(a.size());
  const auto size2 = static_cast<int32_t>(b.size());

  std::span<const MatcherTuning> tunings = kTunings, someTunings = kSomeTunings;
  MatcherTuning chosen[2] = {};  // the default, and one other
  if (size <= kShortInput) {
    // Any change of the input may choose another: every tuning is met.
    uint32_t hash = static_cast<uint32_t>(size);
    for (const uint8_t byte : std::span(data, size)) hash = hash * 31 + byte;
    chosen[1] = kTunings[1 + hash % (std::size(kTunings) - 1)];
    tunings = someTunings = chosen;
  }
  // Both orders, so that each text sees every byte value.
  CheckCount(first, second, 1, size1, 1, size2, tunings);
  CheckCount(second, first, 1, size2, 1, size1, someTunings);
  // Ranges inside the texts, as CountMatches allows.
  if (size1 > 2 && size2 > 2) {
    CheckCount(first, second, 1 + size1 / 3, size1 - 1, 2, size2 - size2 / 4, someTunings);
  }

  // The same texts over three letters, where equal-length blocks and ties between them are
  // common: the block chosen among equals is what the fast matcher most easily gets wrong.
  if (size <= 2048) {
    std::basic_string<uint8_t> folded1(first.begin(), first.end());
    std::basic_string<uint8_t> folded2(second.begin(), second.end());
    for (uint8_t& c : folded1) c = static_cast<uint8_t>('A' + c % 3);
    for (uint8_t& c : folded2) c = static_cast<uint8_t>('A' + c % 3);
    CheckCount(folded1, folded2, 1, size1, 1, size2, someTunings);
  }

  CheckScore(a, b);
  return 0;
}
