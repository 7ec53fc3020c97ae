#include "runtime/gate.h"

#include "runtime/form.h"
#include "runtime/window_description.h"

namespace runtime {

bool Gate::Allows(const Form& form, Action action) const {
  if (ending_) return false;
  if (action == Action::kProgram) return true;
  if (boxes_ > 0) return false;
  if (IsBusy(form)) return action != Action::kInput;
  return action != Action::kCancel;  // no work of its own to cancel
}

Action Gate::ActionOf(const ControlDescription& control) {
  return control.availableWhileBusy ? Action::kLeave : Action::kInput;
}

std::optional<Action> Gate::ActionOf(const Form& form, HWND target, UINT message,
                                     WPARAM wParam) const {
  // A press on a control does what the control does; one on the window itself is input.
  const auto actionOfTarget = [&] {
    const ControlDescription* control = form.DescriptionOf(target);
    return control ? ActionOf(*control) : Action::kInput;
  };
  const auto actionOfId = [&](int id) -> std::optional<Action> {
    const ControlDescription* control = form.DescriptionOf(id);
    if (!control) return std::nullopt;
    return ActionOf(*control);
  };
  switch (message) {
    case WM_KEYDOWN:
      return wParam == VK_ESCAPE && IsBusy(form) ? Action::kCancel : Action::kInput;
    case WM_SYSKEYDOWN:
      // Alt alone sets nothing off, and Alt+Space opens the system menu, which only moves and
      // closes the window, as the frame's own buttons do. Alt+F4 closes the window; the way
      // out's access key must reach the dialog manager as a character. The rest (Shift+F10's
      // context menu, Alt+Backspace's undo) is input.
      if (wParam == VK_MENU || wParam == VK_LMENU || wParam == VK_RMENU || wParam == VK_SPACE) {
        return std::nullopt;
      }
      if (wParam == VK_F4) return Action::kLeave;
      return form.HasWayOutAccessKey(static_cast<wchar_t>(
                 MapVirtualKeyW(static_cast<UINT>(wParam), MAPVK_VK_TO_CHAR) & 0xFFFF))
                 ? Action::kLeave
                 : Action::kInput;
    case WM_SYSCHAR:
      if (wParam == L' ') return std::nullopt;  // the system menu
      return form.HasWayOutAccessKey(static_cast<wchar_t>(wParam)) ? Action::kLeave
                                                                   : Action::kInput;
    case WM_CHAR:
    case WM_DEADCHAR:
    case WM_SYSDEADCHAR:
    case WM_UNICHAR:
    case WM_IME_CHAR:
    case WM_IME_COMPOSITION:
    case WM_CONTEXTMENU:
    // Edit commands, which an edit control's own context menu runs without any message.
    case WM_PASTE:
    case WM_CUT:
    case WM_CLEAR:
    case WM_UNDO:
    case EM_UNDO:
      return Action::kInput;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
    case WM_XBUTTONDOWN:
    case WM_XBUTTONUP:
    case WM_XBUTTONDBLCLK:
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
      return actionOfTarget();
    case WM_COMMAND:
      // A click of one of the window's buttons; its other notifications set nothing off.
      if (HIWORD(wParam) != BN_CLICKED) return std::nullopt;
      return actionOfId(LOWORD(wParam));
    case kDefaultActionMessage:
      return actionOfId(static_cast<int>(wParam));
    case WM_CLOSE:
      return Action::kLeave;
    case WM_TIMER:
    case kWorkDoneMessage:
      return Action::kProgram;
    default:
      // Key releases, the mouse moving, the frame's own buttons (the close box closes
      // through WM_CLOSE), painting, focus, a text set by a program.
      return std::nullopt;
  }
}

}  // namespace runtime
