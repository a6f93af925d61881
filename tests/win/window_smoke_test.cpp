// Proves the Wine path: a real window is created, shown and read back.
#include <windows.h>

#include <gtest/gtest.h>

namespace {

TEST(WindowSmoke, CreatesAndReadsBackATopLevelWindow) {
  HWND hwnd = CreateWindowExW(0, L"STATIC", L"ПУЛЬТ", WS_OVERLAPPED | WS_CAPTION, 10, 20, 300, 200,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(hwnd, nullptr);
  ShowWindow(hwnd, SW_SHOWNOACTIVATE);
  RECT r{};
  ASSERT_TRUE(GetWindowRect(hwnd, &r));
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.top, 20);
  EXPECT_EQ(r.right - r.left, 300);
  EXPECT_EQ(r.bottom - r.top, 200);
  wchar_t text[16]{};
  GetWindowTextW(hwnd, text, 16);
  EXPECT_STREQ(text, L"ПУЛЬТ");
  EXPECT_TRUE(IsWindowVisible(hwnd));
  DestroyWindow(hwnd);
}

}  // namespace
