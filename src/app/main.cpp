// PAIRLY Calc: shows Form1 and runs until Exit or until its last window is gone.
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "main_window/form1.h"
#include "resource_ids.h"
#include "runtime/platform_error.h"
#include "runtime/resources.h"
#include "runtime/unique_handle.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Before anything can load a DLL: only from the system directory, never the current one.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

  const INITCOMMONCONTROLSEX commonControls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&commonControls);
  const runtime::ComApartment apartment;  // the splash picture is decoded through COM
  const runtime::EmbeddedFonts fonts{PAIRLY_FONT_NAMES, PAIRLY_FONT_PERCENT};

  runtime::Application application(L"PAIRLY Calc");
  main_window::Form1 form1(application);
  try {
    form1.Load();
  } catch (const std::exception& error) {
    const std::wstring text =
        L"The main window could not be created: " + runtime::DescribeFailure(error);
    MessageBoxW(nullptr, text.c_str(), L"PAIRLY Calc", MB_OK);
    return 1;
  }
  form1.Show();
  return application.Run();
}
