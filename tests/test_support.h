// Helpers shared by the platform-free tests.
#pragma once

#include <string>
#include <string_view>

#include "runtime/text.h"
#include "runtime/text_services.h"
#include "scoring/module1.h"

// A readable form of a text for failure messages.
inline std::string Printable(std::u16string_view text) {
  return runtime::Utf16ToUtf8(text);
}

// Fills the code arrays with the bytes of two ASCII texts, as the score would.
inline void FillCodesForTest(const std::string& a, const std::string& b) {
  Module1::Codes1.Redim(static_cast<int32_t>(a.size()));
  Module1::Codes2.Redim(static_cast<int32_t>(b.size()));
  for (std::size_t i = 0; i < a.size(); ++i) Module1::Codes1(static_cast<int32_t>(i + 1)) = a[i];
  for (std::size_t i = 0; i < b.size(); ++i) Module1::Codes2(static_cast<int32_t>(i + 1)) = b[i];
}

// A double-byte system code page in miniature: hiragana take two bytes, as under code page
// 932; everything else is as in the portable services.
class DoubleByteTextServices : public runtime::PortableTextServices {
 public:
  int32_t AnsiCode(char16_t character) const override {
    if (character >= 0x3041 && character <= 0x3096) return 0x829F + (character - 0x3041);
    return PortableTextServices::AnsiCode(character);
  }
};
