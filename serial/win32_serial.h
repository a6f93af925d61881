// The Win32 serial calls behind SerialDevice.
#pragma once

#include "serial/serial_device.h"

namespace serial {

// The process's serial device: the real CreateFileA, GetCommState, BuildCommDCBA, SetCommState,
// SetCommTimeouts, WriteFile and CloseHandle. It keeps no state, so one instance serves all.
SerialDevice& win32SerialDevice();

}  // namespace serial
