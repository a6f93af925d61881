// The serial-port element against a recording device: what it opens and how it configures the
// port, what it writes and reports, when it closes, and the stop it sends for a moving chassis.
#include "serial/com.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/native/fake_serial.h"
#include "tests/native/gate_fixture.h"

namespace serial {
namespace {

using elements::link;
using elements::TData;
using Op = FakeSerialDevice::Op;
using Lines = std::vector<std::string>;

constexpr const char* kSchemeDefinition = "baud=19200 parity=N data=8 stop=1 octs=off";

// A read-link target: answers with `value`, or stays silent (leaves the fresh value null).
struct Answer {
  std::optional<TData> value;
  std::vector<std::uint16_t> indexes;
  std::vector<bool> askedWithNull;
  void answer(TData& v, std::uint16_t index) {
    indexes.push_back(index);
    askedWithNull.push_back(v.isNull());
    if (value) v = *value;
  }
};

// A writtenLink target: what it was told, -1 for anything but an integer.
struct Reports {
  std::vector<std::int32_t> seen;
  void take(TData& v, std::uint16_t) {
    seen.push_back(v.kind() == elements::DataKind::Int ? v.intValue() : -1);
  }
};

// The five calls of a successful open and configure with the scheme's settings.
Lines openLog(int port, int handle, const std::string& definition = kSchemeDefinition) {
  std::string h = std::to_string(handle);
  return {"open \\\\.\\Com" + std::to_string(port) + " -> " + h, "getState " + h,
          "build " + definition, "setState " + h, "setTimeouts " + h};
}

Lines operator+(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Public members: the tables below reach the fixture from plain lambdas.
class ComTest : public elements::OpenGateTest {
 public:
  void SetUp() override {
    OpenGateTest::SetUp();
    configure();
  }
  void TearDown() override {
    letGo();
    OpenGateTest::TearDown();
  }

  // A fresh device and a fresh element, for the next row of a table.
  void restart() {
    letGo();
    fake = FakeSerialDevice();
    reports = Reports();
    portList = Answer();
    configure();
  }

  // The operator picks entry `port` in the list.
  void choose(std::int32_t port) {
    portList.value = TData::fromInt(port);
    TData selected = TData::fromInt(port);
    com->reopenPort(selected, 0);
  }
  void send(std::string_view text) {
    TData v = TData::fromStr(text);
    com->writeText(v, 3);
  }
  Lines logSince(std::size_t from) const {
    Lines all = fake.log();
    return Lines(all.begin() + static_cast<std::ptrdiff_t>(from), all.end());
  }

  FakeSerialDevice fake;
  Answer portList;
  Reports reports;
  std::optional<THICOM> com;

 private:
  // As the scheme sets ComPort up; writtenLink is connected here to see the reports.
  void configure() {
    com.emplace(fake);
    com->fallbackPortIndex = 4;
    com->defaultBaudRate = 19200;
    com->parityIndex = 0;
    com->timeoutMs = 10;
    com->portReadLink = link<&Answer::answer>(portList, 2);
    com->writtenLink = link<&Reports::take>(reports, 0);
  }
  void letGo() {
    com.reset();
    EXPECT_THAT(fake.misuse, ::testing::IsEmpty());
    EXPECT_EQ(fake.heldCount(), 0u) << "a port was left open";
  }
};

TEST(ComConstruction, LeavesSettingsZeroLinksEmptyAndThePortClosed) {
  FakeSerialDevice fake;
  {
    THICOM com(fake);
    EXPECT_FALSE(com.isOpen());
    EXPECT_EQ(com.portHandle.get(), kInvalidHandle);
    EXPECT_EQ(com.fallbackPortIndex, 0);
    EXPECT_EQ(com.defaultBaudRate, 0);
    EXPECT_EQ(com.parityIndex, 0);
    EXPECT_EQ(com.timeoutMs, 0u);
    EXPECT_FALSE(com.writtenLink.connected());
    EXPECT_FALSE(com.baudReadLink.connected());
    EXPECT_FALSE(com.portReadLink.connected());
  }
  EXPECT_THAT(fake.log(), ::testing::IsEmpty());
}

TEST_F(ComTest, FailureTable) {
  const std::string settingsRead = std::string("state:1|") + kSchemeDefinition;
  const std::string nothingRead = std::string("|") + kSchemeDefinition;
  struct Case {
    const char* name;
    bool FakeSerialDevice::*fail;
    bool open;
    Lines log;
    std::string applied;  // the settings setState got, if it was called
  };
  const Case cases[] = {
      {"no failure", nullptr, true, openLog(3, 1), settingsRead},
      {"open fails", &FakeSerialDevice::failOpen, false, {"open \\\\.\\Com3 -> fail"}, ""},
      {"getState fails: not detected, the build edits the untouched buffer",
       &FakeSerialDevice::failGetState, true, openLog(3, 1), nothingRead},
      {"build fails",
       &FakeSerialDevice::failBuild,
       false,
       {"open \\\\.\\Com3 -> 1", "getState 1", std::string("build ") + kSchemeDefinition,
        "close 1"},
       ""},
      {"setState fails: no time-outs",
       &FakeSerialDevice::failSetState,
       false,
       {"open \\\\.\\Com3 -> 1", "getState 1", std::string("build ") + kSchemeDefinition,
        "setState 1", "close 1"},
       settingsRead},
      {"setTimeouts fails", &FakeSerialDevice::failSetTimeouts, false,
       openLog(3, 1) + Lines{"close 1"}, settingsRead},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    restart();
    if (c.fail) fake.*c.fail = true;

    choose(3);
    EXPECT_EQ(com->isOpen(), c.open);
    EXPECT_EQ(fake.log(), c.log);
    auto applied = fake.callsOf(Op::SetState);
    EXPECT_EQ(applied.empty() ? "" : applied[0].settings, c.applied);

    // Open: the command goes out and is reported. Closed: dropped without a trace.
    std::size_t before = fake.calls.size();
    send("1\n");
    EXPECT_EQ(logSince(before), c.open ? Lines{"write 1 1\n"} : Lines{});
    EXPECT_EQ(reports.seen, c.open ? std::vector<std::int32_t>{2} : std::vector<std::int32_t>{});
    send("5\n");  // leave the chassis stopped, so that teardown adds no stop of its own
  }
}

TEST_F(ComTest, DeviceNameIsThePrefixAndTheSignedNumber) {
  struct Case {
    std::int32_t port;
    const char* name;
  };
  const Case cases[] = {
      {0, "\\\\.\\Com0"},
      {1, "\\\\.\\Com1"},
      {3, "\\\\.\\Com3"},
      {12, "\\\\.\\Com12"},
      {20, "\\\\.\\Com20"},
      {-7, "\\\\.\\Com-7"},
      {std::numeric_limits<std::int32_t>::min(), "\\\\.\\Com-2147483648"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    choose(c.port);
    EXPECT_EQ(fake.callsOf(Op::Open).back().text, c.name);
  }
}

TEST_F(ComTest, DefinitionTextByteForByte) {
  struct Case {
    std::int32_t baud;
    std::int32_t parityIndex;
    const char* text;
  };
  const Case cases[] = {
      {19200, 0, "baud=19200 parity=N data=8 stop=1 octs=off"},
      {9600, 1, "baud=9600 parity=O data=8 stop=1 octs=off"},
      {115200, 2, "baud=115200 parity=E data=8 stop=1 octs=off"},
      {300, 3, "baud=300 parity=M data=8 stop=1 octs=off"},
      {-5, 4, "baud=-5 parity=S data=8 stop=1 octs=off"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    com->defaultBaudRate = c.baud;
    com->parityIndex = c.parityIndex;
    choose(3);
    EXPECT_EQ(fake.callsOf(Op::Build).back().text, c.text);
  }
  std::string scheme = fake.callsOf(Op::Build).front().text;
  EXPECT_EQ(scheme.size(), 42u);
  EXPECT_EQ(scheme, kSchemeDefinition);
}

TEST_F(ComTest, AllFiveTimeoutsAreTimeoutMs) {
  for (std::uint32_t ms : {10u, 0u, 1u, 4294967295u}) {
    SCOPED_TRACE(ms);
    com->timeoutMs = ms;
    choose(3);
    auto set = fake.callsOf(Op::SetTimeouts);
    ASSERT_FALSE(set.empty());
    EXPECT_EQ(set.back().timeouts, (Timeouts{ms, ms, ms, ms, ms}));
    EXPECT_EQ(set.back().handle, com->portHandle.get());
  }
}

TEST_F(ComTest, ParityIndexOutsideNoemsLeavesThePortClosed) {
  for (std::int32_t parity : {5, -1, 1000, std::numeric_limits<std::int32_t>::min()}) {
    SCOPED_TRACE(parity);
    com->parityIndex = 0;
    choose(3);
    ASSERT_TRUE(com->isOpen());
    DeviceHandle held = com->portHandle.get();
    com->parityIndex = parity;
    std::size_t before = fake.calls.size();
    choose(3);
    // The old port is still let go of; no device is opened with a made-up line format.
    EXPECT_EQ(logSince(before), Lines{"close " + std::to_string(held)});
    EXPECT_FALSE(com->isOpen());
  }
}

TEST_F(ComTest, EveryReopenClosesFirst) {
  struct Case {
    const char* name;
    std::int32_t first, second;
    std::vector<std::string> absent;
    Lines log;
    bool open;
  };
  const Case cases[] = {
      {"same port again", 3, 3, {}, openLog(3, 1) + Lines{"close 1"} + openLog(3, 2), true},
      {"another port", 3, 12, {}, openLog(3, 1) + Lines{"close 1"} + openLog(12, 2), true},
      {"new port cannot be opened",
       3,
       7,
       {"\\\\.\\Com7"},
       openLog(3, 1) + Lines{"close 1", "open \\\\.\\Com7 -> fail"},
       false},
      {"the no-port entry",
       3,
       0,
       {"\\\\.\\Com0"},
       openLog(3, 1) + Lines{"close 1", "open \\\\.\\Com0 -> fail"},
       false},
      {"from Closed nothing to close",
       7,
       3,
       {"\\\\.\\Com7"},
       Lines{"open \\\\.\\Com7 -> fail"} + openLog(3, 1),
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    restart();
    fake.absentDevices.insert(c.absent.begin(), c.absent.end());
    choose(c.first);
    choose(c.second);
    EXPECT_EQ(fake.log(), c.log);
    EXPECT_EQ(com->isOpen(), c.open);
  }
}

TEST_F(ComTest, WrittenLinkReportsWhatTheDeviceTook) {
  struct Case {
    const char* name;
    TData value;
    bool failWrite;
    std::optional<std::uint32_t> reported;
    std::string bytes;  // what reaches the device
    std::int32_t fired;
  };
  const Case cases[] = {
      {"a command", TData::fromStr("1\n"), false, {}, "1\n", 2},
      {"empty text: a zero-byte write", TData::fromStr(""), false, {}, "", 0},
      {"null: a zero-byte write", TData{}, false, {}, "", 0},
      {"integer in decimal", TData::fromInt(-42), false, {}, "-42", 3},
      {"real in its text form", TData::fromReal(2.5), false, {}, "2.5", 3},
      {"bytes after a zero byte",
       TData::fromStr(std::string("a\0b", 3)),
       false,
       {},
       std::string("a\0b", 3),
       3},
      {"failed write reports 0", TData::fromStr("1\n"), true, {}, "1\n", 0},
      {"short write reports the count", TData::fromStr("1\n"), false, 1u, "1\n", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    restart();
    choose(3);
    fake.failWrite = c.failWrite;
    fake.reportedWritten = c.reported;
    std::size_t before = fake.calls.size();
    TData v = c.value;
    com->writeText(v, 3);
    EXPECT_EQ(logSince(before), Lines{"write 1 " + c.bytes});
    EXPECT_EQ(reports.seen, std::vector<std::int32_t>{c.fired});
    // The port stays open whatever the write did; the next command goes to the same handle.
    EXPECT_TRUE(com->isOpen());
    send("5\n");
    EXPECT_EQ(fake.log().back(), "write 1 5\n");
  }
}

TEST_F(ComTest, NothingIsWrittenOrReportedWhileClosed) {
  struct Case {
    const char* name;
    void (*reachClosed)(ComTest&);
  };
  const Case cases[] = {
      {"no entry chosen yet", [](ComTest&) {}},
      {"open failed",
       [](ComTest& t) {
         t.fake.failOpen = true;
         t.choose(3);
       }},
      {"configure failed",
       [](ComTest& t) {
         t.fake.failSetState = true;
         t.choose(3);
       }},
      {"the no-port entry after an open port",
       [](ComTest& t) {
         t.choose(3);
         t.fake.absentDevices.insert("\\\\.\\Com0");
         t.choose(0);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    restart();
    c.reachClosed(*this);
    ASSERT_FALSE(com->isOpen());
    std::size_t before = fake.calls.size();
    send("1\n");
    send("5\n");
    com->stopIfMoving();
    EXPECT_THAT(logSince(before), ::testing::IsEmpty());
    EXPECT_THAT(reports.seen, ::testing::IsEmpty());
  }
}

TEST_F(ComTest, DestructionClosesAnOpenPortOnceAndAClosedOneNotAtAll) {
  struct Case {
    const char* name;
    std::vector<std::int32_t> choices;  // port 9 cannot be opened
    Lines closesAtDestruction;
  };
  const Case cases[] = {
      {"open", {3}, {"close 1"}},
      {"reopened", {3, 3}, {"close 2"}},
      {"never opened", {}, {}},
      {"closed by a failed reopen", {3, 9}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    restart();
    fake.absentDevices.insert("\\\\.\\Com9");
    for (std::int32_t port : c.choices)
      choose(port);
    std::size_t before = fake.calls.size();
    com.reset();
    EXPECT_EQ(logSince(before), c.closesAtDestruction);
    EXPECT_EQ(fake.heldCount(), 0u);
  }
}

TEST_F(ComTest, ReadRuleForPortAndBaud) {
  // How a read link is set up: not connected, connected but silent, or answering a value.
  struct Source {
    bool connected;
    std::optional<TData> answer;
  };
  const Source unconnected{false, std::nullopt};
  const Source silent{true, std::nullopt};
  auto answers = [](TData v) { return Source{true, std::move(v)}; };
  struct Case {
    const char* name;
    Source portSource;
    std::uint8_t fallbackPortIndex;
    Source baudSource;
    std::int32_t defaultBaudRate;
    TData incoming;
    std::int32_t port;
    std::int32_t baud;
  };
  const TData none;
  const Case cases[] = {
      {"scheme: the list's answer, not the selection value", answers(TData::fromInt(3)), 4,
       unconnected, 19200, TData::fromInt(7), 3, 19200},
      {"text answer", answers(TData::fromStr("12")), 4, unconnected, 19200, none, 12, 19200},
      {"real answer rounds half to even", answers(TData::fromReal(2.5)), 4, unconnected, 19200,
       none, 2, 19200},
      {"silent list: fallback index plus one", silent, 4, unconnected, 19200, TData::fromInt(7), 5,
       19200},
      {"unconnected, index 0: port 1", unconnected, 0, unconnected, 19200, none, 1, 19200},
      {"unconnected, index 255: port 256", unconnected, 255, unconnected, 19200, none, 256, 19200},
      {"baud answer beats the default", answers(TData::fromInt(3)), 4,
       answers(TData::fromInt(9600)), 19200, none, 3, 9600},
      {"silent baud: the default", answers(TData::fromInt(3)), 4, silent, 19200, none, 3, 19200},
      {"no default: the incoming value", answers(TData::fromInt(3)), 4, unconnected, 0,
       TData::fromStr("4800"), 3, 4800},
      {"no default, silent baud, no value: 0", answers(TData::fromInt(3)), 4, silent, 0, none, 3,
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSerialDevice device;
    Answer portTarget{c.portSource.answer, {}, {}};
    Answer baudTarget{c.baudSource.answer, {}, {}};
    {
      THICOM element(device);
      element.fallbackPortIndex = c.fallbackPortIndex;
      element.defaultBaudRate = c.defaultBaudRate;
      if (c.portSource.connected) element.portReadLink = link<&Answer::answer>(portTarget, 2);
      if (c.baudSource.connected) element.baudReadLink = link<&Answer::answer>(baudTarget, 9);
      TData v = c.incoming;
      element.reopenPort(v, 0);
      EXPECT_EQ(device.callsOf(Op::Open).at(0).text, "\\\\.\\Com" + std::to_string(c.port));
      EXPECT_EQ(device.callsOf(Op::Build).at(0).text,
                "baud=" + std::to_string(c.baud) + " parity=N data=8 stop=1 octs=off");
    }
    // A connected link is asked once, with a fresh null value and its own index.
    using Indexes = std::vector<std::uint16_t>;
    EXPECT_EQ(portTarget.indexes, c.portSource.connected ? Indexes{2} : Indexes{});
    EXPECT_EQ(baudTarget.indexes, c.baudSource.connected ? Indexes{9} : Indexes{});
    EXPECT_THAT(portTarget.askedWithNull, ::testing::Each(true));
    EXPECT_THAT(baudTarget.askedWithNull, ::testing::Each(true));
    EXPECT_THAT(device.misuse, ::testing::IsEmpty());
  }
}

// The chassis runs its last command until it is told "5\n": the element sends that stop before
// it lets go of a port it left moving, and only then.
TEST_F(ComTest, StopsAMovingChassisBeforeLettingGo) {
  enum class Trigger { Reopen, Destroy, StopIfMoving };
  struct State {
    const char* name;
    void (*reach)(ComTest&);
    bool stops;
  };
  const State states[] = {
      {"moving",
       [](ComTest& t) {
         t.choose(3);
         t.send("1\n");
       },
       true},
      {"stopped",
       [](ComTest& t) {
         t.choose(3);
         t.send("1\n");
         t.send("5\n");
       },
       false},
      {"no command yet", [](ComTest& t) { t.choose(3); }, false},
      {"moving, last write failed",
       [](ComTest& t) {
         t.choose(3);
         t.fake.failWrite = true;
         t.send("2\n");
       },
       true},
      {"moving, then an empty text",
       [](ComTest& t) {
         t.choose(3);
         t.send("1\n");
         t.send("");
       },
       true},
      {"stopped, then an empty text",
       [](ComTest& t) {
         t.choose(3);
         t.send("1\n");
         t.send("5\n");
         t.send("");
       },
       false},
      {"only an empty text",
       [](ComTest& t) {
         t.choose(3);
         t.send("");
       },
       false},
      {"stop already sent",
       [](ComTest& t) {
         t.choose(3);
         t.send("3\n");
         t.com->stopIfMoving();
       },
       false},
      {"moving, then reopened: the new handle has no command",
       [](ComTest& t) {
         t.choose(3);
         t.send("4\n");
         t.choose(3);
       },
       false},
      {"closed after moving",
       [](ComTest& t) {
         t.choose(3);
         t.send("6\n");
         t.fake.absentDevices.insert("\\\\.\\Com9");
         t.choose(9);
       },
       false},
  };
  for (Trigger trigger : {Trigger::Reopen, Trigger::Destroy, Trigger::StopIfMoving}) {
    for (const State& s : states) {
      SCOPED_TRACE(std::string(s.name) + " / trigger " + std::to_string(static_cast<int>(trigger)));
      TearDown();
      fake = FakeSerialDevice();
      reports = Reports();
      SetUp();
      s.reach(*this);
      DeviceHandle held = com->portHandle.get();
      std::size_t reported = reports.seen.size();
      std::size_t before = fake.calls.size();

      if (trigger == Trigger::Reopen) choose(3);
      if (trigger == Trigger::Destroy) com.reset();
      if (trigger == Trigger::StopIfMoving) com->stopIfMoving();

      Lines after = logSince(before);
      Lines writes;
      for (const std::string& line : after)
        if (line.starts_with("write")) writes.push_back(line);
      const std::string stop = "write " + std::to_string(held) + " 5\n";
      EXPECT_EQ(writes, s.stops ? Lines{stop} : Lines{});
      if (s.stops && trigger != Trigger::StopIfMoving) {
        // The stop goes out on the old handle, before that handle is closed.
        auto closed = std::find(after.begin(), after.end(), "close " + std::to_string(held));
        ASSERT_NE(closed, after.end());
        EXPECT_LT(std::find(after.begin(), after.end(), stop), closed);
      }
      EXPECT_EQ(reports.seen.size(), reported) << "the stop is not reported on writtenLink";
      if (trigger == Trigger::StopIfMoving) {
        EXPECT_EQ(com->isOpen(), held != kInvalidHandle);
        // Once stopped, letting go writes nothing more.
        std::size_t stopped = fake.calls.size();
        com->stopIfMoving();
        com.reset();
        EXPECT_THAT(logSince(stopped),
                    ::testing::Each(::testing::Not(::testing::StartsWith("write"))));
      }
    }
  }
}

}  // namespace
}  // namespace serial
