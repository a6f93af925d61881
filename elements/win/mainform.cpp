#include "elements/win/mainform.h"

#include <algorithm>

#include "elements/win/app.h"

namespace elements::win {

namespace {
constexpr wchar_t kFormClass[] = L"PanelMainForm";

}  // namespace

ATOM THIMainForm::registerClass() {
  static const ATOM atom = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &THIMainForm::windowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.lpszClassName = kFormClass;
    return RegisterClassExW(&wc);
  }();
  return atom;
}

namespace {
DWORD borderStyleBits(std::uint8_t style, DWORD& exStyle) {
  exStyle = WS_EX_WINDOWEDGE;
  switch (style) {
    case 3:  // title bar, system menu, close box; not sizable, no minimise or maximise box
      return WS_CAPTION | WS_SYSMENU;
    default:
      return WS_OVERLAPPEDWINDOW;
  }
}
}  // namespace

THIMainForm::THIMainForm() : THIWin(nullptr) {
  registerClass();
  HWND hwnd =
      CreateWindowExW(WS_EX_WINDOWEDGE, kFormClass, L"Form", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                      0, 0, 0, 0, nullptr, nullptr, GetModuleHandleW(nullptr), this);
  bindHandle(hwnd);
  StartList::add(&THIMainForm::startProcedure, this);
}

THIMainForm::~THIMainForm() {
  // Normally the loop's end has destroyed the window already. If not, unbind it first: the
  // element is being destroyed and must not see the window's last messages.
  if (HWND h = handle()) {
    SetWindowLongPtrW(h, GWLP_USERDATA, 0);
    forgetHandle();
    DestroyWindow(h);
  }
}

void THIMainForm::removeControl(THIWin* control) {
  controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
}

void THIMainForm::setCaption(const std::wstring& text) {
  if (handle()) SetWindowTextW(handle(), text.c_str());
}

void THIMainForm::setBorderStyle(std::uint8_t style) {
  borderStyle_ = style;
  if (!handle()) return;
  DWORD exStyle = 0;
  DWORD bits = borderStyleBits(style, exStyle);
  SetWindowLongPtrW(handle(), GWL_STYLE, static_cast<LONG_PTR>(bits | WS_CLIPCHILDREN));
  SetWindowLongPtrW(handle(), GWL_EXSTYLE, static_cast<LONG_PTR>(exStyle));
  SetWindowPos(handle(), nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void THIMainForm::setIcon(HICON icon) {
  icon_ = icon;
  if (handle()) SendMessageW(handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
}

void THIMainForm::setTaskbarOption(std::uint8_t option) {
  taskbarOption = option;
  if (!handle()) return;
  LONG_PTR ex = GetWindowLongPtrW(handle(), GWL_EXSTYLE);
  if (option == 1) {
    ex = (ex & ~WS_EX_APPWINDOW) | WS_EX_TOOLWINDOW;
  }
  SetWindowLongPtrW(handle(), GWL_EXSTYLE, ex);
}

void THIMainForm::init() {
  // Always the outer size given; the position given, not one the system picks. The window
  // stays hidden until the start step.
  if (!handle()) return;
  SetWindowPos(handle(), nullptr, left, top, width > 0 ? width : 0, height > 0 ? height : 0,
               SWP_NOZORDER | SWP_NOACTIVATE);
  if (!parentFont) ownFont() = makeFont(font);
  if (!enabled) EnableWindow(handle(), FALSE);
}

void THIMainForm::startProcedure(void* self) {
  auto* form = static_cast<THIMainForm*>(self);
  TData none;
  fire(form->onStart, none);
  if (form->visible && form->handle()) {
    int show = form->initialState == 1   ? SW_SHOWMINIMIZED
               : form->initialState == 2 ? SW_SHOWMAXIMIZED
                                         : SW_SHOWNORMAL;
    ShowWindow(form->handle(), show);
    SetForegroundWindow(form->handle());
  }
}

THIWin* THIMainForm::controlOf(HWND hwnd) const {
  for (THIWin* c : controls_) {
    if (!c->handle()) continue;
    if (c->handle() == hwnd || IsChild(c->handle(), hwnd)) return c;
  }
  // A combo box's drop-down list is a top-level window of its own.
  if (hwnd) {
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    for (THIWin* c : controls_) {
      if (c->kind() == ControlKind::DropDownList && c->handle() &&
          GetComboBoxInfo(c->handle(), &info) && info.hwndList == hwnd)
        return c;
    }
  }
  return nullptr;
}

void THIMainForm::runLetGoHook() {
  if (beforeLettingGo) beforeLettingGo(beforeLettingGoContext);
}

bool THIMainForm::onCloseRequest(LPARAM lp) {
  if (closeAccepted_) return true;
  if (lp == 0) {
    TData answer = read(closeQueryLink);
    if (toInteger(answer) != 0) return false;
  }
  closeAccepted_ = true;
  TData none;
  fire(onClose, none);
  runLetGoHook();
  EventGate::close();
  // The position-save name is empty: nothing to save.
  PostQuitMessage(0);
  return true;
}

LRESULT CALLBACK THIMainForm::windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    // Bound before any other message, so that every later one reaches the element.
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    auto* form = static_cast<THIMainForm*>(cs->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    form->bindHandle(hwnd);
  }
  auto* self = reinterpret_cast<THIMainForm*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->forgetHandle();
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
  return self->onMessage(msg, wp, lp);
}

LRESULT THIMainForm::onMessage(UINT msg, WPARAM wp, LPARAM lp) {
  HWND hwnd = handle();
  switch (msg) {
    case WM_CLOSE:
      onCloseRequest(lp);
      return 0;  // neither window is destroyed here; the loop's termination does that
    case WM_ENDSESSION:
      if (wp) {
        runLetGoHook();
        EventGate::close();
        endSession(hwnd);
      }
      return 0;
    case WM_ACTIVATEAPP:
      if (!wp) {
        for (THIWin* c : controls_)
          c->onAppDeactivated();
      }
      break;
    case WM_SETFOCUS:
      if (navigation) {
        navigation->windowFocused();
        return 0;
      }
      break;
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(hwnd, &r);
      FillRect(reinterpret_cast<HDC>(wp), &r, backgroundBrush().get(colour));
      return 1;
    }
    case WM_COMMAND:
      if (lp) {
        if (THIWin* c = controlOf(reinterpret_cast<HWND>(lp))) c->onCommand(HIWORD(wp));
      }
      break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
      if (THIWin* c = controlOf(reinterpret_cast<HWND>(lp))) {
        if (HBRUSH b = c->controlColour(reinterpret_cast<HDC>(wp), msg))
          return reinterpret_cast<LRESULT>(b);
      }
      break;
    case WM_LBUTTONDOWN:
      if (dragByClientArea) {
        ReleaseCapture();
        SendMessageW(hwnd, WM_NCLBUTTONDOWN, HTCAPTION, 0);
        return 0;
      }
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace elements::win
