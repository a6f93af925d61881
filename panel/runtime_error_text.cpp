#include "panel/runtime_error_text.h"

#include <cstdio>

namespace panel {

namespace {
std::string hex(std::uint64_t v) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%08llX", static_cast<unsigned long long>(v));
  return buf;
}
}  // namespace

std::string runtimeErrorText(int number, std::uint64_t address,
                             const std::vector<std::uint64_t>& frames) {
  std::string text = "Runtime error " + std::to_string(number) + " at $" + hex(address) + "\r\n";
  for (std::uint64_t f : frames)
    text += "  $" + hex(f) + "\r\n";
  text += "\r\n";
  return text;
}

}  // namespace panel
