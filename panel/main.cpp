// Program entry of the panel.
#include <windows.h>

namespace {

LRESULT CALLBACK mainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = mainProc;
  wc.hInstance = instance;
  wc.lpszClassName = L"PanelForm";
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  if (!RegisterClassW(&wc)) return 1;
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"ПУЛЬТ УПРАВЛЕНИЯ ШАССИ",
                              WS_CAPTION | WS_SYSMENU, 0, 0, 344, 702, nullptr, nullptr, instance,
                              nullptr);
  if (!hwnd) return 1;
  ShowWindow(hwnd, show);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
