// Links, the event gate, the read rule and the start list.
#include "elements/event.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/native/gate_fixture.h"

namespace elements {
namespace {

struct Recorder {
  std::vector<std::pair<std::string, std::uint16_t>> calls;
  void take(TData& v, std::uint16_t index) { calls.emplace_back(toString(v), index); }
  TData answer;
  void answerWith(TData& v, std::uint16_t index) {
    calls.emplace_back("read", index);
    v = answer;
  }
};

using LinkTest = OpenGateTest;

TEST_F(LinkTest, ForwardLinkDeliversValueAndItsOwnIndex) {
  Recorder r;
  THI_Event ev = link<&Recorder::take>(r, 7);
  TData v = TData::fromStr("1\n");
  fire(ev, v);
  ASSERT_EQ(r.calls.size(), 1u);
  EXPECT_EQ(r.calls[0].first, "1\n");
  EXPECT_EQ(r.calls[0].second, 7);
}

TEST_F(LinkTest, EmptySlotDoesNothing) {
  THI_Event empty;
  TData v = TData::fromInt(3);
  fire(empty, v);
  EXPECT_EQ(v.intValue(), 3);
  EXPECT_TRUE(read(empty).isNull());
}

TEST_F(LinkTest, ReadLinkPassesAFreshNullThatTheTargetFills) {
  Recorder r;
  r.answer = TData::fromInt(12);
  TData seen;
  struct Probe {
    TData* seen;
    void look(TData& v, std::uint16_t) {
      *seen = v;
      v.setInt(4);
    }
  } probe{&seen};
  seen.setStr("not yet called");
  TData got = read(link<&Probe::look>(probe, 2));
  EXPECT_TRUE(seen.isNull());
  EXPECT_EQ(got.intValue(), 4);
}

TEST(EventGate, ClosedGateDropsForwardAndReadLinks) {
  EventGate::close();
  Recorder r;
  r.answer = TData::fromInt(9);
  TData v = TData::fromInt(1);
  fire(link<&Recorder::take>(r, 0), v);
  TData got = read(link<&Recorder::answerWith>(r, 0));
  EXPECT_TRUE(r.calls.empty());
  EXPECT_TRUE(got.isNull());
}

TEST(EventGate, ClosedFromProcessStart) {
  // Every test leaves the gate closed, so whichever test ran before, this is the start state.
  EXPECT_FALSE(EventGate::isOpen());
}

TEST_F(LinkTest, ReadIntegerRule) {
  struct Case {
    const char* name;
    bool connected;
    TData answer;
    std::int32_t fallback;
    TData incoming;
    std::int32_t expected;
    bool incomingConsumed;
  };
  const Case cases[] = {
      {"integer answer", true, TData::fromInt(3), 5, TData::fromInt(8), 3, false},
      {"string answer", true, TData::fromStr("12"), 5, TData{}, 12, false},
      {"real answer", true, TData::fromReal(2.5), 5, TData{}, 2, false},
      {"answer 0 is an answer", true, TData::fromInt(0), 5, TData{}, 0, false},
      {"no answer: fallback", true, TData{}, 5, TData::fromInt(8), 5, false},
      {"unconnected: fallback", false, TData{}, 19200, TData::fromInt(8), 19200, false},
      {"no fallback: incoming", false, TData{}, 0, TData::fromInt(8), 8, true},
      {"no fallback: incoming text", false, TData{}, 0, TData::fromStr("-4"), -4, true},
      {"nothing at all", false, TData{}, 0, TData{}, 0, false},
  };
  for (const auto& c : cases) {
    Recorder r;
    r.answer = c.answer;
    THI_Event ev = c.connected ? link<&Recorder::answerWith>(r, 2) : THI_Event{};
    TData incoming = c.incoming;
    incoming.append(TData::fromStr("behind"));
    EXPECT_EQ(readInteger(ev, c.fallback, incoming), c.expected) << c.name;
    if (c.incomingConsumed) {
      EXPECT_EQ(toString(incoming), "behind") << c.name;
    } else {
      EXPECT_EQ(toString(incoming), toString(c.incoming)) << c.name;
    }
    if (c.connected) {
      ASSERT_EQ(r.calls.size(), 1u) << c.name;
      EXPECT_EQ(r.calls[0].second, 2) << c.name;
    }
  }
}

std::vector<std::string>* startLog;
struct Starter {
  std::string name;
  static void start(void* self) { startLog->push_back(static_cast<Starter*>(self)->name); }
};

TEST(StartList, RunsOnceInRegistrationOrderThenEmpties) {
  std::vector<std::string> log;
  startLog = &log;
  Starter a{"a"}, b{"b"}, c{"c"};
  StartList::add(&Starter::start, &b);
  StartList::add(&Starter::start, &a);
  StartList::add(&Starter::start, &c);
  EXPECT_EQ(StartList::size(), 3u);
  StartList::run();
  EXPECT_EQ(log, (std::vector<std::string>{"b", "a", "c"}));
  EXPECT_EQ(StartList::size(), 0u);
  StartList::run();
  EXPECT_EQ(log.size(), 3u);
}

}  // namespace
}  // namespace elements
