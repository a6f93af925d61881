// Colours, fonts and the GDI objects that the window elements own.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>

namespace elements::win {

// A colour setting: 0x00BBGGRR, or with bit 31 set a system colour index in the low byte,
// looked up each time it is used so that the panel follows the user's colour scheme.
using Colour = std::int32_t;
constexpr Colour systemColour(int index) {
  return static_cast<Colour>(0x80000000u | static_cast<unsigned>(index));
}
COLORREF resolveColour(Colour c);

// Owns one GDI object; copying is impossible, so it is deleted exactly once.
template <class H>
class GdiObject {
 public:
  GdiObject() = default;
  explicit GdiObject(H h) : h_(h) {}
  GdiObject(GdiObject&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
  GdiObject& operator=(GdiObject&& o) noexcept {
    if (this != &o) reset(std::exchange(o.h_, nullptr));
    return *this;
  }
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  ~GdiObject() { reset(); }
  void reset(H h = nullptr) {
    if (h_) DeleteObject(h_);
    h_ = h;
  }
  H get() const { return h_; }

 private:
  H h_ = nullptr;
};

// A solid brush for a colour setting, made again only when the resolved colour changes.
class ColourBrush {
 public:
  HBRUSH get(Colour c);

 private:
  GdiObject<HBRUSH> brush_;
  COLORREF made_ = CLR_INVALID;
};

enum FontStyle : std::uint8_t { kBold = 1, kItalic = 2, kUnderline = 4, kStrikeOut = 8 };

struct TFontRec {
  std::wstring name;
  std::uint8_t size = 0;   // points
  std::uint8_t style = 0;  // FontStyle bits
  Colour colour = 0;
  std::uint8_t charset = 1;  // 204 Cyrillic, 1 the system default
};

// The screen's vertical pixels per inch, read once and kept.
int screenPixelsPerInch();
// Character height in pixels for a size in points: (size * ppi + 36) / 72.
int characterHeight(int points);
// The font of a record, requested by character height; a missing face is left to the system's
// font matching.
GdiObject<HFONT> makeFont(const TFontRec& rec);

}  // namespace elements::win
