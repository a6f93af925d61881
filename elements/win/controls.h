// The panel's controls: the drop-down list, the push button, the one-line edit and the static
// label, each on its standard Windows class.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "elements/event.h"
#include "elements/win/mainform.h"
#include "elements/win/thiwin.h"

namespace elements::win {

// A control of a main window: registers itself with the window so that it gets its colour and
// command notifications.
class THIControl : public THIWin {
 public:
  explicit THIControl(THIMainForm& form) : THIWin(&form), form_(form) { form.addControl(this); }
  ~THIControl() override { form_.removeControl(this); }

 protected:
  THIMainForm& form_;
};

class THIComboBox : public THIControl {
 public:
  explicit THIComboBox(THIMainForm& form) : THIControl(form) {}

  bool editable = false;
  bool sorted = false;
  std::wstring itemListText;            // items separated by CR LF
  std::uint8_t selectionValueKind = 0;  // 0: the selection event carries the index; 1: the text

  THI_Event onSelect;
  // Answers the index of the item selected now, whatever it is given.
  void doCurrentIndex(TData& value, std::uint16_t index);

  ControlKind kind() const override { return ControlKind::DropDownList; }
  void onCommand(WORD code) override;

 protected:
  CreateArgs createArgs() const override;
  void afterCreate() override;
  LRESULT handleMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled) override;

 private:
  void fitClosedHeight();
  void fitDropDownHeight();
};

class THIButton : public THIControl {
 public:
  explicit THIButton(THIMainForm& form) : THIControl(form) {}

  std::wstring caption;
  bool defaultButton = false;

  THI_Event onMouseDown;  // 0 left, 1 right, 2 middle
  THI_Event onMouseUp;
  THI_Event onDblClick;
  THI_Event onClick;

  ControlKind kind() const override { return ControlKind::PushButton; }
  void onCommand(WORD code) override;
  void onAppDeactivated() override;
  HBRUSH controlColour(HDC, UINT) override { return nullptr; }  // the system's button colours

  // Whether a mouse-down has fired with no mouse-up since (bit n: mouse button n).
  bool held() const { return held_ != 0; }

 protected:
  CreateArgs createArgs() const override;
  LRESULT handleMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled) override;

 private:
  void fireButton(const THI_Event& ev, int button);
  void reportLostRelease();
  unsigned held_ = 0;
};

class THIEdit : public THIControl {
 public:
  explicit THIEdit(THIMainForm& form) : THIControl(form) {}

  std::wstring text;
  bool password = false;
  bool readOnly = false;
  std::uint8_t alignment = 0;    // 0 left, 1 right, 2 centred
  std::int32_t lengthLimit = 0;  // 0: the platform's maximum

  THI_Event onChange;
  // Replaces the whole text by the value's string form; the caret stays where it was and the
  // change event does not fire for it.
  void doText(TData& value, std::uint16_t index);

  ControlKind kind() const override { return ControlKind::SingleLineEdit; }
  void onCommand(WORD code) override;

 protected:
  CreateArgs createArgs() const override;
  void afterCreate() override;

 private:
  bool settingText_ = false;
};

class THILabel : public THIControl {
 public:
  explicit THILabel(THIMainForm& form) : THIControl(form) {}

  std::wstring caption;
  bool autoSize = false;
  std::uint8_t alignment = 0;
  Colour hoverColour = 0;
  bool hoverUnderline = false;

  void setCaption(const std::wstring& text);
  ControlKind kind() const override { return ControlKind::Label; }

 protected:
  CreateArgs createArgs() const override;
  void afterCreate() override;

 private:
  void fitToText();
};

}  // namespace elements::win
