// Which keys move the keyboard focus, and where to.
//
// Each kind of control leaves some keys to itself: the caret keys of a one-line edit, the
// selection keys of a drop-down list. The rest move the focus along the candidates in creation
// order, wrapping at both ends. With Ctrl or Alt held, every key is the control's.
#pragma once

#include <cstddef>
#include <cstdint>

namespace panel {

enum class NavKey : std::uint8_t { Tab, Left, Right, Up, Down, PageUp, PageDown, Other };
enum class NavControl : std::uint8_t {
  PushButton,
  SingleLineEdit,
  DropDownList,
  ExplicitTabOrder,  // a control with a tab order above 0: only Tab moves away from it
  Other,
};
enum class NavMove : std::uint8_t { LeftToControl, Next, Previous };

struct NavModifiers {
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
};

NavMove navigationMove(NavControl control, NavKey key, NavModifiers mods);

// The candidate that a move reaches from `current`, among `count` candidates.
std::size_t nextCandidate(std::size_t current, std::size_t count, NavMove move);

}  // namespace panel
