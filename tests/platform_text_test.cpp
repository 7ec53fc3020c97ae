// The platform's text services against the portable stand-in, and the behaviour that
// depends on the system code page. Run under several Wine locales (see CMakeLists.txt). Also
// the stack protector's canary, which every Windows executable of ours draws at its start.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>

#include "calculate/text_calculate_view.h"
#include "runtime/runtime_error.h"
#include "scoring/module1.h"
#include "scoring/pair_scorer.h"
#include "test_support.h"

extern "C" uintptr_t __stack_chk_guard;

namespace {

const runtime::TextServices& kSystem = runtime::SystemTextServices();

// Drawn from the system's random numbers at the start, not left at the fallback. (That no
// crypto provider is asked for it, check_pe.py checks.)
TEST(PlatformStart, TheStackCanaryIsDrawn) {
  EXPECT_NE(__stack_chk_guard, uintptr_t{0xFF0A0000u});
  EXPECT_NE(__stack_chk_guard, uintptr_t{0});
}

bool ExpectedCodePageIs(UINT codePage) {
  const char* expected = std::getenv("PAIRLY_EXPECT_ACP");
  return expected ? static_cast<UINT>(std::atoi(expected)) == codePage : GetACP() == codePage;
}

TEST(PlatformLocale, IsTheOneThisRunAskedFor) {
  if (const char* acp = std::getenv("PAIRLY_EXPECT_ACP")) {
    EXPECT_EQ(GetACP(), static_cast<UINT>(std::atoi(acp)));
  }
  if (const char* separator = std::getenv("PAIRLY_EXPECT_DECIMAL")) {
    EXPECT_EQ(Printable(kSystem.DecimalSeparator()), separator);
  }
}

// Every UTF-16 code unit, upper-cased and coded by the platform and by the stand-in.
TEST(PlatformText, AgreesWithThePortableStandInUnderCodePage1252) {
  if (!ExpectedCodePageIs(1252)) GTEST_SKIP() << "needs code page 1252";
  const runtime::PortableTextServices portable;
  int bestFit = 0;
  std::string examples;
  for (int unit = 0; unit <= 0xFFFF; ++unit) {
    const std::u16string character(1, static_cast<char16_t>(unit));
    const wchar_t upper = static_cast<wchar_t>(kSystem.UpperCase(character)[0]);
    const int32_t platformCode = kSystem.AnsiCode(static_cast<char16_t>(upper));
    const int32_t portableCode = portable.AnsiCode(portable.UpperCase(character)[0]);
    // Can 1252 hold the platform's upper case exactly, without a best-fit substitute?
    char byte;
    BOOL usedDefault = FALSE;
    const bool exact = WideCharToMultiByte(1252, WC_NO_BEST_FIT_CHARS, &upper, 1, &byte, 1, nullptr,
                                           &usedDefault) == 1 &&
                       !usedDefault;
    if (exact) {
      ASSERT_EQ(platformCode, portableCode) << "U+" << std::hex << unit;
    } else if (platformCode != portableCode) {
      if (++bestFit <= 12) {
        char line[48];
        snprintf(line, sizeof line, " U+%04X->%d", unit, platformCode);
        examples += line;
      }
    }
  }
  std::printf("%d code units take a platform best-fit code instead of '?', e.g.%s\n", bestFit,
              examples.c_str());
}

TEST(PlatformText, DoubleByteCharacterOverflowsAndLeavesEverythingAsItWas) {
  if (!ExpectedCodePageIs(932)) GTEST_SKIP() << "needs code page 932";
  EXPECT_GT(kSystem.AnsiCode(u'\u3042'), 255);   // hiragana A: two bytes
  EXPECT_EQ(kSystem.AnsiCode(u'\uFF71'), 0xB1);  // half-width katakana A: one byte

  calculate::TextCalculateView view(u"ABC", u"ABD");
  calculate::Calculate(view);
  EXPECT_EQ(Printable(view.result), "166%");

  view.person2 = u"A\u3042";
  try {
    calculate::Calculate(view);
    FAIL() << "expected the overflow error";
  } catch (const runtime::RuntimeError& error) {
    EXPECT_EQ(error.Kind(), runtime::ErrorKind::kOverflow);
  }
  EXPECT_TRUE(Module1::Codes1.IsEmpty());
  EXPECT_TRUE(Module1::Codes2.IsEmpty());
  EXPECT_EQ(Printable(view.result2), "1.66666666666667");
  EXPECT_EQ(Printable(view.result), "166%");

  view.person2 = u"\uFF71\uFF72";  // single-byte characters still score
  calculate::Calculate(view);
  EXPECT_EQ(Printable(view.result), "0%");
}

// The batch mode's scorer asks the platform about each code unit once: right only if the
// platform upper-cases a text code unit by code unit (surrogates aside, which it asks about
// whole texts). Checked for every unit, then the scorer against NameMatchScore.
TEST(PlatformText, UpperCasesCodeUnitByCodeUnitAndThePairScorerAgrees) {
  std::u16string all, oneByOne;
  for (int unit = 1; unit <= 0xFFFF; ++unit) {
    if (unit >= 0xD800 && unit <= 0xDFFF) continue;
    const std::u16string character(1, static_cast<char16_t>(unit));
    all += character;
    oneByOne += kSystem.UpperCase(character);
  }
  ASSERT_EQ(kSystem.UpperCase(all), oneByOne);

  std::mt19937 random(932);
  scoring::PairScorer scorer(kSystem);
  const auto name = [&] {
    std::u16string s;
    for (int i = static_cast<int>(random() % 6); i > 0; --i) {
      const auto unit =
          static_cast<char16_t>(random() % 3 == 0 ? random() % 0x10000 : random() % 0x250);
      s += unit;
      if (unit >= 0xD800 && unit <= 0xDBFF && random() % 2 == 0)
        s += static_cast<char16_t>(0xDC00 + random() % 0x400);
    }
    return s;
  };
  for (int trial = 0; trial < 20000; ++trial) {
    const std::u16string first = name();
    const std::u16string second = trial % 2 == 0 ? kSystem.UpperCase(first) : name();
    double expected = -1.0;
    try {
      expected = Module1::NameMatchScore(first, second, kSystem);
    } catch (const runtime::RuntimeError&) {
      EXPECT_THROW(scorer.Score(first, second), runtime::RuntimeError);
      continue;
    }
    ASSERT_EQ(scorer.Score(first, second), expected)
        << Printable(first) << " / " << Printable(second);
  }
}

}  // namespace
