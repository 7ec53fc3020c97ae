// pairly-calc.exe as a screen reader meets it: its accessibility tree read from another process
// through Microsoft Active Accessibility, the events it raises, the keys that stand in for the
// mouse, and the window while a long calculation runs.
#include <windows.h>

#include <oleacc.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "running_program.h"
#include "runtime/unique_handle.h"
#include "window_test_support.h"

namespace {

using namespace window_test;
using runtime::ComPtr;

// Child ids are positions in Form1's description: person1, Command2, Command1, Person2 (the
// child controls), then Image2, result2, Result and Image1 (drawn by the window).
constexpr LONG kResult2Child = 6;
constexpr LONG kResultChild = 7;
constexpr LONG kCartoonChild = 8;
constexpr DWORD kLiveRegionChanged = 0x8019;  // EVENT_OBJECT_LIVEREGIONCHANGED
constexpr int kPerson1 = 101, kCommand2 = 102, kCommand1 = 103, kPerson2 = 104;

VARIANT ChildId(LONG id) {
  VARIANT child;
  VariantInit(&child);
  child.vt = VT_I4;
  child.lVal = id;
  return child;
}

using TextProperty = HRESULT (STDMETHODCALLTYPE IAccessible::*)(VARIANT, BSTR*);

// A text property of an object or of one of its simple children; "(failed)" when the call fails.
std::wstring Text(IAccessible& object, TextProperty property, LONG child = CHILDID_SELF) {
  BSTR text = nullptr;
  if (FAILED((object.*property)(ChildId(child), &text))) return L"(failed)";
  std::wstring copy = text ? text : L"";
  SysFreeString(text);
  return copy;
}
std::wstring Name(IAccessible& object, LONG child = CHILDID_SELF) {
  return Text(object, &IAccessible::get_accName, child);
}

LONG Number(IAccessible& object,
            HRESULT (STDMETHODCALLTYPE IAccessible::*property)(VARIANT, VARIANT*), LONG child) {
  VARIANT value;
  VariantInit(&value);
  if (FAILED((object.*property)(ChildId(child), &value)) || value.vt != VT_I4) return -1;
  return value.lVal;
}
LONG Role(IAccessible& object, LONG child = CHILDID_SELF) {
  return Number(object, &IAccessible::get_accRole, child);
}
LONG State(IAccessible& object, LONG child = CHILDID_SELF) {
  return Number(object, &IAccessible::get_accState, child);
}

RECT Location(IAccessible& object, LONG child) {
  LONG left = 0, top = 0, width = 0, height = 0;
  object.accLocation(&left, &top, &width, &height, ChildId(child));
  return RECT{left, top, left + width, top + height};
}

ComPtr<IAccessible> ClientObject(HWND window) {
  ComPtr<IAccessible> object;
  AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                             object.PutVoid());
  return object;
}

// One child as AccessibleChildren gives it: an object of its own, or an id in its parent.
struct Child {
  ComPtr<IAccessible> object;
  LONG id = 0;
};

ComPtr<IAccessible> ObjectOf(const VARIANT& found) {
  ComPtr<IAccessible> object;
  if (found.vt == VT_DISPATCH && found.pdispVal) {
    found.pdispVal->QueryInterface(IID_IAccessible, object.PutVoid());
  }
  return object;
}

std::vector<Child> Children(IAccessible& parent) {
  LONG count = 0;
  if (FAILED(parent.get_accChildCount(&count)) || count <= 0) return {};
  std::vector<VARIANT> found(static_cast<std::size_t>(count));
  LONG got = 0;
  if (FAILED(AccessibleChildren(&parent, 0, count, found.data(), &got))) return {};
  std::vector<Child> children;
  for (LONG i = 0; i < got; ++i) {
    VARIANT& one = found[static_cast<std::size_t>(i)];
    children.push_back({ObjectOf(one), one.vt == VT_I4 ? one.lVal : 0});
    VariantClear(&one);
  }
  return children;
}

// The WinEvents the program raises, seen from outside as a screen reader sees them.
struct SeenEvent {
  DWORD event;
  HWND window;
  LONG object;
  LONG child;
};

class EventRecorder {
 public:
  explicit EventRecorder(DWORD process) {
    Seen().clear();
    hook_ = SetWinEventHook(EVENT_OBJECT_STATECHANGE, kLiveRegionChanged, nullptr, Record, process,
                            0, WINEVENT_OUTOFCONTEXT);
  }
  EventRecorder(const EventRecorder&) = delete;
  EventRecorder& operator=(const EventRecorder&) = delete;
  ~EventRecorder() { UnhookWinEvent(hook_); }

  bool Hooked() const { return hook_ != nullptr; }
  int Count(DWORD event, HWND window, LONG child) const {
    int count = 0;
    for (const SeenEvent& seen : Seen()) {
      count += seen.event == event && seen.window == window && seen.object == OBJID_CLIENT &&
               seen.child == child;
    }
    return count;
  }

 private:
  static std::vector<SeenEvent>& Seen() {
    static std::vector<SeenEvent> seen;
    return seen;
  }
  static void CALLBACK Record(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child,
                              DWORD, DWORD) {
    Seen().push_back({event, window, object, child});
  }

  HWINEVENTHOOK hook_ = nullptr;
};

class ScreenReader : public running_program::RunningProgram {
 protected:
  void SetUp() override {
    RunningProgram::SetUp();
    if (HasFatalFailure()) return;
    form1_ = ClientObject(window_);
    ASSERT_TRUE(form1_) << "Form1 answers with an accessible object";
  }
  void TearDown() override {
    form1_.Reset();
    RunningProgram::TearDown();
  }

  void SetNames(const wchar_t* first, const wchar_t* second) {
    SendMessageW(GetDlgItem(window_, kPerson1), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(first));
    SendMessageW(GetDlgItem(window_, kPerson2), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(second));
  }
  void ClickCalculate() {
    // The pointer first, and the click once it is there: a fresh display's first click can
    // otherwise land where the pointer was.
    POINT button{76, 284};
    ClientToScreen(window_, &button);
    SetCursorPos(button.x, button.y);
    PumpUntil([&] {
      POINT at{};
      return GetCursorPos(&at) && at.x == button.x && at.y == button.y;
    });
    ClickAt(window_, POINT{76, 284});
  }
  bool ResultReads(const std::wstring& expected) {
    return PumpUntil([&] { return Name(*form1_.Get(), kResultChild) == expected; });
  }
  // The program's splash window once it is shown, else null.
  HWND Splash() const {
    HWND splash = FindWindowW(L"frmSplash", nullptr);
    DWORD owner = 0;
    GetWindowThreadProcessId(splash, &owner);
    return splash && owner == process_.dwProcessId && IsWindowVisible(splash) ? splash : nullptr;
  }
  bool SplashOpens() {
    return PumpUntil([&] { return Splash() != nullptr; });
  }

  runtime::ComApartment apartment_;
  ComPtr<IAccessible> form1_;
};

TEST_F(ScreenReader, TreeHoldsTheControlsThenEveryLabelAndPictureInOrder) {
  EXPECT_EQ(Name(*form1_.Get()), L"PAIRLY Calc");
  const std::vector<Child> children = Children(*form1_.Get());
  ASSERT_EQ(children.size(), 8u);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(children[i].object) << "child control " << i;
  for (LONG id = 5; id <= 8; ++id) EXPECT_EQ(children[id - 1].id, id);
  EXPECT_EQ(Role(*children[0].object.Get()), ROLE_SYSTEM_TEXT);
  EXPECT_EQ(Name(*children[2].object.Get()), L"Calculate");

  IAccessible& form1 = *form1_.Get();
  EXPECT_EQ(Role(form1, 5), ROLE_SYSTEM_GRAPHIC) << "Image2";
  EXPECT_EQ(Role(form1, 6), ROLE_SYSTEM_STATICTEXT) << "result2";
  EXPECT_EQ(State(form1, 6) & (STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN),
            STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN)
      << "result2 lies out of sight";
  EXPECT_EQ(Role(form1, kResultChild), ROLE_SYSTEM_STATICTEXT);
  EXPECT_EQ(State(form1, kResultChild) & STATE_SYSTEM_INVISIBLE, 0);
  EXPECT_EQ(Role(form1, kCartoonChild), ROLE_SYSTEM_PUSHBUTTON);
  EXPECT_EQ(Name(form1, kCartoonChild), L"About PAIRLY Calc");
  EXPECT_EQ(Text(form1, &IAccessible::get_accDefaultAction, kCartoonChild), L"Press");
  EXPECT_EQ(Text(form1, &IAccessible::get_accKeyboardShortcut, kCartoonChild), L"F1");
  EXPECT_EQ(State(form1, kCartoonChild) & STATE_SYSTEM_INVISIBLE, 0);
  // Labels and pictures can only be read; the cartoon can be pressed.
  for (LONG id : {LONG{5}, LONG{6}, kResultChild}) {
    EXPECT_EQ(State(form1, id) & (STATE_SYSTEM_READONLY | STATE_SYSTEM_UNAVAILABLE),
              STATE_SYSTEM_READONLY)
        << id;
  }
  EXPECT_EQ(State(form1, kCartoonChild) & (STATE_SYSTEM_READONLY | STATE_SYSTEM_UNAVAILABLE), 0);
}

TEST_F(ScreenReader, BoxesAreNamedForWhoseNameTheyTake) {
  const std::vector<Child> children = Children(*form1_.Get());
  ASSERT_EQ(children.size(), 8u);
  ASSERT_TRUE(children[0].object && children[3].object);
  EXPECT_EQ(Name(*children[0].object.Get()), L"Your name");
  EXPECT_EQ(Name(*children[3].object.Get()), L"Her name");
  // Asking for the focus finds the right-hand box, where the caret starts.
  VARIANT focus;
  VariantInit(&focus);
  ASSERT_EQ(form1_->get_accFocus(&focus), S_OK);
  const ComPtr<IAccessible> focused = ObjectOf(focus);
  VariantClear(&focus);
  ASSERT_TRUE(focused);
  EXPECT_EQ(Name(*focused.Get()), L"Her name");
  // And where a reader starts from the box itself, as when the focus moves there.
  for (const auto& [id, name] : {std::pair{kPerson1, L"Your name"}, {kPerson2, L"Her name"}}) {
    const ComPtr<IAccessible> box = ClientObject(GetDlgItem(window_, id));
    ASSERT_TRUE(box);
    EXPECT_EQ(Name(*box.Get()), name);
    EXPECT_EQ(Role(*box.Get()), ROLE_SYSTEM_TEXT);
  }
}

TEST_F(ScreenReader, LocationsHitTestsAndNavigationAgreeWithTheWindow) {
  IAccessible& form1 = *form1_.Get();
  POINT origin{0, 0};
  ClientToScreen(window_, &origin);
  // The cartoon as far as the client area shows it, and the percentage's box.
  const RECT cartoon = Location(form1, kCartoonChild);
  EXPECT_EQ(cartoon.left, origin.x);
  EXPECT_EQ(cartoon.top, origin.y);
  EXPECT_EQ(cartoon.right - cartoon.left, 318);
  EXPECT_EQ(cartoon.bottom - cartoon.top, 240);
  const RECT result = Location(form1, kResultChild);
  EXPECT_EQ(result.left, origin.x + 120);
  EXPECT_EQ(result.top, origin.y + 152);

  // What a click at a point would hit: the percentage over the cartoon, the cartoon elsewhere,
  // a box's own object over a box.
  auto hit = [&](int x, int y) {
    VARIANT found;
    VariantInit(&found);
    form1.accHitTest(origin.x + x, origin.y + y, &found);
    return found;
  };
  EXPECT_EQ(hit(150, 170).lVal, kResultChild);
  EXPECT_EQ(hit(20, 20).lVal, kCartoonChild);
  EXPECT_EQ(hit(20, 300).lVal, 5) << "Image2";
  VARIANT box = hit(200, 240);
  const ComPtr<IAccessible> person2 = ObjectOf(box);
  VariantClear(&box);
  ASSERT_TRUE(person2);
  EXPECT_EQ(Name(*person2.Get()), L"Her name");

  // Navigation walks the children in the same order as the enumeration.
  VARIANT next;
  VariantInit(&next);
  ASSERT_EQ(form1.accNavigate(NAVDIR_FIRSTCHILD, ChildId(CHILDID_SELF), &next), S_OK);
  const ComPtr<IAccessible> first = ObjectOf(next);
  VariantClear(&next);
  ASSERT_TRUE(first);
  EXPECT_EQ(Name(*first.Get()), L"Your name");
  ASSERT_EQ(form1.accNavigate(NAVDIR_NEXT, ChildId(kResultChild), &next), S_OK);
  EXPECT_EQ(next.vt, VT_I4);
  EXPECT_EQ(next.lVal, kCartoonChild);
  EXPECT_EQ(form1.accNavigate(NAVDIR_NEXT, ChildId(kCartoonChild), &next), S_FALSE);
}

TEST_F(ScreenReader, PointQueryFindsThePercentageAfterACalculation) {
  SetNames(L"JOHN", L"JANE");
  ClickCalculate();
  ASSERT_TRUE(ResultReads(L"125%"));
  POINT centre{158, 172};
  ClientToScreen(window_, &centre);
  ComPtr<IAccessible> found;
  VARIANT child;
  VariantInit(&child);
  ASSERT_EQ(AccessibleObjectFromPoint(centre, found.Put(), &child), S_OK);
  EXPECT_EQ(child.vt, VT_I4);
  EXPECT_EQ(child.lVal, kResultChild);
  EXPECT_EQ(Name(*found.Get(), child.lVal), L"125%");
  EXPECT_EQ(Role(*found.Get(), child.lVal), ROLE_SYSTEM_STATICTEXT);
}

TEST_F(ScreenReader, ANewPercentageIsAnnouncedOnce) {
  EventRecorder events(process_.dwProcessId);
  ASSERT_TRUE(events.Hooked());
  SetNames(L"JOHN", L"JANE");
  ClickCalculate();
  ASSERT_TRUE(PumpUntil([&] {
    return events.Count(EVENT_OBJECT_NAMECHANGE, window_, kResultChild) > 0 &&
           events.Count(kLiveRegionChanged, window_, kResultChild) > 0;
  }));
  // What the reader then reads, through the event's own object.
  ComPtr<IAccessible> source;
  VARIANT child;
  VariantInit(&child);
  ASSERT_EQ(AccessibleObjectFromEvent(window_, static_cast<DWORD>(OBJID_CLIENT), kResultChild,
                                      source.Put(), &child),
            S_OK);
  EXPECT_EQ(Name(*source.Get(), child.lVal), L"125%");
  // The raw score passes through Result on the way: one announcement, of what is shown.
  PumpFor(200);
  EXPECT_EQ(events.Count(EVENT_OBJECT_NAMECHANGE, window_, kResultChild), 1);
  EXPECT_EQ(events.Count(kLiveRegionChanged, window_, kResultChild), 1);
}

TEST_F(ScreenReader, DefaultActionOfTheCartoonOpensTheSplash) {
  EXPECT_EQ(form1_->accDoDefaultAction(ChildId(kCartoonChild)), S_OK);
  EXPECT_TRUE(SplashOpens());
}

// Screen readers hear each control change: every one of them unavailable while the box is up,
// and available again once it is gone.
void ExpectStateChanges(const EventRecorder& events, HWND window, int times) {
  for (int id : {kPerson1, kCommand2, kCommand1, kPerson2}) {
    EXPECT_EQ(events.Count(EVENT_OBJECT_STATECHANGE, GetDlgItem(window, id), CHILDID_SELF), times)
        << id;
  }
  EXPECT_EQ(events.Count(EVENT_OBJECT_STATECHANGE, window, kCartoonChild), times) << "cartoon";
}

TEST_F(ScreenReader, NothingCanBeSetOffWhileAWarningIsUp) {
  const EventRecorder events(process_.dwProcessId);
  SetNames(L"", L"JANE");
  ClickCalculate();
  HWND box = nullptr;
  ASSERT_TRUE(PumpUntil(
      [&] { return (box = running_program::MessageBoxOf(process_.dwProcessId)) != nullptr; }));
  ASSERT_EQ(running_program::PromptOf(box), L"Enter Your Name!!!");
  PumpFor(200);
  ExpectStateChanges(events, window_, 1);
  IAccessible& form1 = *form1_.Get();
  const std::vector<Child> children = Children(form1);
  ASSERT_EQ(children.size(), 8u);
  IAccessible& calculate = *children[2].object.Get();
  // Reported unavailable beforehand, and refused if asked all the same.
  EXPECT_EQ(State(form1, kCartoonChild) & STATE_SYSTEM_UNAVAILABLE, STATE_SYSTEM_UNAVAILABLE);
  EXPECT_EQ(State(calculate) & STATE_SYSTEM_UNAVAILABLE, STATE_SYSTEM_UNAVAILABLE);
  EXPECT_EQ(form1.accDoDefaultAction(ChildId(kCartoonChild)), E_FAIL);
  EXPECT_EQ(calculate.accDoDefaultAction(ChildId(CHILDID_SELF)), E_FAIL);
  IAccessible& person2 = *children[3].object.Get();
  BSTR value = SysAllocString(L"X");
  EXPECT_TRUE(FAILED(person2.put_accValue(ChildId(CHILDID_SELF), value)));
  EXPECT_EQ(Text(person2, &IAccessible::get_accValue), L"JANE");
  // Nor by the mouse or F1.
  ClickAt(window_, POINT{20, 20});
  PressKey(VK_F1);
  PumpFor(500);
  EXPECT_EQ(Splash(), nullptr);
  EXPECT_TRUE(IsWindowVisible(box)) << "the warning is still up";

  PostMessageW(box, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(ResultReads(L"0%"));
  PumpFor(200);
  ExpectStateChanges(events, window_, 2);
  EXPECT_EQ(State(form1, kCartoonChild) & STATE_SYSTEM_UNAVAILABLE, 0);
  EXPECT_EQ(State(calculate) & STATE_SYSTEM_UNAVAILABLE, 0);
  EXPECT_EQ(person2.put_accValue(ChildId(CHILDID_SELF), value), S_OK);
  EXPECT_EQ(Text(person2, &IAccessible::get_accValue), L"X");
  SysFreeString(value);
  EXPECT_EQ(form1.accDoDefaultAction(ChildId(kCartoonChild)), S_OK);
  EXPECT_TRUE(SplashOpens());
}

TEST_F(ScreenReader, F1OpensTheSplashFromANameBoxAndFromAButton) {
  PressKey(VK_F1);  // the focus starts in Person2
  ASSERT_TRUE(SplashOpens());
  ASSERT_TRUE(PumpUntil([&] { return Splash() == nullptr; }));
  SetForegroundWindow(window_);
  ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == window_; }));
  PressKey(VK_TAB);  // to Calculate
  PressKey(VK_F1);
  EXPECT_TRUE(SplashOpens());
}

TEST_F(ScreenReader, EnterPressesCalculateAfterAltCGaveItTheFocus) {
  SetNames(L"JOHN", L"JANE");
  PressAlt('C');
  ASSERT_TRUE(ResultReads(L"125%"));
  SetNames(L"JOHN", L"JOHN");
  PressKey(VK_RETURN);
  EXPECT_TRUE(ResultReads(L"100%"));
}

TEST_F(ScreenReader, SplashLinesAreReadableAndItsObjectFailsCleanlyOnceClosed) {
  PressKey(VK_F1);
  ASSERT_TRUE(SplashOpens());
  const ComPtr<IAccessible> splash = ClientObject(Splash());
  ASSERT_TRUE(splash);
  const std::vector<Child> lines = Children(*splash.Get());
  ASSERT_EQ(lines.size(), 3u);
  // Front to back, as described: the contact line, the title, the credit.
  EXPECT_NE(Name(*splash.Get(), 1).find(L'@'), std::wstring::npos);
  EXPECT_EQ(Name(*splash.Get(), 2), L"Pairly  Calc");
  EXPECT_FALSE(Name(*splash.Get(), 3).empty());
  for (LONG line = 1; line <= 3; ++line)
    EXPECT_EQ(Role(*splash.Get(), line), ROLE_SYSTEM_STATICTEXT);

  ASSERT_TRUE(PumpUntil([&] { return Splash() == nullptr; }));
  BSTR name = nullptr;
  EXPECT_EQ(splash->get_accName(ChildId(2), &name), CO_E_OBJNOTCONNECTED);
  EXPECT_EQ(name, nullptr);
  LONG count = 0;
  EXPECT_EQ(splash->get_accChildCount(&count), CO_E_OBJNOTCONNECTED);
  EXPECT_EQ(Name(*form1_.Get()), L"PAIRLY Calc") << "the program lives on";
}

// A calculation that takes a second or more: two names of a million characters each, pasted as
// a user pastes them, random runs of A and B (a slow kind of name for the matcher).
class LongCalculation : public ScreenReader {
 protected:
  using Clock = std::chrono::steady_clock;
  static constexpr int kLength = 1000000;

  void SetUp() override {
    ScreenReader::SetUp();
    if (HasFatalFailure()) return;
    for (const auto& [box, seed] : {std::pair{kPerson1, 1u}, {kPerson2, 2u}}) {
      std::mt19937 random(seed);
      std::wstring name(kLength, L'A');
      for (wchar_t& c : name) c = random() % 2 ? L'A' : L'B';
      ASSERT_NO_FATAL_FAILURE(Paste(box, name, 0));
      ASSERT_EQ(BoxLength(box), kLength);
    }
    // The focus to Calculate now: under Wine a box that loses it repaints all its text, which
    // takes most of a second at this length, and belongs to no calculation.
    PressKey(VK_TAB);
    ASSERT_TRUE(
        PumpUntil([&] { return Focus() == GetDlgItem(window_, kCommand1); }, nullptr, 10000));
  }
  // Pastes text into a box at `at`: the clipboard, then WM_PASTE, which the box reads in its
  // own process.
  void Paste(int box, const std::wstring& text, int at) {
    ASSERT_TRUE(PutOnClipboard(text));
    HWND control = GetDlgItem(window_, box);
    SendMessageW(control, EM_SETSEL, at, at);
    SendMessageW(control, WM_PASTE, 0, 0);
  }
  // Asked of the box itself: for another process's window, GetWindowTextLength reads only the
  // title the system keeps.
  int BoxLength(int box) const {
    return static_cast<int>(SendMessageW(GetDlgItem(window_, box), WM_GETTEXTLENGTH, 0, 0));
  }
  bool Busy() const { return (State(*form1_.Get()) & STATE_SYSTEM_BUSY) != 0; }
  // Whether the window answers a message within 300 ms.
  bool Answers() const {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, 300, &result) != 0;
  }
  HWND Focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window_, nullptr), &info);
    return info.hwndFocus;
  }
  // Starts a calculation with Alt+C and waits until the window says it is busy.
  bool StartCalculating() {
    PressAlt('C');
    return PumpUntil([&] { return Busy(); }, nullptr, 10000);
  }
  static long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  }
};

TEST_F(LongCalculation, AnswersThroughoutDropsWhatIsDoneMeanwhileAndStopsAtEscOrClose) {
  IAccessible& form1 = *form1_.Get();
  const EventRecorder events(process_.dwProcessId);
  const auto started = Clock::now();
  ASSERT_TRUE(StartCalculating());
  // What a user may do meanwhile: click into a name box and type, press Tab, F1 and Alt+C,
  // click the cartoon, or have a screen reader press it. All of it is dropped, none of it done
  // once the calculation is over.
  EXPECT_TRUE(FAILED(form1.accDoDefaultAction(ChildId(kCartoonChild))));
  ClickAt(window_, POINT{80, 245});
  TypeText(L"ZZ");
  PressKey(VK_TAB);
  PressKey(VK_F1);
  PressAlt('C');
  ClickAt(window_, POINT{20, 20});
  int probes = 0, unanswered = 0;
  ASSERT_TRUE(PumpUntil(
      [&] {
        ++probes;
        unanswered += !Answers();
        return !Name(form1, kResultChild).empty();
      },
      nullptr, 60000));
  const long long calculation = MsSince(started);
  std::printf("1,000,000 characters of A and B per box: %lld ms, %d of %d probes unanswered\n",
              calculation, unanswered, probes);
  EXPECT_EQ(unanswered, 0);
  EXPECT_GE(probes, 3);
  const std::wstring result = Name(form1, kResultChild);
  const std::wstring result2 = Name(form1, kResult2Child);
  EXPECT_EQ(result.back(), L'%');
  PumpFor(300);
  EXPECT_FALSE(Busy()) << "Alt+C again";
  EXPECT_EQ(events.Count(EVENT_OBJECT_STATECHANGE, window_, CHILDID_SELF), 2) << "busy, then not";
  // And each control the score holds back, as it starts and as it ends; Exit, the way out,
  // never changes.
  for (int id : {kPerson1, kCommand1, kPerson2}) {
    EXPECT_EQ(events.Count(EVENT_OBJECT_STATECHANGE, GetDlgItem(window_, id), CHILDID_SELF), 2)
        << id;
  }
  EXPECT_EQ(events.Count(EVENT_OBJECT_STATECHANGE, window_, kCartoonChild), 2);
  EXPECT_EQ(events.Count(EVENT_OBJECT_STATECHANGE, GetDlgItem(window_, kCommand2), CHILDID_SELF),
            0);
  EXPECT_EQ(Splash(), nullptr);
  EXPECT_EQ(Focus(), GetDlgItem(window_, kCommand1));
  EXPECT_EQ(BoxLength(kPerson1), kLength);
  EXPECT_EQ(BoxLength(kPerson2), kLength);

  // One character more: another score, as long to compute. Esc stops it at once, and the
  // captions stay as they were, also once the time the score would have taken has passed.
  Paste(kPerson2, L"B", kLength);
  ASSERT_EQ(BoxLength(kPerson2), kLength + 1);
  ASSERT_TRUE(StartCalculating());
  const int heard = events.Count(EVENT_OBJECT_NAMECHANGE, window_, kResultChild) +
                    events.Count(EVENT_OBJECT_NAMECHANGE, window_, kResult2Child);
  PressKey(VK_ESCAPE);
  const auto cancelled = Clock::now();
  ASSERT_TRUE(PumpUntil([&] { return !Busy(); }));
  const long long ready = MsSince(cancelled);
  std::printf("ready again %lld ms after Esc\n", ready);
  EXPECT_LT(ready, 500);
  PumpFor(static_cast<int>(calculation));
  EXPECT_EQ(Name(form1, kResultChild), result);
  EXPECT_EQ(Name(form1, kResult2Child), result2);
  EXPECT_EQ(events.Count(EVENT_OBJECT_NAMECHANGE, window_, kResultChild) +
                events.Count(EVENT_OBJECT_NAMECHANGE, window_, kResult2Child),
            heard);
  EXPECT_TRUE(Answers());

  // The close box ends it all at once.
  ASSERT_TRUE(StartCalculating());
  const auto closed = Clock::now();
  PostMessageW(window_, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(EndsWithCode(0));
  const long long ended = MsSince(closed);
  std::printf("ended %lld ms after the close box\n", ended);
  EXPECT_LT(ended, 1000);
}

}  // namespace
