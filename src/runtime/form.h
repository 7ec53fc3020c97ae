// The generic window: built from a WindowDescription, with text boxes and buttons as real
// child controls and labels and pictures drawn by the window itself in stacking order.
// A window class of the program derives from Form and overrides the events it handles.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/accessible.h"
#include "runtime/unique_handle.h"
#include "runtime/window_description.h"

namespace runtime {

class Form;

// The program's windows, its message loop, its message boxes and its end.
class Application {
 public:
  explicit Application(std::wstring_view title) : title_(title) {}
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Runs the message loop until the last window is gone or End is called.
  int Run();
  // What the loop does with a message before dispatching it: drops the user's input while the
  // program is busy (see Form::SetBusy), and gives the dialog keyboard (Tab, access keys) to
  // the window the message is for. True when the message was handled here.
  bool PreTranslate(MSG& message);

  // Closes every window at once; from then on no event handler runs.
  void End();
  bool IsEnding() const { return ending_; }

  // Whether the user can set anything off in the program's windows: not while one of its
  // modal boxes is up, whichever window it belongs to, nor while it is busy, nor once the
  // program is ending.
  bool AcceptsActions() const { return AcceptsActionsWhileBusy() && !busy_; }
  // The same for what works while the program is busy: cancelling its work, ending it.
  bool AcceptsActionsWhileBusy() const { return !ending_ && modalBoxes_ == 0; }
  bool IsBusy() const { return busy_ != nullptr; }

  // A modal message box over the active window: OK only, no icon, the application's title.
  void ShowMessage(std::wstring_view prompt);

  // COM on the windows' thread, from the first call on until the application goes: only the
  // splash picture and screen readers need it, and starting it costs the program's start.
  void UseCom();

 private:
  friend class Form;
  // A window counts as open once it is fully built, until it is destroyed.
  void Opened(Form& form);
  void Closed(Form& form);
  bool HoldsBackWhileBusy(const Form& form, const MSG& message);

  std::wstring title_;
  std::vector<Form*> open_;
  bool ending_ = false;
  int modalBoxes_ = 0;
  Form* busy_ = nullptr;  // the window whose work is running, while it runs
  std::optional<ComApartment> com_;
};

// Reports a failure to start the program in a message box and returns once the user has
// dismissed it: running out of memory as the runtime's error 7, as in a click; anything else
// as the window that could not be created and why.
void ShowStartFailure(const wchar_t* title, const std::exception& error) noexcept;

class Form {
 public:
  Form(Application& application, const WindowDescription& description);
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;
  virtual ~Form();

  // Creates the window (hidden) unless it is open; true when it was created now. A failure
  // raises the control-call error naming the call that failed and the platform's error code.
  bool Load();
  // Shows the window modeless, activated and in front.
  void Show();
  // Closes the window and releases its controls, fonts, pictures and timers.
  void Unload();

  bool IsOpen() const { return window_ != nullptr; }
  HWND Window() const { return window_; }
  HWND Control(int id) const;
  // The font a control or label is drawn with, while the window is open.
  HFONT Font(int id) const;

  // A text box's text; a failing control call raises the runtime error.
  std::wstring Text(int id) const;
  // A label's caption, kept by the window and drawn by it.
  std::wstring Caption(int id) const;
  void SetCaption(int id, std::wstring_view caption);

 protected:
  Application& App() const { return application_; }
  // Events; the defaults run no code.
  virtual void OnClick(int /*id*/) {}
  virtual void OnTimer(int /*id*/) {}
  virtual void OnKeyChar() {}
  // Esc, or the window closing, while the window is busy: the work must stop.
  virtual void OnCancel() {}
  // What WorkDoneNotifier announced.
  virtual void OnWorkDone() {}
  // The window is being destroyed, its controls still there.
  virtual void OnUnload() noexcept {}

  // While the window's work runs off its thread: the busy cursor over the program's windows,
  // screen readers told that this one is busy, and nothing the user does acted on but Esc
  // (OnCancel), closing this window (OnCancel first), and the controls described as available
  // while busy. The rest of the input is dropped, not queued: nothing is replayed afterwards.
  void SetBusy(bool busy);
  bool IsBusy() const { return window_ && application_.busy_ == this; }
  // A function for the work's own thread: has OnWorkDone run on the window's thread, unless the
  // window has gone by then.
  std::function<void()> WorkDoneNotifier() const;

 private:
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // Where an event comes from: the user (a click, a key, a screen reader's action), whom a
  // modal box holds back, and the program's being busy too, unless it is the user's way to
  // cancel the work or to end the program; or the program itself (a timer, the end of its
  // work), which goes on regardless.
  enum class EventSource { kUser, kUserWhileBusy, kProgram };
  EventSource ClickSource(int id) const;
  // Whether the control's action can be set off now.
  bool TakesActionsOf(const ControlDescription& control) const;
  // A control, by its window, that stays available while the program is busy; its access key.
  bool IsAvailableWhileBusy(HWND control) const;
  bool HasAccessKeyAvailableWhileBusy(wchar_t key) const;
  // Every event handler runs through here: the one place that holds back what may not run
  // now and reports what fails.
  template <typename Handler>
  void RunHandler(EventSource source, Handler handler);
  void ReportFailure(const std::exception& error);
  // Esc while the program is busy.
  void Cancel();

  void Create();
  void CreateControls();
  void Released();
  void Paint(HDC dc, const RECT& area) const;
  RECT PixelRect(const ControlDescription& control) const;
  // Where the label at `index` shows this caption: its box, or more for a caption drawn unclipped.
  RECT CaptionArea(std::size_t index, std::wstring_view caption) const;
  int HitTest(POINT point) const;
  // The front-most label or picture at a client-area point.
  std::optional<std::size_t> ElementAt(POINT point) const;
  std::size_t IndexOf(int id) const;
  bool UsesDialogKeys() const;
  // Keys of the window's own before the dialog manager's: a picture's function key, and
  // Enter on a focused push button.
  bool TranslateOwnKeys(const MSG& message);
  void AnnounceCaptionChanges();
  // What screen readers need beyond the window itself, made when the first one asks.
  void PrepareForScreenReaders();
  friend class Application;
  friend class ClientAccessibility;
  friend class FormAccessible;

  Application& application_;
  const WindowDescription& description_;
  HWND window_ = nullptr;
  std::vector<std::wstring> captions_;  // per control, for labels
  std::vector<HWND> controls_;          // per control, for text boxes and buttons
  std::vector<UniqueFont> fonts_;       // per control
  std::vector<UniqueBitmap> pictures_;  // per control, for images
  UniqueBitmap background_;
  UniqueBrush backBrush_;
  UniqueIcon bigIcon_;
  UniqueIcon smallIcon_;
  HWND focus_ = nullptr;  // the control that had the focus when the window was deactivated
  int pressed_ = 0;       // the picture or label under a held mouse button
  std::exception_ptr createFailure_;  // what stopped the controls being built, until Load raises it
  // Screen readers: the client area's object, from creation until the window goes.
  ClientAccessibility accessibility_;
  bool answersScreenReaders_ = false;
  std::unique_ptr<LiveRegionAnnotations> liveRegions_;  // from the first screen reader's request
  // Labels whose caption changed during the running event; screen readers hear of each once
  // the event is over and the last caption is on screen, and only if it differs from what
  // they last heard, which is kept here meanwhile.
  std::vector<bool> captionChanged_;
  std::vector<std::wstring> announcedCaptions_;
  int handlersRunning_ = 0;
};

}  // namespace runtime
