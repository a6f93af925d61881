// The command-line rule: which text is the first argument, and when it is the "/ih" switch.
#include "panel/first_argument.h"

#include <gtest/gtest.h>

namespace panel {
namespace {

TEST(FirstArgument, Cases) {
  struct Case {
    const char* commandLine;
    const char* argument;
    bool info;
  };
  const Case cases[] = {
      {"panel.exe /ih", "/ih", true},
      {"\"C:\\Program Files\\panel.exe\" /ih", "/ih", true},
      {"panel.exe \"/ih\"", "/ih", true},
      {"panel.exe \"\" /ih", "/ih", true},
      {"panel.exe \"\"\"\" /ih", "/ih", true},
      {"panel.exe   \t/ih", "/ih", true},
      {"panel.exe /ih more args", "/ih", true},
      {"panel.exe /ih\"\"", "/ih\"\"", false},
      {"panel.exe /IH", "/IH", false},
      {"panel.exe /Ih", "/Ih", false},
      {"panel.exe -ih", "-ih", false},
      {"panel.exe /ih2", "/ih2", false},
      {"panel.exe /i", "/i", false},
      {"panel.exe other /ih", "other", false},
      {"panel.exe", "", false},
      {"panel.exe   ", "", false},
      {"", "", false},
      {"\"panel.exe\"", "", false},
      {"\"panel.exe\"/ih", "", false},  // no gap: /ih is part of the program name
      {"panel.exe \"/i h\"", "/i h", false},
      {"panel.exe a\"b c\"d e", "a\"b c\"d", false},
      {"panel.exe \"unterminated arg", "\"unterminated arg", false},
      {"panel.exe \"", "\"", false},
      {"panel.exe x\"/ih\"", "x\"/ih\"", false},
      {"panel.exe \"/ih\" trailing", "/ih", true},
      {"panel.exe \xE0\xE1", "\xE0\xE1", false},  // bytes above 127 belong to the argument
  };
  for (const auto& c : cases) {
    std::string arg = firstArgument(c.commandLine);
    EXPECT_EQ(arg, c.argument) << c.commandLine;
    EXPECT_EQ(isInfoSwitch(arg), c.info) << c.commandLine;
  }
}

TEST(FirstArgument, ControlCharactersSeparateArguments) {
  EXPECT_EQ(firstArgument("panel.exe\x01/ih"), "/ih");
  EXPECT_EQ(firstArgument(std::string_view("panel.exe\0/ih", 13)), "/ih");
}

TEST(InfoSwitch, ExactBytesOnly) {
  EXPECT_TRUE(isInfoSwitch("/ih"));
  for (const char* other : {"", "/", "/ih ", " /ih", "/iH", "\\ih", "/ih\n"})
    EXPECT_FALSE(isInfoSwitch(other)) << other;
}

}  // namespace
}  // namespace panel
