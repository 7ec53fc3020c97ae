// Texts between the UTF-16 strings of the program's logic and the wide strings of the Windows
// API. A wchar_t is a UTF-16 code unit on Windows, so the code units carry over unchanged.
#pragma once

#include <string>
#include <string_view>

namespace runtime {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "for Windows, where wchar_t is UTF-16");

inline std::wstring Utf16ToWide(std::u16string_view text) {
  return std::wstring(text.begin(), text.end());
}

inline std::u16string WideToUtf16(std::wstring_view text) {
  return std::u16string(text.begin(), text.end());
}

}  // namespace runtime
