// Start-up time of the program against a bare Win32 window with two controls
// (startup_bare_window.exe). The two are started in turn, each timed from CreateProcess to
// WaitForInputIdle returning (its first wait for input), then closed through its window, as a
// user closes it. One untimed start of each comes first, so that both find the system equally
// warm, and the order alternates from one round to the next. Prints every time, both medians
// and their ratio (bench/startup.sh builds it and runs it under Wine).
//   startup_bench PROGRAM BARE_WINDOW [ROUNDS, default 11]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
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

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "usage: startup_bench PROGRAM BARE_WINDOW [ROUNDS]\n");
    return 2;
  }
  const std::wstring program = argv[1], bare = argv[2];
  const int rounds = argc == 4 ? std::max(1, _wtoi(argv[3])) : 11;

  if (TimedStart(program) < 0 || TimedStart(bare) < 0) return 1;
  std::vector<double> programTimes, bareTimes;
  std::printf("| round | program (ms) | bare window (ms) |\n| ---: | ---: | ---: |\n");
  for (int round = 1; round <= rounds; ++round) {
    double programMs, bareMs;
    if (round % 2) {
      programMs = TimedStart(program);
      bareMs = TimedStart(bare);
    } else {
      bareMs = TimedStart(bare);
      programMs = TimedStart(program);
    }
    if (programMs < 0 || bareMs < 0) return 1;
    programTimes.push_back(programMs);
    bareTimes.push_back(bareMs);
    std::printf("| %d | %.1f | %.1f |\n", round, programMs, bareMs);
  }
  const double programMedian = Median(programTimes), bareMedian = Median(bareTimes);
  std::printf("| median | %.1f | %.1f |\n\n", programMedian, bareMedian);
  std::printf("ratio of the medians (program / bare window): %.2f\n", programMedian / bareMedian);
  return 0;
}
