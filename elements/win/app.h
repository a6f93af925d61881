// The program's lifetime around the main window: the libraries' start, the start step, the
// message loop and its termination, and the end of a Windows session.
#pragma once

#include "elements/win/mainform.h"

namespace elements::win {

// Initialises the common controls; the element runtime starts with the gate closed and the start
// list empty.
void startLibraries();

// Opens the event gate, then runs the start list (which shows the main window).
void startStep(THIMainForm& form);

// Waits for messages and drains the queue until the quit message; then destroys every window of
// the program. No idle work, no timer: the loop sleeps in WaitMessage.
void runMessageLoop(THIMainForm& form);

// Takes and dispatches every message waiting now, without blocking; false once the quit
// message has been taken.
bool drainMessages();

struct LoopState {
  bool running = false;
  bool terminated = false;
};
LoopState& loopState();

// The session is ending: every window goes and the process ends with exit code 0.
[[noreturn]] void endSession(HWND mainWindow);

}  // namespace elements::win
