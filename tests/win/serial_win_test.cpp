// The serial-port element with the real Win32 serial calls, under Wine, against pseudo-terminals
// that stand in for the chassis: tests/win/with_pty.py links them as COM ports and records every
// byte that reaches the far end.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "elements/event.h"
#include "serial/com.h"
#include "serial/win32_serial.h"
#include "tests/win/pty_line.h"

namespace {

using elements::link;
using elements::TData;
using serial::THICOM;

// The port list's current-index answer.
struct PortChoice {
  std::int32_t number = 0;
  void answer(TData& v, std::uint16_t) { v.setInt(number); }
};

struct Reports {
  std::vector<std::int32_t> seen;
  void take(TData& v, std::uint16_t) { seen.push_back(elements::toInteger(v)); }
};

// ComPort as the scheme sets it up, with writtenLink connected to see what each write did.
class ComPort {
 public:
  ComPort() : com(serial::win32SerialDevice()) {
    com.fallbackPortIndex = 4;
    com.defaultBaudRate = 19200;
    com.parityIndex = 0;
    com.timeoutMs = 10;
    com.portReadLink = link<&PortChoice::answer>(list, 2);
    com.writtenLink = link<&Reports::take>(reports, 0);
  }
  void choose(std::int32_t port) {
    list.number = port;
    TData selected = TData::fromInt(port);
    com.reopenPort(selected, 0);
  }
  // What writtenLink reported for this write.
  std::int32_t send(const std::string& text) {
    std::size_t before = reports.seen.size();
    TData v = TData::fromStr(text);
    com.writeText(v, 3);
    return reports.seen.size() == before + 1 ? reports.seen.back() : -1;
  }

  PortChoice list;
  Reports reports;
  THICOM com;
};

class SerialWin : public ::testing::Test {
 protected:
  void SetUp() override {
    elements::EventGate::open();
    ports = pty::ports();
    if (ports.size() < 2) GTEST_SKIP() << "needs two ports from tests/win/with_pty.py";
  }
  void TearDown() override { elements::EventGate::close(); }

  std::vector<int> ports;
};

TEST_F(SerialWin, ChosenPortIsConfiguredAndGetsExactlyTheCommandBytes) {
  // A one-digit and a two-digit port number: the same "\\.\Com" prefix opens both.
  for (int number : ports) {
    SCOPED_TRACE(number);
    pty::PtyLine line(number);
    {
      ComPort port;
      port.choose(number);
      ASSERT_TRUE(port.com.isOpen());
      EXPECT_EQ(line.settings(), "speed=19200 data=8 parity=none stop=1 crtscts=off");

      EXPECT_EQ(port.send("1\n"), 2);
      EXPECT_EQ(line.receive(2), std::string("\x31\x0A"));
      EXPECT_EQ(port.send("5\n"), 2);
      EXPECT_EQ(line.receive(2), "5\n");
      EXPECT_EQ(port.send(""), 0);
    }
    // The chassis was stopped when the element let go: nothing more went out.
    EXPECT_EQ(line.receive(0), "");
  }
}

TEST_F(SerialWin, LettingGoOfAMovingChassisSendsTheStop) {
  pty::PtyLine line(ports[0]);
  {
    ComPort port;
    port.choose(ports[0]);
    ASSERT_TRUE(port.com.isOpen());
    EXPECT_EQ(port.send("3\n"), 2);
    EXPECT_EQ(line.receive(2), "3\n");
    // Choosing another entry while moving: the stop goes out on the old port first.
    port.choose(ports[1]);
    EXPECT_EQ(line.receive(2), "5\n");
    port.choose(ports[0]);
    EXPECT_EQ(port.send("1\n"), 2);
  }
  EXPECT_EQ(line.receive(4), "1\n5\n");
}

// The open asks for exclusive access (share mode 0) and opens only what exists. Wine applies
// share modes to files but not to character devices such as the pseudo-terminal behind a COM
// port, where a second open would succeed; so the share mode is shown on a file, through the
// same open the element uses.
TEST_F(SerialWin, TheRealOpenIsExclusiveAndOpensOnlyWhatExists) {
  serial::SerialDevice& device = serial::win32SerialDevice();
  std::string held = pty::controlDir() + "\\held";
  HANDLE file = CreateFileA(held.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);

  serial::DeviceHandle first = device.open(held);
  ASSERT_NE(first, serial::kInvalidHandle);
  EXPECT_EQ(device.open(held), serial::kInvalidHandle) << "a held name cannot be opened again";
  device.close(first);
  serial::DeviceHandle again = device.open(held);
  EXPECT_NE(again, serial::kInvalidHandle) << "once let go, it opens again";
  if (again != serial::kInvalidHandle) device.close(again);

  std::string absent = pty::controlDir() + "\\absent";
  EXPECT_EQ(device.open(absent), serial::kInvalidHandle);
  EXPECT_EQ(GetFileAttributesA(absent.c_str()), INVALID_FILE_ATTRIBUTES) << "open created it";
}

// A port that cannot be opened leaves the element Closed, though a port was open before, and the
// port it held was let go of (after the stop, since the chassis was moving).
TEST_F(SerialWin, APortThatCannotBeOpenedLeavesTheElementClosed) {
  pty::PtyLine line(ports[0]);
  ComPort port;
  port.choose(ports[0]);
  ASSERT_TRUE(port.com.isOpen());
  EXPECT_EQ(port.send("1\n"), 2);
  EXPECT_EQ(line.receive(2), "1\n");

  port.choose(0);  // "ПОРТ НЕ ОПРЕДЕЛЁН": no device answers to \\.\Com0 here
  EXPECT_FALSE(port.com.isOpen());
  EXPECT_EQ(line.receive(2), "5\n");
  EXPECT_EQ(port.send("2\n"), -1) << "a closed element writes and reports nothing";
  EXPECT_EQ(line.receive(0), "");

  ComPort other;
  other.choose(ports[0]);
  EXPECT_TRUE(other.com.isOpen()) << "the old handle was closed";
}

TEST_F(SerialWin, WhenTheFarEndGoesAwayWritesFailWithoutHangingAndThePortStaysOpen) {
  pty::PtyLine line(ports[0]);
  ComPort port;
  port.choose(ports[0]);
  ASSERT_TRUE(port.com.isOpen());
  EXPECT_EQ(port.send("1\n"), 2);
  EXPECT_EQ(line.receive(2), "1\n");

  line.hangUp();
  EXPECT_EQ(port.send("2\n"), 0);
  EXPECT_TRUE(port.com.isOpen());
  EXPECT_EQ(port.send("5\n"), 0) << "the next command is tried on the same handle";
  EXPECT_TRUE(port.com.isOpen());

  // Plugged in again behind the same name: choosing the port once more opens the new one.
  line.replug();
  port.choose(ports[0]);
  ASSERT_TRUE(port.com.isOpen());
  EXPECT_EQ(port.send("4\n"), 2);
  EXPECT_EQ(port.send("5\n"), 2);
  EXPECT_EQ(line.receive(4), "4\n5\n");
}

}  // namespace
