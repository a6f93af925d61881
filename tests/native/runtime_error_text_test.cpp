// The text of the runtime-error box.
#include "panel/runtime_error_text.h"

#include <gtest/gtest.h>

namespace panel {
namespace {

TEST(RuntimeErrorText, HeaderFramesAndEmptyLine) {
  EXPECT_EQ(runtimeErrorText(216, 0x4012AB, {0x4012AB, 0x401000, 0xDEADBEEF}),
            "Runtime error 216 at $004012AB\r\n"
            "  $004012AB\r\n"
            "  $00401000\r\n"
            "  $DEADBEEF\r\n"
            "\r\n");
}

TEST(RuntimeErrorText, NoFramesAndWideAddresses) {
  EXPECT_EQ(runtimeErrorText(203, 0, {}), "Runtime error 203 at $00000000\r\n\r\n");
  // A 64-bit address keeps its high digits.
  EXPECT_EQ(runtimeErrorText(200, 0x14000ABCDull, {0x14000ABCDull}),
            "Runtime error 200 at $14000ABCD\r\n  $14000ABCD\r\n\r\n");
}

}  // namespace
}  // namespace panel
