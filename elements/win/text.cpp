#include "elements/win/text.h"

#include <windows.h>

namespace elements::win {

namespace {
constexpr UINT kCyrillicCodePage = 1251;
}

std::wstring widen1251(std::string_view text) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(kCyrillicCodePage, 0, text.data(), static_cast<int>(text.size()),
                              nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(kCyrillicCodePage, 0, text.data(), static_cast<int>(text.size()), out.data(),
                      n);
  return out;
}

std::string narrow1251(std::wstring_view text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(kCyrillicCodePage, 0, text.data(), static_cast<int>(text.size()),
                              nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(kCyrillicCodePage, 0, text.data(), static_cast<int>(text.size()), out.data(),
                      n, nullptr, nullptr);
  return out;
}

}  // namespace elements::win
