#include "elements/win/thiwin.h"

#include <commctrl.h>

#include <utility>

#include "elements/win/mainform.h"

namespace elements::win {

namespace {
constexpr UINT_PTR kSubclassId = 1;
// The window property that leads from a control's window to its element.
constexpr wchar_t kElementProperty[] = L"PanelElement";

// Frame of a control: mode 0 puts the sunken 3-D edge in place of a plain border, mode 1 a plain
// border in place of the edge; both act only where the frame differs from what is asked.
void applyFrame(std::uint8_t mode, std::uint8_t extra, bool startsWith3d, DWORD& style,
                DWORD& exStyle) {
  bool has3d = startsWith3d || (exStyle & WS_EX_CLIENTEDGE);
  if (mode == 0 && !has3d) {
    exStyle |= WS_EX_CLIENTEDGE;
    style &= ~WS_BORDER;
  } else if (mode == 1 && has3d && !startsWith3d) {
    exStyle &= ~WS_EX_CLIENTEDGE;
    style |= WS_BORDER;
  }
  if (mode != 0) return;
  switch (extra) {
    case 1:
      exStyle = 0;
      break;
    case 2:
      exStyle = WS_EX_STATICEDGE;
      break;
    case 3:
      exStyle = WS_EX_DLGMODALFRAME;
      break;
    case 4:
      exStyle = WS_EX_CLIENTEDGE | WS_EX_DLGMODALFRAME;
      break;
    default:
      break;
  }
}
}  // namespace

THIWin::THIWin(THIWin* parent) : parent_(parent) {
  if (parent) colour = parent->colour;
}

THIWin::~THIWin() {
  // The window can outlive the element only here, when the element goes first (a test or an
  // early end). Unhook it before destroying it: the element is half gone already.
  if (hwnd_) {
    HWND h = std::exchange(hwnd_, nullptr);
    RemoveWindowSubclass(h, &THIWin::subclassProc, kSubclassId);
    RemovePropW(h, kElementProperty);
    DestroyWindow(h);
  }
}

HFONT THIWin::fontHandle() const {
  if (parentFont && parent_) return parent_->fontHandle();
  return font_.get();
}

THIWin* THIWin::fromHandle(HWND hwnd) {
  if (!hwnd) return nullptr;
  return static_cast<THIWin*>(GetPropW(hwnd, kElementProperty));
}

void THIWin::bindHandle(HWND hwnd) {
  hwnd_ = hwnd;
}

KeyNavigation* THIWin::navigation() const {
  for (const THIWin* w = this; w; w = w->parent_) {
    if (w->kind() == ControlKind::Form) return static_cast<const THIMainForm*>(w)->navigation;
  }
  return nullptr;
}

void THIWin::init() {
  CreateArgs args = createArgs();
  DWORD style = args.style | WS_CHILD | WS_CLIPSIBLINGS;
  DWORD exStyle = args.exStyle;
  applyFrame(frame3dMode, extraFrame, args.startsWith3d, style, exStyle);
  if (tabOrder < 0) style &= ~WS_TABSTOP;
  if (!enabled) style |= WS_DISABLED;
  if (flatLook && args.className == std::wstring_view(L"BUTTON")) style |= BS_FLAT;
  if (transparent) exStyle |= WS_EX_TRANSPARENT;

  // Created hidden; shown below, once it is fully configured.
  HWND parentHwnd = parent_ ? parent_->handle() : nullptr;
  HWND hwnd = CreateWindowExW(exStyle, args.className, args.text.c_str(), style, left, top,
                              width > 0 ? width : 0, height > 0 ? height : 0, parentHwnd, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  if (!hwnd) return;
  hwnd_ = hwnd;
  SetPropW(hwnd, kElementProperty, this);
  SetWindowSubclass(hwnd, &THIWin::subclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
  if (cursor != 0) {
    SetClassLongPtrW(hwnd, GCLP_HCURSOR,
                     reinterpret_cast<LONG_PTR>(LoadCursorW(nullptr, MAKEINTRESOURCEW(cursor))));
  }
  if (!parentFont) font_ = makeFont(font);
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(fontHandle()), FALSE);
  afterCreate();
  SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  if (visible) ShowWindow(hwnd, SW_SHOWNA);
}

HBRUSH THIWin::controlColour(HDC dc, UINT /*msg*/) {
  SetTextColor(dc, resolveColour(font.colour));
  if (transparent) {
    SetBkMode(dc, TRANSPARENT);
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  }
  COLORREF bk = resolveColour(colour);
  SetBkColor(dc, bk);
  return backgroundBrush().get(colour);
}

LRESULT THIWin::handleMessage(UINT, WPARAM, LPARAM, bool&) {
  return 0;
}

LRESULT CALLBACK THIWin::subclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                      DWORD_PTR data) {
  auto* self = reinterpret_cast<THIWin*>(data);
  switch (msg) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_SYSKEYDOWN:
      if (KeyNavigation* nav = self->navigation(); nav && nav->filterKey(*self, msg, wp, lp))
        return 0;
      break;
    case WM_SETFOCUS:
      if (KeyNavigation* nav = self->navigation()) nav->controlFocused(*self);
      break;
    case WM_NCDESTROY: {
      RemoveWindowSubclass(hwnd, &THIWin::subclassProc, kSubclassId);
      RemovePropW(hwnd, kElementProperty);
      self->forgetHandle();
      return DefSubclassProc(hwnd, msg, wp, lp);
    }
    default:
      break;
  }
  bool handled = false;
  LRESULT r = self->handleMessage(msg, wp, lp, handled);
  if (handled) return r;
  return DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace elements::win
