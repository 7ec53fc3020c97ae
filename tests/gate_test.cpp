// Every way into the real windows while one of the program's boxes is up and while a score
// runs, grouped by route: keys, the mouse and context menus, edit commands, a screen reader's
// calls through the program's own objects, and posted work. None of them changes a name or a
// caption. Also: the splash answering for itself while Form1 scores, the box disabling every
// window whichever was active, the cursor, and which scores leave the window's thread.
#include <windows.h>

#include <oleacc.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "form1_fixture.h"
#include "main_window/form1.h"
#include "runtime/unique_handle.h"
#include "window_test_support.h"

namespace {

using namespace main_window;
using namespace window_test;
using runtime::ComPtr;

// Text services that hold a score's upper-casing off the window's thread until released (for
// ten seconds at most, should a test fail meanwhile), and note on which threads scores ran: a
// score that runs as long as a test needs.
class HeldScores : public runtime::PortableTextServices {
 public:
  std::u16string UpperCase(std::u16string_view text) const override {
    if (GetCurrentThreadId() == windowThread_) {
      inPlace = true;
    } else {
      offThread = true;
      const ULONGLONG giveUp = GetTickCount64() + 10000;
      while (held && GetTickCount64() < giveUp) Sleep(1);
      held = false;
    }
    return PortableTextServices::UpperCase(text);
  }
  mutable std::atomic<bool> held{true}, inPlace{false}, offThread{false};

 private:
  const DWORD windowThread_ = GetCurrentThreadId();
};

VARIANT Self() {
  VARIANT self;
  VariantInit(&self);
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  return self;
}
VARIANT Child(LONG id) {
  VARIANT child = Self();
  child.lVal = id;
  return child;
}
LONG StateOf(IAccessible& object, LONG child = CHILDID_SELF) {
  VARIANT state;
  VariantInit(&state);
  return SUCCEEDED(object.get_accState(Child(child), &state)) ? state.lVal : -1;
}
ComPtr<IAccessible> ObjectOf(HWND window) {
  ComPtr<IAccessible> object;
  AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                             object.PutVoid());
  return object;
}

// Runs `body` once the thread's message box is up, from inside the box's own loop, then
// closes the box.
class DuringBox {
 public:
  explicit DuringBox(std::function<void()> body) : body_(std::move(body)) {
    Current() = this;
    timer_ = SetTimer(nullptr, 0, 20, Tick);
  }
  DuringBox(const DuringBox&) = delete;
  DuringBox& operator=(const DuringBox&) = delete;
  ~DuringBox() {
    KillTimer(nullptr, timer_);
    Current() = nullptr;
  }
  bool Done() const { return done_; }

 private:
  static DuringBox*& Current() {
    static DuringBox* current = nullptr;
    return current;
  }
  static BOOL CALLBACK FindBox(HWND window, LPARAM found) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (std::wstring(name) == L"#32770" && IsWindowVisible(window)) {
      *reinterpret_cast<HWND*>(found) = window;
    }
    return TRUE;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    DuringBox* self = Current();
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindBox, reinterpret_cast<LPARAM>(&box));
    if (!self || !box || self->running_) return;
    self->running_ = true;
    self->body_();
    self->done_ = true;
    Current() = nullptr;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  }

  std::function<void()> body_;
  UINT_PTR timer_ = 0;
  bool running_ = false;
  bool done_ = false;
};

// Ends a menu that a route opened after all, so that a test that fails does not hang in it.
class MenuTimeout {
 public:
  MenuTimeout() : timer_(SetTimer(nullptr, 0, 700, End)) {}
  MenuTimeout(const MenuTimeout&) = delete;
  MenuTimeout& operator=(const MenuTimeout&) = delete;
  ~MenuTimeout() { KillTimer(nullptr, timer_); }

 private:
  static void CALLBACK End(HWND, UINT, UINT_PTR, DWORD) { EndMenu(); }
  UINT_PTR timer_;
};

constexpr POINT kCartoon{20, 20};

// What holds the user back: one of the program's boxes, or a score running.
enum class Hold { kBox, kScore };

class HeldForm1 : public testing::TestWithParam<Hold> {
 protected:
  void SetUp() override {
    form1_.Load();
    form1_.Show();
    ASSERT_TRUE(Pump([&] { return GetFocus() == Control(kPerson2); }));
    // A score on show, and a typed letter in Person2 that an undo would take back.
    form1_.SetCaption(kResult2, L"1.25");
    form1_.SetCaption(kResult, L"125%");
    SetWindowTextW(Control(kPerson2), L"JAN");
    SendMessageW(Control(kPerson2), EM_SETSEL, 3, 3);
    TypeText(L"E");
    ASSERT_TRUE(Pump([&] { return WindowText(Control(kPerson2)) == L"JANE"; }));
    ASSERT_TRUE(PutOnClipboard(L"PASTED"));
    // An empty name raises the box; one long one starts a score off the window's thread.
    SetWindowTextW(Control(kPerson1),
                   GetParam() == Hold::kBox ? L"" : std::wstring(20000, L'A').c_str());
  }
  void TearDown() override {
    text_.held = false;
    form1_.Unload();
    PumpFor(30, nullptr, &quit_);
  }

  bool Pump(const std::function<bool()>& condition, int timeoutMs = 3000) {
    return PumpUntil(condition, &application_, timeoutMs, &quit_);
  }
  HWND Control(int id) const { return form1_.Control(id); }
  // Calculate, clicked from the message loop as a click arrives.
  void PostCalculate() {
    PostMessageW(form1_.Window(), WM_COMMAND, MAKEWPARAM(kCommand1, BN_CLICKED),
                 reinterpret_cast<LPARAM>(Control(kCommand1)));
  }

  // Takes `route` while the program holds the user back as the test's parameter says, and
  // expects it to change no name, no caption, and to open nothing.
  void ExpectNothingChangedBy(const std::function<void()>& route) {
    const std::wstring person1 = WindowText(Control(kPerson1));
    const auto unchanged = [&] {
      EXPECT_EQ(WindowText(Control(kPerson1)), person1);
      EXPECT_EQ(WindowText(Control(kPerson2)), L"JANE");
      EXPECT_EQ(form1_.Caption(kResult), L"125%");
      EXPECT_EQ(form1_.Caption(kResult2), L"1.25");
      EXPECT_FALSE(form1_.Splash().IsOpen());
      EXPECT_EQ(GetCapture(), nullptr);
      EXPECT_FALSE(quit_);
    };
    if (GetParam() == Hold::kBox) {
      const DuringBox box([&] {
        route();
        PumpFor(300, nullptr, &quit_);  // as the box's own loop, which knows nothing of ours
        unchanged();
      });
      PostCalculate();
      ASSERT_TRUE(Pump([&] { return box.Done() && form1_.Caption(kResult) == L"0%"; }));
    } else {
      PostCalculate();
      ASSERT_TRUE(Pump([&] { return application_.IsBusy(); }));
      route();
      PumpFor(300, &application_, &quit_);
      unchanged();
      text_.held = false;
      ASSERT_TRUE(Pump([&] { return !application_.IsBusy(); }));
      EXPECT_EQ(form1_.Caption(kResult), L"0%") << "the score of the names as they were";
    }
    EXPECT_EQ(WindowText(Control(kPerson2)), L"JANE");
  }

  HeldScores text_;
  runtime::Application application_{L"PAIRLY Calc"};
  Form1 form1_{application_, text_};
  bool quit_ = false;
};

INSTANTIATE_TEST_SUITE_P(WhileABoxIsUpAndWhileAScoreRuns, HeldForm1,
                         testing::Values(Hold::kBox, Hold::kScore), [](const auto& hold) {
                           return hold.param == Hold::kBox ? "Box" : "Score";
                         });

TEST_P(HeldForm1, KeysAndSystemKeysChangeNothing) {
  ExpectNothingChangedBy([&] {
    // Typed, where the focus is: Form1's name box while a score runs, the box while it is up.
    // (None undoes another: each would show on its own.)
    TypeText(L"Z");
    for (WORD key : {WORD{VK_TAB}, WORD{VK_F1}}) PressKey(key);
    PressAlt('C');
    SendKey(VK_CONTROL, false);
    PressKey('V');
    SendKey(VK_CONTROL, true);
    PressAlt(VK_BACK);
    // Posted, as another program may: a character, the edit control's undo (Alt+Backspace;
    // Wine looks for the Alt bit at 0x2000), F1 and Calculate's access key.
    PostMessageW(Control(kPerson1), WM_CHAR, L'Z', 1);
    PostMessageW(Control(kPerson2), WM_SYSKEYDOWN, VK_BACK, 0x2000 | (1 << 29));
    PostMessageW(Control(kPerson2), WM_KEYDOWN, VK_F1, 1);
    PostMessageW(form1_.Window(), WM_SYSCHAR, L'c', 1 << 29);
  });
}

TEST_P(HeldForm1, MouseContextMenusAndPostedClicksChangeNothing) {
  ExpectNothingChangedBy([&] {
    const RECT calculate = form1_test::RectInParent(Control(kCommand1));
    ClickAt(form1_.Window(), POINT{(calculate.left + calculate.right) / 2, calculate.top + 5});
    ClickAt(form1_.Window(), kCartoon);
    ClickAt(form1_.Window(), POINT{200, 245});  // into Person2
    // A press on the window itself, held: the window takes no capture.
    PostMessageW(form1_.Window(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(kCartoon.x, kCartoon.y));
    PumpFor(50, GetParam() == Hold::kScore ? &application_ : nullptr, &quit_);
    EXPECT_NE(GetCapture(), form1_.Window());
    PostMessageW(form1_.Window(), WM_LBUTTONUP, 0, MAKELPARAM(kCartoon.x, kCartoon.y));
    // The name box's own context menu, by Shift+F10 and by a message, then its Paste.
    const MenuTimeout menu;
    SendKey(VK_SHIFT, false);
    PressKey(VK_F10);
    SendKey(VK_SHIFT, true);
    PressKey('P');
    PumpFor(100, GetParam() == Hold::kScore ? &application_ : nullptr, &quit_);
    PressKey('P');
    SendMessageW(Control(kPerson2), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Control(kPerson2)),
                 MAKELPARAM(-1, -1));
    // Clicks posted, as they arrive: Calculate's, and a screen reader's on the cartoon.
    PostCalculate();
    PostMessageW(form1_.Window(), runtime::kDefaultActionMessage, kImage1, 0);
  });
}

TEST_P(HeldForm1, EditCommandsChangeNothing) {
  ExpectNothingChangedBy([&] {
    HWND person2 = Control(kPerson2);
    for (UINT command :
         {UINT{WM_PASTE}, UINT{WM_UNDO}, UINT{EM_UNDO}, UINT{WM_CUT}, UINT{WM_CLEAR}}) {
      SendMessageW(person2, EM_SETSEL, 0, -1);
      SendMessageW(person2, command, 0, 0);
    }
    PostMessageW(person2, WM_PASTE, 0, 0);
  });
}

TEST_P(HeldForm1, ScreenReadersThroughTheProgramsObjectsChangeNothing) {
  ExpectNothingChangedBy([&] {
    const ComPtr<IAccessible> form1 = ObjectOf(form1_.Window());
    ASSERT_TRUE(form1);
    constexpr LONG kCartoonChild = 8, kCalculateChild = 3, kPerson1Child = 1;
    EXPECT_EQ(form1->accDoDefaultAction(Child(kCartoonChild)), E_FAIL);
    EXPECT_EQ(form1->accDoDefaultAction(Child(kCalculateChild)), E_FAIL);
    EXPECT_EQ(form1->accSelect(SELFLAG_TAKEFOCUS, Child(kPerson1Child)), E_FAIL);
    EXPECT_EQ(form1->accSelect(SELFLAG_TAKEFOCUS, Self()), E_FAIL);
    EXPECT_NE(StateOf(*form1.Get(), kCartoonChild) & STATE_SYSTEM_UNAVAILABLE, 0);
    for (int id : {kPerson1, kPerson2, kCommand1}) {
      const ComPtr<IAccessible> control = ObjectOf(Control(id));
      ASSERT_TRUE(control) << id;
      BSTR value = SysAllocString(L"X");
      EXPECT_EQ(control->put_accValue(Self(), value), E_FAIL) << id;
      SysFreeString(value);
      EXPECT_EQ(control->accSelect(SELFLAG_TAKEFOCUS, Self()), E_FAIL) << id;
      EXPECT_EQ(control->accDoDefaultAction(Self()), E_FAIL) << id;
      EXPECT_NE(StateOf(*control.Get()) & STATE_SYSTEM_UNAVAILABLE, 0) << id;
    }
    // Exit stays the way out while a score runs.
    const ComPtr<IAccessible> exit = ObjectOf(Control(kCommand2));
    EXPECT_EQ(StateOf(*exit.Get()) & STATE_SYSTEM_UNAVAILABLE,
              GetParam() == Hold::kBox ? STATE_SYSTEM_UNAVAILABLE : 0);
  });
}

// A form that holds a score for its tests: the splash, the cursor, the score's thread.
class Form1Scoring : public testing::Test {
 protected:
  void SetUp() override {
    form1_.Load();
    form1_.Show();
    ASSERT_TRUE(Pump([&] { return GetForegroundWindow() == form1_.Window(); }));
  }
  void TearDown() override {
    text_.held = false;
    application_.End();
    PumpFor(30, nullptr, &quit_);
  }
  bool Pump(const std::function<bool()>& condition, int timeoutMs = 3000) {
    return PumpUntil(condition, &application_, timeoutMs, &quit_);
  }
  HWND Control(int id) const { return form1_.Control(id); }
  // Starts a score of two names by Calculate and waits until the window shows itself busy.
  bool StartScore(std::size_t length1 = 20000, std::size_t length2 = 4) {
    SetWindowTextW(Control(kPerson1), std::wstring(length1, L'A').c_str());
    SetWindowTextW(Control(kPerson2), std::wstring(length2, L'B').c_str());
    PostMessageW(form1_.Window(), WM_COMMAND, MAKEWPARAM(kCommand1, BN_CLICKED),
                 reinterpret_cast<LPARAM>(Control(kCommand1)));
    return Pump([&] { return application_.IsBusy(); });
  }

  HeldScores text_;
  runtime::Application application_{L"PAIRLY Calc"};
  Form1 form1_{application_, text_};
  bool quit_ = false;
};

// Form1's score holds back Form1 only: the splash still closes at a key, Esc included (which
// is the splash's, not a cancel of the score), and at its timer's tick.
TEST_F(Form1Scoring, TheSplashAnswersForItself) {
  ASSERT_TRUE(StartScore());
  splash_window::FrmSplash& splash = form1_.Splash();
  for (WORD key : {WORD{'A'}, WORD{VK_ESCAPE}}) {
    splash.Open();
    ASSERT_TRUE(Pump([&] { return GetForegroundWindow() == splash.Window(); }));
    PressKey(key);
    EXPECT_TRUE(Pump([&] { return !splash.IsOpen(); }, 600)) << key;
    EXPECT_TRUE(application_.IsBusy()) << key;
  }
  splash.Open();
  EXPECT_TRUE(Pump([&] { return !splash.IsOpen(); }, 3000)) << "its timer";
  EXPECT_TRUE(application_.IsBusy());
}

// The busy cursor goes the moment the score ends, without the pointer moving.
TEST_F(Form1Scoring, TheArrowIsBackTheMomentTheScoreEnds) {
  POINT cartoon = kCartoon;
  ClientToScreen(form1_.Window(), &cartoon);
  SetCursorPos(cartoon.x, cartoon.y);
  ASSERT_TRUE(StartScore());
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
  text_.held = false;
  ASSERT_TRUE(Pump([&] { return !application_.IsBusy(); }));
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));
}

// Up to 16,384 characters together are scored on the window's thread, more off it, however
// they are shared between the two names.
TEST_F(Form1Scoring, LongerNamesTogetherAreScoredOffTheWindowsThread) {
  text_.held = false;
  const struct {
    std::size_t length1, length2;
    bool inPlace;
  } scores[] = {{16000, 1000, false}, {1000, 16000, false}, {8192, 8192, true}};
  for (const auto& score : scores) {
    text_.inPlace = text_.offThread = false;
    SetWindowTextW(Control(kPerson1), std::wstring(score.length1, L'A').c_str());
    SetWindowTextW(Control(kPerson2), std::wstring(score.length2, L'A').c_str());
    form1_.SetCaption(kResult, L"");
    SendMessageW(Control(kCommand1), BM_CLICK, 0, 0);
    ASSERT_TRUE(Pump([&] { return !form1_.Caption(kResult).empty(); }));
    EXPECT_EQ(text_.inPlace, score.inPlace) << score.length1 << " + " << score.length2;
    EXPECT_EQ(text_.offThread, !score.inPlace) << score.length1 << " + " << score.length2;
  }
}

// A window of another thread, active while it lives, so that no window of the program is.
class OtherThreadsWindow {
 public:
  OtherThreadsWindow() {
    thread_ = std::thread([this] {
      window_ = CreateWindowExW(0, L"STATIC", L"Another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
      threadId_ = GetCurrentThreadId();
      MSG message;
      while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
      DestroyWindow(window_);
    });
    while (!threadId_) Sleep(1);
  }
  OtherThreadsWindow(const OtherThreadsWindow&) = delete;
  OtherThreadsWindow& operator=(const OtherThreadsWindow&) = delete;
  ~OtherThreadsWindow() {
    PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    thread_.join();
  }
  HWND Window() const { return window_; }

 private:
  std::thread thread_;
  HWND window_ = nullptr;
  std::atomic<DWORD> threadId_{0};
};

// A warning raised while the splash is active, or while no window of the program is: every
// window of the program is disabled, Form1 takes neither a click nor typing, and afterwards
// they are enabled again.
TEST_F(Form1Scoring, AWarningHoldsBackEveryWindowWhicheverWasActive) {
  text_.held = false;
  for (const bool splashActive : {true, false}) {
    SCOPED_TRACE(splashActive ? "the splash active" : "another program active");
    HWND person1 = Control(kPerson1);
    SetWindowTextW(person1, L"");
    SetWindowTextW(Control(kPerson2), L"JANE");
    std::optional<OtherThreadsWindow> other;
    if (splashActive) {
      form1_.Splash().Open();
    } else {
      SetForegroundWindow(other.emplace().Window());
    }
    ASSERT_TRUE(Pump([&] {
      return splashActive ? GetActiveWindow() == form1_.Splash().Window()
                          : GetForegroundWindow() == other->Window();
    }));
    const DuringBox box([&] {
      EXPECT_FALSE(IsWindowEnabled(form1_.Window()));
      ClickAt(form1_.Window(), POINT{80, 245});  // into person1
      TypeText(L"ZZ");
      PumpFor(300, nullptr, &quit_);
      EXPECT_EQ(WindowText(person1), L"");
    });
    PostMessageW(form1_.Window(), WM_COMMAND, MAKEWPARAM(kCommand1, BN_CLICKED),
                 reinterpret_cast<LPARAM>(Control(kCommand1)));
    ASSERT_TRUE(Pump([&] { return box.Done() && form1_.Caption(kResult) == L"0%"; }));
    EXPECT_EQ(WindowText(person1), L"");
    EXPECT_TRUE(IsWindowEnabled(form1_.Window()));
    if (splashActive && form1_.Splash().IsOpen()) {
      EXPECT_EQ(GetActiveWindow(), form1_.Splash().Window()) << "activation given back";
    }
    form1_.Splash().Unload();
  }
}

}  // namespace
