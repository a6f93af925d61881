// Program main in the test's own process: the "/ih" switch and its box, a normal start that
// ends with a close, and the texts of both whatever the system's ANSI code page is.
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "elements/event.h"
#include "elements/win/app.h"
#include "panel/program.h"
#include "panel/scheme.h"
#include "tests/native/fake_serial.h"
#include "tests/win/runtime_reset.h"

namespace panel {
namespace {

// What a watcher saw while the program ran: it looks every 50 ms from a thread timer, which
// runs inside whatever message loop is going on (the box's or the panel's).
struct Sighting {
  bool infoBox = false;
  std::wstring boxText, boxCaption;
  bool panelWindow = false;
  bool closedPanel = false;
};
Sighting seen;

std::wstring textOf(HWND h) {
  wchar_t buf[512]{};
  GetWindowTextW(h, buf, 512);
  return buf;
}

void CALLBACK watch(HWND, UINT, UINT_PTR, DWORD) {
  if (HWND box = FindWindowW(L"#32770", L"Pultix Info")) {
    seen.infoBox = true;
    seen.boxCaption = textOf(box);
    wchar_t buf[256]{};
    GetDlgItemTextW(box, 0xFFFF, buf, 256);  // the box's text line
    seen.boxText = buf;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  }
  if (theScheme && theScheme->MainForm->handle() && !seen.closedPanel) {
    HWND main = theScheme->MainForm->handle();
    seen.panelWindow = IsWindowVisible(main) != FALSE;
    seen.closedPanel = true;
    PostMessageW(main, WM_CLOSE, 0, 0);
  }
}

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    seen = {};
    testing::resetElementRuntime();
    timer_ = SetTimer(nullptr, 0, 50, &watch);
  }
  void TearDown() override { KillTimer(nullptr, timer_); }
  UINT_PTR timer_ = 0;
  serial::FakeSerialDevice device;
};

TEST_F(ProgramTest, InfoSwitchShowsTheBoxAndNoPanel) {
  for (const char* line : {"panel.exe /ih", "\"C:\\x\\panel.exe\" \"/ih\"", "panel.exe \"\" /ih",
                           "panel.exe /ih more"}) {
    seen = {};
    EXPECT_EQ(runProgram(line, device), 0) << line;
    EXPECT_TRUE(seen.infoBox) << line;
    EXPECT_EQ(seen.boxText, L"Сделано в Pultix.") << line;
    EXPECT_EQ(seen.boxCaption, L"Pultix Info") << line;
    EXPECT_FALSE(seen.closedPanel) << line;
  }
  EXPECT_TRUE(device.calls.empty());
}

TEST_F(ProgramTest, OtherArgumentsStartThePanelAndACloseEndsItWithZero) {
  for (const char* line : {"panel.exe", "panel.exe /IH", "panel.exe -ih", "panel.exe /ih2",
                           "panel.exe /i", "panel.exe x /ih"}) {
    seen = {};
    elements::win::loopState() = {};
    EXPECT_EQ(runProgram(line, device), 0) << line;
    EXPECT_FALSE(seen.infoBox) << line;
    EXPECT_TRUE(seen.panelWindow) << line;
    EXPECT_EQ(theScheme, nullptr) << "the scheme is destroyed at the end";
  }
  EXPECT_TRUE(device.calls.empty());
}

// The panel's texts as the windows hold them, read through the wide calls.
TEST_F(ProgramTest, TextsReadTheSameInAnyCodePage) {
  ::testing::Test::RecordProperty("acp", static_cast<int>(GetACP()));
  if (const char* expected = std::getenv("PANEL_EXPECT_ACP")) {
    EXPECT_EQ(GetACP(), static_cast<UINT>(std::atoi(expected)));
  }
  elements::win::loopState() = {};
  TClassMainForm_20978D0* s = TClassMainForm_20978D0::create(device);
  EXPECT_EQ(textOf(s->MainForm->handle()), L"ПУЛЬТ УПРАВЛЕНИЯ ШАССИ");
  EXPECT_EQ(textOf(s->CommandLabel->handle()), L"СИМВОЛ ПЕРЕДАЧИ КОМАНДЫ");
  EXPECT_EQ(textOf(s->SpeedButton->handle()), L"СКОРОСТЬ");
  EXPECT_EQ(textOf(s->ForwardButton->handle()), L"ВПЕРЁД");
  wchar_t item[64]{};
  SendMessageW(s->PortList->handle(), CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(item));
  EXPECT_STREQ(item, L"ПОРТ НЕ ОПРЕДЕЛЁН");
  delete s;
  elements::StartList::clear();
}

}  // namespace
}  // namespace panel
