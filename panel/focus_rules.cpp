#include "panel/focus_rules.h"

namespace panel {

namespace {

enum KeyGroup : unsigned { kTabGroup = 1, kLeftRight = 2, kUpDown = 4, kPages = 8 };

unsigned groupOf(NavKey key) {
  switch (key) {
    case NavKey::Tab:
      return kTabGroup;
    case NavKey::Left:
    case NavKey::Right:
      return kLeftRight;
    case NavKey::Up:
    case NavKey::Down:
      return kUpDown;
    case NavKey::PageUp:
    case NavKey::PageDown:
      return kPages;
    case NavKey::Other:
      break;
  }
  return 0;
}

// The key groups that navigate when a control of this kind has the focus.
unsigned navigatingGroups(NavControl control) {
  switch (control) {
    case NavControl::PushButton:
      return kTabGroup | kLeftRight | kUpDown | kPages;
    case NavControl::SingleLineEdit:
      return kTabGroup | kUpDown | kPages;
    case NavControl::DropDownList:
      return kTabGroup | kLeftRight;
    case NavControl::ExplicitTabOrder:
      return kTabGroup;
    case NavControl::Other:
      break;
  }
  return 0;
}

}  // namespace

NavMove navigationMove(NavControl control, NavKey key, NavModifiers mods) {
  if (mods.ctrl || mods.alt) return NavMove::LeftToControl;
  if (!(navigatingGroups(control) & groupOf(key))) return NavMove::LeftToControl;
  switch (key) {
    case NavKey::Tab:
      return mods.shift ? NavMove::Previous : NavMove::Next;
    case NavKey::Left:
    case NavKey::Up:
    case NavKey::PageUp:
      return NavMove::Previous;
    default:
      return NavMove::Next;
  }
}

std::size_t nextCandidate(std::size_t current, std::size_t count, NavMove move) {
  if (count == 0) return current;
  if (current >= count) current = 0;
  switch (move) {
    case NavMove::Next:
      return (current + 1) % count;
    case NavMove::Previous:
      return (current + count - 1) % count;
    case NavMove::LeftToControl:
      break;
  }
  return current;
}

}  // namespace panel
