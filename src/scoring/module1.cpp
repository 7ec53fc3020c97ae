#include "scoring/module1.h"

#include <algorithm>
#include <limits>
#include <string>

#include "runtime/checked_arithmetic.h"
#include "scoring/fast_matcher.h"

namespace Module1 {

runtime::ByteArray Codes1;
runtime::ByteArray Codes2;

namespace {

using runtime::CheckedAdd;

// Empties both code arrays when the score call ends, however it ends.
class CodesScope {
 public:
  CodesScope() = default;
  CodesScope(const CodesScope&) = delete;
  CodesScope& operator=(const CodesScope&) = delete;
  ~CodesScope() {
    Codes1.Erase();
    Codes2.Erase();
  }
};

bool IsHighSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}

// The texts are equal once upper-cased. Compared a piece at a time, so that a cancel is seen
// part way, no upper-cased copy of a long text is made, and texts that differ early stop there.
// The case mapping goes code unit for code unit, so unequal lengths stay unequal; a piece never
// ends between a high surrogate and what follows it, which the platform may map as a pair.
bool EqualOnceUpperCased(std::u16string_view first, std::u16string_view second,
                         const runtime::TextServices& text, scoring::CancelCheck& check) {
  if (first.size() != second.size()) return false;
  constexpr std::size_t kPiece = 1 << 14;
  for (std::size_t at = 0; at < first.size();) {
    std::size_t size = std::min(kPiece, first.size() - at);
    while (at + size < first.size() &&
           (IsHighSurrogate(first[at + size - 1]) || IsHighSurrogate(second[at + size - 1]))) {
      ++size;
    }
    if (text.UpperCase(first.substr(at, size)) != text.UpperCase(second.substr(at, size))) {
      return false;
    }
    check.Add(static_cast<int64_t>(size), scoring::WorkStage::kUpperCase);
    at += size;
  }
  return true;
}

// A character's codes take two calls to the platform's text services, as costly as many of
// the matcher's steps (about a microsecond under Wine).
constexpr int64_t kUnitsPerCode = 64;

void FillCodes(runtime::ByteArray& codes, std::u16string_view text, int32_t length,
               const runtime::TextServices& services, scoring::CancelCheck& check) {
  codes.Redim(length);
  for (int32_t i = 1; i <= length; i = CheckedAdd(i, 1)) {
    check.Add(kUnitsPerCode, scoring::WorkStage::kCodes);
    const std::u16string upper =
        services.UpperCase(text.substr(static_cast<std::size_t>(i) - 1, 1));
    codes(i) = runtime::CheckedByte(services.AnsiCode(upper.front()));
  }
}

}  // namespace

double NameMatchScore(std::u16string_view first, std::u16string_view second,
                      const runtime::TextServices& text, const scoring::Cancellation* cancellation,
                      std::vector<scoring::MatchBlock>* blocks) {
  if (blocks) blocks->clear();
  const CodesScope codesScope;
  scoring::CancelCheck check(cancellation);
  if (cancellation) cancellation->Check(scoring::WorkStage::kUpperCase);
  if (EqualOnceUpperCased(first, second, text, check)) return 1.0;

  const int32_t length1 = runtime::CheckedLength(first.size());
  const int32_t length2 = runtime::CheckedLength(second.size());
  if (length1 == 0 || length2 == 0) return 0.0;

  FillCodes(Codes1, first, length1, text, check);
  FillCodes(Codes2, second, length2, text, check);
  const int32_t matches = CountMatches(1, length1, 1, length2, cancellation, blocks);
  const double combined = static_cast<double>(CheckedAdd(length1, length2));
  return runtime::CheckedMultiply(runtime::CheckedDivide(static_cast<double>(matches), combined),
                                  5.0);
}

namespace {

// The count as the blocks' sum, kept out of CountMatches' own path.
[[gnu::noinline]] int32_t CountBlocks(int32_t start1, int32_t end1, int32_t start2, int32_t end2,
                                      const scoring::Cancellation* cancellation,
                                      std::vector<scoring::MatchBlock>& blocks) {
  blocks = scoring::FastMatchBlocks(Codes1.Bytes(), Codes2.Bytes(), start1, end1, start2, end2, {},
                                    nullptr, cancellation);
  int32_t matches = 0;
  for (const scoring::MatchBlock& block : blocks) matches += block.length;
  return matches;
}

}  // namespace

int32_t CountMatches(int32_t start1, int32_t end1, int32_t start2, int32_t end2,
                     const scoring::Cancellation* cancellation,
                     std::vector<scoring::MatchBlock>* blocks) {
  if (!(start1 <= end1 && start2 <= end2 && start1 > 0 && start2 > 0)) {
    if (blocks) blocks->clear();
    return 0;
  }
  // The scan reads every code of both ranges and steps one past each end, so a range
  // outside its array is out of range and one ending at the largest position overflows.
  if (start1 > Codes1.UpperBound() || end1 > Codes1.UpperBound() || end2 > Codes2.UpperBound()) {
    runtime::Raise(runtime::ErrorKind::kSubscriptOutOfRange);
  }
  constexpr int32_t kLast = std::numeric_limits<int32_t>::max();
  if (end1 == kLast || end2 == kLast) runtime::Raise(runtime::ErrorKind::kOverflow);
  if (blocks) [[unlikely]]
    return CountBlocks(start1, end1, start2, end2, cancellation, *blocks);
  return scoring::FastMatchCount(Codes1.Bytes(), Codes2.Bytes(), start1, end1, start2, end2, {},
                                 nullptr, cancellation);
}

}  // namespace Module1
