// Form1 as a user meets it: the real window built from the real table, driven with real
// keyboard and mouse input, read back through its controls, captions and pixels.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "failing_allocations.h"
#include "main_window/form1.h"
#include "form1_fixture.h"
#include "resource_ids.h"
#include "runtime/platform_error.h"
#include "runtime/resources.h"
#include "runtime/wide_text.h"
#include "test_support.h"
#include "window_test_support.h"

namespace {

using namespace main_window;
using namespace window_test;
using form1_test::Form1Window;
using form1_test::RectInParent;

LOGFONTW FontOf(HFONT font) {
  LOGFONTW logical{};
  GetObjectW(font, sizeof logical, &logical);
  return logical;
}

std::wstring FaceShownBy(HFONT font) {
  HDC screen = GetDC(nullptr);
  HGDIOBJ old = SelectObject(screen, font);
  wchar_t face[LF_FACESIZE] = {};
  GetTextFaceW(screen, LF_FACESIZE, face);
  SelectObject(screen, old);
  ReleaseDC(nullptr, screen);
  return face;
}

TEST_F(Form1Window, FrameIsAFixedCentredDialogWithTheHeartIcon) {
  HWND window = form1_.Window();
  EXPECT_EQ(WindowText(window), L"PAIRLY Calc");
  const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU) << "close box";
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  EXPECT_TRUE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);

  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 318);
  EXPECT_EQ(client.bottom, 309);

  EXPECT_TRUE(CentredOnScreen(window));

  for (const auto& [which, metric] : {std::pair{ICON_BIG, SM_CXICON}, {ICON_SMALL, SM_CXSMICON}}) {
    HICON icon = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, which, 0));
    ASSERT_NE(icon, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP mask{};
    GetObjectW(info.hbmMask, sizeof mask, &mask);
    EXPECT_EQ(mask.bmWidth, GetSystemMetrics(metric));
    if (info.hbmColor) DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
  }
}

TEST_F(Form1Window, ControlsAreCreatedWithTheirRectanglesFontsAndCaptions) {
  struct Expected {
    int id;
    const wchar_t* className;
    RECT box;
    const wchar_t* text;
  };
  const Expected controls[] = {
      {kPerson1, L"Edit", {8, 232, 153, 260}, L""},
      {kPerson2, L"Edit", {168, 232, 309, 260}, L""},
      {kCommand1, L"Button", {32, 272, 121, 297}, L"&Calculate"},
      {kCommand2, L"Button", {192, 272, 281, 297}, L"E&xit"},
  };
  for (const Expected& expected : controls) {
    HWND control = Control(expected.id);
    ASSERT_NE(control, nullptr) << expected.id;
    wchar_t className[32] = {};
    GetClassNameW(control, className, 32);
    EXPECT_EQ(_wcsicmp(className, expected.className), 0) << expected.id;
    EXPECT_EQ(GetDlgCtrlID(control), expected.id);
    const RECT box = RectInParent(control);
    EXPECT_TRUE(EqualRect(&box, &expected.box)) << expected.id << ": " << box.left << "," << box.top
                                                << "," << box.right << "," << box.bottom;
    EXPECT_EQ(WindowText(control), expected.text);
    EXPECT_TRUE(IsWindowVisible(control) && IsWindowEnabled(control));
    EXPECT_FALSE(GetWindowLongPtrW(control, GWL_STYLE) & BS_DEFPUSHBUTTON & ~BS_PUSHBUTTON);
  }
  EXPECT_EQ(Result(), L"");
  EXPECT_EQ(Result2(), L"");

  // The names: 12 pt (16 pixels), normal and bold, in the named face or the one carried.
  for (const auto& [id, weight] : {std::pair{kPerson1, 400}, {kPerson2, 700}}) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(Control(id), WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    const LOGFONTW logical = FontOf(font);
    EXPECT_EQ(logical.lfHeight, -16);
    EXPECT_EQ(logical.lfWeight, weight);
    EXPECT_EQ(logical.lfCharSet, ANSI_CHARSET);
    EXPECT_FALSE(logical.lfItalic || logical.lfUnderline || logical.lfStrikeOut);
    const std::wstring face = FaceShownBy(font);
    EXPECT_TRUE(face == L"Zurich BlkEx BT" || face == L"League Spartan Black")
        << Printable(runtime::WideToUtf16(face));
  }
  // The percentage: 27.75 pt (37 pixels), navy, in "Tubular" or the rounded face carried.
  const LOGFONTW result = FontOf(form1_.Font(kResult));
  EXPECT_EQ(result.lfHeight, -37);
  EXPECT_EQ(result.lfCharSet, ANSI_CHARSET);
  const std::wstring face = FaceShownBy(form1_.Font(kResult));
  EXPECT_TRUE(face == L"Tubular" || face == L"Dosis");
  EXPECT_EQ(result.lfWeight, face == L"Tubular" ? 400 : 700) << "Dosis as carried: bold";
}

TEST_F(Form1Window, TabGoesPerson2CalculateExitPerson1AndRound) {
  EXPECT_EQ(GetFocus(), Control(kPerson2));
  for (int next : {kCommand1, kCommand2, kPerson1, kPerson2}) {
    PressKey(VK_TAB);
    EXPECT_TRUE(Pump([&] { return GetFocus() == Control(next); })) << next;
  }
}

TEST_F(Form1Window, EnterAndEscInANameBoxDoNothing) {
  MessageBoxAnswerer boxes;
  SetNames(L"ABC", L"ABD");
  PressKey(VK_RETURN);
  PressKey(VK_ESCAPE);
  PressKey('Q');  // typed after the two: once it shows, Enter and Esc have been handled
  ASSERT_TRUE(Pump([&] { return WindowText(Control(kPerson2)).find(L'q') != std::wstring::npos; }));
  EXPECT_EQ(Result(), L"");
  EXPECT_TRUE(boxes.Seen().empty());
  EXPECT_TRUE(IsWindow(form1_.Window()));
  EXPECT_FALSE(quit_);
}

TEST_F(Form1Window, CalculateWithBothNamesEmptyWarnsTwiceThenShows100) {
  MessageBoxAnswerer boxes;
  ClickCalculate();
  ASSERT_TRUE(Pump([&] { return Result() == L"100%"; }));
  EXPECT_EQ(Result2(), L"1");
  ASSERT_EQ(boxes.Seen().size(), 2u);
  EXPECT_EQ(boxes.Seen()[0].text, L"Enter Your Name!!!");
  EXPECT_EQ(boxes.Seen()[1].text, L"Enter Her Name!!!");
  for (const SeenMessageBox& box : boxes.Seen()) EXPECT_EQ(box.title, L"PAIRLY Calc");
}

TEST_F(Form1Window, TypedNamesAndAltCShowThePercentage) {
  MessageBoxAnswerer boxes;
  TypeText(L"ABD");  // the caret starts in Person2
  for (int i = 0; i < 3; ++i) PressKey(VK_TAB);
  TypeText(L"ABC");
  ASSERT_TRUE(Pump([&] { return WindowText(Control(kPerson1)) == L"ABC"; }));
  EXPECT_EQ(WindowText(Control(kPerson2)), L"ABD");
  ASSERT_TRUE(CalculateShows(L"166%"));
  EXPECT_EQ(Result2(), L"1.66666666666667");

  SetNames(std::wstring(23, L'A') + L"BB", std::wstring(23, L'A') + L"CC");
  ASSERT_TRUE(CalculateShows(L"229%"));
  EXPECT_TRUE(boxes.Seen().empty());
}

// Long names are scored on a thread of their own, to the last digit as on the window's: 328
// matched of 2,067 (here ten times both) gives "...925" where the quotient is computed at the
// x87 unit's 64-bit precision, and the 32-bit program computes at 53 bits on every thread.
TEST_F(Form1Window, ALongScoreOffTheWindowsThreadIsExactToTheLastDigit) {
  const std::wstring common(3280, L'A');
  SetNames(common + std::wstring(13720, L'B'), common + std::wstring(390, L'C'));
  ASSERT_TRUE(CalculateShows(L"79%"));
  EXPECT_EQ(Result2(), L"0.793420416061926");
}

TEST_F(Form1Window, AltXEndsTheProgram) {
  HWND window = form1_.Window();
  PressAlt('X');
  ASSERT_TRUE(Pump([&] { return !IsWindow(window); }));
  EXPECT_FALSE(form1_.IsOpen());
  EXPECT_TRUE(application_.IsEnding());
  Pump([&] { return quit_; }, 500);
  EXPECT_TRUE(quit_);
}

TEST_F(Form1Window, CloseBoxEndsTheProgramWhenItIsTheLastWindow) {
  HWND window = form1_.Window();
  PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(Pump([&] { return !IsWindow(window) && quit_; }));
}

// While a long calculation runs, the window shows the busy cursor, and every way out of the
// program still ends it at once.
TEST(Form1WhileBusy, ShowsTheBusyCursorAndEveryWayOutEndsTheProgramAtOnce) {
  std::mt19937 random(5);
  std::wstring first(300000, L'A'), second(300000, L'A');
  for (std::wstring* name : {&first, &second}) {
    for (wchar_t& c : *name) c = random() % 2 ? L'A' : L'B';
  }
  const struct {
    const char* name;
    void (*press)(HWND exit);
  } ways[] = {
      {"Exit",
       [](HWND exit) {
         ClickAt(GetParent(exit), POINT{236, 284});
       }},
      {"Alt+X", [](HWND) { PressAlt('X'); }},
      {"Alt+F4", [](HWND) { PressAlt(VK_F4); }},
      {"the system menu's Close",
       [](HWND) {
         PressAlt(VK_SPACE);
         PressKey('C');
       }},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.name);
    runtime::Application application(L"PAIRLY Calc");
    Form1 form1(application);
    form1.Load();
    form1.Show();
    ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == form1.Window(); }, &application));
    SetWindowTextW(form1.Control(kPerson1), first.c_str());
    SetWindowTextW(form1.Control(kPerson2), second.c_str());
    // The focus to Calculate first: under Wine a box that loses it repaints all its text.
    PressKey(VK_TAB);
    ASSERT_TRUE(PumpUntil([&] { return GetFocus() == form1.Control(kCommand1); }, &application));
    POINT cartoon{20, 20};
    ClientToScreen(form1.Window(), &cartoon);
    SetCursorPos(cartoon.x, cartoon.y);
    PressAlt('C');
    ASSERT_TRUE(PumpUntil([&] { return application.IsBusy(); }, &application));
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
    const auto pressed = std::chrono::steady_clock::now();
    way.press(form1.Control(kCommand2));
    bool quit = false;
    EXPECT_TRUE(PumpUntil([&] { return !form1.IsOpen() && quit; }, &application, 1000, &quit));
    std::printf("%s: ended %lld ms after the key or click\n", way.name,
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - pressed)
                                           .count()));
  }
}

// What the screen shows: the pictures one-to-one, the percentage in navy over the cartoon.
class Form1Pixels : public Form1Window {
 protected:
  void SetUp() override {
    Form1Window::SetUp();
    using runtime::PictureFormat;
    cartoon_ =
        PictureOf(runtime::LoadPicture({PictureFormat::kBitmap, PAIRLY_BITMAP_CARTOON}).get());
    fill_ = PictureOf(runtime::LoadPicture({PictureFormat::kBitmap, PAIRLY_BITMAP_FILL}).get());
  }
  COLORREF PictureAt(int x, int y) const {
    return y < 240 ? cartoon_.At(x, y) : fill_.At(x, y - 240);
  }
  bool InAChildControl(int x, int y) const {
    for (int id : {kPerson1, kPerson2, kCommand1, kCommand2}) {
      const RECT box = RectInParent(Control(id));
      if (PtInRect(&box, POINT{x, y})) return true;
    }
    return false;
  }
  // Pixels outside the children and the given box that differ from the pictures.
  int PictureMismatches(const Picture& screen, RECT except) const {
    int mismatches = 0;
    for (int y = 0; y < screen.height; ++y) {
      for (int x = 0; x < screen.width; ++x) {
        if (InAChildControl(x, y) || PtInRect(&except, POINT{x, y})) continue;
        if (screen.At(x, y) != PictureAt(x, y)) ++mismatches;
      }
    }
    return mismatches;
  }
  Picture Settled() {
    UpdateWindow(form1_.Window());
    return CaptureClient(form1_.Window());
  }
  // The percentage's size in the font Result really gets.
  SIZE Measured(const std::wstring& text) const {
    const runtime::WindowDC screen(nullptr);
    const runtime::SelectGuard font(screen.Get(), form1_.Font(kResult));
    SIZE size{};
    GetTextExtentPoint32W(screen.Get(), text.c_str(), static_cast<int>(text.size()), &size);
    return size;
  }
  // The text drawn in navy on white, nothing clipped, centred on Result's box from its top.
  Picture Unclipped(const std::wstring& text) const {
    const runtime::WindowDC screen(nullptr);
    return DrawnPicture(screen.Get(), 318, 309, [&](HDC memory) {
      PatBlt(memory, 0, 0, 318, 309, WHITENESS);
      const runtime::SelectGuard font(memory, form1_.Font(kResult));
      SetBkMode(memory, TRANSPARENT);
      SetTextColor(memory, RGB(0, 0, 128));
      RECT box = kResultBox;
      DrawTextW(memory, text.c_str(), static_cast<int>(text.size()), &box,
                DT_CENTER | DT_SINGLELINE | DT_NOCLIP);
    });
  }
  static RECT Ink(const Picture& drawn) {
    RECT ink{drawn.width, drawn.height, 0, 0};
    for (int y = 0; y < drawn.height; ++y) {
      for (int x = 0; x < drawn.width; ++x) {
        if (drawn.At(x, y) == RGB(255, 255, 255)) continue;
        ink = {std::min<LONG>(ink.left, x), std::min<LONG>(ink.top, y),
               std::max<LONG>(ink.right, x + 1), std::max<LONG>(ink.bottom, y + 1)};
      }
    }
    return ink;
  }

  static constexpr RECT kResultBox{120, 152, 197, 193};
  Picture cartoon_, fill_;
};

TEST_F(Form1Pixels, PicturesAreShownUnscaledAndCoverTheClientArea) {
  ASSERT_EQ(cartoon_.width, 320);
  const Picture screen = Settled();
  ASSERT_EQ(screen.width, 318);
  ASSERT_EQ(screen.height, 309);
  EXPECT_EQ(PictureMismatches(screen, RECT{}), 0);
  EXPECT_EQ(screen.At(10, 300), RGB(254, 201, 1));
}

TEST_F(Form1Pixels, PercentageIsNavyOverTheCartoonAndNothingElseChanges) {
  SetNames(L"ABC", L"ABD");
  ASSERT_TRUE(CalculateShows(L"166%"));
  const Picture screen = Settled();
  int navy = 0, cartoon = 0;
  for (int y = kResultBox.top; y < kResultBox.bottom; ++y) {
    for (int x = kResultBox.left; x < kResultBox.right; ++x) {
      if (screen.At(x, y) == RGB(0, 0, 128)) ++navy;
      if (screen.At(x, y) == PictureAt(x, y)) ++cartoon;
    }
  }
  EXPECT_GT(navy, 40) << "the digits";
  EXPECT_GT(cartoon, 400) << "the cartoon around them";
  // result2 holds "1.66666666666667" too, yet nothing changed outside Result's box and the
  // percentage's own text.
  RECT changed = kResultBox;
  const RECT ink = Ink(Unclipped(L"166%"));
  UnionRect(&changed, &changed, &ink);
  EXPECT_EQ(PictureMismatches(screen, changed), 0);
}

TEST_F(Form1Pixels, EveryPercentageIsDrawnWhole) {
  // All 251 texts fit the window around the box's centre, above the name boxes...
  std::vector<std::pair<int, std::wstring>> widths;
  for (int percent = 0; percent <= 250; ++percent) {
    const std::wstring text = std::to_wstring(percent) + L"%";
    const SIZE size = Measured(text);
    const int centre = (kResultBox.left + kResultBox.right) / 2;
    EXPECT_GE(centre - size.cx / 2, 0) << percent;
    EXPECT_LE(centre + size.cx / 2, 318) << percent;
    EXPECT_LE(kResultBox.top + size.cy, 232) << percent;
    widths.emplace_back(size.cx, text);
  }
  // ...and the widest are drawn without losing a pixel, wider than the box or not.
  std::sort(widths.rbegin(), widths.rend());
  for (const auto& [width, text] : {widths[0], widths[1], widths[2], widths[250]}) {
    form1_.SetCaption(kResult, text);
    const Picture screen = Settled();
    const Picture expected = Unclipped(text);
    int navy = 0, lost = 0;
    for (int y = 0; y < expected.height; ++y) {
      for (int x = 0; x < expected.width; ++x) {
        if (expected.At(x, y) != RGB(0, 0, 128)) continue;
        ++navy;
        if (screen.At(x, y) != RGB(0, 0, 128)) ++lost;
      }
    }
    EXPECT_GT(navy, 20) << Printable(runtime::WideToUtf16(text));
    EXPECT_EQ(lost, 0) << Printable(runtime::WideToUtf16(text)) << ", " << width << " pixels wide";
  }
}

TEST_F(Form1Pixels, NamesAreDrawnInDarkGrey) {
  SetNames(L"MMMM", L"MMMM");
  for (int id : {kPerson1, kPerson2}) {
    UpdateWindow(Control(id));
    const Picture box = CaptureClient(Control(id));
    int grey = 0;
    for (COLORREF pixel : box.pixels) grey += pixel == RGB(64, 64, 64);
    EXPECT_GT(grey, 40) << id;
  }
}

// What a screen reader in this process hears: in context, so each event while it is raised,
// along with the navy pixels the percentage's box shows at that moment.
class HeardEvents {
 public:
  struct Heard {
    DWORD event;
    LONG child;
    int navy;
  };
  static constexpr DWORD kLiveRegionChanged = 0x8019;

  HeardEvents(HWND window, RECT resultBox) : window_(window), resultBox_(resultBox) {
    Current() = this;
    hook_ =
        SetWinEventHook(EVENT_OBJECT_NAMECHANGE, kLiveRegionChanged, GetModuleHandleW(nullptr),
                        Record, GetCurrentProcessId(), GetCurrentThreadId(), WINEVENT_INCONTEXT);
  }
  HeardEvents(const HeardEvents&) = delete;
  HeardEvents& operator=(const HeardEvents&) = delete;
  ~HeardEvents() {
    UnhookWinEvent(hook_);
    Current() = nullptr;
  }
  bool Hooked() const { return hook_ != nullptr; }
  int Count(DWORD event, LONG child) const {
    return static_cast<int>(std::count_if(heard.begin(), heard.end(), [&](const Heard& one) {
      return one.event == event && one.child == child;
    }));
  }

  std::vector<Heard> heard;

 private:
  static HeardEvents*& Current() {
    static HeardEvents* current = nullptr;
    return current;
  }
  static void CALLBACK Record(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child,
                              DWORD, DWORD) {
    HeardEvents* events = Current();
    if (!events || window != events->window_ || object != OBJID_CLIENT) return;
    const Picture shown = CaptureClient(window);
    int navy = 0;
    const RECT& box = events->resultBox_;
    for (int y = box.top; y < box.bottom; ++y) {
      for (int x = box.left; x < box.right; ++x) navy += shown.At(x, y) == RGB(0, 0, 128);
    }
    events->heard.push_back({event, child, navy});
  }

  HWND window_;
  RECT resultBox_;
  HWINEVENTHOOK hook_ = nullptr;
};

TEST_F(Form1Pixels, APercentageIsAnnouncedOnceItIsDrawnAndNotAgainWhenItStaysTheSame) {
  constexpr LONG kResultChild = 7, kResult2Child = 6;  // positions in the table, from 1
  SetNames(L"JOHN", L"JANE");
  HeardEvents events(form1_.Window(), kResultBox);
  ASSERT_TRUE(events.Hooked());
  SendMessageW(Control(kCommand1), BM_CLICK, 0, 0);
  ASSERT_TRUE(Pump([&] { return Result() == L"125%"; }));
  PumpFor(50, &application_, &quit_);
  // The raw score passed through Result on the way: one name change and one live-region
  // change, heard with the digits on screen; and result2's new name.
  EXPECT_EQ(events.Count(EVENT_OBJECT_NAMECHANGE, kResultChild), 1);
  EXPECT_EQ(events.Count(HeardEvents::kLiveRegionChanged, kResultChild), 1);
  EXPECT_EQ(events.Count(EVENT_OBJECT_NAMECHANGE, kResult2Child), 1);
  EXPECT_EQ(events.heard.size(), 3u);
  for (const HeardEvents::Heard& heard : events.heard) {
    if (heard.child == kResultChild) {
      EXPECT_GT(heard.navy, 40) << heard.event;
    }
  }

  events.heard.clear();
  SendMessageW(Control(kCommand1), BM_CLICK, 0, 0);  // the same names: the same texts again
  PumpFor(50, &application_, &quit_);
  EXPECT_EQ(Result(), L"125%");
  EXPECT_TRUE(events.heard.empty());
}

TEST_F(Form1Pixels, ANewPercentageLeavesNoTraceOfTheOld) {
  SetNames(L"ROM", L"JULI");
  ASSERT_TRUE(CalculateShows(L"0%"));
  const Picture first = Settled();
  SetNames(L"ab", L"abc");
  ASSERT_TRUE(CalculateShows(L"200%"));
  Settled();
  SetNames(L"ROM", L"JULI");
  ASSERT_TRUE(CalculateShows(L"0%"));
  const Picture again = Settled();
  EXPECT_EQ(first.pixels, again.pixels);
}

// A runtime error inside the click: one report naming it, and the window as before.
class Form1RuntimeError : public Form1Window {
 protected:
  Form1RuntimeError() : Form1Window(doubleByte_) {}
  static inline const DoubleByteTextServices doubleByte_;
};

TEST_F(Form1RuntimeError, IsReportedOnceAndTheWindowKeepsWorking) {
  MessageBoxAnswerer boxes;
  SetNames(L"ABC", L"ABD");
  ASSERT_TRUE(CalculateShows(L"166%"));

  SetNames(L"\u3042", L"ABD");  // a double-byte character: its ANSI code overflows a byte
  PressAlt('C');
  ASSERT_TRUE(Pump([&] { return boxes.Seen().size() == 1; }));
  ExpectOneReportAndTheWindowAsBefore(boxes, L"Run-time error '6':\n\nOverflow");
}

// Memory running out inside the click, while two long names are matched: the runtime's error
// 7 in one report, and the window as it was.
TEST_F(Form1Window, OutOfMemoryIsReportedOnceAndTheWindowKeepsWorking) {
  MessageBoxAnswerer boxes;
  SetNames(L"ABC", L"ABD");
  ASSERT_TRUE(CalculateShows(L"166%"));

  constexpr std::size_t kLength = 100000;
  std::mt19937 random(77);
  std::wstring name1(kLength, L'A'), name2(kLength, L'A');
  for (std::wstring* name : {&name1, &name2}) {
    for (wchar_t& c : *name) c = static_cast<wchar_t>(L'A' + random() % 26);
  }
  SetNames(name1, name2);
  {
    // From six bytes per character on: more than reading the boxes takes, less than
    // matching the names needs.
    const FailingAllocations failing(6 * kLength);
    PressAlt('C');
    ASSERT_TRUE(Pump([&] { return boxes.Seen().size() == 1; }));
    EXPECT_GT(failing.Failures(), 0);
  }
  ExpectOneReportAndTheWindowAsBefore(boxes, L"Run-time error '7':\n\nOut of memory");
}

// A window that cannot be built says why: the call that failed and the platform's own code.
TEST(WindowFromDescription, AMissingPictureIsNamedAsTheCause) {
  constexpr int kMissingBitmap = 999;
  static constexpr runtime::ControlDescription kBroken[] = {
      {.kind = runtime::ControlKind::kImage,
       .id = 3,
       .left = 0,
       .top = 0,
       .width = 150,
       .height = 150,
       .picture = {runtime::PictureFormat::kBitmap, kMissingBitmap}}};
  static constexpr runtime::WindowDescription kWindow{.name = L"BrokenForm",
                                                      .title = L"",
                                                      .clientWidth = 1500,
                                                      .clientHeight = 1500,
                                                      .backColour = 0,
                                                      .closeBox = true,
                                                      .controls = kBroken};
  runtime::Application application(L"PAIRLY Calc");
  runtime::Form form(application, kWindow);
  try {
    form.Load();
    FAIL() << "the window was built without its picture";
  } catch (const runtime::RuntimeError& error) {
    EXPECT_EQ(error.Kind(), runtime::ErrorKind::kControlCallFailed);
    // ERROR_RESOURCE_NAME_NOT_FOUND, with the platform's wording after it.
    const std::wstring report = runtime::DescribeFailure(error);
    const std::wstring cause = L"loading the bitmap resource 999 (error 1814: ";
    EXPECT_EQ(report.substr(0, cause.size()), cause) << Printable(runtime::WideToUtf16(report));
    EXPECT_GT(report.size(), cause.size() + 1);
    EXPECT_EQ(report.back(), L')');
  }
  EXPECT_FALSE(form.IsOpen());
  // It was never open: nothing ends with it, least of all the box that would report it.
  bool quit = false;
  PumpFor(30, nullptr, &quit);
  EXPECT_FALSE(quit);
}

// Refuses every child control of Form1 as a system short of resources does.
LRESULT CALLBACK RefuseForm1Controls(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) {
    const HWND parent = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs->hwndParent;
    wchar_t name[16] = {};
    if (parent && GetClassNameW(parent, name, 16) && std::wstring(name) == L"Form1") {
      SetLastError(ERROR_NO_SYSTEM_RESOURCES);
      return 1;
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Whatever runs short, memory or the system's resources for a thread or a window, the user
// reads the runtime's error 7: a click whose thread cannot be started, and a start whose
// window cannot be built for want of resources.
TEST(ShortOfResources, ReadsAsError7) {
  const std::wstring error7 = L"Run-time error '7':\n\nOut of memory";
  static constexpr runtime::ControlDescription kButton[] = {
      {.kind = runtime::ControlKind::kCommandButton,
       .id = 3,
       .left = 0,
       .top = 0,
       .width = 1500,
       .height = 375,
       .caption = L"Go"}};
  static constexpr runtime::WindowDescription kWindow{.name = L"ThreadlessForm",
                                                      .title = L"",
                                                      .clientWidth = 1500,
                                                      .clientHeight = 1500,
                                                      .backColour = 0,
                                                      .closeBox = true,
                                                      .controls = kButton};
  // Its click fails as std::thread does when the system cannot start one.
  class ThreadlessForm : public runtime::Form {
   public:
    using Form::Form;

   protected:
    void OnClick(int) override {
      throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again),
                              "starting a thread");
    }
  };
  runtime::Application application(L"PAIRLY Calc");
  {
    MessageBoxAnswerer boxes;
    ThreadlessForm form(application, kWindow);
    form.Load();
    SendMessageW(form.Control(3), BM_CLICK, 0, 0);
    ASSERT_EQ(boxes.Seen().size(), 1u);
    EXPECT_EQ(boxes.Seen()[0].text, error7);
  }
  bool quit = false;
  PumpFor(30, nullptr, &quit);  // the quit its closing posted, which would end the next box

  const HHOOK hook = SetWindowsHookExW(WH_CBT, RefuseForm1Controls, nullptr, GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);
  Form1 form1(application);
  try {
    form1.Load();
    ADD_FAILURE() << "Form1 was built without its controls";
  } catch (const std::exception& error) {
    UnhookWindowsHookEx(hook);
    MessageBoxAnswerer boxes;
    runtime::ShowStartFailure(L"PAIRLY Calc", error);
    ASSERT_EQ(boxes.Seen().size(), 1u);
    EXPECT_EQ(boxes.Seen()[0].text, error7);
  }
}

}  // namespace
