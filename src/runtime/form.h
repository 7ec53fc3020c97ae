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
#include "runtime/gate.h"
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
  // What the loop does with a message before dispatching it: holds back what the gate does not
  // let in, cancels a window's work at Esc, and gives the dialog keyboard (Tab, access keys)
  // to the window the message is for. True when the message was handled here.
  bool PreTranslate(MSG& message);

  // Closes every window at once; from then on no event handler runs.
  void End();
  bool IsEnding() const { return gate_.IsEnding(); }
  // Whether a window's work is running.
  bool IsBusy() const { return gate_.IsBusy(); }
  // Who may act now, asked by every way into the program's windows.
  const Gate& WhoMayAct() const { return gate_; }

  // A modal message box raised by `from`'s event: OK only, no icon, the application's title.
  // While it is up, every window of the program is disabled and the gate lets in nothing of
  // the user's, whichever window was active; afterwards activation and focus are given back.
  void ShowMessage(const Form& from, std::wstring_view prompt);

  // COM on the windows' thread, from the first call on until the application goes: only the
  // splash picture and screen readers need it, and starting it costs the program's start.
  void UseCom();

 private:
  friend class Form;
  friend class ModalScope;
  // A window counts as open once it is fully built, until it is destroyed.
  void Opened(Form& form);
  void Closed(Form& form);
  // Changes the gate's state, then tells screen readers of every control whose availability
  // changed with it, ends a menu left open by input that is no longer let in, and has the
  // cursor chosen again.
  template <typename Change>
  void ChangeState(Change change);
  void BoxShown(bool shown);
  void SetBusy(Form& form, bool busy);

  std::wstring title_;
  std::vector<Form*> open_;
  Gate gate_;
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

  // The form of a window of the program's, else null.
  static Form* Of(HWND window);
  // Where a child control of this window is in its description, if it is one.
  std::optional<std::size_t> IndexOfControl(HWND control) const;
  // Whether the control at `index` of the description can be used now (clicked, pressed by a
  // screen reader, given a new value or the focus): the gate's answer for its action.
  bool MayUse(std::size_t index) const;

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

  // A modal message box raised by this window's event (Application::ShowMessage).
  void ShowMessage(std::wstring_view prompt) { application_.ShowMessage(*this, prompt); }
  // While the window's work runs off its thread: the busy cursor over the window, screen
  // readers told that it is busy and which of its controls cannot be used, and nothing the
  // user does acted on but Esc (OnCancel), closing this window (OnCancel first), and the
  // controls described as available while busy. The rest of its input is dropped, not queued:
  // nothing is replayed afterwards. The program's other windows answer as before.
  void SetBusy(bool busy);
  bool IsBusy() const { return window_ && application_.gate_.IsBusy(*this); }
  // A function for the work's own thread: has OnWorkDone run on the window's thread, unless the
  // window has gone by then.
  std::function<void()> WorkDoneNotifier() const;

 private:
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // A child control's procedure ahead of its own: the gate for what reaches the control without
  // passing the message loop's filter (a message box's or a menu's own loop, messages sent to
  // it, its own context menu), and its answer to screen readers.
  static LRESULT CALLBACK ControlProcedure(HWND control, UINT message, WPARAM wParam,
                                           LPARAM lParam);
  // Every event handler runs through here: the one place that reports what fails and tells
  // screen readers of new captions once the event is over.
  template <typename Handler>
  void RunHandler(Handler handler);
  void ReportFailure(const std::exception& error);
  // Esc while the window's work runs.
  void Cancel();

  // For the gate: the description of a child control of this window, or of the control with
  // an id; null for none. Whether a key is the access key of a control that is the way out.
  const ControlDescription* DescriptionOf(HWND control) const;
  const ControlDescription* DescriptionOf(int id) const;
  bool HasWayOutAccessKey(wchar_t key) const;
  // Tells screen readers of each control whose availability differs between the two states,
  // and of the window's own busy state.
  void AnnounceStateChanges(const Gate& before, const Gate& now) const;

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
  friend class Gate;

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
