// The panel scheme: nineteen elements, created in a fixed order and destroyed in the reverse
// one, and the twenty-two links between them.
#pragma once

#include <memory>

#include "elements/hub.h"
#include "elements/strcat.h"
#include "elements/win/controls.h"
#include "elements/win/mainform.h"
#include "panel/focus_navigation.h"
#include "serial/com.h"
#include "serial/serial_device.h"

namespace panel {

using elements::THIHub;
using elements::THIStrCat;
using elements::win::THIButton;
using elements::win::THIComboBox;
using elements::win::THIEdit;
using elements::win::THILabel;
using elements::win::THIMainForm;
using serial::THICOM;

class TClassMainForm_20978D0 {
 public:
  // Builds the whole scheme with the event gate closed: elements, then links, then keyboard
  // navigation. The serial element works through `device`.
  static TClassMainForm_20978D0* create(serial::SerialDevice& device);
  virtual ~TClassMainForm_20978D0();

  // Creation order.
  std::unique_ptr<THIMainForm> MainForm;
  std::unique_ptr<THICOM> ComPort;
  std::unique_ptr<THIHub> SendHub;
  std::unique_ptr<THIComboBox> PortList;
  std::unique_ptr<THIButton> ForwardButton;
  std::unique_ptr<THIEdit> CommandEcho;
  std::unique_ptr<THIHub> ReleaseHub;
  std::unique_ptr<THIStrCat> StopCmd;
  std::unique_ptr<THIHub> OutputHub;
  std::unique_ptr<THIStrCat> ForwardCmd;
  std::unique_ptr<THIButton> BackButton;
  std::unique_ptr<THIStrCat> BackCmd;
  std::unique_ptr<THIButton> RightButton;
  std::unique_ptr<THIStrCat> RightCmd;
  std::unique_ptr<THIButton> LeftButton;
  std::unique_ptr<THIStrCat> LeftCmd;
  std::unique_ptr<THIButton> SpeedButton;
  std::unique_ptr<THIStrCat> SpeedCmd;
  std::unique_ptr<THILabel> CommandLabel;

  FocusNavigation* navigation() const { return navigation_.get(); }

  // Called with each element's name just before it is destroyed; lets a test watch the order.
  static inline void (*destructionWatcher)(const char* name) = nullptr;

 private:
  TClassMainForm_20978D0() = default;
  void createElements(serial::SerialDevice& device);
  void setLinks();
  std::unique_ptr<FocusNavigation> navigation_;
};

// The process-wide scheme reference; set first thing by create.
extern TClassMainForm_20978D0* theScheme;

// Writes the stop command if the chassis may still be moving: the last chance before the panel
// lets go of the port.
void stopChassisIfMoving(void* scheme);

}  // namespace panel
