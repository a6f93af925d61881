// The panel window and its controls, read back from the real windows that the scheme builds:
// positions and sizes, styles and frames, fonts, the colours each control is given, the port
// list, the label's auto-size, the drop-down, the icon, and that the layout holds while the
// panel runs.
#include <windows.h>

#include <commctrl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "tests/win/panel_fixture.h"

// RECT lives in the global namespace, where the test macros look for its comparison and print.
bool operator==(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

void PrintTo(const RECT& r, std::ostream* os) {
  *os << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
}

namespace paneltest {
namespace {

constexpr COLORREF kLightGreen = RGB(192, 220, 192);
constexpr COLORREF kNavy = RGB(0, 0, 128);
constexpr COLORREF kBlue = RGB(0, 0, 255);

// What each control must be: its class, its box in the main window's client area, its text and
// the font it asks for. The label's size is its text's (checked apart), so it is -1 here.
struct Layout {
  Ctl control;
  const wchar_t* className;
  int left, top, width, height;
  const wchar_t* text;
  const wchar_t* face;
  int points;
  BYTE charset;
};

const Layout kLayout[] = {
    {Ctl::PortList, L"ComboBox", 35, 20, 255, 21, L"ПОРТ НЕ ОПРЕДЕЛЁН", L"Arial", 8, 204},
    {Ctl::CommandLabel, L"Static", 65, 55, -1, -1, L"СИМВОЛ ПЕРЕДАЧИ КОМАНДЫ", L"MS Sans Serif", 8,
     1},
    {Ctl::CommandEcho, L"Edit", 155, 75, 30, 40, L"", L"MS Sans Serif", 23, 1},
    {Ctl::SpeedButton, L"Button", 40, 150, 245, 50, L"СКОРОСТЬ", L"MS Sans Serif", 8, 1},
    {Ctl::ForwardButton, L"Button", 125, 210, 75, 65, L"ВПЕРЁД", L"MS Sans Serif", 8, 1},
    {Ctl::LeftButton, L"Button", 40, 285, 75, 65, L"ВЛЕВО", L"MS Sans Serif", 8, 1},
    {Ctl::RightButton, L"Button", 210, 285, 75, 65, L"ВПРАВО", L"MS Sans Serif", 8, 1},
    {Ctl::BackButton, L"Button", 125, 360, 75, 65, L"НАЗАД", L"MS Sans Serif", 8, 1},
};

// A window's outer box in its parent's client coordinates (the screen's for a top-level one).
RECT boxOf(HWND h) {
  RECT r{};
  GetWindowRect(h, &r);
  if (HWND parent = GetParent(h))
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

std::wstring classOf(HWND h) {
  wchar_t name[64]{};
  GetClassNameW(h, name, 64);
  return name;
}

LOGFONTW logFontOf(HFONT font) {
  LOGFONTW lf{};
  GetObjectW(font, sizeof lf, &lf);
  return lf;
}

// The character height the panel asks for, from the screen as the test reads it.
int expectedCharacterHeight(int points) {
  HDC dc = GetDC(nullptr);
  int ppi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  return (points * ppi + 36) / 72;
}

struct Colours {
  HBRUSH brush;
  COLORREF text;
  COLORREF background;
};

// What a WM_CTLCOLOR* message to `window` about `control` makes of a fresh DC.
Colours ask(HWND window, UINT msg, HWND control, bool defaultProcedure = false) {
  HDC dc = CreateCompatibleDC(nullptr);
  LRESULT r = defaultProcedure ? DefWindowProcW(window, msg, reinterpret_cast<WPARAM>(dc),
                                                reinterpret_cast<LPARAM>(control))
                               : SendMessageW(window, msg, reinterpret_cast<WPARAM>(dc),
                                              reinterpret_cast<LPARAM>(control));
  Colours c{reinterpret_cast<HBRUSH>(r), GetTextColor(dc), GetBkColor(dc)};
  DeleteDC(dc);
  return c;
}

COLORREF brushColour(HBRUSH b) {
  LOGBRUSH lb{};
  if (!b || GetObjectW(b, sizeof lb, &lb) != sizeof lb) return CLR_INVALID;
  return lb.lbColor;
}

class PanelWindow : public PanelFixture {
 protected:
  std::map<std::string, RECT> layoutNow() const {
    std::map<std::string, RECT> boxes{{"MainForm", boxOf(mainWindow())}};
    for (Ctl c : kAllControls)
      boxes[nameOf(c)] = boxOf(hwndOf(c));
    RECT client{};
    GetClientRect(mainWindow(), &client);
    boxes["client"] = client;
    return boxes;
  }
};

// ---- the main window ----------------------------------------------------------------------

TEST_F(PanelWindow, MainWindowIsAtTheOriginWithItsOuterSizeAndTitle) {
  HWND main = mainWindow();
  EXPECT_EQ(boxOf(main), (RECT{0, 0, 344, 702}));
  EXPECT_TRUE(IsWindowVisible(main));
  EXPECT_EQ(textOf(main), L"ПУЛЬТ УПРАВЛЕНИЯ ШАССИ");

  // The client area is what the frame of this style leaves of the outer size, and holds the
  // lowest control (down to y 425) with room to spare.
  DWORD style = static_cast<DWORD>(GetWindowLongPtrW(main, GWL_STYLE));
  DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(main, GWL_EXSTYLE));
  RECT frame{0, 0, 0, 0};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  RECT client{};
  GetClientRect(main, &client);
  EXPECT_EQ(client.right, 344 - (frame.right - frame.left));
  EXPECT_EQ(client.bottom, 702 - (frame.bottom - frame.top));
  EXPECT_GT(client.bottom, 425);
}

TEST_F(PanelWindow, MainWindowHasACloseBoxButCannotBeResizedMinimisedOrMaximised) {
  HWND main = mainWindow();
  auto style = static_cast<DWORD>(GetWindowLongPtrW(main, GWL_STYLE));
  auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(main, GWL_EXSTYLE));
  EXPECT_EQ(style & WS_CAPTION, static_cast<DWORD>(WS_CAPTION));
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_TRUE(exStyle & WS_EX_WINDOWEDGE);
  EXPECT_FALSE(exStyle & WS_EX_LAYERED);  // opacity 255: an ordinary opaque window
  EXPECT_FALSE(exStyle & WS_EX_TOOLWINDOW);

  // The frame offers no handle to pull: its edges are plain border.
  RECT r{};
  GetWindowRect(main, &r);
  const POINT edges[] = {{r.left, (r.top + r.bottom) / 2},
                         {r.right - 1, (r.top + r.bottom) / 2},
                         {(r.left + r.right) / 2, r.bottom - 1},
                         {r.right - 1, r.bottom - 1}};
  for (POINT p : edges) {
    LRESULT hit = SendMessageW(main, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y));
    EXPECT_EQ(hit, HTBORDER) << "at " << p.x << "," << p.y;
  }
}

class PanelBuilding : public PanelFixture {
 protected:
  void SetUp() override { build(); }
};

TEST_F(PanelBuilding, MainWindowStaysHiddenUntilTheStartStepShowsIt) {
  HWND main = mainWindow();
  EXPECT_FALSE(IsWindowVisible(main));
  EXPECT_EQ(boxOf(main), (RECT{0, 0, 344, 702}));
  start();
  EXPECT_TRUE(IsWindowVisible(main));
  EXPECT_EQ(GetForegroundWindow(), main);
  EXPECT_EQ(boxOf(main), (RECT{0, 0, 344, 702}));
  EXPECT_TRUE(fake.calls.empty()) << "building and starting touch no port";
}

TEST_F(PanelWindow, MainWindowCarriesTheAsmaIconOfTheResources) {
  auto big = reinterpret_cast<HICON>(SendMessageW(mainWindow(), WM_GETICON, ICON_BIG, 0));
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(big, LoadIconW(GetModuleHandleW(nullptr), L"ASMA"));
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(big, &info));
  BITMAP colour{};
  GetObjectW(info.hbmColor, sizeof colour, &colour);
  EXPECT_EQ(colour.bmWidth, GetSystemMetrics(SM_CXICON));
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
}

// ---- panel.exe's icon group ---------------------------------------------------------------

#pragma pack(push, 2)
struct IconGroupEntry {
  BYTE width, height, colourCount, reserved;
  WORD planes, bitCount;
  DWORD bytes;
  WORD id;
};
struct IconGroupHeader {
  WORD reserved, type, count;
};
#pragma pack(pop)

// panel.exe as ctest names it: a host path, which Wine serves as drive Z:.
std::wstring panelExePath() {
  const char* p = std::getenv("PANEL_EXE");
  if (!p) return {};
  std::wstring path(p, p + std::char_traits<char>::length(p));
  if (!path.empty() && path[0] == L'/') {
    for (wchar_t& c : path) {
      if (c == L'/') c = L'\\';
    }
    path = L"Z:" + path;
  }
  return path;
}

TEST(PanelResources, IconGroupAsmaHolds16And32PixelImagesAt24Bits) {
  std::wstring path = panelExePath();
  ASSERT_FALSE(path.empty()) << "PANEL_EXE names the built panel.exe";
  HMODULE exe = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(exe, nullptr) << "cannot load " << std::string(path.begin(), path.end());

  HRSRC group =
      FindResourceExW(exe, RT_GROUP_ICON, L"ASMA", MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT));
  ASSERT_NE(group, nullptr) << "the group is ASMA, language Russian (1049)";
  auto* header = static_cast<const IconGroupHeader*>(LockResource(LoadResource(exe, group)));
  ASSERT_NE(header, nullptr);
  EXPECT_EQ(header->type, 1);
  ASSERT_EQ(header->count, 2);
  auto* entries = reinterpret_cast<const IconGroupEntry*>(header + 1);

  std::vector<int> sizes;
  for (int i = 0; i < header->count; ++i) {
    const IconGroupEntry& e = entries[i];
    int n = e.width;
    sizes.push_back(n);
    SCOPED_TRACE(n);
    EXPECT_EQ(e.height, n);
    EXPECT_EQ(e.bitCount, 24);
    EXPECT_EQ(e.colourCount, 0);
    HRSRC image = FindResourceW(exe, MAKEINTRESOURCEW(e.id), RT_ICON);
    ASSERT_NE(image, nullptr);
    auto* bmp = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(exe, image)));
    ASSERT_NE(bmp, nullptr);
    EXPECT_EQ(bmp->biWidth, n);
    EXPECT_EQ(bmp->biHeight, 2 * n);  // the colour image and its AND mask
    EXPECT_EQ(bmp->biBitCount, 24);
    EXPECT_EQ(bmp->biClrUsed, 0u);  // no palette
    DWORD colourRow = (static_cast<DWORD>(n) * 3 + 3) & ~3u;
    DWORD maskRow = ((static_cast<DWORD>(n) + 31) / 32) * 4;
    EXPECT_EQ(SizeofResource(exe, image), bmp->biSize + (colourRow + maskRow) * n);
  }
  EXPECT_THAT(sizes, ::testing::UnorderedElementsAre(16, 32));
  FreeLibrary(exe);
}

// ---- the controls -------------------------------------------------------------------------

TEST_F(PanelWindow, EachControlHasItsClassBoxAndText) {
  for (const Layout& l : kLayout) {
    SCOPED_TRACE(nameOf(l.control));
    HWND h = hwndOf(l.control);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GetParent(h), mainWindow());
    std::wstring cls = classOf(h);
    EXPECT_EQ(lstrcmpiW(cls.c_str(), l.className), 0) << std::string(cls.begin(), cls.end());
    RECT box = boxOf(h);
    EXPECT_EQ(box.left, l.left);
    EXPECT_EQ(box.top, l.top);
    if (l.width > 0) {
      EXPECT_EQ(box.right - box.left, l.width);
      EXPECT_EQ(box.bottom - box.top, l.height);
    }
    EXPECT_EQ(textOf(h), l.text);
    EXPECT_TRUE(IsWindowVisible(h));
    EXPECT_TRUE(IsWindowEnabled(h));
  }
}

TEST_F(PanelWindow, NoTwoControlsOverlap) {
  for (Ctl a : kAllControls) {
    for (Ctl b : kAllControls) {
      if (a == b) continue;
      RECT ra = boxOf(hwndOf(a)), rb = boxOf(hwndOf(b)), both{};
      EXPECT_FALSE(IntersectRect(&both, &ra, &rb)) << nameOf(a) << " and " << nameOf(b);
    }
  }
}

TEST_F(PanelWindow, EachControlAsksForItsFontByCharacterHeight) {
  for (const Layout& l : kLayout) {
    SCOPED_TRACE(nameOf(l.control));
    auto font = reinterpret_cast<HFONT>(SendMessageW(hwndOf(l.control), WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    LOGFONTW lf = logFontOf(font);
    // The face is asked for by name even where the system lacks it; its font matching picks
    // the nearest one.
    EXPECT_STREQ(lf.lfFaceName, l.face);
    EXPECT_EQ(lf.lfHeight, -expectedCharacterHeight(l.points));
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    EXPECT_EQ(lf.lfCharSet, l.charset);
    EXPECT_FALSE(lf.lfItalic);
    EXPECT_FALSE(lf.lfUnderline);
    EXPECT_FALSE(lf.lfStrikeOut);
  }
  // At the usual 96 pixels per inch: 8 points are 11 pixels and 23 points 31.
  if (expectedCharacterHeight(72) == 96) {
    EXPECT_EQ(
        logFontOf(reinterpret_cast<HFONT>(SendMessageW(hwndOf(Ctl::CommandEcho), WM_GETFONT, 0, 0)))
            .lfHeight,
        -31);
    EXPECT_EQ(
        logFontOf(reinterpret_cast<HFONT>(SendMessageW(hwndOf(Ctl::SpeedButton), WM_GETFONT, 0, 0)))
            .lfHeight,
        -11);
  }
  // The main window's own font, shown nowhere.
  LOGFONTW form = logFontOf(scheme->MainForm->fontHandle());
  EXPECT_STREQ(form.lfFaceName, L"Arial Black");
  EXPECT_EQ(form.lfHeight, -expectedCharacterHeight(8));
  EXPECT_EQ(form.lfWeight, FW_BOLD);
  EXPECT_EQ(form.lfCharSet, 204);
}

TEST_F(PanelWindow, EveryTextOnThePanelHasItsGlyphsInTheFontItIsShownIn) {
  // Whatever face the system substitutes, the Cyrillic letters must be drawn, not boxes.
  for (const Layout& l : kLayout) {
    std::wstring text = l.text;
    if (l.control == Ctl::CommandEcho) text = L"5";
    if (l.control == Ctl::PortList) text = L"ПОРТ НЕ ОПРЕДЕЛЁН COM 20";
    SCOPED_TRACE(nameOf(l.control));
    HWND h = hwndOf(l.control);
    HDC dc = GetDC(h);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0)));
    std::vector<WORD> glyphs(text.size());
    DWORD n = GetGlyphIndicesW(dc, text.c_str(), static_cast<int>(text.size()), glyphs.data(),
                               GGI_MARK_NONEXISTING_GLYPHS);
    wchar_t face[LF_FACESIZE]{};
    GetTextFaceW(dc, LF_FACESIZE, face);
    SelectObject(dc, old);
    ReleaseDC(h, dc);
    ASSERT_EQ(n, text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
      EXPECT_NE(glyphs[i], 0xFFFF) << "character " << i << " missing in the face shown, "
                                   << std::string(face, face + wcslen(face));
    }
  }
}

TEST_F(PanelWindow, FramesAndStylesOfEachKind) {
  auto style = [](HWND h) { return static_cast<DWORD>(GetWindowLongPtrW(h, GWL_STYLE)); };
  auto exStyle = [](HWND h) { return static_cast<DWORD>(GetWindowLongPtrW(h, GWL_EXSTYLE)); };
  constexpr DWORD kEdges =
      WS_EX_CLIENTEDGE | WS_EX_STATICEDGE | WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;

  // The list: a drop-down that cannot be typed into, in item order, with only its own edge.
  HWND list = hwndOf(Ctl::PortList);
  EXPECT_EQ(style(list) & 0x3u, static_cast<DWORD>(CBS_DROPDOWNLIST));
  EXPECT_FALSE(style(list) & CBS_SORT);
  EXPECT_TRUE(style(list) & WS_TABSTOP);
  EXPECT_FALSE(style(list) & WS_BORDER);
  EXPECT_EQ(exStyle(list) & kEdges, 0u);

  // The echo: an editable single line in the sunken 3-D edge, with the platform's longest text.
  HWND echo = hwndOf(Ctl::CommandEcho);
  EXPECT_TRUE(exStyle(echo) & WS_EX_CLIENTEDGE);
  EXPECT_FALSE(style(echo) & WS_BORDER);
  EXPECT_FALSE(style(echo) & (ES_MULTILINE | ES_PASSWORD | ES_READONLY | ES_RIGHT | ES_CENTER));
  EXPECT_TRUE(style(echo) & ES_AUTOHSCROLL);
  EXPECT_TRUE(style(echo) & WS_TABSTOP);
  EXPECT_EQ(SendMessageW(echo, EM_GETLIMITTEXT, 0, 0), 0x7FFFFFFE);

  // The label: one left-aligned line, no frame, no tab stop.
  HWND label = hwndOf(Ctl::CommandLabel);
  EXPECT_EQ(style(label) & SS_TYPEMASK, static_cast<DWORD>(SS_LEFTNOWORDWRAP));
  EXPECT_FALSE(style(label) & (WS_BORDER | SS_SUNKEN | WS_TABSTOP | SS_NOTIFY));
  EXPECT_EQ(exStyle(label) & kEdges, 0u);

  // The buttons: flat push buttons (none the default), captions centred and wrapping.
  for (Ctl b : kButtons) {
    SCOPED_TRACE(nameOf(b));
    HWND h = hwndOf(b);
    EXPECT_EQ(style(h) & BS_TYPEMASK, static_cast<DWORD>(BS_PUSHBUTTON));
    EXPECT_TRUE(style(h) & BS_FLAT);
    EXPECT_TRUE(style(h) & BS_MULTILINE);
    EXPECT_EQ(style(h) & BS_CENTER, static_cast<DWORD>(BS_CENTER));
    EXPECT_EQ(style(h) & BS_VCENTER, static_cast<DWORD>(BS_VCENTER));
    EXPECT_TRUE(style(h) & WS_TABSTOP);
    EXPECT_FALSE(style(h) & WS_BORDER);
    EXPECT_EQ(exStyle(h) & kEdges, 0u);
  }
}

// ---- colours ------------------------------------------------------------------------------

struct ColourCase {
  Ctl control;
  UINT message;
  bool fromDropDownPart;  // asked about the list's drop-down part rather than its box
  COLORREF text;
  bool infoBackground;  // system colour 24, else light green
};

class PanelColours : public PanelWindow, public ::testing::WithParamInterface<ColourCase> {};

TEST_P(PanelColours, ControlAnswersWithItsTextAndBackgroundColours) {
  const ColourCase& c = GetParam();
  HWND h = hwndOf(c.control);
  if (c.fromDropDownPart) {
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetComboBoxInfo(h, &info));
    h = info.hwndList;
  }
  COLORREF background = c.infoBackground ? GetSysColor(COLOR_INFOBK) : kLightGreen;
  Colours got = ask(mainWindow(), c.message, h);
  ASSERT_NE(got.brush, nullptr);
  EXPECT_EQ(got.text, c.text);
  EXPECT_EQ(got.background, background);
  EXPECT_EQ(brushColour(got.brush), background);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PanelColours,
    ::testing::Values(ColourCase{Ctl::CommandLabel, WM_CTLCOLORSTATIC, false, kNavy, false},
                      ColourCase{Ctl::PortList, WM_CTLCOLOREDIT, false, kNavy, true},
                      ColourCase{Ctl::PortList, WM_CTLCOLORLISTBOX, false, kNavy, true},
                      ColourCase{Ctl::PortList, WM_CTLCOLORLISTBOX, true, kNavy, true},
                      ColourCase{Ctl::CommandEcho, WM_CTLCOLOREDIT, false, kBlue, true}),
    [](const auto& test) {
      const ColourCase& c = test.param;
      const char* msg = c.message == WM_CTLCOLORSTATIC ? "Static"
                        : c.message == WM_CTLCOLOREDIT ? "Edit"
                                                       : "ListBox";
      return std::string(nameOf(c.control)) + msg + (c.fromDropDownPart ? "DropDown" : "");
    });

TEST_F(PanelWindow, ButtonsAreLeftInTheSystemsButtonColours) {
  for (Ctl b : kButtons) {
    SCOPED_TRACE(nameOf(b));
    for (UINT msg : {WM_CTLCOLORBTN, WM_CTLCOLORSTATIC}) {
      Colours got = ask(mainWindow(), msg, hwndOf(b));
      Colours system = ask(mainWindow(), msg, hwndOf(b), true);
      EXPECT_EQ(got.brush, system.brush);
      EXPECT_EQ(got.text, system.text);
      EXPECT_EQ(got.background, system.background);
    }
  }
}

// Puts a system colour back however the test ends.
class SystemColourOverride {
 public:
  SystemColourOverride(int index, COLORREF value) : index_(index), saved_(GetSysColor(index)) {
    SetSysColors(1, &index_, &value);
  }
  ~SystemColourOverride() { SetSysColors(1, &index_, &saved_); }

 private:
  int index_;
  COLORREF saved_;
};

TEST_F(PanelWindow, SystemColour24IsLookedUpEachTimeItIsUsed) {
  const COLORREF changed = GetSysColor(COLOR_INFOBK) ^ 0x00304050;
  {
    SystemColourOverride override(COLOR_INFOBK, changed);
    ASSERT_EQ(GetSysColor(COLOR_INFOBK), changed);
    for (Ctl c : {Ctl::PortList, Ctl::CommandEcho}) {
      SCOPED_TRACE(nameOf(c));
      Colours got = ask(mainWindow(), WM_CTLCOLOREDIT, hwndOf(c));
      EXPECT_EQ(got.background, changed);
      EXPECT_EQ(brushColour(got.brush), changed);
    }
  }
  Colours back = ask(mainWindow(), WM_CTLCOLOREDIT, hwndOf(Ctl::CommandEcho));
  EXPECT_EQ(brushColour(back.brush), GetSysColor(COLOR_INFOBK));
}

// ---- the port list ------------------------------------------------------------------------

TEST_F(PanelWindow, PortListHoldsItsItemsWithTheFirstSelectedAndNothingFired) {
  HWND list = hwndOf(Ctl::PortList);
  std::vector<std::wstring> items;
  LRESULT count = SendMessageW(list, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    auto len = static_cast<std::size_t>(SendMessageW(list, CB_GETLBTEXTLEN, i, 0));
    std::wstring t(len + 1, L'\0');
    SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(t.data()));
    t.resize(len);
    items.push_back(t);
  }
  std::vector<std::wstring> expected{L"ПОРТ НЕ ОПРЕДЕЛЁН"};
  for (int n = 1; n <= 20; ++n)
    expected.push_back(L"COM " + std::to_wstring(n));
  EXPECT_EQ(items, expected);
  EXPECT_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), 0);
  EXPECT_TRUE(fake.calls.empty()) << "the selection made at start fires nothing";
  EXPECT_EQ(textOf(hwndOf(Ctl::CommandEcho)), L"");
}

TEST_F(PanelWindow, OpenedListIsEightClosedBoxesTallPlusTwoWithAScrollBar) {
  HWND list = hwndOf(Ctl::PortList);
  RECT closed = boxOf(list);
  int boxHeight = closed.bottom - closed.top;
  SendMessageW(list, CB_SHOWDROPDOWN, TRUE, 0);
  pump();
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(GetComboBoxInfo(list, &info));
  EXPECT_TRUE(SendMessageW(list, CB_GETDROPPEDSTATE, 0, 0));
  RECT part{};
  GetWindowRect(info.hwndList, &part);
  EXPECT_EQ(part.bottom - part.top, 8 * boxHeight + 2);
  EXPECT_EQ(part.right - part.left, closed.right - closed.left);
  EXPECT_TRUE(GetWindowLongPtrW(info.hwndList, GWL_STYLE) & WS_VSCROLL);
  SendMessageW(list, CB_SHOWDROPDOWN, FALSE, 0);
  pump();
  EXPECT_EQ(boxOf(list), closed) << "the closed box keeps its place and size";
}

// ---- the label ----------------------------------------------------------------------------

TEST_F(PanelWindow, LabelTakesItsTextsSizePlusOneEachWayAndKeepsItsCorner) {
  HWND label = hwndOf(Ctl::CommandLabel);
  HDC dc = GetDC(label);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
  const std::wstring text = L"СИМВОЛ ПЕРЕДАЧИ КОМАНДЫ";
  SIZE extent{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  SelectObject(dc, old);
  ReleaseDC(label, dc);
  ASSERT_GT(extent.cx, 0);
  RECT box = boxOf(label);
  EXPECT_EQ(box.left, 65);
  EXPECT_EQ(box.top, 55);
  EXPECT_EQ(box.right - box.left, extent.cx + 1);
  EXPECT_EQ(box.bottom - box.top, extent.cy + 1);
}

// ---- what the panel does not do -----------------------------------------------------------

BOOL CALLBACK collectTooltips(HWND h, LPARAM out) {
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  if (pid == GetCurrentProcessId() && lstrcmpiW(classOf(h).c_str(), TOOLTIPS_CLASSW) == 0)
    reinterpret_cast<std::vector<HWND>*>(out)->push_back(h);
  return TRUE;
}

TEST_F(PanelWindow, NoControlHasATooltip) {
  // Move the mouse over every control, as a tooltip would need, then look for one.
  for (Ctl c : kAllControls) {
    PostMessageW(hwndOf(c), WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
  }
  pump();
  std::vector<HWND> tips;
  EnumWindows(&collectTooltips, reinterpret_cast<LPARAM>(&tips));
  EXPECT_TRUE(tips.empty());
}

// Clicks that the main window is told of, seen before the window's own procedure.
LRESULT CALLBACK recordClicks(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
  if (msg == WM_COMMAND && (HIWORD(wp) == BN_CLICKED || LOWORD(wp) == IDOK))
    reinterpret_cast<std::vector<HWND>*>(data)->push_back(reinterpret_cast<HWND>(lp));
  return DefSubclassProc(h, msg, wp, lp);
}

TEST_F(PanelWindow, EnterPressesNoButton) {
  choosePort(3);
  ASSERT_THAT(opens(), ::testing::ElementsAre("\\\\.\\Com3"));
  std::vector<HWND> clicks;
  ASSERT_TRUE(
      SetWindowSubclass(mainWindow(), &recordClicks, 1, reinterpret_cast<DWORD_PTR>(&clicks)));
  for (Ctl c : kFocusable) {
    SCOPED_TRACE(nameOf(c));
    HWND h = hwndOf(c);
    SetFocus(h);
    pump();
    ASSERT_EQ(GetFocus(), h);
    PostMessageW(h, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    pump();
    PostMessageW(GetFocus(), WM_KEYUP, VK_RETURN, static_cast<LPARAM>(0xC01C0001u));
    pump();
  }
  RemoveWindowSubclass(mainWindow(), &recordClicks, 1);
  EXPECT_TRUE(clicks.empty());
  EXPECT_TRUE(writes().empty());
  EXPECT_EQ(textOf(hwndOf(Ctl::CommandEcho)), L"");
}

TEST_F(PanelWindow, TypingIntoTheEchoFieldSendsNothingAndTheNextCommandReplacesIt) {
  choosePort(3);
  HWND echo = hwndOf(Ctl::CommandEcho);
  SetFocus(echo);
  for (wchar_t ch : std::wstring(L"xy"))
    PostMessageW(echo, WM_CHAR, ch, 1);
  pump();
  EXPECT_EQ(textOf(echo), L"xy");
  EXPECT_TRUE(writes().empty());

  HWND forward = hwndOf(Ctl::ForwardButton);
  PostMessageW(forward, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  pump();
  EXPECT_EQ(textOf(echo), L"1\n");
  DWORD start = 0, end = 0;
  SendMessageW(echo, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 2u) << "the caret stays where the typing left it";
  PostMessageW(forward, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  pump();
  EXPECT_EQ(textOf(echo), L"5\n");
  EXPECT_THAT(writes(), ::testing::ElementsAre("1\n", "5\n"));
}

// ---- the layout while running -------------------------------------------------------------

TEST_F(PanelWindow, LayoutHoldsWhileThePanelRuns) {
  const auto before = layoutNow();

  choosePort(7);
  for (Ctl b : kButtons) {
    HWND h = hwndOf(b);
    PostMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    pump();
    PostMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    pump();
  }
  HWND list = hwndOf(Ctl::PortList);
  SendMessageW(list, CB_SHOWDROPDOWN, TRUE, 0);
  pump();
  SendMessageW(list, CB_SHOWDROPDOWN, FALSE, 0);
  choosePort(20);
  choosePort(0);
  HWND echo = hwndOf(Ctl::CommandEcho);
  for (wchar_t ch : std::wstring(L"typed long enough to scroll"))
    PostMessageW(echo, WM_CHAR, ch, 1);
  PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 0x000F0001);
  pump();

  ASSERT_THAT(writes(), ::testing::ElementsAre("1\n", "5\n", "2\n", "5\n", "3\n", "5\n", "4\n",
                                               "5\n", "6\n", "5\n"))
      << "the panel really ran";
  const auto after = layoutNow();
  for (const auto& [name, box] : before)
    EXPECT_EQ(after.at(name), box) << name;
}

}  // namespace
}  // namespace paneltest
