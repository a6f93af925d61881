// The command-line rule: which text is the first argument, and whether it asks for the
// information box instead of the panel.
#pragma once

#include <string>
#include <string_view>

namespace panel {

// The first argument after the program name, as the process's 8-bit command line gives it.
// Before each argument, characters up to code 32 and pairs of adjacent double quotes are
// skipped; an argument runs while the code is above 32, and a double quote in it opens a stretch
// up to the next double quote (or the end) that may hold blanks and keeps both quotes. An
// argument wrapped whole in double quotes loses those two. No argument gives "".
std::string firstArgument(std::string_view commandLine);

// Exactly "/ih": case-sensitive, and nothing more.
bool isInfoSwitch(std::string_view argument);

}  // namespace panel
