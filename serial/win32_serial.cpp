#include "serial/win32_serial.h"

#include <windows.h>

#include <cstring>

namespace serial {

namespace {

static_assert(sizeof(DCB) <= LineSettings::kCapacity, "LineSettings must hold a DCB");
static_assert(alignof(DCB) <= alignof(LineSettings), "LineSettings must be aligned for a DCB");
// INVALID_HANDLE_VALUE, all bits set, comes through as kInvalidHandle (-1).
static_assert(sizeof(DeviceHandle) == sizeof(HANDLE), "DeviceHandle must hold a HANDLE");

HANDLE toHandle(DeviceHandle h) {
  return reinterpret_cast<HANDLE>(h);
}

// The DCB travels as bytes; copying in and out keeps it free of aliasing tricks.
DCB loadDcb(const LineSettings& settings) {
  DCB dcb;
  std::memcpy(&dcb, settings.bytes, sizeof dcb);
  dcb.DCBlength = sizeof dcb;
  return dcb;
}

void storeDcb(const DCB& dcb, LineSettings& settings) {
  std::memcpy(settings.bytes, &dcb, sizeof dcb);
}

class Win32SerialDevice final : public SerialDevice {
 public:
  DeviceHandle open(const std::string& deviceName) override {
    // Exclusive (share mode 0) and without FILE_FLAG_OVERLAPPED, so every write is synchronous.
    HANDLE h = CreateFileA(deviceName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return reinterpret_cast<DeviceHandle>(h);
  }

  bool getState(DeviceHandle port, LineSettings& settings) override {
    DCB dcb = loadDcb(settings);
    BOOL ok = GetCommState(toHandle(port), &dcb);
    storeDcb(dcb, settings);
    return ok != FALSE;
  }

  bool buildSettings(const std::string& definition, LineSettings& settings) override {
    DCB dcb = loadDcb(settings);
    if (!BuildCommDCBA(definition.c_str(), &dcb)) return false;
    storeDcb(dcb, settings);
    return true;
  }

  bool setState(DeviceHandle port, const LineSettings& settings) override {
    DCB dcb = loadDcb(settings);
    return SetCommState(toHandle(port), &dcb) != FALSE;
  }

  bool setTimeouts(DeviceHandle port, const Timeouts& t) override {
    COMMTIMEOUTS ct;
    ct.ReadIntervalTimeout = t.readIntervalTimeout;
    ct.ReadTotalTimeoutMultiplier = t.readTotalTimeoutMultiplier;
    ct.ReadTotalTimeoutConstant = t.readTotalTimeoutConstant;
    ct.WriteTotalTimeoutMultiplier = t.writeTotalTimeoutMultiplier;
    ct.WriteTotalTimeoutConstant = t.writeTotalTimeoutConstant;
    return SetCommTimeouts(toHandle(port), &ct) != FALSE;
  }

  WriteResult write(DeviceHandle port, std::string_view bytes) override {
    if (bytes.size() > MAXDWORD) return {};
    DWORD written = 0;
    BOOL ok = WriteFile(toHandle(port), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                        nullptr);
    return {ok != FALSE, static_cast<std::uint32_t>(written)};
  }

  void close(DeviceHandle port) override { CloseHandle(toHandle(port)); }
};

}  // namespace

SerialDevice& win32SerialDevice() {
  static Win32SerialDevice device;
  return device;
}

}  // namespace serial
