// Program main: the "/ih" switch, then the scheme's whole life.
#pragma once

#include <string_view>

#include "serial/serial_device.h"

namespace panel {

// Runs the program for a command line; the result is the process's exit code.
int runProgram(std::string_view commandLine, serial::SerialDevice& device);

// The information box that "/ih" shows.
void showInfoBox();

}  // namespace panel
