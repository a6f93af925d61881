// THIWin: the common base of every window element. An element owns one window; its settings are
// plain fields that the scheme writes once, right after constructing the element, and init()
// turns them into the window.
//
// Controls are the standard Windows classes ("COMBOBOX", "STATIC", "EDIT", "BUTTON"),
// subclassed so that the element sees their messages first and then lets the control's own
// processing go on.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "elements/win/gdi.h"

namespace elements::win {

class THIWin;

// Keyboard focus navigation of a main window, consulted by each of its controls.
class KeyNavigation {
 public:
  virtual ~KeyNavigation() = default;
  // A key message for a control; true when navigation consumed it.
  virtual bool filterKey(THIWin& control, UINT msg, WPARAM wp, LPARAM lp) = 0;
  // A control of the window received the focus.
  virtual void controlFocused(THIWin& control) = 0;
  // The main window itself received the focus.
  virtual void windowFocused() = 0;
};

// How a control takes the navigation keys.
enum class ControlKind : std::uint8_t { Form, PushButton, SingleLineEdit, DropDownList, Label };

class THIWin {
 public:
  explicit THIWin(THIWin* parent);
  virtual ~THIWin();
  THIWin(const THIWin&) = delete;
  THIWin& operator=(const THIWin&) = delete;

  // Common settings, with their values at construction.
  std::int32_t left = 0, top = 0;
  std::int32_t width = 0, height = 0;  // outer size; 0 or less keeps the control kind's own
  std::uint8_t sideAlignment = 0;
  std::int32_t tabOrder = 0;
  Colour colour = 0;  // background; a control starts with its main window's colour
  TFontRec font;
  bool parentFont = false;
  std::uint8_t frame3dMode = 2;  // 0 sunken 3-D edge, 1 plain border, 2 as the kind makes it
  std::uint8_t extraFrame = 0;   // with mode 0: 1 no extended style, 2 static edge, 3 dialog
                                 // frame, 4 sunken edge and dialog frame
  std::wstring hint;
  bool transparent = false;
  bool visible = true;
  bool enabled = true;
  std::int32_t cursor = 0;
  bool flatLook = false;
  bool captureOption = false;

  // Builds or configures the window from the settings.
  virtual void init();

  HWND handle() const { return hwnd_; }
  THIWin* parentElement() const { return parent_; }
  virtual ControlKind kind() const = 0;
  HFONT fontHandle() const;

  // The element whose window this is, if any.
  static THIWin* fromHandle(HWND hwnd);

  // Answers the parent's WM_CTLCOLOR* for this control: sets the DC's colours and returns a
  // brush this element owns, or nullptr to leave the default colours.
  virtual HBRUSH controlColour(HDC dc, UINT msg);
  // A WM_COMMAND notification that the control sent to its parent.
  virtual void onCommand(WORD /*code*/) {}
  // The program stopped being the active application.
  virtual void onAppDeactivated() {}

 protected:
  struct CreateArgs {
    const wchar_t* className = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    std::wstring text;
    // Whether the control starts with a 3-D face of its own (a push button does), so that
    // frame mode 0 leaves it as it is.
    bool startsWith3d = false;
  };
  virtual CreateArgs createArgs() const = 0;
  // After the window exists, before it is shown: what only this kind does.
  virtual void afterCreate() {}
  // A message of the control, before the control's own processing. Set handled to swallow it.
  virtual LRESULT handleMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled);

  // The main window's keyboard navigation, if it has been switched on.
  KeyNavigation* navigation() const;
  void bindHandle(HWND hwnd);
  void forgetHandle() { hwnd_ = nullptr; }
  GdiObject<HFONT>& ownFont() { return font_; }
  ColourBrush& backgroundBrush() { return brush_; }

 private:
  static LRESULT CALLBACK subclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                       DWORD_PTR data);
  HWND hwnd_ = nullptr;
  THIWin* parent_;
  GdiObject<HFONT> font_;
  ColourBrush brush_;
};

}  // namespace elements::win
