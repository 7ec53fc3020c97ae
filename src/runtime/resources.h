// The program's own resources as GDI objects: pictures (bitmaps, and the JPEG decoded by the
// platform's imaging component), fonts from their descriptions, and the fonts the program
// carries for faces a system lacks.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <vector>

#include "runtime/unique_handle.h"
#include "runtime/window_description.h"

namespace runtime {

// A bitmap of the picture at its own size; raises the control-call error if it cannot load.
UniqueBitmap LoadPicture(const PictureDescription& picture);

// The font of a description: its face if installed, else its fallback face; the platform's
// default GUI font for an empty face. ANSI character set, never italic, underlined or struck.
UniqueFont CreateDescribedFont(const FontDescription& font);
bool IsFontInstalled(std::wstring_view face);

// Makes RCDATA font resources available to this process while the object lives.
class EmbeddedFonts {
 public:
  explicit EmbeddedFonts(std::initializer_list<int> resourceIds);

 private:
  std::vector<UniqueMemoryFont> fonts_;
};

}  // namespace runtime
