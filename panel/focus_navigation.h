// Keyboard focus navigation of the main window, switched on as the scheme's last building step.
// The candidates are the window's controls that are tab stops, enabled and visible, in creation
// order; which keys move between them is decided by focus_rules.
#pragma once

#include <vector>

#include "elements/win/mainform.h"

namespace panel {

class FocusNavigation : public elements::win::KeyNavigation {
 public:
  explicit FocusNavigation(elements::win::THIMainForm& form);

  bool filterKey(elements::win::THIWin& control, UINT msg, WPARAM wp, LPARAM lp) override;
  void controlFocused(elements::win::THIWin& control) override;
  void windowFocused() override;

  const std::vector<elements::win::THIWin*>& candidates() const { return candidates_; }
  elements::win::THIWin* current() const { return current_; }

 private:
  std::vector<elements::win::THIWin*> candidates_;
  elements::win::THIWin* current_ = nullptr;
  // Keys whose key-down was consumed: their key-up is consumed too, wherever it lands.
  std::vector<WPARAM> consumedDown_;
  bool dropTabChar_ = false;
};

}  // namespace panel
