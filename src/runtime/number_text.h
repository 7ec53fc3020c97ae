// The runtime's number and text conversions, with the locale's decimal separator passed in.
#pragma once

#include <string>
#include <string_view>

namespace runtime {

// The default text of a double: at most 15 significant digits, trailing zeros dropped, no
// separator for a whole number, no digit grouping. Magnitudes below 1E-4 or from 1E+15 on
// take the exponent form, e.g. "1.5E-05" or "1E+15". A non-finite value raises the
// floating-point error.
std::u16string NumberToText(double value, std::u16string_view decimalSeparator);

// The inverse: optional blanks, an optional sign, digits with an optional decimal separator
// and fraction, an optional exponent (E or e, optional sign, digits), optional blanks.
// Anything else raises the type-mismatch error; a value beyond the double range overflows.
double TextToNumber(std::u16string_view text, std::u16string_view decimalSeparator);

// Truncation toward zero; a non-finite value raises the floating-point error.
double FixTowardZero(double value);

}  // namespace runtime
