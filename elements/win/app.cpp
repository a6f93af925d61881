#include "elements/win/app.h"

#include <commctrl.h>

namespace elements::win {

namespace {
THIMainForm* runningForm = nullptr;
}

LoopState& loopState() {
  static LoopState state;
  return state;
}

void startLibraries() {
  InitCommonControls();
  INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX),
                           ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_USEREX_CLASSES};
  InitCommonControlsEx(&icc);
}

void startStep(THIMainForm& form) {
  EventGate::open();
  (void)form;  // the main window is shown by its own start procedure
  StartList::run();
}

bool drainMessages() {
  bool quit = false;
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      quit = true;
      continue;  // the queue is still drained to the end
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return !quit;
}

void runMessageLoop(THIMainForm& form) {
  LoopState& state = loopState();
  state.running = true;
  runningForm = &form;
  while (!state.terminated) {
    WaitMessage();
    if (!drainMessages()) state.terminated = true;
  }
  state.running = false;
  runningForm = nullptr;
  // Releasing the main window destroys every control with it; each element records that its
  // window is gone.
  if (form.handle()) DestroyWindow(form.handle());
}

void endSession(HWND mainWindow) {
  LoopState& state = loopState();
  state.terminated = true;
  state.running = false;
  runningForm = nullptr;
  if (mainWindow) DestroyWindow(mainWindow);
  ExitProcess(0);
}

}  // namespace elements::win
