// The floor for start-up and memory: a Win32 program that shows one empty window of the panel's
// size and runs a message loop, linked like the panel (static, stripped).
#include <windows.h>

namespace {
LRESULT CALLBACK windowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(h, msg, wp, lp);
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &windowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = L"MinimalWindow";
  if (!RegisterClassW(&wc)) return 1;
  HWND h = CreateWindowExW(0, L"MinimalWindow", L"minimal window", WS_OVERLAPPEDWINDOW, 0, 0, 344,
                           702, nullptr, nullptr, instance, nullptr);
  if (!h) return 1;
  ShowWindow(h, SW_SHOWNORMAL);
  UpdateWindow(h);
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  return 0;
}
