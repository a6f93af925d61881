// THIMainForm: the panel's main window. It is a top-level window that carries the taskbar entry
// itself; it answers its controls' colour and command notifications, keeps the close protocol
// and shows itself in the start step.
#pragma once

#include <windows.h>

#include <vector>

#include "elements/event.h"
#include "elements/win/thiwin.h"

namespace elements::win {

class THIMainForm : public THIWin {
 public:
  THIMainForm();
  ~THIMainForm() override;

  // Settings besides the common ones. Caption, border style, icon and taskbar option take
  // effect at once when set through their setters.
  void setCaption(const std::wstring& text);
  void setBorderStyle(std::uint8_t style);
  void setIcon(HICON icon);
  void setTaskbarOption(std::uint8_t option);
  std::uint8_t taskbarOption = 0;
  bool dragByClientArea = false;
  std::uint8_t opacity = 255;
  std::uint8_t initialState = 0;  // 0 normal, 1 minimised, 2 maximised
  std::wstring positionSaveName;  // empty: the position is neither restored nor saved
  bool clientSizeFlag = false;    // false: width and height are the outer size

  THI_Event onStart;
  THI_Event onClose;
  THI_Event closeQueryLink;  // read link: a non-zero answer cancels a close

  // Hook of the program, run when a close or the end of the session has been accepted and
  // before the event gate closes: the last moment anything may still be sent.
  void (*beforeLettingGo)(void* context) = nullptr;
  void* beforeLettingGoContext = nullptr;

  // Switched on by the scheme as its last building step.
  KeyNavigation* navigation = nullptr;

  void init() override;
  ControlKind kind() const override { return ControlKind::Form; }

  // The controls built on this window, in creation order.
  const std::vector<THIWin*>& controls() const { return controls_; }
  void addControl(THIWin* control) { controls_.push_back(control); }
  void removeControl(THIWin* control);

  // Whether the close protocol has accepted a close.
  bool closeAccepted() const { return closeAccepted_; }

 protected:
  CreateArgs createArgs() const override { return {}; }

 private:
  static ATOM registerClass();
  static void startProcedure(void* self);
  static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT onMessage(UINT msg, WPARAM wp, LPARAM lp);
  bool onCloseRequest(LPARAM lp);
  void runLetGoHook();
  THIWin* controlOf(HWND hwnd) const;

  std::uint8_t borderStyle_ = 0;
  HICON icon_ = nullptr;
  std::vector<THIWin*> controls_;
  bool closeAccepted_ = false;
};

}  // namespace elements::win
