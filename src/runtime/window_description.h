// How a window and its controls are described: fixed tables, one per window, from which the
// generic form routine builds the window. Positions and sizes are in twips, colours are
// 0x00BBGGRR values, font sizes are in hundredths of a point.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace runtime {

// The layout is drawn at 96 dots per inch: 1440 twips per inch make 15 twips per pixel.
inline constexpr int kTwipsPerPixel = 15;
constexpr int TwipsToPixels(int twips) {
  return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel
                    : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}

// Font heights at 96 dots per inch: 12 pt is 16 pixels, 27.75 pt is 37, 9.75 pt is 13.
constexpr int PointsToPixels(int centipoints) {
  return (centipoints * 96 + 3600) / 7200;
}

inline constexpr uint32_t kDefaultColour = 0xFFFFFFFFu;

enum class ControlKind {
  kTextBox,        // a single-line EDIT control
  kCommandButton,  // a BUTTON control
  kLabel,          // text drawn by the window, transparent background
  kImage,          // a picture drawn by the window at its own size
};

enum class PictureFormat { kNone, kBitmap, kJpeg };

struct PictureDescription {
  PictureFormat format = PictureFormat::kNone;
  int resourceId = 0;  // RT_BITMAP for bitmaps, RT_RCDATA for JPEG
};

struct FontDescription {
  std::wstring_view face;  // empty: the platform's default font
  int centipoints = 0;
  int weight = 400;
  // Shown where the face is not installed; the program carries these faces itself.
  std::wstring_view fallbackFace = {};
  int fallbackWeight = 0;  // the weight of the carried face to ask for; 0 for the same weight
};

enum class TextAlignment { kLeft, kCenter };

// What a screen reader is told a label or picture is, where its kind does not say enough.
enum class AccessibleRole {
  kByKind,      // static text for a label, a graphic for a picture
  kPushButton,  // a picture whose click does something
};

// Whether a screen reader speaks a label's new caption without the user moving to it.
enum class LiveRegion { kOff, kPolite };

struct ControlDescription {
  ControlKind kind;
  int id;  // never 1 or 2: the dialog manager sends IDOK and IDCANCEL for Enter and Esc
  int left, top, width, height;
  std::wstring_view caption = {};
  uint32_t textColour = kDefaultColour;
  FontDescription font = {};
  PictureDescription picture = {};
  int tabIndex = -1;
  TextAlignment alignment = TextAlignment::kLeft;
  // For screen readers: the name of a text box or picture (a label is named by its caption).
  std::wstring_view accessibleName = {};
  AccessibleRole accessibleRole = AccessibleRole::kByKind;
  LiveRegion liveRegion = LiveRegion::kOff;
  // 1 to 24: F1 to F24 clicks it from anywhere in its window (the keyboard's way to a picture).
  int functionKey = 0;
  // A button that still works, by mouse, access key or screen reader, while its window is
  // busy (Form::SetBusy): the way out of the program.
  bool availableWhileBusy = false;
};

// Whether the user can do anything with a control: type into it, or press it.
constexpr bool CanBeUsed(const ControlDescription& control) {
  return control.kind == ControlKind::kTextBox || control.kind == ControlKind::kCommandButton ||
         control.accessibleRole == AccessibleRole::kPushButton;
}

// The dialog manager sends IDOK (1) and IDCANCEL (2) for Enter and Esc; a control with one
// of those ids would be pressed by them. Ids must also tell controls apart.
constexpr bool ControlIdsAreUsable(std::span<const ControlDescription> controls) {
  for (std::size_t i = 0; i < controls.size(); ++i) {
    if (controls[i].id <= 2) return false;
    for (std::size_t j = i + 1; j < controls.size(); ++j) {
      if (controls[i].id == controls[j].id) return false;
    }
  }
  return true;
}

struct TimerDescription {
  int id;
  unsigned intervalMs;
};

struct WindowDescription {
  std::wstring_view name;  // also the window class name
  std::wstring_view title;
  int clientWidth, clientHeight;
  uint32_t backColour;
  bool closeBox;
  int iconId = 0;                      // icon group resource, 0 for none
  PictureDescription background = {};  // drawn at its own size from the top-left corner
  std::span<const ControlDescription> controls = {};  // in stacking order, front to back
  std::span<const TimerDescription> timers = {};      // started when the window is created
};

}  // namespace runtime
