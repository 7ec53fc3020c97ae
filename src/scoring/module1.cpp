#include "scoring/module1.h"

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

void FillCodes(runtime::ByteArray& codes, std::u16string_view text, int32_t length,
               const runtime::TextServices& services) {
  codes.Redim(length);
  for (int32_t i = 1; i <= length; i = CheckedAdd(i, 1)) {
    const std::u16string upper =
        services.UpperCase(text.substr(static_cast<std::size_t>(i) - 1, 1));
    codes(i) = runtime::CheckedByte(services.AnsiCode(upper.front()));
  }
}

}  // namespace

double NameMatchScore(std::u16string_view first, std::u16string_view second,
                      const runtime::TextServices& text) {
  const CodesScope codesScope;
  if (text.UpperCase(first) == text.UpperCase(second)) return 1.0;

  const int32_t length1 = runtime::CheckedLength(first.size());
  const int32_t length2 = runtime::CheckedLength(second.size());
  if (length1 == 0 || length2 == 0) return 0.0;

  FillCodes(Codes1, first, length1, text);
  FillCodes(Codes2, second, length2, text);
  const int32_t matches = CountMatches(1, length1, 1, length2);
  const double combined = static_cast<double>(CheckedAdd(length1, length2));
  return runtime::CheckedMultiply(runtime::CheckedDivide(static_cast<double>(matches), combined),
                                  5.0);
}

int32_t CountMatches(int32_t start1, int32_t end1, int32_t start2, int32_t end2) {
  if (!(start1 <= end1 && start2 <= end2 && start1 > 0 && start2 > 0)) return 0;
  // The scan reads every code of both ranges and steps one past each end, so a range
  // outside its array is out of range and one ending at the largest position overflows.
  if (start1 > Codes1.UpperBound() || end1 > Codes1.UpperBound() || end2 > Codes2.UpperBound()) {
    runtime::Raise(runtime::ErrorKind::kSubscriptOutOfRange);
  }
  constexpr int32_t kLast = std::numeric_limits<int32_t>::max();
  if (end1 == kLast || end2 == kLast) runtime::Raise(runtime::ErrorKind::kOverflow);
  return scoring::FastMatchCount(Codes1.Bytes(), Codes2.Bytes(), start1, end1, start2, end2);
}

}  // namespace Module1
