// Who may act now: the one answer that every way into the program's windows asks for before it
// acts. The message loop's filter, each window's and each child control's procedure, a screen
// reader's call, a timer and posted work all ask it here, and keep no rule of their own. It
// answers from the program's state (idle, one of its message boxes up, a window's work running,
// ending) and from the window concerned: a window whose work runs holds back its own input
// only, so the splash still answers while Form1 scores.
#pragma once

#include <windows.h>

#include <optional>

namespace runtime {

class Form;
struct ControlDescription;

// The program's own messages; each is a way in too.
// Posted by a screen reader's default action on a drawn element (wParam: its control id), so
// that the click runs from the message loop, as a mouse click does, never inside the call.
inline constexpr UINT kDefaultActionMessage = WM_APP;
// Posted from a window's work thread once the work has ended.
inline constexpr UINT kWorkDoneMessage = WM_APP + 2;

// What a way in sets off.
enum class Action {
  kInput,    // the user's: typing, a click, a menu, an edit command, a screen reader's action
  kCancel,   // Esc in a window whose work runs: stops that work
  kLeave,    // closing a window, or the control described as the way out (Exit)
  kProgram,  // the program's own: a timer's tick, the end of a window's work
};

class Gate {
 public:
  // Whether `action` may act on `form` now: nothing once the program ends; only the program's
  // own while one of its message boxes is up; while `form`'s work runs, all but the user's
  // input (Esc cancels the work, closing or the way out end it).
  bool Allows(const Form& form, Action action) const;
  // What a message on its way to `form`'s window, or to its child control `target`, would set
  // off; none for one that sets nothing off (painting, focus, a text the program sets).
  std::optional<Action> ActionOf(const Form& form, HWND target, UINT message, WPARAM wParam) const;
  // Both: whether the message may go on.
  bool Lets(const Form& form, HWND target, UINT message, WPARAM wParam) const {
    const std::optional<Action> action = ActionOf(form, target, message, wParam);
    return !action || Allows(form, *action);
  }
  // A control's own action: its click, its default action, a new value, an edit command.
  static Action ActionOf(const ControlDescription& control);

  bool IsBoxUp() const { return boxes_ > 0; }
  bool IsEnding() const { return ending_; }
  bool IsBusy() const { return busy_ != nullptr; }
  bool IsBusy(const Form& form) const { return busy_ == &form; }

 private:
  friend class Application;  // changes the state, announcing what each change changes
  int boxes_ = 0;
  bool ending_ = false;
  const Form* busy_ = nullptr;  // the window whose work runs
};

}  // namespace runtime
