// Linked only into the tests' copy of pairly-calc.exe, never into the program itself (which
// reads no environment): makes its start fail on request, as a system short of resources
// would, through a hook on window creation.
//   PAIRLY_START_FAILURE=control  Form1's first control cannot be created
//   PAIRLY_START_FAILURE=memory   no memory can be had from the moment Form1 is created on
#include <windows.h>

#include <optional>
#include <string_view>

#include "failing_allocations.h"

namespace {

enum class Failure { kNone, kControl, kMemory };

Failure requested = Failure::kNone;
std::optional<FailingAllocations> noMemory;

bool IsForm1(HWND window) {
  wchar_t name[16] = {};
  return window && GetClassNameW(window, name, 16) > 0 && std::wstring_view(name) == L"Form1";
}

LRESULT CALLBACK FailCreation(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) {
    const HWND window = reinterpret_cast<HWND>(wParam);
    const CREATESTRUCTW& created = *reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
    if (requested == Failure::kControl && IsForm1(created.hwndParent)) {
      requested = Failure::kNone;  // once: the box that reports it has controls too
      return 1;                    // the window is not created
    }
    if (requested == Failure::kMemory && IsForm1(window)) {
      requested = Failure::kNone;
      noMemory.emplace(1);  // every request of a byte or more, until the program ends
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

[[maybe_unused]] const bool installed = [] {
  wchar_t value[16] = {};
  GetEnvironmentVariableW(L"PAIRLY_START_FAILURE", value, 16);
  const std::wstring_view failure(value);
  if (failure == L"control") requested = Failure::kControl;
  if (failure == L"memory") requested = Failure::kMemory;
  // Set before wWinMain, on the thread that creates the windows.
  return requested != Failure::kNone &&
         SetWindowsHookExW(WH_CBT, FailCreation, nullptr, GetCurrentThreadId()) != nullptr;
}();

}  // namespace
