#include <algorithm>
#include <array>
#include <utility>

#include "runtime/text_services.h"

namespace runtime {
namespace {

struct CasePair {
  char16_t lower;
  char16_t upper;
};

constexpr CasePair kUpperCasePairs[] = {
#include "runtime/upper_case_table.inc"
};

// The characters of Windows-1252's bytes 0x80 to 0x9F. The five bytes 1252 leaves
// unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the C1 controls of the same number,
// as the Windows code page has them.
constexpr char16_t kHighControls1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

char16_t PortableUpperCase(char16_t character) {
  if (character < 0x80) {
    return (character >= u'a' && character <= u'z') ? static_cast<char16_t>(character - 0x20)
                                                    : character;
  }
  const auto* end = std::end(kUpperCasePairs);
  const auto* found =
      std::lower_bound(std::begin(kUpperCasePairs), end, character,
                       [](const CasePair& pair, char16_t value) { return pair.lower < value; });
  return (found != end && found->lower == character) ? found->upper : character;
}

uint8_t Windows1252Code(char16_t character) {
  if (character < 0x80 || (character >= 0xA0 && character <= 0xFF)) {
    return static_cast<uint8_t>(character);
  }
  for (std::size_t i = 0; i < std::size(kHighControls1252); ++i) {
    if (kHighControls1252[i] == character) return static_cast<uint8_t>(0x80 + i);
  }
  return '?';
}

std::u16string PortableTextServices::UpperCase(std::u16string_view text) const {
  std::u16string upper(text);
  for (char16_t& character : upper) character = PortableUpperCase(character);
  return upper;
}

int32_t PortableTextServices::AnsiCode(char16_t character) const {
  return Windows1252Code(character);
}

}  // namespace runtime
