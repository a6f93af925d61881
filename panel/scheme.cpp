#include "panel/scheme.h"

namespace panel {

using elements::link;
using elements::win::kBold;
using elements::win::systemColour;
using elements::win::TFontRec;

TClassMainForm_20978D0* theScheme = nullptr;

namespace {
constexpr elements::win::Colour kLightGreen = 0xC0DCC0;
constexpr elements::win::Colour kNavy = 0x800000;
constexpr elements::win::Colour kBlue = 0xFF0000;
constexpr elements::win::Colour kBlack = 0;
const elements::win::Colour kInfoBackground = systemColour(COLOR_INFOBK);  // 24

const wchar_t kPortItems[] =
    L"ПОРТ НЕ ОПРЕДЕЛЁН\r\nCOM 1\r\nCOM 2\r\nCOM 3\r\nCOM 4\r\nCOM 5\r\nCOM 6\r\nCOM 7\r\n"
    L"COM 8\r\nCOM 9\r\nCOM 10\r\nCOM 11\r\nCOM 12\r\nCOM 13\r\nCOM 14\r\nCOM 15\r\nCOM 16\r\n"
    L"COM 17\r\nCOM 18\r\nCOM 19\r\nCOM 20";

TFontRec buttonFont() {
  return {L"MS Sans Serif", 8, kBold, kBlack, 1};
}

std::unique_ptr<THIButton> makeButton(THIMainForm& form, int left, int top, int width, int height,
                                      const wchar_t* caption) {
  auto b = std::make_unique<THIButton>(form);
  b->left = left;
  b->top = top;
  b->width = width;
  b->height = height;
  b->font = buttonFont();
  b->frame3dMode = 0;
  b->flatLook = true;
  b->caption = caption;
  b->defaultButton = false;
  b->init();
  return b;
}

std::unique_ptr<THIStrCat> makeCommand(const char* digit) {
  auto c = std::make_unique<THIStrCat>();
  c->firstPart = digit;
  c->secondPart = "\n";
  return c;
}
}  // namespace

TClassMainForm_20978D0* TClassMainForm_20978D0::create(serial::SerialDevice& device) {
  auto* scheme = new TClassMainForm_20978D0;
  theScheme = scheme;
  scheme->createElements(device);
  scheme->setLinks();
  // Last building step: keyboard focus navigation between the controls.
  scheme->navigation_ = std::make_unique<FocusNavigation>(*scheme->MainForm);
  scheme->MainForm->navigation = scheme->navigation_.get();
  return scheme;
}

void TClassMainForm_20978D0::createElements(serial::SerialDevice& device) {
  MainForm = std::make_unique<THIMainForm>();
  MainForm->left = 0;
  MainForm->top = 0;
  MainForm->width = 344;
  MainForm->height = 702;
  MainForm->colour = kLightGreen;
  MainForm->font = {L"Arial Black", 8, kBold, kNavy, 204};
  MainForm->frame3dMode = 1;
  MainForm->opacity = 255;
  MainForm->setCaption(L"ПУЛЬТ УПРАВЛЕНИЯ ШАССИ");
  MainForm->setBorderStyle(3);
  MainForm->initialState = 0;
  MainForm->setIcon(LoadIconW(GetModuleHandleW(nullptr), L"ASMA"));
  MainForm->setTaskbarOption(0);
  MainForm->dragByClientArea = false;
  MainForm->positionSaveName.clear();
  MainForm->clientSizeFlag = false;
  MainForm->init();

  ComPort = std::make_unique<THICOM>(device);
  ComPort->fallbackPortIndex = 4;
  ComPort->defaultBaudRate = 19200;
  ComPort->parityIndex = 0;
  ComPort->timeoutMs = 10;

  SendHub = std::make_unique<THIHub>(1);

  PortList = std::make_unique<THIComboBox>(*MainForm);
  PortList->left = 35;
  PortList->top = 20;
  PortList->width = 255;
  PortList->height = 21;
  PortList->colour = kInfoBackground;
  PortList->font = {L"Arial", 8, kBold, kNavy, 204};
  PortList->frame3dMode = 0;
  PortList->extraFrame = 1;
  PortList->editable = false;
  PortList->sorted = false;
  PortList->itemListText = kPortItems;
  PortList->selectionValueKind = 0;
  PortList->init();

  ForwardButton = makeButton(*MainForm, 125, 210, 75, 65, L"ВПЕРЁД");

  CommandEcho = std::make_unique<THIEdit>(*MainForm);
  CommandEcho->left = 155;
  CommandEcho->top = 75;
  CommandEcho->width = 30;
  CommandEcho->height = 40;
  CommandEcho->colour = kInfoBackground;
  CommandEcho->font = {L"MS Sans Serif", 23, kBold, kBlue, 1};
  CommandEcho->frame3dMode = 0;
  CommandEcho->init();

  ReleaseHub = std::make_unique<THIHub>(1);
  StopCmd = makeCommand("5");
  OutputHub = std::make_unique<THIHub>(2);
  ForwardCmd = makeCommand("1");
  BackButton = makeButton(*MainForm, 125, 360, 75, 65, L"НАЗАД");
  BackCmd = makeCommand("2");
  RightButton = makeButton(*MainForm, 210, 285, 75, 65, L"ВПРАВО");
  RightCmd = makeCommand("3");
  LeftButton = makeButton(*MainForm, 40, 285, 75, 65, L"ВЛЕВО");
  LeftCmd = makeCommand("4");
  SpeedButton = makeButton(*MainForm, 40, 150, 245, 50, L"СКОРОСТЬ");
  SpeedCmd = makeCommand("6");

  CommandLabel = std::make_unique<THILabel>(*MainForm);
  CommandLabel->left = 65;
  CommandLabel->top = 55;
  CommandLabel->width = 210;
  CommandLabel->height = 15;
  CommandLabel->colour = kLightGreen;
  CommandLabel->font = {L"MS Sans Serif", 8, kBold, kNavy, 1};
  CommandLabel->frame3dMode = 1;
  CommandLabel->caption = L"СИМВОЛ ПЕРЕДАЧИ КОМАНДЫ";
  CommandLabel->autoSize = true;
  CommandLabel->init();
}

void TClassMainForm_20978D0::setLinks() {
  using elements::win::THIButton;
  // Presses: each button's mouse-down to its command.
  ForwardButton->onMouseDown = link<&THIStrCat::doConcatenate>(*ForwardCmd, 0);
  BackButton->onMouseDown = link<&THIStrCat::doConcatenate>(*BackCmd, 0);
  RightButton->onMouseDown = link<&THIStrCat::doConcatenate>(*RightCmd, 0);
  LeftButton->onMouseDown = link<&THIStrCat::doConcatenate>(*LeftCmd, 0);
  SpeedButton->onMouseDown = link<&THIStrCat::doConcatenate>(*SpeedCmd, 0);
  // Releases: every mouse-up to the stop command.
  ForwardButton->onMouseUp = link<&THIHub::doInput>(*ReleaseHub, 0);
  BackButton->onMouseUp = link<&THIHub::doInput>(*ReleaseHub, 2);
  RightButton->onMouseUp = link<&THIHub::doInput>(*ReleaseHub, 3);
  LeftButton->onMouseUp = link<&THIHub::doInput>(*ReleaseHub, 4);
  SpeedButton->onMouseUp = link<&THIHub::doInput>(*ReleaseHub, 5);
  ReleaseHub->outputs[0] = link<&THIStrCat::doConcatenate>(*StopCmd, 0);
  // Every command string into one road: the serial line first, then the echo.
  StopCmd->outputEvent = link<&THIHub::doInput>(*SendHub, 0);
  ForwardCmd->outputEvent = link<&THIHub::doInput>(*SendHub, 1);
  BackCmd->outputEvent = link<&THIHub::doInput>(*SendHub, 3);
  RightCmd->outputEvent = link<&THIHub::doInput>(*SendHub, 4);
  LeftCmd->outputEvent = link<&THIHub::doInput>(*SendHub, 5);
  SpeedCmd->outputEvent = link<&THIHub::doInput>(*SendHub, 6);
  SendHub->outputs[0] = link<&THIHub::doInput>(*OutputHub, 0);
  OutputHub->outputs[0] = link<&THICOM::writeText>(*ComPort, 3);
  OutputHub->outputs[1] = link<&THIEdit::doText>(*CommandEcho, 1);
  // The port choice.
  PortList->onSelect = link<&THICOM::reopenPort>(*ComPort, 0);
  ComPort->portReadLink = link<&THIComboBox::doCurrentIndex>(*PortList, 2);

  // Not a link: whenever the window is about to let go of the port, a moving chassis is
  // stopped first.
  MainForm->beforeLettingGo = &stopChassisIfMoving;
  MainForm->beforeLettingGoContext = this;
}

void stopChassisIfMoving(void* scheme) {
  auto* s = static_cast<TClassMainForm_20978D0*>(scheme);
  if (s && s->ComPort) s->ComPort->stopIfMoving();
}

TClassMainForm_20978D0::~TClassMainForm_20978D0() {
  MainForm->navigation = nullptr;
  navigation_.reset();
  // Exactly the reverse of the creation order.
  auto destroy = [](auto& element, const char* name) {
    if (destructionWatcher) destructionWatcher(name);
    element.reset();
  };
  destroy(CommandLabel, "CommandLabel");
  destroy(SpeedCmd, "SpeedCmd");
  destroy(SpeedButton, "SpeedButton");
  destroy(LeftCmd, "LeftCmd");
  destroy(LeftButton, "LeftButton");
  destroy(RightCmd, "RightCmd");
  destroy(RightButton, "RightButton");
  destroy(BackCmd, "BackCmd");
  destroy(BackButton, "BackButton");
  destroy(ForwardCmd, "ForwardCmd");
  destroy(OutputHub, "OutputHub");
  destroy(StopCmd, "StopCmd");
  destroy(ReleaseHub, "ReleaseHub");
  destroy(CommandEcho, "CommandEcho");
  destroy(ForwardButton, "ForwardButton");
  destroy(PortList, "PortList");
  destroy(SendHub, "SendHub");
  destroy(ComPort, "ComPort");
  destroy(MainForm, "MainForm");
  if (theScheme == this) theScheme = nullptr;
}

}  // namespace panel
