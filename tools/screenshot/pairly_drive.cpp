// pairly_drive: drives a running pairly-calc.exe from outside for the screenshot script.
//   pairly_drive calculate NAME1 NAME2   types the names, presses Alt+C
//   pairly_drive splash                  clicks the cartoon and waits for the splash window
//   pairly_drive exit                    presses Alt+X
// calculate and splash print the shown window's rectangle on screen as "X Y WIDTH HEIGHT".
#include <windows.h>

#include <cstdio>
#include <string>

#include "main_window/form1.h"
#include "window_test_support.h"

namespace {

using namespace window_test;

HWND WaitForWindow(const wchar_t* className) {
  HWND window = nullptr;
  PumpUntil([&] { return (window = FindWindowW(className, nullptr)) && IsWindowVisible(window); },
            nullptr, 10000);
  return window;
}

void PrintRect(HWND window) {
  RECT box;
  GetWindowRect(window, &box);
  std::printf("%ld %ld %ld %ld\n", box.left, box.top, box.right - box.left, box.bottom - box.top);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  HWND form1 = WaitForWindow(L"Form1");
  if (!form1) return 2;
  SetForegroundWindow(form1);
  PumpUntil([&] { return GetForegroundWindow() == form1; });
  if (command == L"calculate" && argc == 4) {
    SendMessageW(GetDlgItem(form1, main_window::kPerson1), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(argv[2]));
    SendMessageW(GetDlgItem(form1, main_window::kPerson2), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(argv[3]));
    PressAlt('C');
    PumpFor(500);
    PrintRect(form1);
  } else if (command == L"splash") {
    ClickAt(form1, POINT{40, 40});
    HWND splash = WaitForWindow(L"frmSplash");
    if (!splash) return 3;
    PumpFor(100);
    PrintRect(splash);
  } else if (command == L"exit") {
    PressAlt('X');
  } else {
    return 1;
  }
  return 0;
}
