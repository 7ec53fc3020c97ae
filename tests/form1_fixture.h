// The real Form1, built from its table and shown, for tests that drive it as a user would.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "main_window/form1.h"
#include "window_test_support.h"

namespace form1_test {

using main_window::kCommand1;
using main_window::kPerson1;
using main_window::kPerson2;
using main_window::kResult;
using main_window::kResult2;
using window_test::PumpFor;
using window_test::PumpUntil;

inline RECT RectInParent(HWND control) {
  RECT box;
  GetWindowRect(control, &box);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&box), 2);
  return box;
}

class Form1Window : public testing::Test {
 protected:
  explicit Form1Window(const runtime::TextServices& text = runtime::SystemTextServices())
      : form1_(application_, text) {}

  void SetUp() override {
    form1_.Load();
    form1_.Show();
    ASSERT_TRUE(Pump([&] {
      return GetForegroundWindow() == form1_.Window() && GetFocus() == Control(kPerson2);
    }));
    UpdateWindow(form1_.Window());
  }
  void TearDown() override {
    form1_.Unload();
    PumpFor(30, nullptr, &quit_);  // takes the quit the last window's end posts
  }

  bool Pump(const std::function<bool()>& condition, int timeoutMs = 3000) {
    return PumpUntil(condition, &application_, timeoutMs, &quit_);
  }
  HWND Control(int id) const { return form1_.Control(id); }
  std::wstring Result() const { return form1_.Caption(kResult); }
  std::wstring Result2() const { return form1_.Caption(kResult2); }
  void SetNames(const std::wstring& first, const std::wstring& second) {
    SetWindowTextW(Control(kPerson1), first.c_str());
    SetWindowTextW(Control(kPerson2), second.c_str());
  }
  void ClickCalculate() {
    RECT box = RectInParent(Control(kCommand1));
    window_test::ClickAt(form1_.Window(),
                         POINT{(box.left + box.right) / 2, (box.top + box.bottom) / 2});
  }
  // Calculates through Alt+C and waits until Result shows the expected percentage.
  bool CalculateShows(const std::wstring& expected) {
    window_test::PressAlt('C');
    return Pump([&] { return Result() == expected; });
  }

  // After a click that failed while the window showed 166% for ABC and ABD: one report with
  // this text, the window as it was, and the next click working.
  void ExpectOneReportAndTheWindowAsBefore(const window_test::MessageBoxAnswerer& boxes,
                                           const std::wstring& report) {
    PumpFor(100, &application_, &quit_);
    ASSERT_EQ(boxes.Seen().size(), 1u);
    EXPECT_EQ(boxes.Seen()[0].text, report);
    EXPECT_EQ(boxes.Seen()[0].title, L"PAIRLY Calc");
    EXPECT_EQ(Result(), L"166%");
    EXPECT_EQ(Result2(), L"1.66666666666667");
    EXPECT_TRUE(IsWindow(form1_.Window()));
    EXPECT_FALSE(quit_);
    SetNames(L"JOHN", L"JANE");
    EXPECT_TRUE(CalculateShows(L"125%"));
  }

  runtime::Application application_{L"PAIRLY Calc"};
  main_window::Form1 form1_;
  bool quit_ = false;
};

}  // namespace form1_test
