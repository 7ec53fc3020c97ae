#include "runtime/number_text.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/runtime_error.h"

namespace runtime {
namespace {

constexpr int kSignificantDigits = 15;

std::u16string Widen(std::string_view ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

// For a number from_chars found out of range: whether it is too large rather than too small,
// from the decimal exponent of its first significant digit. The exponent part's sign alone
// does not tell: "1000e-1" with 400 zeros is too large, "0.0001e5" with 400 zeros too small.
bool TooLarge(std::string_view cForm) {
  const std::size_t e = cForm.find('e');
  const std::string_view mantissa = cForm.substr(0, e);
  const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
  const std::size_t first = mantissa.find_first_of("123456789");
  if (first == std::string_view::npos) return false;  // zero
  int64_t exponent = first < point ? static_cast<int64_t>(point - first) - 1
                                   : -static_cast<int64_t>(first - point);
  if (e != std::string_view::npos) {
    std::string_view digits = cForm.substr(e + 1);
    const bool negative = digits.front() == '-';
    if (digits.front() == '+' || digits.front() == '-') digits.remove_prefix(1);
    // Far beyond any double and any mantissa length; saturating keeps it from overflowing.
    constexpr int64_t kFar = 1'000'000'000;
    int64_t value = 0;
    for (const char digit : digits) value = std::min(value * 10 + (digit - '0'), kFar);
    exponent += negative ? -value : value;
  }
  return exponent > 0;
}

}  // namespace

std::u16string NumberToText(double value, std::u16string_view decimalSeparator) {
  if (!std::isfinite(value)) Raise(ErrorKind::kFloatingPoint);
  if (value == 0.0) return u"0";  // also for -0

  // Round to 15 significant digits: "d.dddddddddddddde+XX", correctly rounded.
  char buffer[40];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                          std::chars_format::scientific, kSignificantDigits - 1);
  (void)error;  // 40 characters always suffice
  const std::string_view scientific(buffer, static_cast<std::size_t>(end - buffer));
  const std::size_t ePos = scientific.find('e');
  std::string digits;
  digits.push_back(scientific[0]);
  digits.append(scientific.substr(2, ePos - 2));
  const int exponent = std::atoi(std::string(scientific.substr(ePos + 1)).c_str());
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::u16string text = value < 0 ? u"-" : u"";
  if (exponent < -4 || exponent >= kSignificantDigits) {
    text += Widen(digits.substr(0, 1));
    if (digits.size() > 1) {
      text += decimalSeparator;
      text += Widen(digits.substr(1));
    }
    char exponentText[16];
    std::snprintf(exponentText, sizeof exponentText, "E%c%02d", exponent < 0 ? '-' : '+',
                  std::abs(exponent));
    text += Widen(exponentText);
  } else if (exponent < 0) {
    text += u"0";
    text += decimalSeparator;
    text.append(static_cast<std::size_t>(-exponent - 1), u'0');
    text += Widen(digits);
  } else {
    const auto wholeDigits = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= wholeDigits) {
      text += Widen(digits);
      text.append(wholeDigits - digits.size(), u'0');
    } else {
      text += Widen(digits.substr(0, wholeDigits));
      text += decimalSeparator;
      text += Widen(digits.substr(wholeDigits));
    }
  }
  return text;
}

double TextToNumber(std::u16string_view text, std::u16string_view decimalSeparator) {
  std::size_t pos = 0;
  const auto skipBlanks = [&] {
    while (pos < text.size() && text[pos] == u' ') ++pos;
  };
  const auto takeDigits = [&](std::string& out) {
    const std::size_t start = pos;
    while (pos < text.size() && IsDigit(text[pos])) out.push_back(static_cast<char>(text[pos++]));
    return pos - start;
  };

  // Rebuild the number in the C form that from_chars reads.
  std::string cForm;
  skipBlanks();
  if (pos < text.size() && (text[pos] == u'+' || text[pos] == u'-')) {
    if (text[pos] == u'-') cForm.push_back('-');
    ++pos;
  }
  std::size_t mantissaDigits = takeDigits(cForm);
  if (!decimalSeparator.empty() && text.substr(pos, decimalSeparator.size()) == decimalSeparator) {
    pos += decimalSeparator.size();
    cForm.push_back('.');
    mantissaDigits += takeDigits(cForm);
  }
  if (mantissaDigits == 0) Raise(ErrorKind::kTypeMismatch);
  if (pos < text.size() && (text[pos] == u'E' || text[pos] == u'e')) {
    ++pos;
    cForm.push_back('e');
    if (pos < text.size() && (text[pos] == u'+' || text[pos] == u'-')) {
      cForm.push_back(static_cast<char>(text[pos++]));
    }
    if (takeDigits(cForm) == 0) Raise(ErrorKind::kTypeMismatch);
  }
  skipBlanks();
  if (pos != text.size()) Raise(ErrorKind::kTypeMismatch);

  double value = 0.0;
  const auto result = std::from_chars(cForm.data(), cForm.data() + cForm.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    // Too small reads as zero; too large cannot be held.
    if (!TooLarge(cForm)) return 0.0;
    Raise(ErrorKind::kOverflow);
  }
  if (result.ec != std::errc() || result.ptr != cForm.data() + cForm.size()) {
    Raise(ErrorKind::kTypeMismatch);
  }
  return value;
}

double FixTowardZero(double value) {
  if (!std::isfinite(value)) Raise(ErrorKind::kFloatingPoint);
  return std::trunc(value);
}

}  // namespace runtime
