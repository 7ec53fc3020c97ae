// The text operations the score needs from the platform: upper-casing and the system ANSI
// code of a character, plus the user's decimal separator for number text. The window
// program uses the platform's own; tests can substitute a fake.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace runtime {

class TextServices {
 public:
  virtual ~TextServices() = default;

  // The platform's upper-case mapping of a whole text, code unit for code unit.
  virtual std::u16string UpperCase(std::u16string_view text) const = 0;

  // The code of one character in the system ANSI code page as a 16-bit value: 0..255 for a
  // single-byte character, lead byte * 256 + trail byte for a double-byte one.
  virtual int32_t AnsiCode(char16_t character) const = 0;

  // The user locale's decimal separator ("." or "," for most locales).
  virtual std::u16string DecimalSeparator() const = 0;
};

// A stand-in that behaves the same on every system: code page 1252 with the Windows
// upper-case mapping, '?' for characters 1252 cannot hold, and "." as decimal separator.
class PortableTextServices : public TextServices {
 public:
  explicit PortableTextServices(std::u16string decimalSeparator = u".")
      : decimalSeparator_(std::move(decimalSeparator)) {}

  std::u16string UpperCase(std::u16string_view text) const override;
  int32_t AnsiCode(char16_t character) const override;
  std::u16string DecimalSeparator() const override { return decimalSeparator_; }

 private:
  std::u16string decimalSeparator_;
};

// Simple (one code unit to one code unit) upper-case mapping shared by the stand-in.
char16_t PortableUpperCase(char16_t character);
// The Windows-1252 code of a character, or '?' where 1252 has none.
uint8_t Windows1252Code(char16_t character);

// The services of the system the program runs on: the platform's own on Windows, the
// portable stand-in (with the C locale's decimal separator) elsewhere.
const TextServices& SystemTextServices();

}  // namespace runtime
