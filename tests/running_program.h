// pairly-calc.exe started and driven from another process, as a user (or a screen reader)
// meets it.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "window_test_support.h"

namespace running_program {

using window_test::PumpUntil;

// An executable's path as Windows sees it (the build passes the Unix path; Z: is /).
inline std::wstring WindowsPath(std::string_view unixPath) {
  std::wstring path = L"Z:";
  for (char c : unixPath) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  return path;
}
inline std::wstring ProgramPath() {
  return WindowsPath(PAIRLY_CALC_EXE);
}

// Starts a program with no arguments; false if it could not be started.
inline bool Start(const std::wstring& path, PROCESS_INFORMATION& process) {
  std::wstring command = L"\"" + path + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  return CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process) != FALSE;
}

// Whether a process ends within the time given, with the exit code expected.
inline bool EndsWithCode(HANDLE process, DWORD expected, DWORD timeoutMs = 10000) {
  if (WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) return false;
  DWORD code = 1234;
  GetExitCodeProcess(process, &code);
  return code == expected;
}

struct MessageBoxSearch {
  DWORD processId;
  HWND found = nullptr;
};

inline BOOL CALLBACK FindMessageBox(HWND window, LPARAM data) {
  auto& search = *reinterpret_cast<MessageBoxSearch*>(data);
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search.processId || std::wstring_view(className) != L"#32770" ||
      !IsWindowVisible(window)) {
    return TRUE;
  }
  search.found = window;
  return FALSE;
}

// A message box the process shows, else null.
inline HWND MessageBoxOf(DWORD processId) {
  MessageBoxSearch search{processId};
  EnumWindows(FindMessageBox, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A message box's prompt: its static text, whose id is 0xFFFF.
inline std::wstring PromptOf(HWND box) {
  return window_test::WindowText(GetDlgItem(box, 0xFFFF));
}

// The running program, from another process.
class RunningProgram : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Start(ProgramPath(), process_));
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
    return running_program::EndsWithCode(process_.hProcess, expected);
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
