// PortHandle: sole owner of one open serial port.
//
// The handle is closed when its owner lets go of it (reset, destruction, or being moved onto),
// and the owner is invalid from then on, so a port can never be closed twice. Copying is
// deleted: two owners of one handle would be exactly that double close.
#pragma once

#include <utility>

#include "serial/serial_device.h"

namespace serial {

class PortHandle {
 public:
  PortHandle() = default;
  PortHandle(SerialDevice& device, DeviceHandle handle) : device_(&device), handle_(handle) {}

  PortHandle(const PortHandle&) = delete;
  PortHandle& operator=(const PortHandle&) = delete;

  PortHandle(PortHandle&& other) noexcept
      : device_(other.device_), handle_(std::exchange(other.handle_, kInvalidHandle)) {}
  PortHandle& operator=(PortHandle&& other) noexcept {
    if (this != &other) {
      reset();
      device_ = other.device_;
      handle_ = std::exchange(other.handle_, kInvalidHandle);
    }
    return *this;
  }

  ~PortHandle() { reset(); }

  bool valid() const { return handle_ != kInvalidHandle; }
  DeviceHandle get() const { return handle_; }

  // Closes the port if one is held; afterwards nothing is held.
  void reset() {
    DeviceHandle handle = std::exchange(handle_, kInvalidHandle);
    if (handle != kInvalidHandle) device_->close(handle);
  }

 private:
  SerialDevice* device_ = nullptr;
  DeviceHandle handle_ = kInvalidHandle;
};

}  // namespace serial
