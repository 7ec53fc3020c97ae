// Helpers for the tests that drive real windows under Wine: pumping messages while polling,
// real keyboard and mouse input, finding and answering message boxes, reading pixels.
#pragma once

#include <windows.h>
#include <winternl.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "runtime/form.h"
#include "runtime/unique_handle.h"

namespace window_test {

// Runs the thread's messages, the dialog keys included, until the condition holds or the
// time is up. Returns whether it held; notes a WM_QUIT in *quit.
inline bool PumpUntil(const std::function<bool()>& condition,
                      runtime::Application* application = nullptr, int timeoutMs = 3000,
                      bool* quit = nullptr) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        if (quit) *quit = true;
        continue;
      }
      if (application && application->PreTranslate(message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

// Pumps for a while when the point is that nothing happens.
inline void PumpFor(int ms, runtime::Application* application = nullptr, bool* quit = nullptr) {
  PumpUntil([] { return false; }, application, ms, quit);
}

inline void SendKey(WORD key, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &input, sizeof input);
}

inline void PressKey(WORD key) {
  SendKey(key, false);
  SendKey(key, true);
}

// Alt+letter, as a user presses an access key.
inline void PressAlt(WORD letter) {
  SendKey(VK_MENU, false);
  PressKey(letter);
  SendKey(VK_MENU, true);
}

inline void TypeText(const std::wstring& text) {
  std::vector<INPUT> inputs;
  for (wchar_t c : text) {
    INPUT down{};
    down.type = INPUT_KEYBOARD;
    down.ki.wScan = c;
    down.ki.dwFlags = KEYEVENTF_UNICODE;
    INPUT up = down;
    up.ki.dwFlags |= KEYEVENTF_KEYUP;
    inputs.push_back(down);
    inputs.push_back(up);
  }
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// A left click at a point of a window's client area, through the real mouse.
inline void ClickAt(HWND window, POINT client) {
  ClientToScreen(window, &client);
  const int width = GetSystemMetrics(SM_CXSCREEN) - 1;
  const int height = GetSystemMetrics(SM_CYSCREEN) - 1;
  INPUT inputs[3]{};
  inputs[0].type = INPUT_MOUSE;
  inputs[0].mi.dx = MulDiv(client.x, 65535, width);
  inputs[0].mi.dy = MulDiv(client.y, 65535, height);
  inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  inputs[1] = inputs[0];
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
  inputs[2] = inputs[0];
  inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
  SendInput(3, inputs, sizeof(INPUT));
}

// Puts text on the clipboard, for a paste into a name box as a user pastes: a box reads it in
// its own process, however long the text.
inline bool PutOnClipboard(const std::wstring& text) {
  if (!OpenClipboard(nullptr)) return false;
  EmptyClipboard();
  const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  bool put = false;
  if (memory) {
    std::memcpy(GlobalLock(memory), text.c_str(), bytes);
    GlobalUnlock(memory);
    put = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;  // the clipboard owns it now
    if (!put) GlobalFree(memory);
  }
  CloseClipboard();
  return put;
}

inline std::wstring WindowText(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return text;
}

// Whether a window is centred on its monitor's work area, to the pixel.
inline bool CentredOnScreen(HWND window) {
  RECT outer;
  GetWindowRect(window, &outer);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& work = monitor.rcWork;
  return std::abs((outer.left + outer.right) - (work.left + work.right)) <= 1 &&
         std::abs((outer.top + outer.bottom) - (work.top + work.bottom)) <= 1;
}

struct SeenMessageBox {
  std::wstring title;
  std::wstring text;
};

// Answers every message box of this process with OK as it appears, noting its title and
// text. Works while the thread sits in the box's own modal loop: a thread timer fires there.
class MessageBoxAnswerer {
 public:
  MessageBoxAnswerer() {
    Current() = this;
    timer_ = SetTimer(nullptr, 0, 15, Tick);
  }
  MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
  MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;
  ~MessageBoxAnswerer() {
    KillTimer(nullptr, timer_);
    Current() = nullptr;
  }
  const std::vector<SeenMessageBox>& Seen() const { return seen_; }

 private:
  static MessageBoxAnswerer*& Current() {
    static MessageBoxAnswerer* current = nullptr;
    return current;
  }
  static BOOL CALLBACK Found(HWND window, LPARAM) {
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    if (std::wstring(className) != L"#32770" || !IsWindowVisible(window)) return TRUE;
    for (HWND seen : Current()->answered_) {
      if (seen == window) return TRUE;
    }
    Current()->answered_.push_back(window);
    Current()->seen_.push_back({WindowText(window), WindowText(GetDlgItem(window, 0xFFFF))});
    PostMessageW(window, WM_COMMAND, IDOK, 0);
    return TRUE;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (Current()) EnumThreadWindows(GetCurrentThreadId(), Found, 0);
  }

  UINT_PTR timer_ = 0;
  std::vector<SeenMessageBox> seen_;
  std::vector<HWND> answered_;
};

// The colour of a client-area pixel as the screen shows it.
inline COLORREF PixelAt(HWND window, int x, int y) {
  const runtime::WindowDC dc(window);
  return GetPixel(dc.Get(), x, y);
}

// The pixels of a bitmap resource of this executable, as 0x00BBGGRR, row by row from the top.
struct Picture {
  int width = 0, height = 0;
  std::vector<COLORREF> pixels;
  COLORREF At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

inline Picture PictureOf(HBITMAP bitmap) {
  Picture picture;
  BITMAP size{};
  GetObjectW(bitmap, sizeof size, &size);
  picture.width = size.bmWidth;
  picture.height = size.bmHeight;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = size.bmWidth;
  info.bmiHeader.biHeight = -size.bmHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<DWORD> bgra(static_cast<std::size_t>(size.bmWidth) * size.bmHeight);
  GetDIBits(runtime::WindowDC(nullptr).Get(), bitmap, 0, size.bmHeight, bgra.data(), &info,
            DIB_RGB_COLORS);
  for (DWORD p : bgra) picture.pixels.push_back(RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF));
  return picture;
}

// What `draw` draws into a width x height bitmap compatible with `like`'s DC.
inline Picture DrawnPicture(HDC like, int width, int height, const std::function<void(HDC)>& draw) {
  const runtime::UniqueMemoryDc memory(CreateCompatibleDC(like));
  const runtime::UniqueBitmap bitmap(CreateCompatibleBitmap(like, width, height));
  {
    const runtime::SelectGuard selected(memory.get(), bitmap.get());
    draw(memory.get());
  }
  return PictureOf(bitmap.get());
}

// The client area as the screen shows it.
inline Picture CaptureClient(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  const runtime::WindowDC dc(window);
  return DrawnPicture(dc.Get(), client.right, client.bottom, [&](HDC memory) {
    BitBlt(memory, 0, 0, client.right, client.bottom, dc.Get(), 0, 0, SRCCOPY);
  });
}

// Whether `size` bytes at `address` are committed, readable memory of this process.
inline bool Readable(uintptr_t address, std::size_t size) {
  MEMORY_BASIC_INFORMATION region{};
  if (address == 0 || !VirtualQuery(reinterpret_cast<const void*>(address), &region, sizeof region))
    return false;
  const DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                         PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
  const auto end = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
  return region.State == MEM_COMMIT && (region.Protect & readable) &&
         !(region.Protect & PAGE_GUARD) && address + size <= end;
}

template <typename Value>
Value ReadAt(uintptr_t address) {
  Value value;
  std::memcpy(&value, reinterpret_cast<const void*>(address), sizeof value);
  return value;
}

// Wine's GDI handle table, which gdi32 maps into the process and the process block points to
// (as on Windows). A 32-bit process under 64-bit Wine has it only in its 64-bit process block,
// reached through the 64-bit thread block whose address Wine keeps in the 32-bit thread
// block's GdiBatchCount field. Offsets are those of the documented TEB and PEB layouts.
inline const unsigned char* GdiHandleTable() {
  const auto teb = reinterpret_cast<uintptr_t>(NtCurrentTeb());
  const auto peb = reinterpret_cast<uintptr_t>(NtCurrentTeb()->ProcessEnvironmentBlock);
  if constexpr (sizeof(void*) == 8) {
    return ReadAt<const unsigned char*>(peb + 0xF8);
  } else {
    if (const auto table = ReadAt<uint32_t>(peb + 0x94)) {
      return reinterpret_cast<const unsigned char*>(static_cast<uintptr_t>(table));
    }
    const auto teb64 = static_cast<uintptr_t>(ReadAt<uint32_t>(teb + 0xF70));
    // A thread block names itself at 0x30: a check that this really is one.
    if (!Readable(teb64, 0x68) || ReadAt<uint64_t>(teb64 + 0x30) != teb64) return nullptr;
    const auto peb64 = static_cast<uintptr_t>(ReadAt<uint64_t>(teb64 + 0x60));
    if (!Readable(peb64, 0x100)) return nullptr;
    return reinterpret_cast<const unsigned char*>(
        static_cast<uintptr_t>(ReadAt<uint64_t>(peb64 + 0xF8)));
  }
}

// GDI objects of this process. Wine's GetGuiResources counts nothing; there the entries in use
// in its GDI handle table are counted instead: 24 bytes each, the object type at byte 14.
// (GCC takes the TEB read through the segment register for an out-of-bounds array access.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
inline DWORD GdiObjects() {
  const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (counted != 0) return counted;
  constexpr std::size_t kEntries = 0x4000, kEntrySize = 24;
  const unsigned char* table = GdiHandleTable();
  if (!Readable(reinterpret_cast<uintptr_t>(table), kEntries * kEntrySize)) return 0;
  DWORD inUse = 0;
  for (std::size_t entry = 0; entry < kEntries; ++entry)
    inUse += table[entry * kEntrySize + 14] != 0;
  return inUse;
}
#pragma GCC diagnostic pop

}  // namespace window_test
