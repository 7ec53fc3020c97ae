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

// The answer to WM_GETOBJECT for a child control's OBJID_CLIENT: its standard object, with the
// accessible name of its description where it has one, reported unavailable and refusing its
// action, a new value and the focus while the gate lets none in. 0 where none can be made (the
// platform then answers).
LRESULT AnswerForControl(HWND control, const ControlDescription& description, WPARAM wParam);

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
