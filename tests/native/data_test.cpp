// Conversions of TData and its chain of values.
#include "elements/data.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace elements {
namespace {

TEST(DataConversions, StringForm) {
  struct Case {
    TData value;
    std::string text;
  };
  const Case cases[] = {
      {TData{}, ""},
      {TData::fromInt(0), "0"},
      {TData::fromInt(5), "5"},
      {TData::fromInt(-42), "-42"},
      {TData::fromInt(std::numeric_limits<std::int32_t>::min()), "-2147483648"},
      {TData::fromInt(std::numeric_limits<std::int32_t>::max()), "2147483647"},
      {TData::fromStr("1\n"), "1\n"},
      {TData::fromStr(std::string("a\0b", 3)), std::string("a\0b", 3)},
      {TData::fromReal(2.5), "2.5"},
      {TData::fromReal(-0.1), "-0.1"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(toString(c.value), c.text) << c.text;
}

TEST(DataConversions, TextReadAsInteger) {
  struct Case {
    const char* text;
    std::int32_t value;
  };
  const Case cases[] = {
      {"0", 0},
      {"17", 17},
      {"-17", -17},
      {"+3", 3},
      {" 12 ", 12},
      {"007", 7},
      {"", 0},
      {"-", 0},
      {"12a", 0},
      {"a12", 0},
      {"1 2", 0},
      {"2147483647", 2147483647},
      {"-2147483648", std::numeric_limits<std::int32_t>::min()},
      {"2147483648", 0},
      {"-2147483649", 0},
      {"99999999999999999999", 0},
      {"COM 3", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(textToInt(c.text), c.value) << '"' << c.text << '"';
    EXPECT_EQ(toInteger(TData::fromStr(c.text)), c.value) << '"' << c.text << '"';
  }
}

TEST(DataConversions, RealRoundsHalfToEven) {
  struct Case {
    double real;
    std::int32_t value;
  };
  const Case cases[] = {
      {0.5, 0},
      {1.5, 2},
      {2.5, 2},
      {3.5, 4},
      {-0.5, 0},
      {-1.5, -2},
      {-2.5, -2},
      {2.4999, 2},
      {2.5001, 3},
      {-7.0, -7},
      {1e300, std::numeric_limits<std::int32_t>::max()},
      {-1e300, std::numeric_limits<std::int32_t>::min()},
      {std::numeric_limits<double>::infinity(), std::numeric_limits<std::int32_t>::max()},
      {std::nan(""), 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(toInteger(TData::fromReal(c.real)), c.value) << c.real;
}

TEST(DataConversions, IntegerOfOtherKinds) {
  EXPECT_EQ(toInteger(TData{}), 0);
  EXPECT_EQ(toInteger(TData::fromInt(-9)), -9);
  EXPECT_EQ(toReal(TData::fromInt(-9)), -9.0);
  EXPECT_EQ(toReal(TData::fromStr("12")), 12.0);
  EXPECT_EQ(toReal(TData{}), 0.0);
}

TEST(DataChain, CopyIsDeepAndDropFirstShifts) {
  TData v = TData::fromInt(1);
  v.append(TData::fromStr("two"));
  v.append(TData::fromReal(3.0));

  TData copy = v;
  v.dropFirst();
  EXPECT_EQ(v.kind(), DataKind::Str);
  EXPECT_EQ(v.strValue(), "two");
  ASSERT_NE(v.next(), nullptr);
  EXPECT_EQ(v.next()->realValue(), 3.0);

  // The copy still holds all three values.
  EXPECT_EQ(copy.intValue(), 1);
  ASSERT_NE(copy.next(), nullptr);
  EXPECT_EQ(copy.next()->strValue(), "two");
  ASSERT_NE(copy.next()->next(), nullptr);
  EXPECT_EQ(copy.next()->next()->realValue(), 3.0);
  EXPECT_EQ(copy.next()->next()->next(), nullptr);

  v.dropFirst();
  v.dropFirst();
  EXPECT_TRUE(v.isNull());
  EXPECT_EQ(v.next(), nullptr);
  v.dropFirst();  // dropping from a null value leaves it null
  EXPECT_TRUE(v.isNull());
}

TEST(DataChain, SettingTheFirstValueKeepsTheChain) {
  TData v = TData::fromInt(1);
  v.append(TData::fromInt(2));
  v.setStr("x");
  EXPECT_EQ(toString(v), "x");
  ASSERT_NE(v.next(), nullptr);
  EXPECT_EQ(v.next()->intValue(), 2);
}

TEST(DataChain, LongChainCopiesAndReleasesWithoutRecursion) {
  // Built from the back, so that each step is one append to a single value.
  TData chain;
  for (int i = 200000; i >= 0; --i) {
    TData node = TData::fromInt(i);
    node.append(std::move(chain));
    chain = std::move(node);
  }
  TData v;
  v.append(std::move(chain));
  TData copy = v;
  TData moved = std::move(copy);
  EXPECT_TRUE(moved.isNull());
  ASSERT_NE(moved.next(), nullptr);
  EXPECT_EQ(moved.next()->intValue(), 0);
}

}  // namespace
}  // namespace elements
