// Hubs and concatenators: order of outputs, separate copies, and where each part comes from.
#include "elements/hub.h"
#include "elements/strcat.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/native/gate_fixture.h"

namespace elements {
namespace {

struct Log {
  std::vector<std::string> entries;
};

// A receiver that records what it got and then spoils its copy.
struct Spoiler {
  Log* log;
  std::string name;
  void take(TData& v, std::uint16_t index) {
    log->entries.push_back(name + ":" + toString(v) + "@" + std::to_string(index));
    v.setStr("spoilt");
    v.append(TData::fromInt(99));
  }
};

using HubTest = OpenGateTest;

TEST_F(HubTest, FiresOutputsInAscendingOrderEachWithItsOwnCopy) {
  Log log;
  Spoiler s0{&log, "s0"}, s1{&log, "s1"}, s2{&log, "s2"};
  THIHub hub(3);
  // Linked in another order than numbered: the output number decides the order.
  hub.outputs[2] = link<&Spoiler::take>(s2, 30);
  hub.outputs[0] = link<&Spoiler::take>(s0, 10);
  hub.outputs[1] = link<&Spoiler::take>(s1, 20);
  TData v = TData::fromStr("1\n");
  hub.doInput(v, 4);
  EXPECT_EQ(log.entries, (std::vector<std::string>{"s0:1\n@10", "s1:1\n@20", "s2:1\n@30"}));
  EXPECT_EQ(toString(v), "1\n");  // the caller's value is untouched
  EXPECT_EQ(v.next(), nullptr);
}

TEST_F(HubTest, EmptyOutputsAreSkippedAndTheIndexIsIgnored) {
  Log log;
  Spoiler s1{&log, "s1"};
  THIHub hub(3);
  hub.outputs[1] = link<&Spoiler::take>(s1, 0);
  for (std::uint16_t index : {std::uint16_t{0}, std::uint16_t{2}, std::uint16_t{65535}}) {
    TData v = TData::fromInt(index);
    hub.doInput(v, index);
  }
  EXPECT_EQ(log.entries, (std::vector<std::string>{"s1:0@0", "s1:2@0", "s1:65535@0"}));
  EXPECT_EQ(hub.outputCount(), 3);
}

TEST_F(HubTest, ChainBehindTheValueIsCopiedToEveryOutput) {
  struct Chain {
    std::vector<std::string> seen;
    void take(TData& v, std::uint16_t) {
      std::string s;
      for (const TData* p = &v; p; p = p->next())
        s += toString(*p) + ",";
      seen.push_back(s);
      v.dropFirst();
    }
  } a, b;
  THIHub hub(2);
  hub.outputs[0] = link<&Chain::take>(a, 0);
  hub.outputs[1] = link<&Chain::take>(b, 0);
  TData v = TData::fromInt(1);
  v.append(TData::fromStr("x"));
  hub.doInput(v, 0);
  EXPECT_EQ(a.seen, (std::vector<std::string>{"1,x,"}));
  EXPECT_EQ(b.seen, (std::vector<std::string>{"1,x,"}));
}

// A receiver on output 0 that fires the same hub again: the nested call runs all outputs before
// the outer call goes on to output 1.
struct Reentrant {
  THIHub* hub;
  Log* log;
  int depth = 0;
  void take(TData& v, std::uint16_t) {
    log->entries.push_back("r:" + toString(v));
    if (depth++ == 0) {
      TData inner = TData::fromStr("inner");
      hub->doInput(inner, 0);
    }
  }
};

TEST_F(HubTest, ReentrantFiringCompletesTheInnerCallFirst) {
  Log log;
  THIHub hub(2);
  Reentrant r{&hub, &log};
  Spoiler tail{&log, "t"};
  hub.outputs[0] = link<&Reentrant::take>(r, 0);
  hub.outputs[1] = link<&Spoiler::take>(tail, 1);
  TData v = TData::fromStr("outer");
  hub.doInput(v, 0);
  EXPECT_EQ(log.entries,
            (std::vector<std::string>{"r:outer", "r:inner", "t:inner@1", "t:outer@1"}));
}

TEST(HubGate, ClosedGateStopsEveryOutput) {
  EventGate::close();
  Log log;
  Spoiler s{&log, "s"};
  THIHub hub(1);
  hub.outputs[0] = link<&Spoiler::take>(s, 0);
  TData v = TData::fromInt(0);
  hub.doInput(v, 0);
  EXPECT_TRUE(log.entries.empty());
}

struct Answer {
  TData value;
  int calls = 0;
  void give(TData& v, std::uint16_t) {
    ++calls;
    v = value;
  }
};

using StrCatTest = OpenGateTest;

TEST_F(StrCatTest, WherePartsComeFrom) {
  struct Case {
    const char* name;
    std::string first, second;
    bool firstLinked;
    TData firstAnswer;
    bool secondLinked;
    TData secondAnswer;
    TData incoming;
    std::string expected;
  };
  TData twoValues = TData::fromInt(7);
  twoValues.append(TData::fromStr("b"));
  const Case cases[] = {
      {"both settings; incoming ignored",
       "1",
       "\n",
       false,
       {},
       false,
       {},
       TData::fromInt(0),
       "1\n"},
      {"both settings; no incoming", "5", "\n", false, {}, false, {}, TData{}, "5\n"},
      {"first from incoming", "", "\n", false, {}, false, {}, TData::fromInt(2), "2\n"},
      {"both from incoming chain", "", "", false, {}, false, {}, twoValues, "7b"},
      {"second from incoming", "x", "", false, {}, false, {}, TData::fromStr("y"), "xy"},
      {"nothing anywhere", "", "", false, {}, false, {}, TData{}, ""},
      {"read link beats setting", "1", "\n", true, TData::fromStr("9"), false, {}, TData{}, "9\n"},
      {"read link integer answer", "", "", true, TData::fromInt(-3), true, TData::fromStr("!"),
       TData::fromInt(4), "-3!"},
      {"silent read link falls back to setting", "1", "\n", true, TData{}, true, TData{}, TData{},
       "1\n"},
      {"silent read link falls back to incoming",
       "",
       "\n",
       true,
       TData{},
       false,
       {},
       TData::fromStr("z"),
       "z\n"},
  };
  for (const auto& c : cases) {
    Log log;
    Spoiler sink{&log, "out"};
    Answer a1{c.firstAnswer}, a2{c.secondAnswer};
    THIStrCat cat;
    cat.firstPart = c.first;
    cat.secondPart = c.second;
    if (c.firstLinked) cat.firstPartReadLink = link<&Answer::give>(a1, 0);
    if (c.secondLinked) cat.secondPartReadLink = link<&Answer::give>(a2, 0);
    cat.outputEvent = link<&Spoiler::take>(sink, 1);
    TData v = c.incoming;
    cat.doConcatenate(v, 0);
    ASSERT_EQ(log.entries.size(), 1u) << c.name;
    EXPECT_EQ(log.entries[0], "out:" + c.expected + "@1") << c.name;
    EXPECT_EQ(a1.calls, c.firstLinked ? 1 : 0) << c.name;
    EXPECT_EQ(a2.calls, c.secondLinked ? 1 : 0) << c.name;
  }
}

TEST_F(StrCatTest, ResultReplacesTheValueItFiresWith) {
  struct Keep {
    TData got;
    void take(TData& v, std::uint16_t) { got = v; }
  } keep;
  THIStrCat cat;
  cat.firstPart = "1";
  cat.secondPart = "\n";
  cat.outputEvent = link<&Keep::take>(keep, 13);
  TData v = TData::fromInt(2);
  v.append(TData::fromInt(3));
  cat.doConcatenate(v, 0);
  EXPECT_EQ(keep.got.kind(), DataKind::Str);
  EXPECT_EQ(keep.got.strValue(), "1\n");
  EXPECT_EQ(keep.got.next(), nullptr);
  EXPECT_EQ(toString(v), "1\n");
}

TEST_F(StrCatTest, UnlinkedOutputFiresNothingButStillForms) {
  THIStrCat cat;
  cat.firstPart = "6";
  cat.secondPart = "\n";
  TData v = TData::fromInt(1);
  cat.doConcatenate(v, 0);
  EXPECT_EQ(toString(v), "6\n");
}

}  // namespace
}  // namespace elements
