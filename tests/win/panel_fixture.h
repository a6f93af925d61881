// The real panel scheme on real windows, over a recording serial fake: built, started and
// pumped the way program main does it, and destroyed after each test. Each test starts from
// the element runtime's first state (gate closed, start list empty, loop not running).
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "elements/event.h"
#include "elements/win/app.h"
#include "panel/scheme.h"
#include "tests/win/runtime_reset.h"
#include "tests/native/fake_serial.h"

namespace paneltest {

using serial::FakeSerialDevice;

// The scheme's controls by name, in creation order.
enum class Ctl {
  PortList,
  ForwardButton,
  CommandEcho,
  BackButton,
  RightButton,
  LeftButton,
  SpeedButton,
  CommandLabel
};

inline const char* nameOf(Ctl c) {
  switch (c) {
    case Ctl::PortList:
      return "PortList";
    case Ctl::ForwardButton:
      return "ForwardButton";
    case Ctl::CommandEcho:
      return "CommandEcho";
    case Ctl::BackButton:
      return "BackButton";
    case Ctl::RightButton:
      return "RightButton";
    case Ctl::LeftButton:
      return "LeftButton";
    case Ctl::SpeedButton:
      return "SpeedButton";
    case Ctl::CommandLabel:
      return "CommandLabel";
  }
  return "?";
}

inline elements::win::THIWin* elementOf(const panel::TClassMainForm_20978D0& s, Ctl c) {
  switch (c) {
    case Ctl::PortList:
      return s.PortList.get();
    case Ctl::ForwardButton:
      return s.ForwardButton.get();
    case Ctl::CommandEcho:
      return s.CommandEcho.get();
    case Ctl::BackButton:
      return s.BackButton.get();
    case Ctl::RightButton:
      return s.RightButton.get();
    case Ctl::LeftButton:
      return s.LeftButton.get();
    case Ctl::SpeedButton:
      return s.SpeedButton.get();
    case Ctl::CommandLabel:
      return s.CommandLabel.get();
  }
  return nullptr;
}

inline constexpr Ctl kButtons[] = {Ctl::ForwardButton, Ctl::BackButton, Ctl::RightButton,
                                   Ctl::LeftButton, Ctl::SpeedButton};
// The focusable controls, in creation order.
inline constexpr Ctl kFocusable[] = {Ctl::PortList,   Ctl::ForwardButton, Ctl::CommandEcho,
                                     Ctl::BackButton, Ctl::RightButton,   Ctl::LeftButton,
                                     Ctl::SpeedButton};
inline constexpr Ctl kAllControls[] = {Ctl::PortList,    Ctl::ForwardButton, Ctl::CommandEcho,
                                       Ctl::BackButton,  Ctl::RightButton,   Ctl::LeftButton,
                                       Ctl::SpeedButton, Ctl::CommandLabel};

class PanelFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    build();
    start();
  }

  void TearDown() override {
    delete scheme;
    scheme = nullptr;
    elements::win::drainMessages();
    resetRuntime();
  }

  static void resetRuntime() { panel::testing::resetElementRuntime(); }

  // Building, as program main does it: the gate is closed and nothing is shown yet.
  void build() {
    resetRuntime();
    elements::win::startLibraries();
    scheme = panel::TClassMainForm_20978D0::create(fake);
  }

  // The start step, then whatever it queued.
  void start() {
    elements::win::startStep(*scheme->MainForm);
    pump();
  }

  static void pump() { elements::win::drainMessages(); }

  HWND mainWindow() const { return scheme->MainForm->handle(); }
  HWND hwndOf(Ctl c) const { return elementOf(*scheme, c)->handle(); }

  // The port list picks an entry as the operator would: the list's own selection change, then
  // the notification it sends its parent.
  void choosePort(int index) {
    HWND list = scheme->PortList->handle();
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(mainWindow(), WM_COMMAND, MAKEWPARAM(0, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
    pump();
  }

  std::vector<std::string> writes() const {
    std::vector<std::string> out;
    for (const auto& c : fake.callsOf(FakeSerialDevice::Op::Write))
      out.push_back(c.text);
    return out;
  }

  std::vector<std::string> opens() const {
    std::vector<std::string> out;
    for (const auto& c : fake.callsOf(FakeSerialDevice::Op::Open))
      out.push_back(c.text);
    return out;
  }

  static std::wstring textOf(HWND h) {
    int n = GetWindowTextLengthW(h);
    std::wstring t(static_cast<std::size_t>(n) + 1, L'\0');
    GetWindowTextW(h, t.data(), n + 1);
    t.resize(static_cast<std::size_t>(n));
    return t;
  }

  FakeSerialDevice fake;
  panel::TClassMainForm_20978D0* scheme = nullptr;
};

}  // namespace paneltest
