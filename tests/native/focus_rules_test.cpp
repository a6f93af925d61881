// Which key moves the focus from which kind of control, and where the move lands.
#include "panel/focus_rules.h"

#include <gtest/gtest.h>

namespace panel {
namespace {

constexpr NavMove L = NavMove::LeftToControl;
constexpr NavMove N = NavMove::Next;
constexpr NavMove P = NavMove::Previous;

TEST(FocusRules, KeyTable) {
  const NavKey keys[] = {NavKey::Tab,  NavKey::Left,   NavKey::Right,    NavKey::Up,
                         NavKey::Down, NavKey::PageUp, NavKey::PageDown, NavKey::Other};
  struct Row {
    NavControl control;
    NavMove moves[8];  // in the order of `keys`, without modifiers
  };
  const Row rows[] = {
      {NavControl::PushButton, {N, P, N, P, N, P, N, L}},
      {NavControl::SingleLineEdit, {N, L, L, P, N, P, N, L}},
      {NavControl::DropDownList, {N, P, N, L, L, L, L, L}},
      {NavControl::ExplicitTabOrder, {N, L, L, L, L, L, L, L}},
      {NavControl::Other, {L, L, L, L, L, L, L, L}},
  };
  for (const Row& row : rows) {
    for (int k = 0; k < 8; ++k) {
      EXPECT_EQ(navigationMove(row.control, keys[k], {}), row.moves[k])
          << "control " << int(row.control) << " key " << k;
    }
  }
}

TEST(FocusRules, ShiftReversesTabOnly) {
  EXPECT_EQ(navigationMove(NavControl::PushButton, NavKey::Tab, {.shift = true}), P);
  EXPECT_EQ(navigationMove(NavControl::DropDownList, NavKey::Tab, {.shift = true}), P);
  EXPECT_EQ(navigationMove(NavControl::PushButton, NavKey::Right, {.shift = true}), N);
  EXPECT_EQ(navigationMove(NavControl::PushButton, NavKey::Up, {.shift = true}), P);
  EXPECT_EQ(navigationMove(NavControl::DropDownList, NavKey::Down, {.shift = true}), L);
}

TEST(FocusRules, CtrlOrAltLeavesEveryKeyToTheControl) {
  for (NavControl c : {NavControl::PushButton, NavControl::SingleLineEdit, NavControl::DropDownList,
                       NavControl::ExplicitTabOrder}) {
    for (NavKey k : {NavKey::Tab, NavKey::Left, NavKey::Right, NavKey::Up, NavKey::Down,
                     NavKey::PageUp, NavKey::PageDown}) {
      EXPECT_EQ(navigationMove(c, k, {.ctrl = true}), L);
      EXPECT_EQ(navigationMove(c, k, {.alt = true}), L);
      EXPECT_EQ(navigationMove(c, k, {.shift = true, .ctrl = true}), L);
    }
  }
}

TEST(FocusRules, MovesWrapAtBothEnds) {
  struct Case {
    std::size_t current, count;
    NavMove move;
    std::size_t expected;
  };
  const Case cases[] = {
      {0, 7, N, 1}, {6, 7, N, 0}, {0, 7, P, 6}, {3, 7, P, 2},
      {3, 7, L, 3}, {0, 1, N, 0}, {0, 1, P, 0}, {0, 0, N, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(nextCandidate(c.current, c.count, c.move), c.expected) << c.current << "/" << c.count;
}

TEST(FocusRules, SevenTabsComeBackToTheStart) {
  std::size_t at = 2;
  for (int i = 0; i < 7; ++i)
    at = nextCandidate(at, 7, navigationMove(NavControl::PushButton, NavKey::Tab, {}));
  EXPECT_EQ(at, 2u);
}

}  // namespace
}  // namespace panel
