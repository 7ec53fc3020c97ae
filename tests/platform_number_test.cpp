// Our number and text conversion against the platform's own variant conversion
// (oleaut32), under the user locale of the run.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <unordered_set>

#include "runtime/number_text.h"
#include "runtime/wide_text.h"
#include "test_support.h"

namespace {

std::u16string PlatformText(double value) {
  BSTR text = nullptr;
  EXPECT_EQ(VarBstrFromR8(value, LOCALE_USER_DEFAULT, 0, &text), S_OK);
  std::u16string result(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
  SysFreeString(text);
  return result;
}

double PlatformNumber(const std::u16string& text) {
  std::wstring wide = runtime::Utf16ToWide(text);
  double value = -1;
  EXPECT_EQ(VarR8FromStr(wide.data(), LOCALE_USER_DEFAULT, 0, &value), S_OK) << Printable(text);
  return value;
}

class PlatformNumbers : public testing::Test {
 protected:
  // The text must be the platform's to the character. Reading it back, ours is correctly
  // rounded while the platform's may be one unit in the last place off; the percentage the
  // program derives from it must come out the same either way.
  void ExpectSameAsPlatform(double value) {
    const std::u16string ours = runtime::NumberToText(value, separator_);
    ASSERT_EQ(Printable(ours), Printable(PlatformText(value))) << value;
    const double back = runtime::TextToNumber(ours, separator_);
    const double platformBack = PlatformNumber(ours);
    if (back != platformBack) {
      ++lastPlaceDifferences_;
      ASSERT_TRUE(std::nextafter(back, platformBack) == platformBack) << Printable(ours);
      ASSERT_EQ(std::trunc(back * 100.0), std::trunc(platformBack * 100.0)) << Printable(ours);
    }
  }

  void TearDown() override {
    std::printf("%d values read back one unit in the last place apart from the platform's\n",
                lastPlaceDifferences_);
  }

  const std::u16string separator_ = runtime::SystemTextServices().DecimalSeparator();
  int lastPlaceDifferences_ = 0;
};

TEST_F(PlatformNumbers, EveryScoreOfUpTo2000CharactersConvertsAsThePlatformDoes) {
  std::unordered_set<double> seen;
  for (int n = 2; n <= 2000; ++n) {
    for (int k = 0; k <= n / 2; ++k) {  // K never exceeds the shorter name
      const double score = static_cast<double>(k) / n * 5.0;
      if (seen.insert(score).second) ExpectSameAsPlatform(score);
    }
  }
  for (int percent = 0; percent <= 250; ++percent) ExpectSameAsPlatform(percent);
}

TEST_F(PlatformNumbers, RandomValuesBelow2Point5ConvertAsThePlatformDoes) {
  // From 1E-4 on, where no exponent form arises (below it, the platform under test writes
  // the exponent form with "." whatever the locale; ours keeps the locale's separator).
  std::mt19937_64 random(2026);
  std::uniform_real_distribution<double> uniform(1e-4, 2.5);
  for (int i = 0; i < 100000; ++i) ExpectSameAsPlatform(uniform(random));
}

}  // namespace
