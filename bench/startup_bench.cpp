// Start-up time of the program against bare Win32 windows with two controls: a plain one
// (startup_bare_window.exe) and the same with the program's manifest, which asks for the themed
// common controls (startup_bare_window_themed.exe). They are started in turn, each timed from
// CreateProcess to WaitForInputIdle returning (its first wait for input), then closed through
// its window, as a user closes it. One untimed start of each comes first, so that all find the
// system equally warm, and which starts first rotates from round to round. Prints every time,
// the medians and the program's ratio to each (bench/startup.sh builds them and runs it under
// Wine).
//   startup_bench PROGRAM BARE_WINDOW [OTHER_WINDOW...] [ROUNDS, default 11]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <string>
#include <vector>

#include "runtime/unique_handle.h"

namespace {

using UniqueKernelHandle = runtime::UniqueHandle<HANDLE, CloseHandle>;

constexpr DWORD kStartTimeoutMs = 30000;
constexpr DWORD kCloseTimeoutMs = 10000;

struct Closing {
  DWORD processId;
  int windows;
};

// Asks every visible top-level window of the process to close.
BOOL CALLBACK CloseWindowOf(HWND window, LPARAM parameter) {
  auto& closing = *reinterpret_cast<Closing*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == closing.processId && IsWindowVisible(window)) {
    PostMessageW(window, WM_CLOSE, 0, 0);
    ++closing.windows;
  }
  return TRUE;
}

// Milliseconds from CreateProcess to the program's first wait for input; then closes it and
// waits for it to end. A negative result: it failed to start, or never waited for input.
double TimedStart(const std::wstring& path) {
  std::wstring command = L"\"" + path + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  LARGE_INTEGER frequency, begin, idle;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&begin);
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &started)) {
    std::fprintf(stderr, "startup_bench: cannot start %ls (error %lu)\n", path.c_str(),
                 GetLastError());
    return -1;
  }
  const UniqueKernelHandle process(started.hProcess), thread(started.hThread);
  const DWORD waited = WaitForInputIdle(process.get(), kStartTimeoutMs);
  QueryPerformanceCounter(&idle);

  Closing closing{started.dwProcessId, 0};
  EnumWindows(CloseWindowOf, reinterpret_cast<LPARAM>(&closing));
  if (closing.windows == 0 ||
      WaitForSingleObject(process.get(), kCloseTimeoutMs) != WAIT_OBJECT_0) {
    std::fprintf(stderr, "startup_bench: %ls did not close; ended\n", path.c_str());
    TerminateProcess(process.get(), 1);
    WaitForSingleObject(process.get(), kCloseTimeoutMs);
  }
  if (waited != 0) {
    std::fprintf(stderr, "startup_bench: %ls never waited for input\n", path.c_str());
    return -1;
  }
  return 1000.0 * static_cast<double>(idle.QuadPart - begin.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

// A program's file name without its folder and extension, for the table.
std::wstring ShortName(const std::wstring& path) {
  const std::size_t start = path.find_last_of(L"\\/") + 1;
  const std::size_t dot = path.rfind(L'.');
  return path.substr(start, dot == std::wstring::npos || dot < start ? std::wstring::npos
                                                                      : dot - start);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // The program, then the windows it is measured against, then an optional round count.
  std::vector<std::wstring> programs(argv + 1, argv + argc);
  int rounds = 11;
  if (!programs.empty() && std::iswdigit(programs.back().front())) {
    rounds = std::max(1, _wtoi(programs.back().c_str()));
    programs.pop_back();
  }
  if (programs.size() < 2) {
    std::fprintf(stderr, "usage: startup_bench PROGRAM BARE_WINDOW [OTHER_WINDOW...] [ROUNDS]\n");
    return 2;
  }

  for (const std::wstring& program : programs) {
    if (TimedStart(program) < 0) return 1;
  }
  std::vector<std::vector<double>> times(programs.size());
  std::printf("| round |");
  for (const std::wstring& program : programs) std::printf(" %ls (ms) |", ShortName(program).c_str());
  std::printf("\n| ---: |");
  for (std::size_t i = 0; i < programs.size(); ++i) std::printf(" ---: |");
  std::printf("\n");
  for (int round = 1; round <= rounds; ++round) {
    // Each starts first in turn: whatever the one before leaves behind falls on all alike.
    std::vector<double> row(programs.size());
    for (std::size_t k = 0; k < programs.size(); ++k) {
      const std::size_t which = (k + static_cast<std::size_t>(round)) % programs.size();
      row[which] = TimedStart(programs[which]);
      if (row[which] < 0) return 1;
    }
    std::printf("| %d |", round);
    for (std::size_t i = 0; i < programs.size(); ++i) {
      times[i].push_back(row[i]);
      std::printf(" %.1f |", row[i]);
    }
    std::printf("\n");
  }
  std::vector<double> medians;
  std::printf("| median |");
  for (const std::vector<double>& each : times) {
    medians.push_back(Median(each));
    std::printf(" %.1f |", medians.back());
  }
  std::printf("\n\n");
  for (std::size_t i = 1; i < programs.size(); ++i) {
    std::printf("ratio of the medians (%ls / %ls): %.2f\n", ShortName(programs[0]).c_str(),
                ShortName(programs[i]).c_str(), medians[0] / medians[i]);
  }
  return 0;
}
