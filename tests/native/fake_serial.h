// FakeSerialDevice: a serial device that records every call and can fail any of them.
//
// It behaves like a set of exclusive ports: opening a name that is still held fails, as a port
// opened with share mode 0 does, so an element that opens before closing shows up as a failed
// open. Calls on a handle that is not open (a second close, a write after close) are listed in
// `misuse`, which a test expects to stay empty.
//
// Line settings are kept readable: getState puts "state:<handle>" into the buffer and
// buildSettings appends "|<definition>", so what setState receives shows whether the element
// edited the settings it had read. Portable (no windows.h), so Windows-side tests can use it too.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "serial/serial_device.h"

namespace serial {

class FakeSerialDevice : public SerialDevice {
 public:
  enum class Op { Open, GetState, Build, SetState, SetTimeouts, Write, Close };

  struct Call {
    Op op;
    DeviceHandle handle = kInvalidHandle;  // the handle given, or for Open the one returned
    std::string text;                      // Open: device name; Build: definition; Write: bytes
    Timeouts timeouts;                     // SetTimeouts
    std::string settings;                  // SetState: the settings applied, as text
  };

  // Failure switches: the named call reports failure (and, for Open, returns no handle).
  bool failOpen = false;
  bool failGetState = false;
  bool failBuild = false;
  bool failSetState = false;
  bool failSetTimeouts = false;
  bool failWrite = false;
  // Names that no device answers to.
  std::set<std::string> absentDevices;
  // What a successful write reports as written; all bytes when not set.
  std::optional<std::uint32_t> reportedWritten;

  std::vector<Call> calls;
  std::vector<std::string> misuse;

  DeviceHandle open(const std::string& deviceName) override {
    Call call{Op::Open, kInvalidHandle, deviceName, {}, {}};
    bool held = std::any_of(held_.begin(), held_.end(),
                            [&](const auto& entry) { return entry.second == deviceName; });
    if (!failOpen && !held && !absentDevices.count(deviceName)) {
      call.handle = nextHandle_++;
      held_[call.handle] = deviceName;
    }
    calls.push_back(call);
    return call.handle;
  }

  bool getState(DeviceHandle port, LineSettings& settings) override {
    calls.push_back({Op::GetState, port, {}, {}, {}});
    checkHeld(port, "getState");
    if (failGetState) return false;
    setSettingsText(settings, "state:" + std::to_string(port));
    return true;
  }

  bool buildSettings(const std::string& definition, LineSettings& settings) override {
    calls.push_back({Op::Build, kInvalidHandle, definition, {}, {}});
    if (failBuild) return false;
    setSettingsText(settings, settingsText(settings) + "|" + definition);
    return true;
  }

  bool setState(DeviceHandle port, const LineSettings& settings) override {
    calls.push_back({Op::SetState, port, {}, {}, settingsText(settings)});
    checkHeld(port, "setState");
    return !failSetState;
  }

  bool setTimeouts(DeviceHandle port, const Timeouts& timeouts) override {
    calls.push_back({Op::SetTimeouts, port, {}, timeouts, {}});
    checkHeld(port, "setTimeouts");
    return !failSetTimeouts;
  }

  WriteResult write(DeviceHandle port, std::string_view bytes) override {
    calls.push_back({Op::Write, port, std::string(bytes), {}, {}});
    checkHeld(port, "write");
    auto size = static_cast<std::uint32_t>(bytes.size());
    // A failing driver may still report what it moved; the caller must not trust the count.
    if (failWrite) return {false, size};
    return {true, reportedWritten.value_or(size)};
  }

  void close(DeviceHandle port) override {
    calls.push_back({Op::Close, port, {}, {}, {}});
    if (!held_.erase(port)) misuse.push_back("close of " + std::to_string(port) + " not open");
  }

  // The calls as short lines, e.g. "open \\.\Com3 -> 1", "write 1 5\n", "close 1".
  std::vector<std::string> log() const {
    std::vector<std::string> lines;
    for (const Call& c : calls)
      lines.push_back(describe(c));
    return lines;
  }

  std::vector<Call> callsOf(Op op) const {
    std::vector<Call> out;
    for (const Call& c : calls)
      if (c.op == op) out.push_back(c);
    return out;
  }

  bool isHeld(DeviceHandle port) const { return held_.count(port) != 0; }
  std::size_t heldCount() const { return held_.size(); }

  static std::string settingsText(const LineSettings& settings) {
    const char* begin = reinterpret_cast<const char*>(settings.bytes);
    return std::string(begin, std::find(begin, begin + LineSettings::kCapacity, '\0'));
  }

  static std::string describe(const Call& c) {
    std::string h = std::to_string(c.handle);
    switch (c.op) {
      case Op::Open:
        return "open " + c.text + " -> " + (c.handle == kInvalidHandle ? "fail" : h);
      case Op::GetState:
        return "getState " + h;
      case Op::Build:
        return "build " + c.text;
      case Op::SetState:
        return "setState " + h;
      case Op::SetTimeouts:
        return "setTimeouts " + h;
      case Op::Write:
        return "write " + h + " " + c.text;
      case Op::Close:
        return "close " + h;
    }
    return "?";
  }

 private:
  static void setSettingsText(LineSettings& settings, const std::string& text) {
    std::memset(settings.bytes, 0, sizeof settings.bytes);
    std::memcpy(settings.bytes, text.data(), std::min(text.size(), LineSettings::kCapacity - 1));
  }

  void checkHeld(DeviceHandle port, const char* what) {
    if (!held_.count(port)) misuse.push_back(std::string(what) + " on " + std::to_string(port));
  }

  DeviceHandle nextHandle_ = 1;
  std::map<DeviceHandle, std::string> held_;
};

}  // namespace serial
