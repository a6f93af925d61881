#include "elements/win/controls.h"

#include <algorithm>

#include "elements/win/text.h"

namespace elements::win {

namespace {
// Posted by the list to itself: its selection event fires from the queue, not from inside the
// window system's selection notification.
constexpr UINT kSelectionMade = WM_APP + 0x101;
}  // namespace

// ---- THIComboBox -------------------------------------------------------------------------

THIWin::CreateArgs THIComboBox::createArgs() const {
  CreateArgs a;
  a.className = L"COMBOBOX";
  // No integral height: the opened list is exactly as tall as the drop-down rule makes it,
  // not rounded down to whole items.
  a.style = WS_TABSTOP | WS_VSCROLL | (editable ? CBS_DROPDOWN : CBS_DROPDOWNLIST) |
            (sorted ? CBS_SORT : 0) | CBS_AUTOHSCROLL | CBS_NOINTEGRALHEIGHT;
  return a;
}

void THIComboBox::afterCreate() {
  HWND h = handle();
  fitClosedHeight();
  // One item per line: a line ends at a CR, and one LF right after it is skipped.
  std::size_t start = 0;
  const std::wstring& t = itemListText;
  bool first = true;
  while (start < t.size()) {
    std::size_t end = t.find(L'\r', start);
    std::wstring item =
        t.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    SendMessageW(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    if (first) SendMessageW(h, CB_SETCURSEL, 0, 0);
    first = false;
    if (end == std::wstring::npos) break;
    start = end + 1;
    if (start < t.size() && t[start] == L'\n') ++start;
  }
  // A selection made by the program fires no selection event.
  SendMessageW(h, CB_SETCURSEL, 0, 0);
}

void THIComboBox::fitClosedHeight() {
  // A combo box takes the height of its closed box from its font, and the height it is created
  // with is its opened one. The height setting is the closed box's, so the selection field is
  // grown or shrunk by what the box is off. Not every platform reads the field height back as
  // it takes it (Wine adds two pixels to what it is given), so the box is measured again and
  // corrected from what was set.
  if (height <= 0) return;
  HWND h = handle();
  LRESULT field = SendMessageW(h, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
  for (int attempt = 0; attempt < 3 && field > 0; ++attempt) {
    RECT box;
    GetWindowRect(h, &box);
    int off = height - (box.bottom - box.top);
    if (off == 0 || field + off <= 0) break;
    field += off;
    SendMessageW(h, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
  }
}

void THIComboBox::fitDropDownHeight() {
  HWND h = handle();
  RECT closed;
  GetWindowRect(h, &closed);
  int boxHeight = closed.bottom - closed.top;
  LRESULT count = SendMessageW(h, CB_GETCOUNT, 0, 0);
  int n = static_cast<int>(std::clamp<LRESULT>(count, 1, 8));
  SetWindowPos(h, nullptr, 0, 0, closed.right - closed.left, (n + 1) * boxHeight + 2,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void THIComboBox::onCommand(WORD code) {
  if (code == CBN_SELCHANGE) {
    PostMessageW(handle(), kSelectionMade, 0, 0);
  } else if (code == CBN_DROPDOWN) {
    fitDropDownHeight();
  }
}

LRESULT THIComboBox::handleMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled) {
  if (msg == WM_SYSKEYDOWN && wp == VK_F4 && (lp & (1 << 29))) {
    // Alt+F4 closes the window wherever the focus is. Some list controls (Wine's) take F4 as
    // their own open-the-list key even with Alt held, which would leave the panel impossible to
    // close from the keyboard while the list has the focus, as it does at start.
    handled = true;
    SendMessageW(GetAncestor(handle(), GA_ROOT), WM_SYSCOMMAND, SC_CLOSE, 0);
    return 0;
  }
  if (msg != kSelectionMade) return 0;
  handled = true;
  LRESULT index = SendMessageW(handle(), CB_GETCURSEL, 0, 0);
  TData value;
  if (selectionValueKind == 1) {
    std::wstring text;
    if (index >= 0) {
      LRESULT len = SendMessageW(handle(), CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
      text.resize(static_cast<std::size_t>(std::max<LRESULT>(len, 0)) + 1);
      SendMessageW(handle(), CB_GETLBTEXT, static_cast<WPARAM>(index),
                   reinterpret_cast<LPARAM>(text.data()));
      text.resize(static_cast<std::size_t>(std::max<LRESULT>(len, 0)));
    }
    value.setStr(narrow1251(text));
  } else {
    value.setInt(static_cast<std::int32_t>(index));
  }
  fire(onSelect, value);
  return 0;
}

void THIComboBox::doCurrentIndex(TData& value, std::uint16_t) {
  value.setInt(static_cast<std::int32_t>(SendMessageW(handle(), CB_GETCURSEL, 0, 0)));
}

// ---- THIButton ---------------------------------------------------------------------------

THIWin::CreateArgs THIButton::createArgs() const {
  CreateArgs a;
  a.className = L"BUTTON";
  a.style = WS_TABSTOP | (defaultButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | BS_MULTILINE |
            BS_CENTER | BS_VCENTER;
  a.text = caption;
  a.startsWith3d = true;
  return a;
}

void THIButton::fireButton(const THI_Event& ev, int button) {
  TData value = TData::fromInt(button);
  fire(ev, value);
}

LRESULT THIButton::handleMessage(UINT msg, WPARAM, LPARAM lp, bool&) {
  // Every event fires while the message is handled, and the message then goes on to the
  // button's own processing: the element swallows nothing.
  switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
      int button = msg == WM_LBUTTONDOWN ? 0 : msg == WM_RBUTTONDOWN ? 1 : 2;
      held_ |= 1u << button;
      fireButton(onMouseDown, button);
      break;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      int button = msg == WM_LBUTTONUP ? 0 : msg == WM_RBUTTONUP ? 1 : 2;
      held_ &= ~(1u << button);
      fireButton(onMouseUp, button);
      break;
    }
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
      fireButton(onDblClick, msg == WM_LBUTTONDBLCLK ? 0 : msg == WM_RBUTTONDBLCLK ? 1 : 2);
      break;
    case WM_CAPTURECHANGED:
      // The control holds the mouse from a left press to its release. Losing it means that the
      // release will never come here, so it is reported now: a held chassis must stop.
      if ((held_ & 1u) && reinterpret_cast<HWND>(lp) != handle()) reportLostRelease();
      break;
    default:
      break;
  }
  return 0;
}

void THIButton::reportLostRelease() {
  if (!held_) return;
  int button = (held_ & 1u) ? 0 : (held_ & 2u) ? 1 : 2;
  held_ = 0;
  fireButton(onMouseUp, button);
}

void THIButton::onAppDeactivated() {
  reportLostRelease();
}

void THIButton::onCommand(WORD code) {
  if (code == BN_CLICKED) {
    TData none;
    fire(onClick, none);
  }
}

// ---- THIEdit -----------------------------------------------------------------------------

THIWin::CreateArgs THIEdit::createArgs() const {
  CreateArgs a;
  a.className = L"EDIT";
  DWORD align = alignment == 1 ? ES_RIGHT : alignment == 2 ? ES_CENTER : ES_LEFT;
  a.style = WS_TABSTOP | ES_AUTOHSCROLL | align | (password ? ES_PASSWORD : 0) |
            (readOnly ? ES_READONLY : 0);
  a.text = text;
  return a;
}

void THIEdit::afterCreate() {
  SendMessageW(handle(), EM_SETLIMITTEXT, static_cast<WPARAM>(std::max(lengthLimit, 0)), 0);
}

void THIEdit::doText(TData& value, std::uint16_t) {
  HWND h = handle();
  if (!h) return;
  std::wstring t = widen1251(toString(value));
  DWORD selStart = 0;
  SendMessageW(h, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart), 0);
  settingText_ = true;
  SetWindowTextW(h, t.c_str());
  settingText_ = false;
  SendMessageW(h, EM_SETSEL, selStart, selStart);
}

void THIEdit::onCommand(WORD code) {
  // Without a link the text has nowhere to go; reading it back would be work for nothing.
  if (code != EN_CHANGE || settingText_ || !onChange.connected()) return;
  int len = GetWindowTextLengthW(handle());
  std::wstring t(static_cast<std::size_t>(len) + 1, L'\0');
  GetWindowTextW(handle(), t.data(), len + 1);
  t.resize(static_cast<std::size_t>(len));
  TData value = TData::fromStr(narrow1251(t));
  fire(onChange, value);
}

// ---- THILabel ----------------------------------------------------------------------------

THIWin::CreateArgs THILabel::createArgs() const {
  CreateArgs a;
  a.className = L"STATIC";
  DWORD align = alignment == 1 ? SS_RIGHT : alignment == 2 ? SS_CENTER : SS_LEFTNOWORDWRAP;
  a.style = align | SS_NOPREFIX;
  a.text = caption;
  return a;
}

void THILabel::afterCreate() {
  if (autoSize) fitToText();
}

void THILabel::setCaption(const std::wstring& text) {
  caption = text;
  if (!handle()) return;
  SetWindowTextW(handle(), caption.c_str());
  if (autoSize) fitToText();
}

void THILabel::fitToText() {
  HWND h = handle();
  HDC dc = GetDC(h);
  HGDIOBJ old = SelectObject(dc, fontHandle());
  std::wstring measured = caption;
  if (font.style & kItalic) measured += L' ';
  SIZE size{};
  GetTextExtentPoint32W(dc, measured.c_str(), static_cast<int>(measured.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(h, dc);
  // The top-left corner stays where it is.
  SetWindowPos(h, nullptr, 0, 0, size.cx + 1, size.cy + 1,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace elements::win
