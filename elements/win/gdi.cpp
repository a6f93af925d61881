#include "elements/win/gdi.h"

#include <algorithm>

namespace elements::win {

COLORREF resolveColour(Colour c) {
  if (static_cast<std::uint32_t>(c) & 0x80000000u) return GetSysColor(c & 0xFF);
  return static_cast<COLORREF>(c) & 0x00FFFFFF;
}

HBRUSH ColourBrush::get(Colour c) {
  COLORREF rgb = resolveColour(c);
  if (!brush_.get() || rgb != made_) {
    brush_.reset(CreateSolidBrush(rgb));
    made_ = rgb;
  }
  return brush_.get();
}

int screenPixelsPerInch() {
  static const int ppi = [] {
    HDC dc = GetDC(nullptr);
    int v = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return v > 0 ? v : 96;
  }();
  return ppi;
}

int characterHeight(int points) {
  return (points * screenPixelsPerInch() + 36) / 72;
}

GdiObject<HFONT> makeFont(const TFontRec& rec) {
  LOGFONTW lf{};
  lf.lfHeight = -characterHeight(rec.size);  // negative: character height, leading excluded
  lf.lfWeight = (rec.style & kBold) ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = (rec.style & kItalic) ? 1 : 0;
  lf.lfUnderline = (rec.style & kUnderline) ? 1 : 0;
  lf.lfStrikeOut = (rec.style & kStrikeOut) ? 1 : 0;
  lf.lfCharSet = rec.charset;
  std::size_t n = std::min<std::size_t>(rec.name.size(), 31);
  std::copy_n(rec.name.data(), n, lf.lfFaceName);
  lf.lfFaceName[n] = L'\0';
  return GdiObject<HFONT>(CreateFontIndirectW(&lf));
}

}  // namespace elements::win
