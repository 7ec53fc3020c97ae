// The yardstick for start-up time: a bare Win32 window with two controls (a text box and a
// button), shown, then waiting for input until it is closed. Nothing else: no resources,
// fonts, pictures or common controls.
#include <windows.h>

namespace {

struct Control {
  const wchar_t* className;
  const wchar_t* text;
  DWORD style;
  RECT box;  // left, top, right, bottom
};

constexpr Control kControls[] = {
    {L"EDIT", L"", WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP, {8, 8, 153, 36}},
    {L"BUTTON", L"OK", BS_PUSHBUTTON | WS_TABSTOP, {8, 48, 97, 73}},
};

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = L"BareWindow";
  if (!RegisterClassExW(&windowClass)) return 1;

  HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"Bare window",
                                WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT,
                                CW_USEDEFAULT, 334, 348, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  for (const Control& control : kControls) {
    const RECT& box = control.box;
    if (!CreateWindowExW(0, control.className, control.text, WS_CHILD | WS_VISIBLE | control.style,
                         box.left, box.top, box.right - box.left, box.bottom - box.top, window,
                         nullptr, instance, nullptr)) {
      return 1;
    }
  }
  ShowWindow(window, show);
  UpdateWindow(window);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
