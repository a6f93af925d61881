// Process entry of panel.exe.
#include <windows.h>

#include "elements/win/app.h"
#include "panel/program.h"
#include "panel/runtime_error.h"
#include "serial/win32_serial.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  panel::installRuntimeErrorReport();
  elements::win::startLibraries();
  return panel::runProgram(GetCommandLineA(), serial::win32SerialDevice());
}
