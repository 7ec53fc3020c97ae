// What screen readers see of a window built from a description, through Microsoft Active
// Accessibility: the window and its child controls as the platform presents them, and one
// simple element for each label and picture that the window draws itself.
#pragma once

#include <windows.h>

#include <cstddef>
#include <span>
#include <vector>

#include "runtime/unique_handle.h"
#include "runtime/window_description.h"

struct IAccPropServices;

namespace runtime {

class Form;
class FormAccessible;

// Child ids are 1-based positions in the window's description, for drawn elements and child
// controls alike; events name the elements by the same ids.
constexpr LONG ChildIdOf(std::size_t index) {
  return static_cast<LONG>(index) + 1;
}

// Posted by a screen reader's "default action" on a drawn element (wParam: its control id), so
// that the click runs from the message loop as a mouse click does, never inside the
// reader's call.
inline constexpr UINT kDefaultActionMessage = WM_APP;

// Sent by a child control's accessible object to its window before an action (wParam: the
// control's id): nonzero while the control takes actions, 0 while a modal box of the program,
// or its being busy, holds them back.
inline constexpr UINT kAcceptsActionsQuery = WM_APP + 1;

// Sent by a child control to its window before it answers a screen reader: the first time, the
// window makes what only screen readers need (COM, the live-region declarations).
inline constexpr UINT kScreenReaderArrived = WM_APP + 3;

// The accessible object of an open form's client area, made at the first request for it.
class ClientAccessibility {
 public:
  ClientAccessibility();
  ClientAccessibility(const ClientAccessibility&) = delete;
  ClientAccessibility& operator=(const ClientAccessibility&) = delete;
  ~ClientAccessibility();

  // The answer to WM_GETOBJECT for OBJID_CLIENT; 0 where no object can be made.
  LRESULT Answer(Form& form, WPARAM wParam);
  // The window is going. Clients may keep the object longer: from now on it answers every
  // call with CO_E_OBJNOTCONNECTED and never reaches the form again.
  void Disconnect();

 private:
  ComPtr<FormAccessible> object_;
};

// Has a child control's own standard object answer with the accessible name of its
// description, where it has one, and refuse the control's action or a new value, reporting a
// button unavailable, while the window takes none. Undone when the control is destroyed.
void ServeScreenReaders(HWND control, const ControlDescription& description);

// Tells screen readers that the caption of the element at `index` changed; for a live
// region, also that they may speak it at once.
void AnnounceCaptionChange(HWND window, std::size_t index, const ControlDescription& control);

// Declares a window's live-region labels through Dynamic Annotation, for screen readers that
// read it, and takes the declaration back when destroyed (before the window goes). Where the
// platform lacks it (Wine answers E_NOTIMPL) the window goes on without. Needs COM.
class LiveRegionAnnotations {
 public:
  LiveRegionAnnotations(HWND window, std::span<const ControlDescription> controls);
  LiveRegionAnnotations(const LiveRegionAnnotations&) = delete;
  LiveRegionAnnotations& operator=(const LiveRegionAnnotations&) = delete;
  ~LiveRegionAnnotations();

 private:
  HWND window_;
  ComPtr<IAccPropServices> services_;
  std::vector<LONG> annotated_;  // child ids
};

}  // namespace runtime
