#include "runtime/form.h"

#include <algorithm>
#include <array>
#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>

#include "runtime/platform_error.h"
#include "runtime/resources.h"
#include "runtime/runtime_error.h"
#include "runtime/text.h"
#include "runtime/wide_text.h"

namespace runtime {
namespace {

COLORREF ToColorRef(uint32_t colour) {
  return static_cast<COLORREF>(colour);
}

bool IsChildControl(ControlKind kind) {
  return kind == ControlKind::kTextBox || kind == ControlKind::kCommandButton;
}

DWORD FrameStyle(const WindowDescription& description) {
  // A fixed dialog frame: caption, no sizing border, no minimise or maximise box.
  DWORD style = WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN;
  if (description.closeBox) style |= WS_SYSMENU;
  return style;
}

constexpr DWORD kFrameExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

// How a label's caption is drawn. A centred caption is one line drawn whole around its box's
// centre, even where it is wider than the box: a face wider than the one the box was laid out
// for would otherwise lose the edges of its first and last characters (or, broken into
// lines, show half a number).
UINT CaptionFormat(const ControlDescription& label) {
  if (label.alignment == TextAlignment::kCenter) {
    return DT_SINGLELINE | DT_CENTER | DT_NOCLIP | DT_NOPREFIX;
  }
  return DT_WORDBREAK | DT_LEFT | DT_NOPREFIX;
}

// Ready made: building a report could need the very memory that ran out.
constexpr std::wstring_view kOutOfMemoryReport = L"Run-time error '7':\n\nOut of memory";

// Whatever ran short, memory or the system's resources for a window or a thread, the user
// reads the one error 7.
bool IsOutOfMemory(const std::exception& error) {
  if (const auto* runtimeError = dynamic_cast<const RuntimeError*>(&error)) {
    return runtimeError->Kind() == ErrorKind::kOutOfMemory;
  }
  if (const auto* systemError = dynamic_cast<const std::system_error*>(&error)) {
    return systemError->code() == std::errc::resource_unavailable_try_again ||
           systemError->code() == std::errc::not_enough_memory;
  }
  return dynamic_cast<const std::bad_alloc*>(&error) ||
         dynamic_cast<const std::length_error*>(&error);  // a size beyond any memory
}

// What the user reads of a failure in an event.
std::wstring FailureReport(const std::exception& error) {
  if (IsOutOfMemory(error)) return std::wstring(kOutOfMemoryReport);
  if (const auto* runtimeError = dynamic_cast<const RuntimeError*>(&error)) {
    return Utf16ToWide(ErrorReport(runtimeError->Kind()));
  }
  return L"Run-time error:\n\n" + Utf16ToWide(Utf8ToUtf16(error.what()));
}

// A character as the system upper-cases it (CharUpperW takes one character in place of a
// pointer).
wchar_t UpperCaseKey(wchar_t key) {
  return static_cast<wchar_t>(
      reinterpret_cast<UINT_PTR>(CharUpperW(reinterpret_cast<LPWSTR>(static_cast<UINT_PTR>(key)))));
}

// The character after a single "&" in a caption, upper-cased; 0 for none.
wchar_t AccessKeyOf(std::wstring_view caption) {
  for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != L'&') continue;
    if (caption[i + 1] != L'&') return UpperCaseKey(caption[i + 1]);
    ++i;  // "&&" shows one "&"
  }
  return 0;
}

// The procedure a child control had before ours, kept as a property of the control from
// Subclass until the control is destroyed.
constexpr const wchar_t* kProcedureProperty = L"PairlyCalc.Procedure";

// Puts `procedure` ahead of the control's own, through the system's own subclassing: the
// common controls' helpers for it would load that library at every start. Without the
// property the control stays as it was; the message loop's filter and the window then still
// hold back what reaches it through the loop.
void Subclass(HWND control, WNDPROC procedure) {
  const auto original = GetWindowLongPtrW(control, GWLP_WNDPROC);
  if (!original || !SetPropW(control, kProcedureProperty, reinterpret_cast<HANDLE>(original))) {
    return;
  }
  SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure));
}

// Has the window under the pointer choose its cursor again, as when the pointer moves: the
// program's being busy changes it without a move.
void RefreshCursor() {
  POINT at;
  if (!GetCursorPos(&at)) return;
  HWND under = WindowFromPoint(at);
  if (!under || GetWindowThreadProcessId(under, nullptr) != GetCurrentThreadId()) return;
  const LRESULT hit = SendMessageW(under, WM_NCHITTEST, 0, MAKELPARAM(at.x, at.y));
  SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under),
               MAKELPARAM(static_cast<WORD>(hit), WM_MOUSEMOVE));
}

}  // namespace

// ---- Application ----

int Application::Run() {
  MSG message;
  while (!open_.empty() && GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (PreTranslate(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}

bool Application::PreTranslate(MSG& message) {
  if (!message.hwnd) return false;
  Form* form = Form::Of(GetAncestor(message.hwnd, GA_ROOT));
  if (!form || !form->window_) return false;
  const std::optional<Action> action =
      gate_.ActionOf(*form, message.hwnd, message.message, message.wParam);
  if (action && !gate_.Allows(*form, *action)) return true;  // dropped, not kept for later
  if (action == Action::kCancel) {
    form->Cancel();
    return true;
  }
  if (form->TranslateOwnKeys(message)) return true;
  // A window without focusable controls (the splash) gets its own keys, Enter and Esc
  // included; the dialog manager would turn those into commands instead.
  return form->UsesDialogKeys() && IsDialogMessageW(form->window_, &message);
}

void Application::End() {
  gate_.ending_ = true;
  const std::vector<Form*> open = open_;
  for (Form* form : open) form->Unload();
}

// While one of the program's message boxes is up: every visible, enabled window of the thread
// disabled, whichever was active, and afterwards enabled again, with activation and focus given
// back, as WinForms does around its modal dialogs. Needs no memory: the box may be the report
// that memory ran out.
class ModalScope {
 public:
  explicit ModalScope(Application& application)
      : application_(application), active_(GetActiveWindow()), focus_(GetFocus()) {
    application_.BoxShown(true);
    EnumThreadWindows(GetCurrentThreadId(), Disable, reinterpret_cast<LPARAM>(this));
  }
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;
  ~ModalScope() {
    for (std::size_t i = 0; i < count_; ++i) {
      if (IsWindow(disabled_[i])) EnableWindow(disabled_[i], TRUE);
    }
    application_.BoxShown(false);
    if (active_ && IsWindow(active_) && IsWindowEnabled(active_)) {
      SetForegroundWindow(active_);
      SetActiveWindow(active_);
      if (focus_ && IsWindow(focus_) && GetAncestor(focus_, GA_ROOT) == active_) SetFocus(focus_);
    }
  }

 private:
  static BOOL CALLBACK Disable(HWND window, LPARAM parameter) {
    auto& scope = *reinterpret_cast<ModalScope*>(parameter);
    // More windows than that are still held back by the gate; they only stay enabled.
    if (scope.count_ == scope.disabled_.size()) return FALSE;
    if (IsWindowVisible(window) && IsWindowEnabled(window)) {
      EnableWindow(window, FALSE);
      scope.disabled_[scope.count_++] = window;
    }
    return TRUE;
  }

  Application& application_;
  HWND active_;
  HWND focus_;
  std::array<HWND, 32> disabled_{};
  std::size_t count_ = 0;
};

void Application::ShowMessage(const Form& from, std::wstring_view prompt) {
  // A short prompt is copied on the stack, so reporting that memory ran out needs none.
  std::array<wchar_t, 128> shortText{};
  std::wstring longText;
  const wchar_t* text = shortText.data();
  if (prompt.size() < shortText.size()) {
    prompt.copy(shortText.data(), prompt.size());
  } else {
    longText = prompt;
    text = longText.c_str();
  }
  const ModalScope modal(*this);
  // Owned by the window whose event raised it, so that it stays in front of that window.
  MessageBoxW(from.window_, text, title_.c_str(), MB_OK);
}

template <typename Change>
void Application::ChangeState(Change change) {
  const Gate before = gate_;
  change(gate_);
  for (Form* form : open_) form->AnnounceStateChanges(before, gate_);
  // A menu opened before would still carry out its choice.
  if (gate_.boxes_ > before.boxes_ || (gate_.busy_ && !before.busy_)) EndMenu();
  RefreshCursor();
}

void Application::BoxShown(bool shown) {
  ChangeState([&](Gate& gate) { gate.boxes_ += shown ? 1 : -1; });
}

void Application::SetBusy(Form& form, bool busy) {
  if (busy == gate_.IsBusy(form) || !form.window_ || (busy && gate_.IsBusy())) return;
  ChangeState([&](Gate& gate) { gate.busy_ = busy ? &form : nullptr; });
}

void Application::UseCom() {
  if (!com_) com_.emplace();
}

void Application::Opened(Form& form) {
  open_.push_back(&form);
}

void Application::Closed(Form& form) {
  // A window that failed while it was being built was never open, and nothing ends with it:
  // a quit posted now would close the box that reports the failure before anyone read it.
  if (std::erase(open_, &form) == 0) return;
  if (open_.empty()) PostQuitMessage(0);
}

void ShowStartFailure(const wchar_t* title, const std::exception& error) noexcept {
  try {
    if (!IsOutOfMemory(error)) {
      const std::wstring text = L"The main window could not be created: " + DescribeFailure(error);
      MessageBoxW(nullptr, text.c_str(), title, MB_OK);
      return;
    }
  } catch (const std::exception&) {
    // Describing the failure took memory that was not there.
  }
  MessageBoxW(nullptr, kOutOfMemoryReport.data(), title, MB_OK);
}

// ---- Form ----

Form::Form(Application& application, const WindowDescription& description)
    : application_(application), description_(description) {}

Form::~Form() {
  Unload();
}

bool Form::Load() {
  if (window_) return false;
  Create();
  return true;
}

void Form::Show() {
  if (!window_) return;
  ShowWindow(window_, SW_SHOW);
  SetWindowPos(window_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetForegroundWindow(window_);
  SetActiveWindow(window_);
}

void Form::Unload() {
  if (window_) DestroyWindow(window_);
}

std::size_t Form::IndexOf(int id) const {
  const auto& controls = description_.controls;
  for (std::size_t i = 0; i < controls.size(); ++i) {
    if (controls[i].id == id) return i;
  }
  Raise(ErrorKind::kControlCallFailed);
}

HWND Form::Control(int id) const {
  const std::size_t index = IndexOf(id);
  return index < controls_.size() ? controls_[index] : nullptr;
}

HFONT Form::Font(int id) const {
  const std::size_t index = IndexOf(id);
  return index < fonts_.size() ? fonts_[index].get() : nullptr;
}

std::wstring Form::Text(int id) const {
  HWND control = Control(id);
  if (!control) Raise(ErrorKind::kControlCallFailed);
  SetLastError(0);
  const int length = GetWindowTextLengthW(control);
  if (length == 0 && GetLastError() != 0) Raise(ErrorKind::kControlCallFailed);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(control, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(std::max(copied, 0)));
  return text;
}

std::wstring Form::Caption(int id) const {
  const std::size_t index = IndexOf(id);
  if (!window_ || description_.controls[index].kind != ControlKind::kLabel) {
    Raise(ErrorKind::kControlCallFailed);
  }
  return captions_[index];
}

void Form::SetCaption(int id, std::wstring_view caption) {
  const std::size_t index = IndexOf(id);
  if (!window_ || description_.controls[index].kind != ControlKind::kLabel) {
    Raise(ErrorKind::kControlCallFailed);
  }
  if (captions_[index] == caption) return;
  std::wstring next(caption);  // the one step that can fail, before anything changes
  // Repainted from the pictures beneath on the next paint, wherever the old or the new text
  // shows, so the old text leaves no trace; two captions set within one event show only the last.
  RECT dirty = CaptionArea(index, captions_[index]);
  if (!captionChanged_[index]) {
    announcedCaptions_[index] = std::move(captions_[index]);
    captionChanged_[index] = true;
  }
  captions_[index] = std::move(next);
  const RECT shown = CaptionArea(index, captions_[index]);
  UnionRect(&dirty, &dirty, &shown);
  InvalidateRect(window_, &dirty, FALSE);
  if (handlersRunning_ == 0) AnnounceCaptionChanges();
}

void Form::PrepareForScreenReaders() {
  application_.UseCom();
  if (liveRegions_) return;
  try {
    liveRegions_ = std::make_unique<LiveRegionAnnotations>(window_, description_.controls);
  } catch (const std::bad_alloc&) {
    // Readers still hear every new percentage announced; it is only not declared beforehand.
  }
}

void Form::AnnounceCaptionChanges() {
  // A reader that hears of a new caption may look at the screen at once: draw it first.
  UpdateWindow(window_);
  for (std::size_t i = 0; i < captionChanged_.size(); ++i) {
    if (!captionChanged_[i]) continue;
    captionChanged_[i] = false;
    // A caption that went back to what readers last heard (the same percentage again) is
    // no news.
    if (captions_[i] != announcedCaptions_[i]) {
      AnnounceCaptionChange(window_, i, description_.controls[i]);
    }
    announcedCaptions_[i] = std::wstring();
  }
}

void Form::SetBusy(bool busy) {
  application_.SetBusy(*this, busy);
}

std::function<void()> Form::WorkDoneNotifier() const {
  // A window destroyed meanwhile takes no message: a post to its handle then fails harmlessly.
  return [window = window_] { PostMessageW(window, kWorkDoneMessage, 0, 0); };
}

void Form::Cancel() {
  RunHandler([&] { OnCancel(); });
}

Form* Form::Of(HWND window) {
  if (!window ||
      GetWindowLongPtrW(window, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&WindowProcedure)) {
    return nullptr;
  }
  return reinterpret_cast<Form*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

std::optional<std::size_t> Form::IndexOfControl(HWND control) const {
  if (!control) return std::nullopt;
  const auto found = std::find(controls_.begin(), controls_.end(), control);
  if (found == controls_.end()) return std::nullopt;
  return static_cast<std::size_t>(found - controls_.begin());
}

bool Form::MayUse(std::size_t index) const {
  return application_.gate_.Allows(*this, Gate::ActionOf(description_.controls[index]));
}

const ControlDescription* Form::DescriptionOf(HWND control) const {
  const std::optional<std::size_t> index = IndexOfControl(control);
  return index ? &description_.controls[*index] : nullptr;
}

const ControlDescription* Form::DescriptionOf(int id) const {
  for (const ControlDescription& control : description_.controls) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

bool Form::HasWayOutAccessKey(wchar_t key) const {
  const wchar_t wanted = UpperCaseKey(key);
  return wanted != 0 && std::any_of(description_.controls.begin(), description_.controls.end(),
                                    [&](const ControlDescription& control) {
                                      return Gate::ActionOf(control) == Action::kLeave &&
                                             AccessKeyOf(control.caption) == wanted;
                                    });
}

void Form::AnnounceStateChanges(const Gate& before, const Gate& now) const {
  if (!window_) return;
  const auto& controls = description_.controls;
  for (std::size_t i = 0; i < controls.size(); ++i) {
    if (!CanBeUsed(controls[i])) continue;
    const Action action = Gate::ActionOf(controls[i]);
    if (before.Allows(*this, action) == now.Allows(*this, action)) continue;
    // A child control's own object, or the drawn element in the window's.
    if (i < controls_.size() && controls_[i]) {
      NotifyWinEvent(EVENT_OBJECT_STATECHANGE, controls_[i], OBJID_CLIENT, CHILDID_SELF);
    } else {
      NotifyWinEvent(EVENT_OBJECT_STATECHANGE, window_, OBJID_CLIENT, ChildIdOf(i));
    }
  }
  if (before.IsBusy(*this) != now.IsBusy(*this)) {
    NotifyWinEvent(EVENT_OBJECT_STATECHANGE, window_, OBJID_CLIENT, CHILDID_SELF);
  }
}

RECT Form::CaptionArea(std::size_t index, std::wstring_view caption) const {
  const ControlDescription& label = description_.controls[index];
  RECT area = PixelRect(label);
  const UINT format = CaptionFormat(label);
  if (!(format & DT_NOCLIP) || caption.empty()) return area;
  // Unclipped: the rows its text takes, across the whole client area, which also covers any
  // part of a glyph that reaches past the text's advance.
  WindowDC dc(window_);
  SelectGuard fontGuard(dc.Get(), fonts_[index].get());
  RECT text = area;
  DrawTextW(dc.Get(), caption.data(), static_cast<int>(caption.size()), &text,
            format | DT_CALCRECT);
  RECT client;
  GetClientRect(window_, &client);
  area.left = client.left;
  area.right = client.right;
  area.bottom = std::max(area.bottom, text.bottom);
  return area;
}

RECT Form::PixelRect(const ControlDescription& control) const {
  const int left = TwipsToPixels(control.left);
  const int top = TwipsToPixels(control.top);
  return RECT{left, top, left + TwipsToPixels(control.width), top + TwipsToPixels(control.height)};
}

bool Form::UsesDialogKeys() const {
  return std::any_of(controls_.begin(), controls_.end(), [](HWND c) { return c != nullptr; });
}

bool Form::TranslateOwnKeys(const MSG& message) {
  if (message.message != WM_KEYDOWN || !window_) return false;
  const auto& controls = description_.controls;
  const auto key = static_cast<int>(message.wParam);
  if (key >= VK_F1 && key <= VK_F24 && GetKeyState(VK_SHIFT) >= 0 && GetKeyState(VK_CONTROL) >= 0) {
    for (const ControlDescription& control : controls) {
      if (control.functionKey != key - VK_F1 + 1) continue;
      const bool repeated = (message.lParam & (LPARAM{1} << 30)) != 0;
      if (!repeated) RunHandler([&] { OnClick(control.id); });
      return true;
    }
  }
  if (key == VK_RETURN) {
    // The dialog manager presses a focused button on Enter only when the focus came by Tab;
    // after a click or an access key the button has the focus all the same.
    HWND focused = GetFocus();
    for (std::size_t i = 0; i < controls_.size(); ++i) {
      if (!focused || controls_[i] != focused || controls[i].kind != ControlKind::kCommandButton) {
        continue;
      }
      SendMessageW(window_, WM_COMMAND, MAKEWPARAM(controls[i].id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(focused));
      return true;
    }
  }
  return false;
}

void Form::Create() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  const std::wstring className(description_.name);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  if (!GetClassInfoExW(instance, className.c_str(), &windowClass)) {
    windowClass = WNDCLASSEXW{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = className.c_str();
    if (!RegisterClassExW(&windowClass)) {
      RaiseLastError(
          [&] { return "registering the window class " + Utf16ToUtf8(WideToUtf16(className)); });
    }
  }

  const DWORD style = FrameStyle(description_);
  const int clientWidth = TwipsToPixels(description_.clientWidth);
  const int clientHeight = TwipsToPixels(description_.clientHeight);
  RECT frame{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&frame, style, FALSE, kFrameExStyle);
  const std::wstring title(description_.title);
  HWND created = CreateWindowExW(kFrameExStyle, className.c_str(), title.c_str(), style, 0, 0,
                                 frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                 nullptr, instance, this);
  if (!created) {
    const DWORD code = GetLastError();
    // A failure while building the controls is the cause; the platform only knows the window
    // was not created.
    if (createFailure_) std::rethrow_exception(std::exchange(createFailure_, nullptr));
    RaiseFailedCall("creating the window " + Utf16ToUtf8(WideToUtf16(className)), code);
  }

  // Correct for frames the adjustment got wrong, then centre on the primary work area.
  RECT client, outer;
  GetClientRect(window_, &client);
  GetWindowRect(window_, &outer);
  const int width = outer.right - outer.left + clientWidth - client.right;
  const int height = outer.bottom - outer.top + clientHeight - client.bottom;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& work = monitor.rcWork;
  SetWindowPos(window_, nullptr, work.left + (work.right - work.left - width) / 2,
               work.top + (work.bottom - work.top - height) / 2, width, height,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::CreateControls() {
  const auto& controls = description_.controls;
  captions_.assign(controls.size(), std::wstring());
  captionChanged_.assign(controls.size(), false);
  announcedCaptions_.assign(controls.size(), std::wstring());
  controls_.assign(controls.size(), nullptr);
  fonts_.clear();
  fonts_.resize(controls.size());
  pictures_.clear();
  pictures_.resize(controls.size());
  backBrush_.reset(CreateSolidBrush(ToColorRef(description_.backColour)));
  // A JPEG is decoded through COM.
  if (description_.background.format == PictureFormat::kJpeg) application_.UseCom();
  background_ = LoadPicture(description_.background);

  if (description_.iconId != 0) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    bigIcon_.reset(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(description_.iconId),
                                                 IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                                 GetSystemMetrics(SM_CYICON), 0)));
    smallIcon_.reset(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(description_.iconId),
                                                   IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                   GetSystemMetrics(SM_CYSMICON), 0)));
    SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
    SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
  }

  for (std::size_t i = 0; i < controls.size(); ++i) {
    const ControlDescription& control = controls[i];
    captions_[i] = control.caption;
    if (control.kind == ControlKind::kImage) pictures_[i] = LoadPicture(control.picture);
    if (control.kind != ControlKind::kImage) fonts_[i] = CreateDescribedFont(control.font);
  }

  // Child controls in tab order: the dialog manager's Tab follows the children's Z order.
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < controls.size(); ++i) {
    if (IsChildControl(controls[i].kind)) order.push_back(i);
  }
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return controls[a].tabIndex < controls[b].tabIndex;
  });
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  for (std::size_t index : order) {
    const ControlDescription& control = controls[index];
    const bool isTextBox = control.kind == ControlKind::kTextBox;
    const DWORD style =
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | (isTextBox ? ES_LEFT | ES_AUTOHSCROLL : BS_PUSHBUTTON);
    const RECT box = PixelRect(control);
    const std::wstring caption(control.caption);
    HWND child = CreateWindowExW(
        isTextBox ? WS_EX_CLIENTEDGE : 0, isTextBox ? L"EDIT" : L"BUTTON", caption.c_str(), style,
        box.left, box.top, box.right - box.left, box.bottom - box.top, window_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), instance, nullptr);
    if (!child) {
      RaiseLastError([&] {
        return (isTextBox ? "creating the text box " : "creating the button ") +
               std::to_string(control.id);
      });
    }
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_[index].get()), FALSE);
    // Text boxes have no length limit (an edit control otherwise stops at 30,000).
    if (isTextBox) SendMessageW(child, EM_SETLIMITTEXT, 0, 0);
    controls_[index] = child;
    Subclass(child, ControlProcedure);
  }
  if (!order.empty()) focus_ = controls_[order.front()];

  for (const TimerDescription& timer : description_.timers) {
    if (!SetTimer(window_, static_cast<UINT_PTR>(timer.id), timer.intervalMs, nullptr)) {
      RaiseLastError([&] { return "starting the timer " + std::to_string(timer.id); });
    }
  }
}

void Form::Released() {
  // The children are gone by now; the objects they showed can go too.
  captions_.clear();
  captionChanged_.clear();
  announcedCaptions_.clear();
  controls_.clear();
  fonts_.clear();
  pictures_.clear();
  background_.reset();
  backBrush_.reset();
  bigIcon_.reset();
  smallIcon_.reset();
  focus_ = nullptr;
  pressed_ = 0;
}

int Form::HitTest(POINT point) const {
  const std::optional<std::size_t> index = ElementAt(point);
  return index ? description_.controls[*index].id : 0;
}

std::optional<std::size_t> Form::ElementAt(POINT point) const {
  const auto& controls = description_.controls;
  for (std::size_t i = 0; i < controls.size(); ++i) {  // front to back
    if (IsChildControl(controls[i].kind)) continue;
    const RECT box = PixelRect(controls[i]);
    if (PtInRect(&box, point)) return i;
  }
  return std::nullopt;
}

void Form::Paint(HDC dc, const RECT& area) const {
  RECT client;
  GetClientRect(window_, &client);
  // Drawn off screen and copied in one go, so a caption change never flickers.
  UniqueMemoryDc memory(CreateCompatibleDC(dc));
  UniqueBitmap canvas(CreateCompatibleBitmap(dc, client.right, client.bottom));
  if (!memory || !canvas) return;
  SelectGuard canvasGuard(memory.get(), canvas.get());
  FillRect(memory.get(), &client, backBrush_.get());

  UniqueMemoryDc source(CreateCompatibleDC(dc));
  auto drawPicture = [&](HBITMAP picture, int left, int top) {
    if (!picture || !source) return;
    BITMAP size{};
    GetObjectW(picture, sizeof size, &size);
    SelectGuard pictureGuard(source.get(), picture);
    BitBlt(memory.get(), left, top, size.bmWidth, size.bmHeight, source.get(), 0, 0, SRCCOPY);
  };
  drawPicture(background_.get(), 0, 0);

  SetBkMode(memory.get(), TRANSPARENT);
  const auto& controls = description_.controls;
  for (std::size_t i = controls.size(); i-- > 0;) {  // back to front
    const ControlDescription& control = controls[i];
    const RECT box = PixelRect(control);
    if (control.kind == ControlKind::kImage) {
      drawPicture(pictures_[i].get(), box.left, box.top);
    } else if (control.kind == ControlKind::kLabel && !captions_[i].empty()) {
      SelectGuard fontGuard(memory.get(), fonts_[i].get());
      SetTextColor(memory.get(), control.textColour == kDefaultColour
                                     ? GetSysColor(COLOR_BTNTEXT)
                                     : ToColorRef(control.textColour));
      RECT textBox = box;
      DrawTextW(memory.get(), captions_[i].c_str(), static_cast<int>(captions_[i].size()), &textBox,
                CaptionFormat(control));
    }
  }
  BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, memory.get(),
         area.left, area.top, SRCCOPY);
}

template <typename Handler>
void Form::RunHandler(Handler handler) {
  ++handlersRunning_;
  try {
    handler();
  } catch (const std::exception& error) {
    ReportFailure(error);
  }
  if (--handlersRunning_ == 0 && window_) AnnounceCaptionChanges();
}

void Form::ReportFailure(const std::exception& error) {
  // Nothing may escape into the platform's frames: a runtime error is reported, the event
  // is abandoned and the program carries on.
  try {
    ShowMessage(FailureReport(error));
  } catch (const std::exception&) {
    // Not even the report could be built: memory is that short.
    ShowMessage(kOutOfMemoryReport);
  }
}

LRESULT CALLBACK Form::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Form* form = nullptr;
  if (message == WM_NCCREATE) {
    form = static_cast<Form*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    form->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  } else {
    form = reinterpret_cast<Form*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  }
  if (!form) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    // Messages that still arrive for this HWND must not reach a form that may be gone.
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    form->window_ = nullptr;
    form->Released();
    form->application_.Closed(*form);
    return DefWindowProcW(window, message, wParam, lParam);
  }
  try {
    return form->OnMessage(message, wParam, lParam);
  } catch (const std::exception& error) {
    // The handlers and the window's creation catch their own; this is the last stop before
    // the platform's frames, which no exception may cross.
    form->ReportFailure(error);
    return 0;
  }
}

LRESULT CALLBACK Form::ControlProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto original = reinterpret_cast<WNDPROC>(GetPropW(control, kProcedureProperty));
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    RemovePropW(control, kProcedureProperty);
    return CallWindowProcW(original, control, message, wParam, lParam);
  }
  if (Form* form = Of(GetParent(control))) {
    if (!form->application_.gate_.Lets(*form, control, message, wParam)) return 0;
    if (message == WM_GETOBJECT && static_cast<LONG>(lParam) == OBJID_CLIENT &&
        form->answersScreenReaders_) {
      form->PrepareForScreenReaders();
      if (const std::optional<std::size_t> index = form->IndexOfControl(control)) {
        const ControlDescription& description = form->description_.controls[*index];
        if (const LRESULT answer = AnswerForControl(control, description, wParam)) return answer;
      }
    }
  }
  return CallWindowProcW(original, control, message, wParam, lParam);
}

LRESULT Form::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  // Whatever reaches the window, by the message loop or any other way, asks the gate first;
  // what it does not let in is dropped, as if it had never come.
  if (!application_.gate_.Lets(*this, window_, message, wParam)) return 0;
  switch (message) {
    case WM_CREATE:
      // All of it, the program's note that the window is open included: an exception must
      // not cross CreateWindowExW, and a window that fails here was never open.
      try {
        CreateControls();
        application_.Opened(*this);
      } catch (...) {
        // The window is destroyed and Load raises this error, which names the cause.
        createFailure_ = std::current_exception();
        return -1;
      }
      answersScreenReaders_ = true;
      return 0;
    case WM_GETOBJECT:
      // Ours from the end of creation to the start of destruction; in between the window's
      // parts are not all there, and the platform's own object answers.
      if (answersScreenReaders_ && static_cast<LONG>(lParam) == OBJID_CLIENT) {
        PrepareForScreenReaders();
        if (const LRESULT answer = accessibility_.Answer(*this, wParam)) return answer;
      }
      break;
    case kDefaultActionMessage: {
      const ControlDescription* control = DescriptionOf(static_cast<int>(wParam));
      if (control && control->accessibleRole == AccessibleRole::kPushButton) {
        RunHandler([&] { OnClick(control->id); });
      }
      return 0;
    }
    case kWorkDoneMessage:
      RunHandler([&] { OnWorkDone(); });
      return 0;
    case WM_CLOSE:
      // The window's own work must not outlive it: closing cancels the work first.
      if (IsBusy()) RunHandler([&] { OnCancel(); });
      break;
    case WM_SETCURSOR:
      // The busy cursor over the client area and the controls, whose own WM_SETCURSOR asks
      // here first; the frame keeps its cursors, as it still moves and closes the window.
      if (IsBusy() && LOWORD(lParam) == HTCLIENT) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_DESTROY:
      OnUnload();
      SetBusy(false);
      answersScreenReaders_ = false;
      accessibility_.Disconnect();
      liveRegions_.reset();
      for (const TimerDescription& timer : description_.timers) {
        KillTimer(window_, static_cast<UINT_PTR>(timer.id));
      }
      return 0;
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers every pixel
    case WM_PAINT: {
      PaintDC paint(window_);
      Paint(paint.Dc(), paint.Area());
      return 0;
    }
    case WM_PRINTCLIENT: {
      RECT client;
      GetClientRect(window_, &client);
      Paint(reinterpret_cast<HDC>(wParam), client);
      return 0;
    }
    case WM_CTLCOLOREDIT: {
      const HWND control = reinterpret_cast<HWND>(lParam);
      const auto found = std::find(controls_.begin(), controls_.end(), control);
      if (found == controls_.end()) break;
      const uint32_t colour = description_.controls[found - controls_.begin()].textColour;
      const HDC dc = reinterpret_cast<HDC>(wParam);
      if (colour != kDefaultColour) SetTextColor(dc, ToColorRef(colour));
      SetBkColor(dc, GetSysColor(COLOR_WINDOW));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
    case WM_COMMAND: {
      // Only clicks of our own buttons; IDOK and IDCANCEL from Enter and Esc do nothing.
      const int id = LOWORD(wParam);
      if (HIWORD(wParam) != BN_CLICKED || lParam == 0) return 0;
      const std::size_t count = description_.controls.size();
      for (std::size_t i = 0; i < count; ++i) {
        if (description_.controls[i].id == id &&
            description_.controls[i].kind == ControlKind::kCommandButton) {
          RunHandler([&] { OnClick(id); });
          break;
        }
      }
      return 0;
    }
    case WM_LBUTTONDOWN: {
      pressed_ =
          HitTest(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
      if (pressed_ != 0) SetCapture(window_);
      return 0;
    }
    case WM_LBUTTONUP: {
      const int pressed = std::exchange(pressed_, 0);
      if (GetCapture() == window_) ReleaseCapture();
      const int released =
          HitTest(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
      if (pressed != 0 && pressed == released) {
        RunHandler([&] { OnClick(pressed); });
      }
      return 0;
    }
    case WM_CAPTURECHANGED:
      pressed_ = 0;
      return 0;
    case WM_TIMER:
      RunHandler([&] { OnTimer(static_cast<int>(wParam)); });
      return 0;
    case WM_CHAR:
      RunHandler([&] { OnKeyChar(); });
      return 0;
    case WM_ACTIVATE:
      // Keep the focused control across deactivation, as a dialog does; a window without
      // controls keeps the focus itself.
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focused = GetFocus();
        if (focused && IsChild(window_, focused)) focus_ = focused;
      } else if (focus_ && IsWindow(focus_)) {
        SetFocus(focus_);
        return 0;
      }
      break;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace runtime
