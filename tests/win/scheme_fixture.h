// A running panel scheme in the test's own process: real windows and real messages, with the
// serial element working on a recording fake.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "elements/event.h"
#include "elements/win/app.h"
#include "panel/scheme.h"
#include "tests/win/runtime_reset.h"
#include "tests/native/fake_serial.h"

namespace panel::testing {

// Records what the echo field showed at the moment of each write, to tell the order of the
// serial line and the echo.
class EchoWatchingDevice : public serial::FakeSerialDevice {
 public:
  HWND echo = nullptr;
  std::vector<std::wstring> echoAtWrite;
  serial::WriteResult write(serial::DeviceHandle port, std::string_view bytes) override {
    echoAtWrite.push_back(windowText(echo));
    return FakeSerialDevice::write(port, bytes);
  }
  static std::wstring windowText(HWND h) {
    if (!h) return {};
    wchar_t buf[256]{};
    GetWindowTextW(h, buf, 256);
    return buf;
  }
};

class SchemeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetRuntime();
    scheme = TClassMainForm_20978D0::create(device);
    device.echo = scheme->CommandEcho->handle();
  }
  void TearDown() override {
    delete scheme;
    scheme = nullptr;
    resetRuntime();
  }
  static void resetRuntime() { resetElementRuntime(); }

  void start() {
    elements::win::startStep(*scheme->MainForm);
    pump();
  }
  // Dispatches what is queued; false once the quit message has been taken.
  bool pump() { return elements::win::drainMessages(); }

  HWND mainWindow() const { return scheme->MainForm->handle(); }
  HWND list() const { return scheme->PortList->handle(); }

  // The operator picks an entry: the list's selection changes and its notification arrives.
  void choose(int index) {
    SendMessageW(list(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(mainWindow(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list()), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list()));
    pump();
  }

  void mouse(HWND button, UINT msg) {
    WPARAM keys = 0;
    if (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK) keys = MK_LBUTTON;
    if (msg == WM_RBUTTONDOWN || msg == WM_RBUTTONDBLCLK) keys = MK_RBUTTON;
    if (msg == WM_MBUTTONDOWN || msg == WM_MBUTTONDBLCLK) keys = MK_MBUTTON;
    SendMessageW(button, msg, keys, MAKELPARAM(10, 10));
    pump();
  }

  std::vector<std::string> writes() const {
    std::vector<std::string> out;
    for (const auto& c : device.callsOf(serial::FakeSerialDevice::Op::Write))
      out.push_back(c.text);
    return out;
  }
  std::vector<std::string> opens() const {
    std::vector<std::string> out;
    for (const auto& c : device.callsOf(serial::FakeSerialDevice::Op::Open))
      out.push_back(c.text);
    return out;
  }
  std::wstring echoText() const { return EchoWatchingDevice::windowText(device.echo); }

  EchoWatchingDevice device;
  TClassMainForm_20978D0* scheme = nullptr;
};

}  // namespace panel::testing
