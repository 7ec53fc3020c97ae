// Whatever a user types or pastes into the real window: very long names, characters of every
// kind, and many calculations in a row. Each click gives a percentage or one error report,
// never a crash, a frozen window or a leak.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>

#include "calculate/text_calculate_view.h"
#include "form1_fixture.h"
#include "runtime/wide_text.h"
#include "window_test_support.h"

namespace {

using form1_test::Form1Window;
using main_window::kCommand1;
using main_window::kPerson1;
using main_window::kPerson2;
using namespace window_test;
using Clock = std::chrono::steady_clock;

// Pastes text into a box with Ctrl+V, as a user does.
void Paste(HWND box, const std::wstring& text) {
  ASSERT_TRUE(PutOnClipboard(text));
  SetWindowTextW(box, L"");  // replaces what a previous paste left
  SetFocus(box);
  SendKey(VK_CONTROL, false);
  PressKey('V');
  SendKey(VK_CONTROL, true);
}

std::wstring RandomLetters(std::size_t length, unsigned seed) {
  std::mt19937 random(seed);
  std::wstring text(length, L'A');
  for (wchar_t& c : text) c = static_cast<wchar_t>(L'A' + random() % 26);
  return text;
}

// The percentage the Calculate command gives for two names, worked out without the window.
std::wstring ExpectedPercentage(const std::wstring& first, const std::wstring& second) {
  calculate::TextCalculateView view(runtime::WideToUtf16(first), runtime::WideToUtf16(second));
  calculate::Calculate(view);
  return runtime::Utf16ToWide(view.result);
}

class PastedNames : public Form1Window {
 protected:
  // Pastes both names, clicks Calculate and waits for the percentage; returns the time from
  // the click to the percentage, in milliseconds, or -1.
  long long PasteAndCalculate(const std::wstring& first, const std::wstring& second,
                              int timeoutMs) {
    // Keys are queued: each paste must land before the focus moves on.
    for (const auto& [box, text] : {std::pair{kPerson1, &first}, {kPerson2, &second}}) {
      Paste(Control(box), *text);
      const int wanted = static_cast<int>(text->size());
      if (!Pump([&] { return GetWindowTextLengthW(Control(box)) == wanted; }, timeoutMs)) {
        ADD_FAILURE() << "the box holds " << GetWindowTextLengthW(Control(box)) << " of " << wanted
                      << " characters";
        return -1;
      }
    }
    const std::wstring expected = ExpectedPercentage(first, second);
    const auto start = Clock::now();
    ClickCalculate();
    if (!Pump([&] { return Result() == expected; }, timeoutMs)) return -1;
    UpdateWindow(form1_.Window());
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  }
};

TEST_F(PastedNames, ThirtyThousandCharactersInEachBoxAreScoredAtOnce) {
  const std::wstring first = RandomLetters(30000, 1);
  std::wstring second = first;
  for (std::size_t i = 0; i < second.size(); i += 50) second[i] = L'#';  // a 2%-edited copy
  const long long ms = PasteAndCalculate(first, second, 10000);
  ASSERT_GE(ms, 0) << "no percentage";
  std::printf("30,000 characters per box: percentage drawn %lld ms after the click\n", ms);
  // All 'A' against (AB)^n: the deepest recursion the matcher meets.
  std::wstring ab;
  for (int i = 0; i < 15000; ++i) ab += L"AB";
  const long long deep = PasteAndCalculate(std::wstring(30000, L'A'), ab, 10000);
  ASSERT_GE(deep, 0);
  std::printf("30,000 'A' against (AB)^15000: %lld ms\n", deep);
  EXPECT_EQ(Result(), L"125%");
}

TEST_F(PastedNames, FourMillionCharactersInEachBoxAreHeldWholeAndScored) {
  const std::wstring first = RandomLetters(4000000, 2);
  std::wstring second = first;
  for (std::size_t i = 0; i < second.size(); i += 50) second[i] = L'#';
  const long long ms = PasteAndCalculate(first, second, 120000);
  ASSERT_GE(ms, 0) << "no percentage";
  std::printf("4,000,000 characters per box: percentage drawn %lld ms after the click\n", ms);
}

TEST_F(Form1Window, CharactersOfEveryKindGiveAScore) {
  MessageBoxAnswerer boxes;
  const struct {
    std::wstring first, second;
  } names[] = {
      {L"\U0001F496\U0001F496", L"\U0001F496"},  // surrogate pairs: two code units each
      {std::wstring(1, wchar_t{0xD800}) + L"A", std::wstring(1, wchar_t{0xDC00}) + L"A"},
      {L"Zoe\u0301", L"ZOE\u0301"},                          // a combining acute accent
      {L"\u05E9\u05E8\u05D4", L"\u05E9\u05E8\u05D4\u05D4"},  // right-to-left Hebrew
      {L"A\tB\u0001\u007F", L"A\tB"},                        // a tab and control characters
      {std::wstring(1, L'\0') + L"A", L"A"},  // cut short at the NUL by the box itself
  };
  for (const auto& pair : names) {
    SetNames(pair.first, pair.second);
    const std::wstring first = WindowText(Control(kPerson1));
    const std::wstring second = WindowText(Control(kPerson2));
    const std::wstring expected = ExpectedPercentage(first, second);
    ClickCalculate();
    ASSERT_TRUE(Pump([&] { return Result() == expected; })) << expected;
    EXPECT_EQ(Result().back(), L'%');
  }
  // Only the NUL case left a box empty: one warning, nothing else.
  ASSERT_EQ(boxes.Seen().size(), 1u);
  EXPECT_EQ(boxes.Seen()[0].text, L"Enter Your Name!!!");
  EXPECT_TRUE(IsWindow(form1_.Window()));
  EXPECT_FALSE(quit_);
}

TEST_F(Form1Window, AThousandCalculationsLeaveNoObjectsBehind) {
  SetNames(L"ABC", L"ABD");
  ASSERT_TRUE(CalculateShows(L"166%"));
  UpdateWindow(form1_.Window());
  const DWORD gdi = GdiObjects();
  const DWORD user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  ASSERT_GT(gdi, 0u);
  const wchar_t* const seconds[] = {L"JANE", L"ABD"};
  for (int i = 0; i < 1000; ++i) {
    SetNames(i % 2 ? L"ABC" : L"JOHN", seconds[i % 2]);
    SendMessageW(Control(kCommand1), BM_CLICK, 0, 0);
    UpdateWindow(form1_.Window());  // paint each new percentage
  }
  ASSERT_TRUE(Pump([&] { return Result() == L"166%"; }));
  PumpFor(50, &application_, &quit_);
  EXPECT_EQ(GdiObjects(), gdi);
  EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), user);  // 0 = 0 under Wine
}

}  // namespace
