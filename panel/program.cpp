#include "panel/program.h"

#include "elements/win/app.h"
#include "panel/first_argument.h"
#include "panel/scheme.h"

namespace panel {

void showInfoBox() {
  MessageBoxW(nullptr, L"Сделано в Pultix.", L"Pultix Info", 0);
}

int runProgram(std::string_view commandLine, serial::SerialDevice& device) {
  if (isInfoSwitch(firstArgument(commandLine))) {
    // The scheme is never built and no window of the panel is ever shown.
    showInfoBox();
    return 0;
  }
  TClassMainForm_20978D0* scheme = TClassMainForm_20978D0::create(device);
  theScheme = scheme;
  elements::win::startStep(*scheme->MainForm);
  elements::win::runMessageLoop(*scheme->MainForm);
  delete scheme;
  theScheme = nullptr;
  return 0;
}

}  // namespace panel
