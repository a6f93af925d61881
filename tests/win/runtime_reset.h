// Between two tests in one process, the element runtime goes back to its state at process
// start: the gate closed, the start list empty, the loop neither running nor terminated, and
// nothing left in the thread's queue from the test before.
#pragma once

#include <windows.h>

#include "elements/event.h"
#include "elements/win/app.h"

namespace panel::testing {

inline void resetElementRuntime() {
  elements::EventGate::close();
  elements::StartList::clear();
  elements::win::loopState() = {};
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
  }
}

}  // namespace panel::testing
