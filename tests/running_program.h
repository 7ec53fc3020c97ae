// pairly-calc.exe started and driven from another process, as a user (or a screen reader)
// meets it.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "window_test_support.h"

namespace running_program {

using window_test::PumpUntil;

// The executable's path as Windows sees it (the build passes the Unix path; Z: is /).
inline std::wstring ProgramPath() {
  std::string unixPath = PAIRLY_CALC_EXE;
  std::wstring path = L"Z:";
  for (char c : unixPath) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  return path;
}

// The running program, from another process.
class RunningProgram : public testing::Test {
 protected:
  void SetUp() override {
    std::wstring command = L"\"" + ProgramPath() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process_));
    ASSERT_TRUE(
        PumpUntil([&] { return (window_ = FindProgramWindow()) != nullptr; }, nullptr, 10000));
    ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == window_; }));
  }
  void TearDown() override {
    if (WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0) {
      TerminateProcess(process_.hProcess, 99);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  HWND FindProgramWindow() const {
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, L"Form1", L"PAIRLY Calc")) != nullptr) {
      DWORD owner = 0;
      GetWindowThreadProcessId(window, &owner);
      if (owner == process_.dwProcessId && IsWindowVisible(window)) return window;
    }
    return nullptr;
  }
  bool EndsWithCode(DWORD expected) {
    if (WaitForSingleObject(process_.hProcess, 10000) != WAIT_OBJECT_0) return false;
    DWORD code = 1234;
    GetExitCodeProcess(process_.hProcess, &code);
    return code == expected;
  }
  // Navy pixels in Result's box, as the screen shows it.
  int NavyInResult() const {
    POINT origin{120, 152};
    ClientToScreen(window_, &origin);
    HDC screen = GetDC(nullptr);
    int navy = 0;
    for (int y = 0; y < 41; ++y) {
      for (int x = 0; x < 77; ++x) {
        if (GetPixel(screen, origin.x + x, origin.y + y) == RGB(0, 0, 128)) ++navy;
      }
    }
    ReleaseDC(nullptr, screen);
    return navy;
  }

  PROCESS_INFORMATION process_{};
  HWND window_ = nullptr;
};

}  // namespace running_program
