// Keyboard focus navigation on the real panel, driven by key messages.
//
// Keys are posted to the focused control and taken through the program's own loop
// (drainMessages: TranslateMessage, then DispatchMessage), so each one takes the road a real
// key takes from the queue, Tab characters included; the key-up goes to whichever control has
// the focus by then, as a real one would. Posting needs no foreground window or X input focus,
// which under Wine on a bare X server come and go with timing. Held modifiers are put in the
// thread's keyboard state, which is what GetKeyState reads.
//
// Every window of the panel is watched from its creation: a subclass put in under the kit's own
// records the key messages that get past the kit to the control itself.
#include <windows.h>

#include <commctrl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/win/panel_fixture.h"

namespace paneltest {
namespace {

struct KeySeen {
  HWND window;
  UINT message;
  WPARAM key;
};

constexpr UINT_PTR kWatchId = 0x4B45;
std::vector<KeySeen>* keysSeen = nullptr;

LRESULT CALLBACK watchKeys(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
  switch (msg) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_CHAR:
    case WM_SYSCHAR:
      if (keysSeen) keysSeen->push_back({h, msg, wp});
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(h, &watchKeys, kWatchId);
      break;
    default:
      break;
  }
  return DefSubclassProc(h, msg, wp, lp);
}

// Installed while the scheme builds: each window gets the watch before the kit subclasses it,
// so the watch sits between the kit and the control's own procedure.
LRESULT CALLBACK watchCreation(int code, WPARAM wp, LPARAM lp) {
  if (code == HCBT_CREATEWND)
    SetWindowSubclass(reinterpret_cast<HWND>(wp), &watchKeys, kWatchId, 0);
  return CallNextHookEx(nullptr, code, wp, lp);
}

struct Mods {
  bool shift = false, ctrl = false, alt = false;
};

void holdModifiers(Mods m) {
  BYTE state[256]{};
  GetKeyboardState(state);
  auto set = [&](int vk, bool down) { state[vk] = down ? 0x80 : 0; };
  set(VK_SHIFT, m.shift);
  set(VK_LSHIFT, m.shift);
  set(VK_CONTROL, m.ctrl);
  set(VK_LCONTROL, m.ctrl);
  set(VK_MENU, m.alt);
  set(VK_LMENU, m.alt);
  SetKeyboardState(state);
}

bool isExtended(WPARAM vk) {
  switch (vk) {
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT:
      return true;
    default:
      return false;
  }
}

const char* keyName(WPARAM vk) {
  switch (vk) {
    case VK_TAB:
      return "Tab";
    case VK_LEFT:
      return "Left";
    case VK_RIGHT:
      return "Right";
    case VK_UP:
      return "Up";
    case VK_DOWN:
      return "Down";
    case VK_PRIOR:
      return "PageUp";
    case VK_NEXT:
      return "PageDown";
    default:
      return "key";
  }
}

constexpr WPARAM kNavigationKeys[] = {VK_TAB, VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, VK_PRIOR, VK_NEXT};

class FocusNavigationTest : public PanelFixture {
 protected:
  void SetUp() override {
    keysSeen = &seen;
    HHOOK hook = SetWindowsHookExW(WH_CBT, &watchCreation, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    build();
    UnhookWindowsHookEx(hook);
    start();
    seen.clear();
  }

  void TearDown() override {
    holdModifiers({});
    PanelFixture::TearDown();
    keysSeen = nullptr;
  }

  // One key stroke, down and up, with the given modifiers held. With Alt alone held the
  // keyboard reports system keys.
  void press(WPARAM vk, Mods m = {}) {
    holdModifiers(m);
    bool system = m.alt && !m.ctrl;
    auto scan = static_cast<LPARAM>(MapVirtualKeyW(static_cast<UINT>(vk), MAPVK_VK_TO_VSC));
    LPARAM bits = 1 | (scan << 16) | (isExtended(vk) ? (1 << 24) : 0) | (m.alt ? (1 << 29) : 0);
    PostMessageW(GetFocus(), system ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, bits);
    pump();
    PostMessageW(GetFocus(), system ? WM_SYSKEYUP : WM_KEYUP, vk,
                 bits | static_cast<LPARAM>(0xC0000000u));
    pump();
    holdModifiers({});
  }

  void focus(Ctl c) {
    SetFocus(hwndOf(c));
    pump();
    ASSERT_EQ(GetFocus(), hwndOf(c)) << nameOf(c);
    seen.clear();
  }

  // The control that has the focus, by name; "none" or "other" when it is not a control.
  std::string focused() const {
    HWND f = GetFocus();
    for (Ctl c : kAllControls) {
      if (hwndOf(c) == f) return nameOf(c);
    }
    return f ? (f == mainWindow() ? "MainForm" : "other") : "none";
  }

  // Whether any key message for `vk`, or a Tab character, reached a window of the panel.
  bool anyWindowSaw(WPARAM vk) const {
    return std::any_of(seen.begin(), seen.end(), [&](const KeySeen& k) {
      bool isChar = k.message == WM_CHAR || k.message == WM_SYSCHAR;
      return isChar ? (vk == VK_TAB && k.key == L'\t') : k.key == vk;
    });
  }

  bool sawAt(Ctl c, UINT message, WPARAM vk) const {
    return std::any_of(seen.begin(), seen.end(), [&](const KeySeen& k) {
      return k.window == hwndOf(c) && k.message == message && k.key == vk;
    });
  }

  LRESULT selection() const { return SendMessageW(hwndOf(Ctl::PortList), CB_GETCURSEL, 0, 0); }

  DWORD caret() const {
    DWORD start = 0, end = 0;
    SendMessageW(hwndOf(Ctl::CommandEcho), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    return start;
  }

  std::vector<KeySeen> seen;
};

TEST_F(FocusNavigationTest, FocusStartsInThePortList) {
  EXPECT_EQ(focused(), "PortList");
  EXPECT_EQ(GetActiveWindow(), mainWindow());
}

struct Move {
  Ctl from;
  WPARAM key;
  bool shift;
  Ctl to;
};

// Moves in candidate order, not by the screen: the list, the echo field and the buttons, with
// every key group that navigates from each.
const Move kMoves[] = {
    {Ctl::PortList, VK_TAB, false, Ctl::ForwardButton},
    {Ctl::PortList, VK_TAB, true, Ctl::SpeedButton},
    {Ctl::PortList, VK_RIGHT, false, Ctl::ForwardButton},
    {Ctl::PortList, VK_LEFT, false, Ctl::SpeedButton},
    {Ctl::CommandEcho, VK_UP, false, Ctl::ForwardButton},
    {Ctl::CommandEcho, VK_DOWN, false, Ctl::BackButton},
    {Ctl::CommandEcho, VK_PRIOR, false, Ctl::ForwardButton},
    {Ctl::CommandEcho, VK_NEXT, false, Ctl::BackButton},
    {Ctl::CommandEcho, VK_TAB, false, Ctl::BackButton},
    {Ctl::CommandEcho, VK_TAB, true, Ctl::ForwardButton},
    {Ctl::SpeedButton, VK_TAB, false, Ctl::PortList},
    {Ctl::SpeedButton, VK_UP, false, Ctl::LeftButton},
    {Ctl::SpeedButton, VK_NEXT, false, Ctl::PortList},
    {Ctl::RightButton, VK_LEFT, false, Ctl::BackButton},
    {Ctl::LeftButton, VK_RIGHT, false, Ctl::SpeedButton},
    {Ctl::ForwardButton, VK_DOWN, false, Ctl::CommandEcho},
    {Ctl::ForwardButton, VK_PRIOR, false, Ctl::PortList},
    {Ctl::BackButton, VK_TAB, true, Ctl::CommandEcho},
};

TEST_F(FocusNavigationTest, NavigationKeysMoveInCreationOrderAndReachNoControl) {
  const std::wstring echoText = L"ab";
  SetWindowTextW(hwndOf(Ctl::CommandEcho), echoText.c_str());
  for (const Move& m : kMoves) {
    SCOPED_TRACE(std::string(nameOf(m.from)) + (m.shift ? " Shift+" : " ") + keyName(m.key));
    focus(m.from);
    press(m.key, {m.shift, false, false});
    EXPECT_EQ(focused(), nameOf(m.to));
    // Consumed: neither the key-down nor the key-up nor a Tab character got to any control.
    EXPECT_FALSE(anyWindowSaw(m.key));
    EXPECT_EQ(selection(), 0);
    EXPECT_EQ(textOf(hwndOf(Ctl::CommandEcho)), echoText);
  }
  EXPECT_TRUE(fake.calls.empty());
}

TEST_F(FocusNavigationTest, SevenTabsComeBackAndTheLabelIsNeverFocused) {
  for (bool shift : {false, true}) {
    for (Ctl start : kFocusable) {
      SCOPED_TRACE(std::string(nameOf(start)) + (shift ? " Shift+Tab" : " Tab"));
      focus(start);
      std::vector<std::string> visited;
      for (int i = 0; i < 7; ++i) {
        press(VK_TAB, {shift, false, false});
        visited.push_back(focused());
      }
      EXPECT_EQ(visited.back(), nameOf(start));
      std::vector<std::string> all;
      for (Ctl c : kFocusable)
        all.push_back(nameOf(c));
      EXPECT_THAT(visited, ::testing::UnorderedElementsAreArray(all));
    }
  }
  EXPECT_FALSE(GetWindowLongPtrW(hwndOf(Ctl::CommandLabel), GWL_STYLE) & WS_TABSTOP);
}

TEST_F(FocusNavigationTest, DownInThePortListSelectsCom1AndReopensThePort) {
  ASSERT_EQ(focused(), "PortList");
  press(VK_DOWN);
  EXPECT_EQ(focused(), "PortList");
  EXPECT_EQ(selection(), 1);
  EXPECT_TRUE(sawAt(Ctl::PortList, WM_KEYDOWN, VK_DOWN));
  EXPECT_THAT(opens(), ::testing::ElementsAre("\\\\.\\Com1"));

  press(VK_UP);
  EXPECT_EQ(focused(), "PortList");
  EXPECT_EQ(selection(), 0);
  EXPECT_THAT(opens(), ::testing::ElementsAre("\\\\.\\Com1", "\\\\.\\Com0"));
}

TEST_F(FocusNavigationTest, RightInThePortListMovesToForwardAndLeavesTheSelection) {
  choosePort(2);
  fake.calls.clear();
  focus(Ctl::PortList);
  press(VK_RIGHT);
  EXPECT_EQ(focused(), "ForwardButton");
  EXPECT_EQ(selection(), 2);
  EXPECT_TRUE(fake.calls.empty()) << "no reopen";
}

TEST_F(FocusNavigationTest, PageKeysInThePortListChangeTheSelection) {
  // A page is what the opened list shows; it has its size once it has been opened.
  HWND list = hwndOf(Ctl::PortList);
  SendMessageW(list, CB_SHOWDROPDOWN, TRUE, 0);
  SendMessageW(list, CB_SHOWDROPDOWN, FALSE, 0);
  focus(Ctl::PortList);
  press(VK_NEXT);
  EXPECT_EQ(focused(), "PortList");
  EXPECT_GT(selection(), 0);
  EXPECT_TRUE(sawAt(Ctl::PortList, WM_KEYDOWN, VK_NEXT));
  EXPECT_EQ(opens().size(), 1u);
}

TEST_F(FocusNavigationTest, LeftAndRightMoveTheCaretInTheEchoField) {
  HWND echo = hwndOf(Ctl::CommandEcho);
  SetWindowTextW(echo, L"abcd");
  focus(Ctl::CommandEcho);
  SendMessageW(echo, EM_SETSEL, 2, 2);
  press(VK_RIGHT);
  EXPECT_EQ(caret(), 3u);
  press(VK_LEFT);
  press(VK_LEFT);
  EXPECT_EQ(caret(), 1u);
  EXPECT_EQ(focused(), "CommandEcho");
  EXPECT_TRUE(sawAt(Ctl::CommandEcho, WM_KEYDOWN, VK_LEFT));
  EXPECT_TRUE(sawAt(Ctl::CommandEcho, WM_KEYUP, VK_RIGHT));

  // Up leaves the caret where it was: the field never sees it.
  press(VK_UP);
  EXPECT_EQ(focused(), "ForwardButton");
  EXPECT_EQ(caret(), 1u);
  EXPECT_EQ(textOf(echo), L"abcd");
}

TEST_F(FocusNavigationTest, WithCtrlOrAltHeldEveryKeyIsTheControls) {
  const Mods held[] = {
      {false, true, false}, {false, false, true}, {false, true, true}, {true, true, false}};
  for (Mods m : held) {
    for (WPARAM key : kNavigationKeys) {
      SCOPED_TRACE(std::string(m.shift ? "Shift+" : "") + (m.ctrl ? "Ctrl+" : "") +
                   (m.alt ? "Alt+" : "") + keyName(key));
      focus(Ctl::ForwardButton);
      press(key, m);
      EXPECT_EQ(focused(), "ForwardButton");
      UINT down = m.alt && !m.ctrl ? WM_SYSKEYDOWN : WM_KEYDOWN;
      EXPECT_TRUE(sawAt(Ctl::ForwardButton, down, key)) << "the key goes to the control";
    }
  }
  // In the echo field Ctrl+Up is the field's too.
  focus(Ctl::CommandEcho);
  press(VK_UP, {false, true, false});
  EXPECT_EQ(focused(), "CommandEcho");
}

TEST_F(FocusNavigationTest, FocusIsWhereItWasAfterThePanelIsActivatedAgain) {
  focus(Ctl::BackButton);
  press(VK_RIGHT);
  ASSERT_EQ(focused(), "RightButton");

  // Another top-level window of this program takes the activation, and gives it back.
  HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 400, 0,
                               200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(other, nullptr);
  SetForegroundWindow(other);
  SetActiveWindow(other);
  pump();
  EXPECT_EQ(GetActiveWindow(), other);
  EXPECT_NE(focused(), "RightButton");

  SetForegroundWindow(mainWindow());
  SetActiveWindow(mainWindow());
  pump();
  EXPECT_EQ(GetActiveWindow(), mainWindow());
  EXPECT_EQ(focused(), "RightButton");

  // The main window itself being given the focus passes it on too.
  SetFocus(mainWindow());
  pump();
  EXPECT_EQ(focused(), "RightButton");
  DestroyWindow(other);
  pump();
}

TEST_F(FocusNavigationTest, MovingTheFocusSendsNothing) {
  choosePort(3);
  ASSERT_THAT(opens(), ::testing::ElementsAre("\\\\.\\Com3"));
  for (WPARAM key : {VK_TAB, VK_RIGHT, VK_DOWN, VK_NEXT}) {
    focus(Ctl::ForwardButton);
    for (int i = 0; i < 7; ++i) {
      // From the list and the echo field, keys they keep for themselves would do more than move.
      if (focused() == "PortList" || focused() == "CommandEcho") {
        press(VK_TAB);
        continue;
      }
      press(key);
    }
  }
  EXPECT_TRUE(writes().empty());
  EXPECT_EQ(textOf(hwndOf(Ctl::CommandEcho)), L"");
  EXPECT_THAT(opens(), ::testing::ElementsAre("\\\\.\\Com3"));
}

}  // namespace
}  // namespace paneltest
