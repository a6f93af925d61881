#include "panel/focus_navigation.h"

#include <algorithm>

#include "panel/focus_rules.h"

namespace panel {

using elements::win::ControlKind;
using elements::win::THIWin;

namespace {

NavKey keyOf(WPARAM vk) {
  switch (vk) {
    case VK_TAB:
      return NavKey::Tab;
    case VK_LEFT:
      return NavKey::Left;
    case VK_RIGHT:
      return NavKey::Right;
    case VK_UP:
      return NavKey::Up;
    case VK_DOWN:
      return NavKey::Down;
    case VK_PRIOR:
      return NavKey::PageUp;
    case VK_NEXT:
      return NavKey::PageDown;
    default:
      return NavKey::Other;
  }
}

NavControl controlOf(const THIWin& w) {
  if (w.tabOrder > 0) return NavControl::ExplicitTabOrder;
  switch (w.kind()) {
    case ControlKind::PushButton:
      return NavControl::PushButton;
    case ControlKind::SingleLineEdit:
      return NavControl::SingleLineEdit;
    case ControlKind::DropDownList:
      return NavControl::DropDownList;
    default:
      return NavControl::Other;
  }
}

bool isCandidate(const THIWin& w) {
  HWND h = w.handle();
  if (!h) return false;
  LONG_PTR style = GetWindowLongPtrW(h, GWL_STYLE);
  return (style & WS_TABSTOP) && IsWindowEnabled(h) && (style & WS_VISIBLE);
}

}  // namespace

FocusNavigation::FocusNavigation(elements::win::THIMainForm& form) {
  for (THIWin* c : form.controls()) {
    if (isCandidate(*c)) candidates_.push_back(c);
  }
  if (!candidates_.empty()) current_ = candidates_.front();
}

bool FocusNavigation::filterKey(THIWin& control, UINT msg, WPARAM wp, LPARAM) {
  switch (msg) {
    case WM_KEYDOWN: {
      NavModifiers mods{GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_CONTROL) < 0,
                        GetKeyState(VK_MENU) < 0};
      NavMove move = navigationMove(controlOf(control), keyOf(wp), mods);
      if (move == NavMove::LeftToControl) return false;
      auto it = std::find(candidates_.begin(), candidates_.end(), &control);
      if (it == candidates_.end()) return false;
      std::size_t from = static_cast<std::size_t>(it - candidates_.begin());
      THIWin* to = candidates_[nextCandidate(from, candidates_.size(), move)];
      if (std::find(consumedDown_.begin(), consumedDown_.end(), wp) == consumedDown_.end())
        consumedDown_.push_back(wp);
      if (wp == VK_TAB) dropTabChar_ = true;
      SetFocus(to->handle());
      return true;
    }
    case WM_KEYUP: {
      auto it = std::find(consumedDown_.begin(), consumedDown_.end(), wp);
      if (it == consumedDown_.end()) return false;
      consumedDown_.erase(it);
      return true;
    }
    case WM_CHAR:
      if (wp == L'\t' && dropTabChar_) {
        dropTabChar_ = false;
        return true;
      }
      return false;
    default:
      return false;
  }
}

void FocusNavigation::controlFocused(THIWin& control) {
  if (std::find(candidates_.begin(), candidates_.end(), &control) != candidates_.end())
    current_ = &control;
}

void FocusNavigation::windowFocused() {
  if (current_ && current_->handle()) SetFocus(current_->handle());
}

}  // namespace panel
