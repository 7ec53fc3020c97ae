// The real window under other Windows locales: a comma decimal separator, a double-byte
// code page, and the Cyrillic and Central European code pages. Each suite runs in the
// ctest entry that starts the tests under its locale (see windows.cmake).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "form1_fixture.h"
#include "window_test_support.h"

namespace {

using form1_test::Form1Window;
using namespace window_test;

bool RunningUnder(const char* variable, const char* value) {
  const char* actual = std::getenv(variable);
  return actual && std::string(actual) == value;
}

class LocaleWindow : public Form1Window {
 protected:
  // Calculates through the Calculate button and waits for the percentage.
  void ExpectScore(const std::wstring& first, const std::wstring& second,
                   const std::wstring& result2, const std::wstring& result) {
    SetNames(first, second);
    ClickCalculate();
    ASSERT_TRUE(Pump([&] { return Result() == result; })) << "Result shows " << Result().size();
    EXPECT_EQ(Result2(), result2);
  }
};

TEST_F(LocaleWindow, CommaDecimalSeparatorIsWrittenAndReadBack) {
  if (!RunningUnder("PAIRLY_EXPECT_DECIMAL", ",")) GTEST_SKIP() << "runs under de_DE";
  ExpectScore(L"JOHN", L"JANE", L"1,25", L"125%");
  ExpectScore(L"ABC", L"ABD", L"1,66666666666667", L"166%");
  ExpectScore(std::wstring(23, L'A') + L"BB", std::wstring(23, L'A') + L"CC", L"2,3", L"229%");
}

TEST_F(LocaleWindow, DoubleByteCharacterIsReportedAndTheWindowKeepsWorking) {
  if (!RunningUnder("PAIRLY_EXPECT_ACP", "932")) GTEST_SKIP() << "runs under ja_JP";
  ASSERT_EQ(GetACP(), 932u);
  MessageBoxAnswerer boxes;
  ExpectScore(L"ABC", L"ABD", L"1.66666666666667", L"166%");
  SetNames(L"\u3055\u304F\u3089", L"\u3055\u304F\u3089\u3053");  // Sakura, Sakurako
  ClickCalculate();
  ASSERT_TRUE(Pump([&] { return boxes.Seen().size() == 1; }));
  EXPECT_EQ(boxes.Seen()[0].text, L"Run-time error '6':\n\nOverflow");
  EXPECT_EQ(Result(), L"166%");
  EXPECT_EQ(Result2(), L"1.66666666666667");
  // Half-width katakana take one byte each and score normally.
  ExpectScore(L"\uFF7B\uFF78\uFF97", L"\uFF7B\uFF78\uFF97\uFF7A", L"2.14285714285714", L"214%");
  EXPECT_EQ(boxes.Seen().size(), 1u);
}

TEST_F(LocaleWindow, CyrillicNamesScoreByTheirOwnLetters) {
  if (!RunningUnder("PAIRLY_EXPECT_ACP", "1251")) GTEST_SKIP() << "runs under ru_RU";
  ASSERT_EQ(GetACP(), 1251u);
  ExpectScore(L"\u0418\u0432\u0430\u043D", L"\u0418\u0412\u0410\u041D", L"1", L"100%");
  // Under code page 1252 every letter would be '?', and these would score 250% and 200%.
  ExpectScore(L"\u0418\u0412\u0410\u041D", L"\u041F\u0415\u0422\u0420", L"0", L"0%");
  ExpectScore(L"\u041D\u0430\u0442\u0430\u0448\u0430", L"\u0421\u0430\u0448\u0430", L"1,5",
              L"150%");
}

TEST_F(LocaleWindow, CentralEuropeanNamesScoreByTheirOwnLetters) {
  if (!RunningUnder("PAIRLY_EXPECT_ACP", "1250")) GTEST_SKIP() << "runs under cs_CZ";
  ASSERT_EQ(GetACP(), 1250u);
  ExpectScore(L"\u0160\u00E1rka", L"\u0160\u00C1RKA", L"1", L"100%");
  // 'Ł' is a letter of its own here; 1252's best fit would make it 'L' (227%).
  ExpectScore(L"\u0141ukasz", L"Lukas", L"1,81818181818182", L"181%");
}

}  // namespace
