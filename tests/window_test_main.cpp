// Runs the window tests the way the program starts: common controls, COM and the fonts the
// program carries, on one user-interface thread.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include "resource_ids.h"
#include "runtime/resources.h"
#include "runtime/unique_handle.h"

int wmain(int argc, wchar_t** argv) {
  testing::InitGoogleTest(&argc, argv);
  const INITCOMMONCONTROLSEX commonControls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&commonControls);
  const runtime::ComApartment apartment;
  const runtime::EmbeddedFonts fonts{PAIRLY_FONT_NAMES, PAIRLY_FONT_PERCENT};
  return RUN_ALL_TESTS();
}
