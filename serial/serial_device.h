// The serial calls the serial-port element makes, behind a small interface.
//
// The element only needs to open a port by its device name, read, build and apply its line
// settings, apply its time-outs, write bytes and close it again. Keeping those calls behind this
// interface lets the element's algorithms run against a recording fake natively, while the
// Windows build puts the real Win32 calls behind it (win32_serial.h). Nothing here needs
// windows.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace serial {

// A port handle as a plain integer wide enough for a Win32 HANDLE.
using DeviceHandle = std::intptr_t;
// The value of INVALID_HANDLE_VALUE (all bits set): no port.
inline constexpr DeviceHandle kInvalidHandle = -1;

// The port's line settings as the platform keeps them (a DCB on Windows). The element never
// looks inside: it reads them, has them edited from the definition text and applies them.
struct LineSettings {
  static constexpr std::size_t kCapacity = 64;
  alignas(8) unsigned char bytes[kCapacity] = {};
};

// The five time-outs of a port, in milliseconds, in the order COMMTIMEOUTS declares them.
struct Timeouts {
  std::uint32_t readIntervalTimeout = 0;
  std::uint32_t readTotalTimeoutMultiplier = 0;
  std::uint32_t readTotalTimeoutConstant = 0;
  std::uint32_t writeTotalTimeoutMultiplier = 0;
  std::uint32_t writeTotalTimeoutConstant = 0;

  friend bool operator==(const Timeouts&, const Timeouts&) = default;
};

// What a write reports: whether it succeeded and how many bytes the device took.
struct WriteResult {
  bool ok = false;
  std::uint32_t written = 0;
};

class SerialDevice {
 public:
  virtual ~SerialDevice() = default;

  // Opens the device for reading and writing, exclusively, with synchronous I/O. Returns
  // kInvalidHandle when it cannot be opened.
  virtual DeviceHandle open(const std::string& deviceName) = 0;
  // Reads the port's current line settings into `settings`.
  virtual bool getState(DeviceHandle port, LineSettings& settings) = 0;
  // Edits `settings` as a definition text such as "baud=19200 parity=N ..." says; fields the
  // text does not name keep what they held.
  virtual bool buildSettings(const std::string& definition, LineSettings& settings) = 0;
  // Applies line settings to the port.
  virtual bool setState(DeviceHandle port, const LineSettings& settings) = 0;
  // Applies time-outs to the port.
  virtual bool setTimeouts(DeviceHandle port, const Timeouts& timeouts) = 0;
  // Writes exactly `bytes` and waits until the device has taken them or a time-out ends it.
  virtual WriteResult write(DeviceHandle port, std::string_view bytes) = 0;
  // Releases the handle. Its result tells nothing the element could act on.
  virtual void close(DeviceHandle port) = 0;
};

}  // namespace serial
