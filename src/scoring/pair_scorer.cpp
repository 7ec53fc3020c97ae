#include "scoring/pair_scorer.h"

#include <algorithm>
#include <limits>
#include <span>
#include <string>
#include <type_traits>

#include "runtime/checked_arithmetic.h"
#include "scoring/fast_matcher.h"

namespace scoring {
namespace {

using runtime::CheckedAdd;

bool IsSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDFFF;
}

// The code unit an element of a text stands for: itself, or an ASCII byte's value.
char16_t UnitOf(char16_t unit) {
  return unit;
}
char16_t UnitOf(char byte) {
  return static_cast<unsigned char>(byte);
}

// Above this many bytes a code buffer is given back by Trim.
constexpr std::size_t kKeptCodes = std::size_t{1} << 20;

}  // namespace

PairScorer::PairScorer(const runtime::TextServices& text) : text_(text) {}

void PairScorer::Learn(char16_t unit, Unit& entry) const {
  // As the score asks: the character upper-cased on its own, then its code.
  const std::u16string upper = text_.UpperCase(std::u16string_view(&unit, 1));
  const int32_t code = text_.AnsiCode(upper.front());
  entry.upper = upper.front();
  entry.code = static_cast<uint8_t>(code);
  entry.state = code >= 0 && code <= 255 ? kOneByte : kTwoBytes;
}

template <typename Text>
bool PairScorer::EqualOnceUpperCased(Text first, Text second) {
  if (first.size() != second.size()) return false;  // upper-casing keeps every code unit
  for (std::size_t i = 0; i < first.size(); ++i) {
    const char16_t a = UnitOf(first[i]), b = UnitOf(second[i]);
    if constexpr (std::is_same_v<Text, std::u16string_view>) {
      if (IsSurrogate(a) || IsSurrogate(b)) {
        // The platform may upper-case a surrogate pair as one character: ask it about the
        // whole texts, as the score does.
        return text_.UpperCase(first) == text_.UpperCase(second);
      }
    }
    // Any other code unit is upper-cased on its own, whatever stands around it.
    if (a != b && Lookup(a).upper != Lookup(b).upper) return false;
  }
  return true;
}

template <typename Text>
std::span<const uint8_t> PairScorer::FillCodes(std::vector<uint8_t>& codes, Text text) {
  if (codes.size() < text.size()) codes.resize(text.size());  // only ever grows: no refills
  uint8_t* code = codes.data();
  if constexpr (std::is_same_v<Text, std::string_view>) {
    if (asciiOneByte_) {
      for (const char byte : text) *code++ = asciiCodes_[static_cast<unsigned char>(byte)];
      return {codes.data(), text.size()};
    }
  }
  for (const auto character : text) {
    const Unit& unit = Lookup(UnitOf(character));
    if (unit.state == kTwoBytes) runtime::Raise(runtime::ErrorKind::kOverflow);
    *code++ = unit.code;
  }
  return {codes.data(), text.size()};
}

template <typename Text>
double PairScorer::ScoreTexts(Text first, Text second) {
  // The steps and checks of NameMatchScore and CountMatches, in their order.
  if (EqualOnceUpperCased(first, second)) return 1.0;
  const int32_t length1 = runtime::CheckedLength(first.size());
  const int32_t length2 = runtime::CheckedLength(second.size());
  if (length1 == 0 || length2 == 0) return 0.0;

  const std::span<const uint8_t> codes1 = FillCodes(codes1_, first);
  const std::span<const uint8_t> codes2 = FillCodes(codes2_, second);
  constexpr int32_t kLast = std::numeric_limits<int32_t>::max();
  if (length1 == kLast || length2 == kLast) runtime::Raise(runtime::ErrorKind::kOverflow);
  const int32_t matches = std::max(codes1.size(), codes2.size()) <= ShortMatcher::kLongest
                              ? short_.Count(codes1, codes2)
                              : FastMatchCount(codes1, codes2, 1, length1, 1, length2);
  const double combined = static_cast<double>(CheckedAdd(length1, length2));
  return runtime::CheckedMultiply(runtime::CheckedDivide(static_cast<double>(matches), combined),
                                  5.0);
}

double PairScorer::Score(std::u16string_view first, std::u16string_view second) {
  return ScoreTexts(first, second);
}

double PairScorer::ScoreAscii(std::string_view first, std::string_view second) {
  if (!asciiKnown_) {
    asciiOneByte_ = true;
    for (char16_t unit = 0; unit < asciiCodes_.size(); ++unit) {
      asciiCodes_[unit] = Lookup(unit).code;
      asciiOneByte_ = asciiOneByte_ && Lookup(unit).state == kOneByte;
    }
    asciiKnown_ = true;
  }
  return ScoreTexts(first, second);
}

void PairScorer::Trim() {
  if (codes1_.capacity() > kKeptCodes) std::vector<uint8_t>().swap(codes1_);
  if (codes2_.capacity() > kKeptCodes) std::vector<uint8_t>().swap(codes2_);
}

}  // namespace scoring
