// A running panel scheme in the test's own process over the real Win32 serial device, for tests
// that put pseudo-terminals behind the COM ports (tests/win/with_pty.py): real windows, real
// messages, real CreateFileA and WriteFile.
#pragma once

#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "elements/event.h"
#include "elements/win/app.h"
#include "panel/scheme.h"
#include "tests/win/runtime_reset.h"
#include "serial/win32_serial.h"
#include "tests/win/pty_line.h"

namespace panel::testing {

class RealSchemeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetRuntime();
    scheme = TClassMainForm_20978D0::create(serial::win32SerialDevice());
    elements::win::startStep(*scheme->MainForm);
    pump();
  }
  void TearDown() override {
    delete scheme;
    scheme = nullptr;
    resetRuntime();
  }
  static void resetRuntime() { resetElementRuntime(); }

  // Dispatches what is queued.
  void pump() { elements::win::drainMessages(); }

  HWND mainWindow() const { return scheme->MainForm->handle(); }
  HWND list() const { return scheme->PortList->handle(); }
  HWND button(int i) const {
    THIButton* const buttons[] = {scheme->ForwardButton.get(), scheme->BackButton.get(),
                                  scheme->RightButton.get(), scheme->LeftButton.get(),
                                  scheme->SpeedButton.get()};
    return buttons[i]->handle();
  }
  // The press command of button(i); every release writes "5\n".
  static std::string pressCommand(int i) {
    static const char* const commands[] = {"1\n", "2\n", "3\n", "4\n", "6\n"};
    return commands[i];
  }

  // The operator picks entry `index` of the port list; its selection event comes through the
  // list's own posted message.
  void choose(int index) {
    SendMessageW(list(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(mainWindow(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list()), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list()));
    pump();
  }

  // A left-button press and release on button(i), as the window system delivers them.
  void pressAndRelease(int i) {
    SendMessageW(button(i), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    pump();
    SendMessageW(button(i), WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    pump();
  }

  std::wstring echoText() const {
    wchar_t buf[64]{};
    GetWindowTextW(scheme->CommandEcho->handle(), buf, 64);
    return buf;
  }

  // Whether the panel's message loop answers a message sent from another thread: a probe
  // thread sends WM_NULL with a time-out while this thread keeps pumping, as the loop does.
  bool answersAnotherThread() {
    struct Probe {
      HWND window;
      LRESULT ok;
      static DWORD WINAPI run(void* p) {
        auto* probe = static_cast<Probe*>(p);
        DWORD_PTR result = 0;
        probe->ok = SendMessageTimeoutW(probe->window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
        return 0;
      }
    } probe{mainWindow(), 0};
    HANDLE thread = CreateThread(nullptr, 0, &Probe::run, &probe, 0, nullptr);
    if (!thread) return false;
    // Bounded by the probe's own time-out; the wait wakes for every message that arrives.
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, 10000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1)
      pump();
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return probe.ok != 0;
  }

  TClassMainForm_20978D0* scheme = nullptr;
};

}  // namespace panel::testing
