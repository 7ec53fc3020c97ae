// The platform's text services: its upper-case mapping, the system ANSI code page (with the
// platform's best-fit mapping for characters the code page lacks) and the user locale's
// decimal separator.
#include <windows.h>

#include <string>

#include "runtime/text_services.h"

namespace runtime {
namespace {

class WindowsTextServices : public TextServices {
 public:
  std::u16string UpperCase(std::u16string_view text) const override {
    std::u16string upper(text);
    if (!upper.empty()) {
      CharUpperBuffW(reinterpret_cast<wchar_t*>(upper.data()), static_cast<DWORD>(upper.size()));
    }
    return upper;
  }

  int32_t AnsiCode(char16_t character) const override {
    const wchar_t wide = static_cast<wchar_t>(character);
    unsigned char bytes[2] = {};
    const int count = WideCharToMultiByte(CP_ACP, 0, &wide, 1, reinterpret_cast<char*>(bytes),
                                          sizeof bytes, nullptr, nullptr);
    if (count == 2) return bytes[0] * 256 + bytes[1];
    return count == 1 ? bytes[0] : '?';
  }

  std::u16string DecimalSeparator() const override {
    wchar_t separator[8] = {};
    if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8) <= 1) {
      return u".";
    }
    return std::u16string(reinterpret_cast<const char16_t*>(separator));
  }
};

}  // namespace

const TextServices& SystemTextServices() {
  static const WindowsTextServices services;
  return services;
}

}  // namespace runtime
