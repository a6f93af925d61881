// THICOM: the serial-port element, the panel's only way out to the chassis.
//
// It holds at most one open port. Each reopenPort closes whatever it holds and opens and
// configures the port whose number its port read link reports; each writeText writes the string
// form of its value to that port, byte for byte, and reports the count on writtenLink. It shows
// nothing: a port that cannot be opened leaves the element Closed, and a command that arrives
// while Closed is dropped.
//
// One thing it does beyond passing commands on: the chassis keeps running its last command
// until told "5\n", so the element remembers the last command it wrote to the open handle and
// sends the stop itself before it lets go of a port that was left moving (stopIfMoving).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "elements/data.h"
#include "elements/event.h"
#include "serial/port_handle.h"
#include "serial/serial_device.h"

namespace serial {

class THICOM {
 public:
  explicit THICOM(SerialDevice& device);
  THICOM(const THICOM&) = delete;
  THICOM& operator=(const THICOM&) = delete;
  // Stops a moving chassis, then closes the port.
  virtual ~THICOM();

  // Target of the port list's selection event. The index is not used; the value only feeds the
  // baud rate when neither baudReadLink nor defaultBaudRate gives one.
  void reopenPort(elements::TData& value, std::uint16_t index);
  // Target of the output hub. The index is not used.
  void writeText(elements::TData& value, std::uint16_t index);

  // Writes the stop command "5\n" to the open port if the last command written to it (empty
  // texts aside) was anything else. Called before the element lets go of a port, and by the panel
  // wherever it ends while a button may be held.
  void stopIfMoving();

  bool isOpen() const { return portHandle.valid(); }

  // Settings and links, written once by the scheme. Construction leaves them 0 and empty.
  PortHandle portHandle;               // invalid whenever no port is open
  std::uint8_t fallbackPortIndex = 0;  // port number minus one, when portReadLink is silent
  std::int32_t defaultBaudRate = 0;    // when baudReadLink is silent
  std::int32_t parityIndex = 0;        // 0..4 into "NOEMS"
  std::uint32_t timeoutMs = 0;         // all five port time-outs
  elements::THI_Event writtenLink;     // fired with the byte count after each write attempt
  elements::THI_Event baudReadLink;    // asked for the baud rate
  elements::THI_Event portReadLink;    // asked for the port number

 private:
  bool openDevice(std::int32_t baud, std::int32_t port, char parityLetter,
                  const Timeouts& timeouts);
  void closeDevice();

  SerialDevice& device_;
  // The last non-empty command written (or attempted) on the open handle; none for a fresh one.
  std::optional<std::string> lastCommand_;
};

// The command that stops the chassis.
inline constexpr std::string_view kStopCommand = "5\n";

}  // namespace serial
