// The command network of the running panel: real mouse messages on the real button windows,
// and the exact writes and echo text they cause.
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "elements/win/text.h"
#include "tests/win/scheme_fixture.h"

namespace panel::testing {
namespace {

using elements::link;
using elements::THI_Event;
using Strings = std::vector<std::string>;

THIButton* buttonOf(TClassMainForm_20978D0& s, const char* name) {
  std::string n = name;
  if (n == "ВПЕРЁД") return s.ForwardButton.get();
  if (n == "НАЗАД") return s.BackButton.get();
  if (n == "ВПРАВО") return s.RightButton.get();
  if (n == "ВЛЕВО") return s.LeftButton.get();
  return s.SpeedButton.get();
}

TEST_F(SchemeTest, LinkTableAsData) {
  TClassMainForm_20978D0& s = *scheme;
  struct Row {
    const char* what;
    const THI_Event& actual;
    THI_Event expected;
  };
  const Row rows[] = {
      {"1", s.ForwardButton->onMouseDown, link<&THIStrCat::doConcatenate>(*s.ForwardCmd, 0)},
      {"2", s.BackButton->onMouseDown, link<&THIStrCat::doConcatenate>(*s.BackCmd, 0)},
      {"3", s.RightButton->onMouseDown, link<&THIStrCat::doConcatenate>(*s.RightCmd, 0)},
      {"4", s.LeftButton->onMouseDown, link<&THIStrCat::doConcatenate>(*s.LeftCmd, 0)},
      {"5", s.SpeedButton->onMouseDown, link<&THIStrCat::doConcatenate>(*s.SpeedCmd, 0)},
      {"6", s.ForwardButton->onMouseUp, link<&THIHub::doInput>(*s.ReleaseHub, 0)},
      {"7", s.BackButton->onMouseUp, link<&THIHub::doInput>(*s.ReleaseHub, 2)},
      {"8", s.RightButton->onMouseUp, link<&THIHub::doInput>(*s.ReleaseHub, 3)},
      {"9", s.LeftButton->onMouseUp, link<&THIHub::doInput>(*s.ReleaseHub, 4)},
      {"10", s.SpeedButton->onMouseUp, link<&THIHub::doInput>(*s.ReleaseHub, 5)},
      {"11", s.ReleaseHub->outputs.at(0), link<&THIStrCat::doConcatenate>(*s.StopCmd, 0)},
      {"12", s.StopCmd->outputEvent, link<&THIHub::doInput>(*s.SendHub, 0)},
      {"13", s.ForwardCmd->outputEvent, link<&THIHub::doInput>(*s.SendHub, 1)},
      {"14", s.BackCmd->outputEvent, link<&THIHub::doInput>(*s.SendHub, 3)},
      {"15", s.RightCmd->outputEvent, link<&THIHub::doInput>(*s.SendHub, 4)},
      {"16", s.LeftCmd->outputEvent, link<&THIHub::doInput>(*s.SendHub, 5)},
      {"17", s.SpeedCmd->outputEvent, link<&THIHub::doInput>(*s.SendHub, 6)},
      {"18", s.SendHub->outputs.at(0), link<&THIHub::doInput>(*s.OutputHub, 0)},
      {"19", s.OutputHub->outputs.at(0), link<&THICOM::writeText>(*s.ComPort, 3)},
      {"20", s.OutputHub->outputs.at(1), link<&THIEdit::doText>(*s.CommandEcho, 1)},
      {"21", s.PortList->onSelect, link<&THICOM::reopenPort>(*s.ComPort, 0)},
      {"22", s.ComPort->portReadLink, link<&THIComboBox::doCurrentIndex>(*s.PortList, 2)},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(r.actual.target, r.expected.target) << "link " << r.what;
    EXPECT_EQ(r.actual.method, r.expected.method) << "link " << r.what;
    EXPECT_EQ(r.actual.index, r.expected.index) << "link " << r.what;
  }
  EXPECT_EQ(s.SendHub->outputCount(), 1);
  EXPECT_EQ(s.ReleaseHub->outputCount(), 1);
  EXPECT_EQ(s.OutputHub->outputCount(), 2);
  // Everything else stays unlinked.
  for (const THIButton* b : {s.ForwardButton.get(), s.BackButton.get(), s.RightButton.get(),
                             s.LeftButton.get(), s.SpeedButton.get()}) {
    EXPECT_FALSE(b->onClick.connected());
    EXPECT_FALSE(b->onDblClick.connected());
  }
  EXPECT_FALSE(s.ComPort->writtenLink.connected());
  EXPECT_FALSE(s.ComPort->baudReadLink.connected());
  EXPECT_FALSE(s.MainForm->onClose.connected());
  EXPECT_FALSE(s.MainForm->closeQueryLink.connected());
  EXPECT_FALSE(s.CommandEcho->onChange.connected());
  for (const THIStrCat* c : {s.StopCmd.get(), s.ForwardCmd.get(), s.BackCmd.get()}) {
    EXPECT_FALSE(c->firstPartReadLink.connected());
    EXPECT_FALSE(c->secondPartReadLink.connected());
  }
}

TEST_F(SchemeTest, EveryButtonWithEveryMouseButtonWritesItsCommandThenStop) {
  start();
  choose(3);
  ASSERT_EQ(opens(), Strings{"\\\\.\\Com3"});
  const struct {
    const char* caption;
    const char* press;
  } buttons[] = {{"ВПЕРЁД", "1\n"},
                 {"НАЗАД", "2\n"},
                 {"ВПРАВО", "3\n"},
                 {"ВЛЕВО", "4\n"},
                 {"СКОРОСТЬ", "6\n"}};
  const struct {
    UINT down, up;
  } mouseButtons[] = {{WM_LBUTTONDOWN, WM_LBUTTONUP},
                      {WM_RBUTTONDOWN, WM_RBUTTONUP},
                      {WM_MBUTTONDOWN, WM_MBUTTONUP}};
  Strings expected;
  for (const auto& b : buttons) {
    for (const auto& m : mouseButtons) {
      HWND h = buttonOf(*scheme, b.caption)->handle();
      mouse(h, m.down);
      expected.push_back(b.press);
      EXPECT_EQ(writes(), expected) << b.caption << " down " << m.down;
      EXPECT_EQ(echoText(), elements::win::widen1251(b.press)) << b.caption;
      mouse(h, m.up);
      expected.push_back("5\n");
      EXPECT_EQ(writes(), expected) << b.caption << " up " << m.up;
      EXPECT_EQ(echoText(), L"5\n") << b.caption;
    }
  }
  // The serial write always comes first: at each write the echo still shows the previous one.
  ASSERT_EQ(device.echoAtWrite.size(), expected.size());
  EXPECT_EQ(device.echoAtWrite[0], L"");
  for (std::size_t i = 1; i < expected.size(); ++i)
    EXPECT_EQ(device.echoAtWrite[i], elements::win::widen1251(expected[i - 1])) << i;
  EXPECT_TRUE(device.misuse.empty());
}

TEST_F(SchemeTest, BeforeAnyPortIsChosenPressesOnlyEcho) {
  start();
  EXPECT_EQ(echoText(), L"");
  mouse(scheme->BackButton->handle(), WM_LBUTTONDOWN);
  EXPECT_EQ(echoText(), L"2\n");
  mouse(scheme->BackButton->handle(), WM_LBUTTONUP);
  EXPECT_EQ(echoText(), L"5\n");
  EXPECT_TRUE(device.calls.empty());
}

TEST_F(SchemeTest, OtherMouseInputAndKeyboardClicksWriteNothing) {
  start();
  choose(3);
  HWND fwd = scheme->ForwardButton->handle();
  SendMessageW(fwd, WM_XBUTTONDOWN, MAKEWPARAM(MK_XBUTTON1, XBUTTON1), MAKELPARAM(5, 5));
  SendMessageW(fwd, WM_XBUTTONUP, MAKEWPARAM(0, XBUTTON1), MAKELPARAM(5, 5));
  SendMessageW(fwd, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(5, 5));
  SendMessageW(fwd, WM_MOUSEMOVE, 0, MAKELPARAM(6, 6));
  pump();
  // A click made with the keyboard: space on the focused button.
  SetFocus(fwd);
  SendMessageW(fwd, WM_KEYDOWN, VK_SPACE, 0x00390001);
  SendMessageW(fwd, WM_KEYUP, VK_SPACE, 0xC0390001);
  pump();
  EXPECT_EQ(writes(), Strings{});
  EXPECT_EQ(echoText(), L"");
}

TEST_F(SchemeTest, DoubleClickPressWritesNothingButItsReleaseStops) {
  start();
  choose(3);
  HWND fwd = scheme->ForwardButton->handle();
  mouse(fwd, WM_LBUTTONDOWN);
  mouse(fwd, WM_LBUTTONUP);
  mouse(fwd, WM_LBUTTONDBLCLK);
  mouse(fwd, WM_LBUTTONUP);
  EXPECT_EQ(writes(), (Strings{"1\n", "5\n", "5\n"}));
}

TEST_F(SchemeTest, HoldingWritesThePressOnce) {
  start();
  choose(3);
  HWND fwd = scheme->ForwardButton->handle();
  mouse(fwd, WM_LBUTTONDOWN);
  for (int i = 0; i < 5; ++i) {
    SendMessageW(fwd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10 + i, 10));
    pump();
  }
  EXPECT_EQ(writes(), Strings{"1\n"});
  mouse(fwd, WM_LBUTTONUP);
  EXPECT_EQ(writes(), (Strings{"1\n", "5\n"}));
}

TEST_F(SchemeTest, MouseUpsAreIndependentOfEachOther) {
  start();
  choose(3);
  HWND right = scheme->RightButton->handle();
  mouse(right, WM_LBUTTONDOWN);
  mouse(right, WM_RBUTTONDOWN);
  mouse(right, WM_RBUTTONUP);
  mouse(right, WM_LBUTTONUP);
  // A release on a button that was never pressed still stops.
  mouse(scheme->SpeedButton->handle(), WM_MBUTTONUP);
  EXPECT_EQ(writes(), (Strings{"3\n", "3\n", "5\n", "5\n", "5\n"}));
}

TEST_F(SchemeTest, SelectionEventComesFromThePostedMessage) {
  start();
  SendMessageW(list(), CB_SETCURSEL, 12, 0);
  SendMessageW(mainWindow(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list()), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(list()));
  EXPECT_TRUE(device.calls.empty()) << "fired inside the notification";
  pump();
  EXPECT_EQ(opens(), Strings{"\\\\.\\Com12"});
}

TEST_F(SchemeTest, ChoosingPortsReopensEveryTime) {
  start();
  choose(20);
  choose(20);
  choose(0);
  EXPECT_EQ(opens(), (Strings{"\\\\.\\Com20", "\\\\.\\Com20", "\\\\.\\Com0"}));
  // Each open was preceded by the close of the port open before it.
  Strings log = device.log();
  EXPECT_EQ(log.front(), "open \\\\.\\Com20 -> 1");
  EXPECT_NE(std::find(log.begin(), log.end(), "close 1"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "close 2"), log.end());
  EXPECT_TRUE(device.misuse.empty());
}

TEST_F(SchemeTest, TypedEchoTextGoesNowhereAndIsReplaced) {
  start();
  choose(3);
  HWND echo = scheme->CommandEcho->handle();
  SetFocus(echo);
  for (wchar_t c : std::wstring(L"abc"))
    SendMessageW(echo, WM_CHAR, c, 1);
  pump();
  EXPECT_EQ(echoText(), L"abc");
  EXPECT_EQ(writes(), Strings{});
  // The caret stays at its position when a command replaces the text.
  SendMessageW(echo, EM_SETSEL, 1, 1);
  mouse(scheme->LeftButton->handle(), WM_LBUTTONDOWN);
  EXPECT_EQ(echoText(), L"4\n");
  DWORD start = 0, end = 0;
  SendMessageW(echo, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 1u);
  mouse(scheme->LeftButton->handle(), WM_LBUTTONUP);
  EXPECT_EQ(writes(), (Strings{"4\n", "5\n"}));
}

TEST_F(SchemeTest, NothingIsSentWhileTheSchemeIsBuilt) {
  // Built but not started: the gate is still closed, whatever the windows report.
  EXPECT_TRUE(device.calls.empty());
  EXPECT_FALSE(IsWindowVisible(mainWindow()));
  mouse(scheme->ForwardButton->handle(), WM_LBUTTONDOWN);
  mouse(scheme->ForwardButton->handle(), WM_LBUTTONUP);
  choose(3);
  EXPECT_TRUE(device.calls.empty());
  EXPECT_EQ(echoText(), L"");
}

TEST_F(SchemeTest, StartShowsTheWindowAtItsPlace) {
  start();
  EXPECT_TRUE(IsWindowVisible(mainWindow()));
  RECT r{};
  GetWindowRect(mainWindow(), &r);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.right - r.left, 344);
  EXPECT_EQ(r.bottom - r.top, 702);
}

TEST_F(SchemeTest, AfterTheCloseIsAcceptedNothingIsSent) {
  start();
  choose(3);
  mouse(scheme->ForwardButton->handle(), WM_LBUTTONDOWN);
  mouse(scheme->ForwardButton->handle(), WM_LBUTTONUP);
  SendMessageW(mainWindow(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(scheme->MainForm->closeAccepted());
  EXPECT_FALSE(elements::EventGate::isOpen());
  EXPECT_TRUE(IsWindow(mainWindow())) << "the close itself destroys no window";
  EXPECT_FALSE(pump()) << "the close posts the quit message";
  mouse(scheme->BackButton->handle(), WM_LBUTTONDOWN);
  mouse(scheme->BackButton->handle(), WM_LBUTTONUP);
  choose(5);
  // Stopped already: the close adds nothing.
  EXPECT_EQ(writes(), (Strings{"1\n", "5\n"}));
  EXPECT_EQ(opens(), Strings{"\\\\.\\Com3"});
  EXPECT_EQ(echoText(), L"5\n");
}

std::vector<std::string>* destroyed;

TEST_F(SchemeTest, DestructionRunsInReverseCreationOrderAndClosesThePort) {
  start();
  choose(3);
  std::vector<std::string> order;
  destroyed = &order;
  TClassMainForm_20978D0::destructionWatcher = [](const char* name) { destroyed->push_back(name); };
  delete scheme;
  scheme = nullptr;
  TClassMainForm_20978D0::destructionWatcher = nullptr;
  EXPECT_EQ(order, (Strings{"CommandLabel", "SpeedCmd", "SpeedButton", "LeftCmd", "LeftButton",
                            "RightCmd", "RightButton", "BackCmd", "BackButton", "ForwardCmd",
                            "OutputHub", "StopCmd", "ReleaseHub", "CommandEcho", "ForwardButton",
                            "PortList", "SendHub", "ComPort", "MainForm"}));
  EXPECT_EQ(device.callsOf(serial::FakeSerialDevice::Op::Close).size(), 1u);
  EXPECT_EQ(device.heldCount(), 0u);
}

// The panel never lets go of a moving chassis.

TEST_F(SchemeTest, CloseWhileHeldStopsBeforeTheGateCloses) {
  start();
  choose(3);
  mouse(scheme->ForwardButton->handle(), WM_LBUTTONDOWN);
  SendMessageW(mainWindow(), WM_CLOSE, 0, 0);
  mouse(scheme->ForwardButton->handle(), WM_LBUTTONUP);
  EXPECT_EQ(writes(), (Strings{"1\n", "5\n"}));
}

TEST_F(SchemeTest, ChoosingAnotherPortWhileMovingStopsTheOldOneFirst) {
  start();
  choose(3);
  mouse(scheme->SpeedButton->handle(), WM_RBUTTONDOWN);
  choose(4);
  Strings log = device.log();
  auto stop = std::find(log.begin(), log.end(), "write 1 5\n");
  auto close = std::find(log.begin(), log.end(), "close 1");
  auto open = std::find(log.begin(), log.end(), "open \\\\.\\Com4 -> 2");
  ASSERT_NE(stop, log.end());
  EXPECT_LT(stop, close);
  EXPECT_LT(close, open);
  // The next release goes to the new port; the old one heard nothing more.
  mouse(scheme->SpeedButton->handle(), WM_RBUTTONUP);
  EXPECT_EQ(log.size() + 1, device.log().size());
  EXPECT_EQ(device.log().back(), "write 2 5\n");
}

TEST_F(SchemeTest, LostReleaseIsReported) {
  start();
  choose(3);
  HWND fwd = scheme->ForwardButton->handle();
  struct Case {
    const char* name;
    UINT down;
    void (*lose)(HWND mainWindow);
  };
  const Case cases[] = {
      {"capture taken away", WM_LBUTTONDOWN,
       [](HWND main) {
         SetCapture(main);
         ReleaseCapture();
       }},
      {"capture released", WM_LBUTTONDOWN, [](HWND) { ReleaseCapture(); }},
      {"app deactivated, right button", WM_RBUTTONDOWN,
       [](HWND main) { SendMessageW(main, WM_ACTIVATEAPP, FALSE, 0); }},
      {"app deactivated, middle button", WM_MBUTTONDOWN,
       [](HWND main) { SendMessageW(main, WM_ACTIVATEAPP, FALSE, 0); }},
  };
  Strings expected;
  for (const Case& c : cases) {
    mouse(fwd, c.down);
    expected.push_back("1\n");
    c.lose(mainWindow());
    pump();
    expected.push_back("5\n");
    EXPECT_EQ(writes(), expected) << c.name;
    // Once reported, nothing more is reported for the same press.
    SendMessageW(mainWindow(), WM_ACTIVATEAPP, FALSE, 0);
    pump();
    EXPECT_EQ(writes(), expected) << c.name;
  }
}

TEST_F(SchemeTest, OrdinaryPressAndReleaseStopOnlyOnce) {
  start();
  choose(3);
  HWND back = scheme->BackButton->handle();
  for (UINT down : {WM_LBUTTONDOWN, WM_RBUTTONDOWN}) {
    mouse(back, down);
    mouse(back, down + 1);
  }
  SendMessageW(mainWindow(), WM_ACTIVATEAPP, FALSE, 0);
  choose(5);
  SendMessageW(mainWindow(), WM_CLOSE, 0, 0);
  pump();
  EXPECT_EQ(writes(), (Strings{"2\n", "5\n", "2\n", "5\n"}));
}

}  // namespace
}  // namespace panel::testing
