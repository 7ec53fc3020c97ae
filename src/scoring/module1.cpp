#include "scoring/module1.h"

#include <string>

#include "runtime/checked_int.h"
#include "runtime/number_text.h"

namespace Module1 {

runtime::ByteArray Codes1;
runtime::ByteArray Codes2;

namespace {

using runtime::CheckedAdd;
using runtime::CheckedSub;

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
    const std::u16string upper = services.UpperCase(text.substr(static_cast<std::size_t>(i) - 1, 1));
    codes(i) = runtime::CheckedByte(services.AnsiCode(upper.front()));
  }
}

}  // namespace

double NameMatchScore(std::u16string_view first, std::u16string_view second,
                      const runtime::TextServices& text) {
  const CodesScope codes_scope;
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

  int32_t best = 0, best_i = 0, best_j = 0;
  for (int32_t i = start1; i <= end1; i = CheckedAdd(i, 1)) {
    for (int32_t j = start2; j <= end2; j = CheckedAdd(j, 1)) {
      int32_t k = 0;
      while (Codes1(CheckedAdd(i, k)) == Codes2(CheckedAdd(j, k))) {
        k = CheckedAdd(k, 1);
        if (k > best) best = k, best_i = i, best_j = j;
        if (CheckedAdd(i, k) > end1 || CheckedAdd(j, k) > end2) break;
      }
    }
  }
  const int32_t right = CountMatches(CheckedAdd(best_i, best), end1, CheckedAdd(best_j, best), end2);
  const int32_t left = CountMatches(start1, CheckedSub(best_i, 1), start2, CheckedSub(best_j, 1));
  return CheckedAdd(CheckedAdd(best, right), left);
}

}  // namespace Module1
