#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <random>

#include "runtime/checked_arithmetic.h"
#include "runtime/number_text.h"
#include "runtime/runtime_error.h"
#include "test_support.h"

namespace {

using runtime::ErrorKind;
using runtime::NumberToText;
using runtime::TextToNumber;

ErrorKind ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const runtime::RuntimeError& error) {
    return error.Kind();
  }
  ADD_FAILURE() << "no runtime error";
  return ErrorKind::kControlCallFailed;
}

TEST(NumberToText, FifteenSignificantDigitsTrailingZerosDropped) {
  const struct {
    double value;
    const char16_t* text;
  } cases[] = {
      {0.0, u"0"},
      {-0.0, u"0"},
      {1.0, u"1"},
      {1.25, u"1.25"},
      {5.0 / 3, u"1.66666666666667"},
      {1.6666666666666665, u"1.66666666666667"},
      {0.7142857142857142, u"0.714285714285714"},
      {2.3000000000000003, u"2.3"},
      {229.99999999999997, u"230"},
      {166.0, u"166"},
      {-2.5, u"-2.5"},
      {0.0001, u"0.0001"},
      {0.00012345, u"0.00012345"},
      {123456789012345.0, u"123456789012345"},
      {1234567890123456.0, u"1.23456789012346E+15"},
      {1e15, u"1E+15"},
      {0.00001, u"1E-05"},
      {-1.5e-7, u"-1.5E-07"},
      {1e300, u"1E+300"},
      {std::numeric_limits<double>::max(), u"1.79769313486232E+308"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Printable(NumberToText(c.value, u".")), Printable(c.text)) << c.value;
  }
  EXPECT_EQ(Printable(NumberToText(1.25, u",")), "1,25");
  EXPECT_EQ(Printable(NumberToText(1.5e-7, u",")), "1,5E-07");
  EXPECT_EQ(Printable(NumberToText(125.0, u",")), "125");  // no grouping
  EXPECT_EQ(ErrorOf([] { NumberToText(std::nan(""), u"."); }), ErrorKind::kFloatingPoint);
  EXPECT_EQ(ErrorOf([] { NumberToText(HUGE_VAL, u"."); }), ErrorKind::kFloatingPoint);
}

TEST(TextToNumber, ReadsWhatNumberToTextWrites) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> uniform(0.0, 2.5);
  for (const char16_t* separator : {u".", u","}) {
    for (int i = 0; i < 20000; ++i) {
      // Every value spread over many magnitudes, including the exponent forms.
      const double value = uniform(random) * std::pow(10.0, static_cast<int>(random() % 80) - 40);
      const std::u16string text = NumberToText(value, separator);
      const double back = TextToNumber(text, separator);
      // Reading back gives the 15-digit value, whose text is the same again.
      ASSERT_EQ(NumberToText(back, separator), text) << value;
      ASSERT_LE(std::fabs(back - value), std::fabs(value) * 1e-14) << value;
    }
  }
}

TEST(TextToNumber, AcceptsTheLocaleFormOnly) {
  EXPECT_EQ(TextToNumber(u"1.25", u"."), 1.25);
  EXPECT_EQ(TextToNumber(u" -2.5 ", u"."), -2.5);
  EXPECT_EQ(TextToNumber(u"+.5", u"."), 0.5);
  EXPECT_EQ(TextToNumber(u"5.", u"."), 5.0);
  EXPECT_EQ(TextToNumber(u"1,25", u","), 1.25);
  EXPECT_EQ(TextToNumber(u"1.5E-07", u"."), 1.5e-7);
  EXPECT_EQ(TextToNumber(u"2e3", u"."), 2000.0);
  EXPECT_EQ(TextToNumber(u"1E-400", u"."), 0.0);
  for (const char16_t* bad : {u"", u" ", u"-", u".", u"1.2.3", u"1,25", u"12a", u"E5", u"1E",
                              u"1E+", u"0x10", u"\u0661"}) {
    EXPECT_EQ(ErrorOf([&] { TextToNumber(bad, u"."); }), ErrorKind::kTypeMismatch)
        << Printable(bad);
  }
  EXPECT_EQ(ErrorOf([] { TextToNumber(u"1E+400", u"."); }), ErrorKind::kOverflow);
}

TEST(TextToNumber, BeyondTheRangeByItsSizeNotTheExponentSign) {
  // Found by fuzzing: out of range was taken as too small whenever the exponent was
  // negative, and as too large otherwise, whatever the digits said.
  const std::u16string zeros(400, u'0');
  EXPECT_EQ(ErrorOf([&] { TextToNumber(u"1" + zeros + u"E-1", u"."); }), ErrorKind::kOverflow);
  EXPECT_EQ(ErrorOf([&] { TextToNumber(u"-9" + zeros + u",5", u","); }), ErrorKind::kOverflow);
  EXPECT_EQ(TextToNumber(u"0." + zeros + u"1", u"."), 0.0);
  EXPECT_EQ(TextToNumber(u"0," + zeros + u"1E+5", u","), 0.0);
  EXPECT_EQ(TextToNumber(u"-0." + zeros + u"1E+3", u"."), 0.0);
  // Zeros balanced by the exponent: in range.
  EXPECT_EQ(TextToNumber(u"0." + zeros + u"1E+400", u"."), 0.1);
  EXPECT_EQ(TextToNumber(u"1" + zeros + u"E-400", u"."), 1.0);
}

TEST(FixAndCheckedArithmetic, TruncateTowardZeroAndRejectNonFinite) {
  EXPECT_EQ(runtime::FixTowardZero(229.99999999999997), 229.0);
  EXPECT_EQ(runtime::FixTowardZero(-1.9), -1.0);
  EXPECT_EQ(runtime::FixTowardZero(2.0), 2.0);
  EXPECT_EQ(runtime::CheckedMultiply(2.3, 100.0), 229.99999999999997);
  EXPECT_EQ(ErrorOf([] { runtime::FixTowardZero(INFINITY); }), ErrorKind::kFloatingPoint);
  EXPECT_EQ(ErrorOf([] { runtime::CheckedMultiply(1e300, 1e300); }), ErrorKind::kFloatingPoint);
  EXPECT_EQ(ErrorOf([] { runtime::CheckedDivide(1.0, 0.0); }), ErrorKind::kFloatingPoint);
}

}  // namespace
