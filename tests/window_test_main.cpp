// Runs the window tests the way the program runs: COM (which the program starts when first
// needed) and the fonts it carries, on one user-interface thread.
#include <windows.h>

#include <gtest/gtest.h>

#include "resource_ids.h"
#include "runtime/resources.h"
#include "runtime/unique_handle.h"

int wmain(int argc, wchar_t** argv) {
  testing::InitGoogleTest(&argc, argv);
  const runtime::ComApartment apartment;
  const runtime::EmbeddedFonts fonts{PAIRLY_FONT_NAMES, PAIRLY_FONT_PERCENT};
  return RUN_ALL_TESTS();
}
