#include "serial/com.h"

#include <string_view>
#include <utility>

namespace serial {

namespace {
constexpr std::string_view kDevicePrefix = "\\\\.\\Com";
constexpr std::string_view kParityLetters = "NOEMS";

std::string deviceName(std::int32_t port) {
  // One prefix for every number: "\\.\Com" works for COM1..COM9 as well as COM10 and up.
  std::string name(kDevicePrefix);
  name += elements::intToText(port);
  return name;
}

std::string portDefinition(std::int32_t baud, char parityLetter) {
  std::string text = "baud=";
  text += elements::intToText(baud);
  text += " parity=";
  text += parityLetter;
  text += " data=8 stop=1 ";
  text += "octs=off";
  return text;
}

// The letter of "NOEMS" at `parityIndex`, or none outside 0..4.
std::optional<char> parityLetter(std::int32_t parityIndex) {
  if (parityIndex < 0 || parityIndex >= static_cast<std::int32_t>(kParityLetters.size())) {
    return std::nullopt;
  }
  return kParityLetters[static_cast<std::size_t>(parityIndex)];
}

}  // namespace

THICOM::THICOM(SerialDevice& device) : device_(device) {}

THICOM::~THICOM() {
  stopIfMoving();
  closeDevice();
}

void THICOM::reopenPort(elements::TData& value, std::uint16_t) {
  // Choosing another entry while a button is held must not leave the chassis running.
  stopIfMoving();
  closeDevice();

  Timeouts timeouts;
  timeouts.readIntervalTimeout = timeoutMs;
  timeouts.readTotalTimeoutMultiplier = timeoutMs;
  timeouts.readTotalTimeoutConstant = timeoutMs;
  timeouts.writeTotalTimeoutMultiplier = timeoutMs;
  timeouts.writeTotalTimeoutConstant = timeoutMs;

  // A parity index outside "NOEMS" is a setting no port can be given: rather than guess a line
  // format the chassis might misread, the element stays Closed and touches no device.
  std::optional<char> parity = parityLetter(parityIndex);
  if (!parity) return;

  std::int32_t port =
      elements::readInteger(portReadLink, std::int32_t{fallbackPortIndex} + 1, value);
  std::int32_t baud = elements::readInteger(baudReadLink, defaultBaudRate, value);
  openDevice(baud, port, *parity, timeouts);
}

void THICOM::writeText(elements::TData& value, std::uint16_t) {
  std::string text = elements::toString(value);
  if (!portHandle.valid()) return;
  WriteResult result = device_.write(portHandle.get(), text);
  // Recorded before firing: a target of writtenLink may already act on this element again. An
  // empty text puts nothing on the line, so the chassis still runs the command before it.
  if (!text.empty()) lastCommand_ = std::move(text);
  elements::TData count =
      elements::TData::fromInt(result.ok ? static_cast<std::int32_t>(result.written) : 0);
  elements::fire(writtenLink, count);
}

void THICOM::stopIfMoving() {
  if (!portHandle.valid() || !lastCommand_ || *lastCommand_ == kStopCommand) return;
  // Straight to the device: this is the element's own command, not one of the scheme's, so it
  // is not reported on writtenLink. It counts as the last command even if the write fails, so a
  // dead line is not tried again on every later call.
  device_.write(portHandle.get(), kStopCommand);
  lastCommand_ = std::string(kStopCommand);
}

bool THICOM::openDevice(std::int32_t baud, std::int32_t port, char parity,
                        const Timeouts& timeouts) {
  // The new handle lives in a local owner until it is configured, so every failed step below
  // closes it on the way out; only a configured port becomes portHandle.
  PortHandle opened(device_, device_.open(deviceName(port)));
  if (!opened.valid()) return false;

  // Read-modify-write: the definition text sets only the line format, every other field keeps
  // what the port had. A failed read is not fatal; the build works on what the buffer holds.
  LineSettings settings;
  device_.getState(opened.get(), settings);
  if (!device_.buildSettings(portDefinition(baud, parity), settings)) return false;
  if (!device_.setState(opened.get(), settings)) return false;
  if (!device_.setTimeouts(opened.get(), timeouts)) return false;

  // closeDevice ran before this open, so the fresh handle starts with no last command.
  portHandle = std::move(opened);
  return true;
}

void THICOM::closeDevice() {
  portHandle.reset();
  lastCommand_.reset();
}

}  // namespace serial
