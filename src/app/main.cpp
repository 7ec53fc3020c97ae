// PAIRLY Calc: shows Form1 and runs until Exit or until its last window is gone.
#include <windows.h>

#include <exception>

#include "main_window/form1.h"
#include "resource_ids.h"
#include "runtime/form.h"
#include "runtime/resources.h"

namespace {

constexpr const wchar_t* kTitle = L"PAIRLY Calc";

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Before anything can load a DLL: only from the system directory, never the current one.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

  // No COM yet: the application starts it when the splash or a screen reader first needs it.
  try {
    const runtime::EmbeddedFonts fonts{PAIRLY_FONT_NAMES, PAIRLY_FONT_PERCENT};
    runtime::Application application(kTitle);
    main_window::Form1 form1(application);
    form1.Load();
    form1.Show();
    return application.Run();
  } catch (const std::exception& error) {
    // Only starting can throw: from the first event on, each error is reported where it
    // happens. Nothing is open, so nothing can end the box before the user has read it.
    runtime::ShowStartFailure(kTitle, error);
    return 1;
  }
}
