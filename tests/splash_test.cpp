// frmSplash opened from the real Form1 with a real click on the cartoon, and closed by its
// timer, by a key, by Exit, or left open after Form1 is gone.
#include <windows.h>

#include <winternl.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "main_window/form1.h"
#include "resource_ids.h"
#include "runtime/resources.h"
#include "splash_window/frm_splash.h"
#include "window_test_support.h"

namespace {

using namespace main_window;
using namespace splash_window;
using namespace window_test;
using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class SplashWindow : public testing::Test {
 protected:
  void SetUp() override {
    form1_.Load();
    form1_.Show();
    ASSERT_TRUE(Pump([&] { return GetForegroundWindow() == form1_.Window(); }));
  }
  void TearDown() override {
    application_.End();
    PumpFor(30, nullptr, &quit_);
  }

  bool Pump(const std::function<bool()>& condition, int timeoutMs = 3000) {
    return PumpUntil(condition, &application_, timeoutMs, &quit_);
  }
  FrmSplash& Splash() { return form1_.Splash(); }
  // A real click on the cartoon, away from where the splash window covers Form1.
  void ClickCartoon() { ClickAt(form1_.Window(), POINT{20, 20}); }
  // Clicks the cartoon and waits for the splash window to be in front; the click's time.
  Clock::time_point OpenByClick() {
    const auto clicked = Clock::now();
    ClickCartoon();
    EXPECT_TRUE(
        Pump([&] { return Splash().IsOpen() && GetForegroundWindow() == Splash().Window(); }));
    return clicked;
  }
  static BOOL CALLBACK CountSplash(HWND window, LPARAM found) {
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    if (std::wstring(name) == L"frmSplash") ++*reinterpret_cast<int*>(found);
    return TRUE;
  }
  int OpenSplashWindows() const {
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountSplash, reinterpret_cast<LPARAM>(&count));
    return count;
  }

  runtime::Application application_{L"PAIRLY Calc"};
  Form1 form1_{application_};
  bool quit_ = false;
};

TEST_F(SplashWindow, OpensCentredAtItsSizeWithTheThreeLinesAndTakesTheKeyboardItself) {
  OpenByClick();
  HWND window = Splash().Window();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(WindowText(window), L"");
  EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);
  const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 199);
  EXPECT_EQ(client.bottom, 160);
  EXPECT_TRUE(CentredOnScreen(window));

  EXPECT_EQ(GetWindow(window, GW_CHILD), nullptr) << "nothing in it can take the focus";
  EXPECT_EQ(GetFocus(), window);

  EXPECT_EQ(Splash().Caption(kLabel2), L"Pairly  Calc");
  struct Line {
    int id;
    int height;
    int visibleWidth;  // the part of the box inside the client area
  };
  for (const Line& line :
       {Line{kLabel1, 13, 199 - 112}, Line{kLabel2, 13, 199 - 88}, Line{kLabel3, 16, 199 - 8}}) {
    const std::wstring text = Splash().Caption(line.id);
    EXPECT_FALSE(text.empty());
    LOGFONTW font{};
    GetObjectW(Splash().Font(line.id), sizeof font, &font);
    EXPECT_EQ(font.lfHeight, -line.height);
    EXPECT_EQ(font.lfWeight, 700);
    EXPECT_EQ(font.lfCharSet, ANSI_CHARSET);
    EXPECT_EQ(std::wstring(font.lfFaceName), L"MS Sans Serif");
    HDC dc = GetDC(window);
    HGDIOBJ old = SelectObject(dc, Splash().Font(line.id));
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    EXPECT_LE(extent.cx, line.visibleWidth) << "line " << line.id << " fits on one line";
  }
}

TEST_F(SplashWindow, ShowsThePictureUnscaledFromTheTopLeftWithWhiteLettering) {
  OpenByClick();
  UpdateWindow(Splash().Window());
  const Picture screen = CaptureClient(Splash().Window());
  runtime::UniqueBitmap decoded =
      runtime::LoadPicture({runtime::PictureFormat::kJpeg, PAIRLY_JPEG_SPLASH});
  const Picture jpeg = PictureOf(decoded.get());
  ASSERT_EQ(jpeg.width, 200);
  ASSERT_EQ(jpeg.height, 160);
  // Above the lettering, every pixel is the picture's own.
  int mismatches = 0;
  for (int y = 0; y < 80; ++y) {
    for (int x = 0; x < 199; ++x) mismatches += screen.At(x, y) != jpeg.At(x, y);
  }
  EXPECT_EQ(mismatches, 0);
  // An orange-red middle on darker edges: a decoded picture, not an empty one.
  const COLORREF middle = jpeg.At(100, 60);
  EXPECT_GT(GetRValue(middle), 150);
  EXPECT_LT(GetBValue(middle), 120);
  int white = 0;
  for (int y = 80; y < 137; ++y) {
    for (int x = 8; x < 199; ++x) white += screen.At(x, y) == RGB(255, 255, 255);
  }
  EXPECT_GT(white, 100) << "the three lines";
}

TEST_F(SplashWindow, ClosesAboutOneSecondAfterTheClick) {
  const auto clicked = OpenByClick();
  ASSERT_TRUE(Pump([&] { return !Splash().IsOpen(); }, 3000));
  const long long elapsed = MsSince(clicked);
  EXPECT_GE(elapsed, 990);
  EXPECT_LE(elapsed, 1500);
  EXPECT_FALSE(quit_) << "Form1 is still open";
}

TEST_F(SplashWindow, ASecondClickShowsTheSameWindowAndKeepsItsTimer) {
  const auto clicked = OpenByClick();
  HWND first = Splash().Window();
  PumpFor(500, &application_, &quit_);
  ClickCartoon();
  ASSERT_TRUE(Pump([&] { return GetForegroundWindow() == first; }, 1000));
  EXPECT_EQ(Splash().Window(), first);
  EXPECT_EQ(OpenSplashWindows(), 1);
  ASSERT_TRUE(Pump([&] { return !Splash().IsOpen(); }, 3000));
  EXPECT_LE(MsSince(clicked), 1400) << "closed one second after the first click";

  const auto reopened = OpenByClick();  // and a fresh one for a full second
  ASSERT_TRUE(Pump([&] { return !Splash().IsOpen(); }, 3000));
  EXPECT_GE(MsSince(reopened), 990);
}

TEST_F(SplashWindow, AKeyThatTypesACharacterClosesItAtOnce) {
  for (WORD key : {WORD{'A'}, WORD{'7'}, WORD{VK_OEM_PERIOD}, WORD{VK_SPACE}, WORD{VK_RETURN},
                   WORD{VK_ESCAPE}, WORD{VK_BACK}}) {
    OpenByClick();
    const auto pressed = Clock::now();
    PressKey(key);
    ASSERT_TRUE(Pump([&] { return !Splash().IsOpen(); }, 3000)) << key;
    EXPECT_LT(MsSince(pressed), 600) << "key " << key << " closed it, not the timer";
    EXPECT_TRUE(form1_.IsOpen());
  }
}

TEST_F(SplashWindow, WhenItClosesTypingGoesBackToTheBoxTheUserWasIn) {
  for (int i = 0; i < 3; ++i) PressKey(VK_TAB);  // Person2, Calculate, Exit, person1
  HWND person1 = form1_.Control(kPerson1);
  ASSERT_TRUE(Pump([&] { return GetFocus() == person1; }));
  OpenByClick();
  PressKey('A');
  ASSERT_TRUE(Pump([&] { return !Splash().IsOpen() && GetFocus() == person1; }));
  TypeText(L"Z");
  EXPECT_TRUE(Pump([&] { return WindowText(person1) == L"Z"; }));
  EXPECT_EQ(WindowText(form1_.Control(kPerson2)), L"");
}

TEST_F(SplashWindow, KeysThatTypeNothingAndClicksOnItLeaveItOpen) {
  OpenByClick();
  const auto opened = Clock::now();
  for (WORD key : {WORD{VK_RIGHT}, WORD{VK_F5}, WORD{VK_SHIFT}, WORD{VK_CONTROL}}) PressKey(key);
  ClickAt(Splash().Window(), POINT{100, 40});
  ClickAt(Splash().Window(), POINT{120, 100});  // on the title line
  PumpFor(400, &application_, &quit_);
  EXPECT_TRUE(Splash().IsOpen());
  ASSERT_LT(MsSince(opened), 900) << "checked before the timer";
}

TEST_F(SplashWindow, ExitWithItOpenEndsTheProgramWithBothWindowsGone) {
  OpenByClick();
  HWND splashWindow = Splash().Window();
  HWND form1Window = form1_.Window();
  ClickAt(form1Window, POINT{236, 284});  // E&xit
  ASSERT_TRUE(Pump([&] { return !IsWindow(splashWindow) && !IsWindow(form1Window); }, 900));
  EXPECT_TRUE(Pump([&] { return quit_; }, 500));
}

TEST_F(SplashWindow, ClosingForm1LeavesItOpenUntilItsTickThenTheProgramEnds) {
  OpenByClick();
  PostMessageW(form1_.Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(Pump([&] { return !form1_.IsOpen(); }, 500));
  EXPECT_TRUE(Splash().IsOpen());
  EXPECT_FALSE(quit_);
  ASSERT_TRUE(Pump([&] { return !Splash().IsOpen(); }, 3000));
  EXPECT_TRUE(Pump([&] { return quit_; }, 500));
}

TEST_F(SplashWindow, OpeningAndClosing200TimesLeavesNoObjectsBehind) {
  auto openAndClose = [&] {
    Splash().Open();
    SendMessageW(Splash().Window(), WM_CHAR, 'x', 0);
    return !Splash().IsOpen();
  };
  Splash().Open();
  HFONT font = Splash().Font(kLabel1);
  ASSERT_EQ(GetObjectType(font), static_cast<DWORD>(OBJ_FONT));
  SendMessageW(Splash().Window(), WM_CHAR, 'x', 0);
  EXPECT_EQ(GetObjectType(font), 0u) << "closing released the window's fonts";
  PumpFor(50, &application_, &quit_);
  const DWORD gdi = GdiObjects();
  const DWORD user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  ASSERT_GT(gdi, 0u) << "GDI objects can be counted";
  for (int i = 0; i < 200; ++i) ASSERT_TRUE(openAndClose()) << i;
  PumpFor(50, &application_, &quit_);
  EXPECT_EQ(GdiObjects(), gdi);
  EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), user);  // 0 = 0 under Wine
  EXPECT_EQ(OpenSplashWindows(), 0);
}

}  // namespace
