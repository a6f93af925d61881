// Text conversions at the edge of the window kit. The panel's values carry 8-bit text in the
// Windows-1251 code page; everything shown on screen goes through the wide (UTF-16) calls, so
// that it reads correctly whatever the system's ANSI code page is.
#pragma once

#include <string>
#include <string_view>

namespace elements::win {

std::wstring widen1251(std::string_view text);
std::string narrow1251(std::wstring_view text);

}  // namespace elements::win
