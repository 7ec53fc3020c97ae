// Number text both ways. Input: a first byte choosing the decimal separator, then
// (1) each 8 bytes as a double of any bit pattern, written, read back and written again,
// which must give the same text; (2) the bytes as text, one byte or two per code unit,
// which must read as a finite number or raise a type mismatch or an overflow; (3) a decimal
// number built from the bytes (digits, separator position, exponent), which must read as the
// C library's strtod reads it, or overflow where strtod does.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "runtime/number_text.h"
#include "runtime/runtime_error.h"
#include "runtime/text.h"

namespace {

using runtime::ErrorKind;
using runtime::RuntimeError;

// Above this the 15-digit text rounds up past the largest double ("1.79769313486232E+308"),
// which cannot be read back: an overflow, as it should be.
constexpr double kLargestReadable = 1.797693134862315e308;

[[noreturn]] void Fail(const char* what, double value, std::u16string_view text) {
  std::fprintf(stderr, "fuzz_number_text: %s: %.17g \"%s\"\n", what, value,
               runtime::Utf16ToUtf8(text).c_str());
  std::abort();
}

void CheckRoundTrip(double value, std::u16string_view separator) {
  std::u16string text;
  try {
    text = runtime::NumberToText(value, separator);
  } catch (const RuntimeError& error) {
    if (std::isfinite(value) || error.Kind() != ErrorKind::kFloatingPoint)
      Fail("write raised", value, u"");
    return;
  }
  if (!std::isfinite(value)) Fail("non-finite written", value, text);

  double back;
  try {
    back = runtime::TextToNumber(text, separator);
  } catch (const RuntimeError& error) {
    if (error.Kind() == ErrorKind::kOverflow && std::fabs(value) >= kLargestReadable) return;
    Fail("written text does not read back", value, text);
  }
  if (!std::isfinite(back)) Fail("read back non-finite", value, text);
  // 15 significant digits: within half a unit of the 15th digit.
  if (value != 0.0 && !(std::fabs(back - value) <= std::fabs(value) * 5.1e-15)) {
    Fail("read back too far off", back, text);
  }
  const std::u16string again = runtime::NumberToText(back, separator);
  if (again != text) Fail("written again differently", back, again);
}

void CheckRead(std::u16string_view text, std::u16string_view separator) {
  try {
    const double value = runtime::TextToNumber(text, separator);
    if (!std::isfinite(value)) Fail("read non-finite", value, text);
  } catch (const RuntimeError& error) {
    if (error.Kind() != ErrorKind::kTypeMismatch && error.Kind() != ErrorKind::kOverflow) {
      Fail("read raised the wrong error", 0, text);
    }
  }
}

// Digits from the bytes after the first three; the first two are the exponent, the third
// places the separator and gives the sign.
void CheckDecimal(const uint8_t* data, std::size_t size, std::u16string_view separator) {
  if (size < 4) return;
  const auto exponent = static_cast<int16_t>(data[0] | data[1] << 8);
  const std::size_t point = data[2] & 0x7F;
  const bool negative = data[2] & 0x80;
  std::string digits;
  for (std::size_t i = 3; i < size; ++i) digits.push_back(static_cast<char>('0' + data[i] % 10));

  std::string cText = negative ? "-" : "";
  std::u16string text = negative ? u"-" : u"";
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i == point && i > 0) cText += '.', text += separator;
    cText += digits[i];
    text += static_cast<char16_t>(digits[i]);
  }
  const std::string exponentText = "e" + std::to_string(exponent);
  cText += exponentText;
  text.append(exponentText.begin(), exponentText.end());

  const double expected = std::strtod(cText.c_str(), nullptr);  // the "C" locale
  try {
    const double value = runtime::TextToNumber(text, separator);
    if (value != expected) Fail("read differently from strtod", value, text);
  } catch (const RuntimeError& error) {
    if (error.Kind() != ErrorKind::kOverflow || std::isfinite(expected)) {
      Fail("read raised where strtod reads", expected, text);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The separators Windows locales use (U+066B: Arabic).
  static const std::u16string kSeparators[] = {u".", u",", u"\u066B"};
  const std::u16string& separator = kSeparators[data[0] % 3];
  ++data, --size;

  for (std::size_t at = 0; at + sizeof(double) <= size; at += sizeof(double)) {
    double value;
    std::memcpy(&value, data + at, sizeof value);
    CheckRoundTrip(value, separator);
    CheckRoundTrip(value, u".");
    CheckRoundTrip(value, u",");
  }

  std::u16string narrow(data, data + size);
  CheckRead(narrow, separator);
  std::u16string wide(size / 2, u'\0');
  std::memcpy(wide.data(), data, wide.size() * 2);
  CheckRead(wide, separator);
  CheckDecimal(data, size, separator);
  return 0;
}
