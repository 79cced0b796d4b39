#include "io/ptt_ports.h"

#include <cmath>
#include <cstdio>
#include <utility>

#include "engine/mode_number.h"
#include "io/com_writer.h"

namespace vestrel {

namespace {

// Both port semaphores, PTT first, each for at most `wait`; released in reverse, and only
// those that were taken.
class PortSemaphores {
 public:
  PortSemaphores(WorkerShared& s, std::chrono::milliseconds wait)
      : s_(s),
        ptt_(s.PttPortSemaphore.try_acquire_for(wait)),
        exchange_(s.ExchangePortSemaphore.try_acquire_for(wait)) {}
  ~PortSemaphores() {
    if (exchange_) s_.ExchangePortSemaphore.release();
    if (ptt_) s_.PttPortSemaphore.release();
  }
  PortSemaphores(const PortSemaphores&) = delete;
  PortSemaphores& operator=(const PortSemaphores&) = delete;

 private:
  WorkerShared& s_;
  const bool ptt_;
  const bool exchange_;
};

constexpr SerialTimeouts kComTimeouts{200, 1000, 2000};
constexpr int kDefaultComBaud = 9600;

// The message of a port whose line could not be set up; null when it was.
const char* FormatFailure(SerialError e) {
  switch (e) {
    case SerialError::kNone:
      return nullptr;
    case SerialError::kGetState:
      return "GetCommState error!";
    default:
      return "SetCommState error!";
  }
}

bool IsParallel(int type) {
  return type == 2 || type == 3;
}

// A pin of a parallel port (1..8, data bit n-1) as a mask bit; pin 0 is none.
uint8_t LptBit(int pin) {
  return pin >= 1 && pin <= 8 ? static_cast<uint8_t>(1u << (pin - 1)) : 0;
}

}  // namespace

TPttPorts::TPttPorts(KeyingPortSettings& settings, TPortIO& portIO, std::shared_ptr<WorkerShared> shared,
                     PttPortsLinks links)
    : s_(settings),
      portIO_(portIO),
      shared_(std::move(shared)),
      links_(std::move(links)),
      hooks_(links_.hooks != nullptr ? *links_.hooks : noHooks_) {}

TPttPorts::~TPttPorts() = default;

void TPttPorts::SetPttPort(int type, int number, int pttPin, int powerPin1, int powerPin2) {
  if (type < 0 || type > 6) type = 0;
  if (number <= 0) number = 1;
  auto pin = [](int p) { return p < 0 || p > 8 ? 0 : p; };
  pttPin = pin(pttPin);
  powerPin1 = pin(powerPin1);
  powerPin2 = pin(powerPin2);
  if (powerPin1 == pttPin) powerPin1 = 0;
  if (powerPin2 == pttPin) powerPin2 = 0;
  // The old path is unkeyed and closed with what it was opened with before anything changes.
  ClosePorts();
  s_.PttPortType = type;
  s_.PttPortNumber = number;
  s_.PttPin = pttPin;
  s_.PowerPin1 = powerPin1;
  s_.PowerPin2 = powerPin2;
  if (IsParallel(type) && number > 4) s_.PttPortNumber = 1;
  ComputeMasks();
  UpdateSharedComPort();
  ReopenPorts();
}

void TPttPorts::ComputeMasks() {
  switch (s_.PttPortType) {
    case 1:
    case 4: {
      // Pin 1 is DTR, pin 2 RTS; no other pin exists on a COM port.
      auto line = [](int32_t& p) {
        if (p >= 3) p = 0;
        return static_cast<uint8_t>(p);
      };
      PttLineMask = line(s_.PttPin);
      PowerLineMask = static_cast<uint8_t>(line(s_.PowerPin1) | line(s_.PowerPin2));
      break;
    }
    case 2:
    case 3:
      PttLineMask = LptBit(s_.PttPin);
      PowerLineMask = static_cast<uint8_t>(LptBit(s_.PowerPin1) | LptBit(s_.PowerPin2));
      break;
    default:
      break;  // 0, 5 and 6 keep the masks
  }
}

void TPttPorts::UpdateSharedComPort() {
  SharedComPort =
      s_.PttPortType == 1 && s_.ExchangePortNumber != 0 && s_.ExchangePortNumber == s_.PttPortNumber;
  if (SharedComPort && links_.useTxD != nullptr) *links_.useTxD = false;
}

void TPttPorts::SetDataExchangePort(int n) {
  if (n < 1 || n > 99) n = 0;
  ClosePorts();
  s_.ExchangePortNumber = n;
  UpdateSharedComPort();
  ReopenPorts();
}

void TPttPorts::ReopenPorts() {
  if (!ReconfigureInPlace()) OpenPttPort();
  if (shutDown_) return;
  hooks_.OpenExchangePort();
  // PTT follows TxState: a reopen while transmitting keys the new path at once.
  if (Transmitting()) SetPtt(true);
}

void TPttPorts::OpenPttPort() {
  ClosePorts();
  if (shutDown_) return;
  switch (s_.PttPortType) {
    case 1:
      OpenComPort();
      break;
    case 2:
    case 3:
      OpenParallelPort();
      break;
    case 4:
    case 5:
      hooks_.OpenPttRig();
      break;
    case 6:
      hooks_.WinKeyOpen();
      break;
    default:
      break;
  }
  // A failure's message box may have let the shutdown run meanwhile.
  if (shutDown_) {
    ClosePorts();
    return;
  }
  keying_ = {s_.PttPortType, PttLineMask, PowerLineMask};
}

SerialFormat TPttPorts::ComFormat() const {
  SerialFormat f;
  f.baud = SharedComPort ? s_.ExchangeSpeed : kDefaultComBaud;
  if (links_.useTxD == nullptr || !*links_.useTxD || links_.modem == nullptr) return f;
  // FSK on TxD: the start-stop character of the mode at its speed, to the nearest whole baud
  // (45.45 Bd gives 45). RTTY's 1.5 stop bits are what a 16550-type UART sends for "two" with
  // 5 data bits.
  const double baud = std::floor(links_.modem->Baud + 0.5);
  switch (links_.modem->Mode) {
    case kModeRtty:
      return {baud, 5, SerialStopBits::kOneAndHalf, SerialParity::kNone};
    case kModeAscii7:
      return {baud, 7, SerialStopBits::kOne, SerialParity::kNone};
    case kModeAscii8:
      return {baud, 8, SerialStopBits::kOne, SerialParity::kNone};
    default:
      return f;
  }
}

void TPttPorts::WakeComWriter() {
  // Bytes queued while there was no TxD line go out now rather than at the writer's next look.
  if (shared_->comEvent) shared_->comEvent->Set();
}

void TPttPorts::SetIdleLines(SerialPort& port, uint8_t power) {
  port.SetLine(SerialLine::kRts, (power & kRts) != 0);
  port.SetLine(SerialLine::kDtr, (power & kDtr) != 0);
}

void TPttPorts::OpenComPort() {
  const char* failure = nullptr;
  {
    PortSemaphores held(*shared_, semaphoreWait);
    int err = 0;
    std::shared_ptr<SerialPort> port =
        SerialPort::Open(ComPortPath(s_.PttPortNumber, s_.ComPorts), links_.lines, &err);
    if (!port) {
      failure = "COM-port open error!";
    } else {
      failure = FormatFailure(port->SetFormat(ComFormat()));
    }
    if (failure == nullptr) {
      port->SetTimeouts(kComTimeouts);
      SetIdleLines(*port, PowerLineMask);
      shared_->PttComHandle.Set(std::move(port), true);
    }
    // A port that failed past its open closes here, before the semaphores go back.
  }
  // The box runs a message loop of its own: nothing is held while it is shown.
  if (failure != nullptr) {
    Report(failure);
  } else {
    WakeComWriter();
  }
}

void TPttPorts::OpenExchangePort() {
  if (shutDown_) return;
  if (SharedComPort) {
    shared_->ExchangeComHandle.Set(shared_->PttComHandle.Get());
  } else {
    if (s_.ExchangePortNumber < 1 || s_.ExchangePortNumber > 99) return;
    const char* failure = nullptr;
    {
      PortSemaphores held(*shared_, semaphoreWait);
      std::shared_ptr<SerialPort> port =
          SerialPort::Open(ComPortPath(s_.ExchangePortNumber, s_.ComPorts), links_.lines);
      if (!port) {
        failure = "COM-port open error!";
      } else {
        SerialFormat f;
        f.baud = s_.ExchangeSpeed;
        failure = FormatFailure(port->SetFormat(f));
      }
      if (failure == nullptr) {
        port->SetTimeouts(kComTimeouts);
        // A pseudo-terminal has no lines: there these fail harmlessly.
        port->SetLine(SerialLine::kRts, true);
        port->SetLine(SerialLine::kDtr, true);
        shared_->ExchangeComHandle.Set(std::move(port));
      }
    }
    if (failure != nullptr) {
      Report(failure);
      return;
    }
  }
  // Bytes queued while there was no port go out now.
  if (shared_->ExchangeComHandle.IsOpen() && shared_->exTxEvent) shared_->exTxEvent->Set();
}

void TPttPorts::OpenParallelPort() {
  if (OpenPortDriver() != 0) {
    s_.PttPortType = 0;
    return;
  }
  char text[96];
  bool found;
  if (s_.PttPortNumber == 4) {
    const auto address = static_cast<uint16_t>(s_.XPortAddress & 0xFFFF);
    found = portIO_.SelectBaseAddress(address);
    std::snprintf(text, sizeof text, "No parallel port at address 0x%04X (%u)!", address, address);
  } else {
    found = portIO_.SetLPTNumber(s_.PttPortNumber);
    std::snprintf(text, sizeof text, "No parallel port LPT%d!", s_.PttPortNumber);
  }
  if (!found) {
    // Keying through a port the system does not have would write to nothing (or to another
    // device's registers): no keying, and the user is told which port is missing.
    portIO_.CloseDriver();
    s_.PttPortType = 0;
    ShowMessage(" Error!", text);
    return;
  }
  LptBaseAddress = portIO_.BaseAddress();
  portIO_.SetPortB(LptBaseAddress, PowerLineMask);
}

bool TPttPorts::ReconfigureInPlace() {
  if (shutDown_ || keying_.type != s_.PttPortType || (keying_.type != 1 && keying_.type != 6)) return false;
  std::shared_ptr<SerialPort> port = shared_->PttComHandle.Get();
  if (!port || port->interrupted() || port->path() != ComPortPath(s_.PttPortNumber, s_.ComPorts))
    return false;
  // A keyer in host mode keeps its line and its state: it knows nothing of modes and speeds,
  // and a new handshake would drop its PTT and hold the window for half a second.
  if (keying_.type == 6) return true;
  if (keying_.ptt != PttLineMask || keying_.power != PowerLineMask) return false;
  // A data-exchange port of its own is closed and opened the usual way.
  const std::shared_ptr<SerialPort> exchange = shared_->ExchangeComHandle.Get();
  if (exchange && exchange != port) return false;
  {
    PortSemaphores held(*shared_, semaphoreWait);
    if (port->SetFormat(ComFormat()) != SerialError::kNone) return false;
  }
  // The lines stay as they are: idle, or keyed while transmitting.
  WakeComWriter();
  return true;
}

void TPttPorts::ClosePorts() {
  ClosePorts(semaphoreWait);
}

void TPttPorts::Shutdown(std::chrono::milliseconds wait) {
  shutDown_ = true;
  ClosePorts(wait);
}

void TPttPorts::ClosePorts(std::chrono::milliseconds wait) {
  // Unkeyed first, through the path that is open: parallel pins keep their level after the
  // close, and a rig keyed over CAT stays in transmit.
  SetPtt(false);
  hooks_.WinKeyClose();
  // A worker blocked in a transfer lets go of its semaphore at once.
  std::shared_ptr<SerialPort> ptt = shared_->PttComHandle.Get();
  std::shared_ptr<SerialPort> exchange = shared_->ExchangeComHandle.Get();
  if (ptt) ptt->Interrupt();
  if (exchange) exchange->Interrupt();
  {
    PortSemaphores held(*shared_, wait);
    // One port named by both handles is one object: it closes once, when the last user lets go.
    shared_->PttComHandle.Take();
    shared_->ExchangeComHandle.Take();
    if (portIO_.Active()) {
      if (IsParallel(keying_.type)) portIO_.SetPortB(static_cast<uint16_t>(LptBaseAddress + 2), 12);
      portIO_.CloseDriver();
    }
  }
  keying_ = {};
}

void TPttPorts::SetPtt(bool on) {
  switch (keying_.type) {
    case 1: {
      const std::shared_ptr<SerialPort> port = shared_->PttComHandle.Get();
      if (!port) return;
      if (keying_.ptt & kRts) {
        port->SetLine(SerialLine::kRts, on);
        port->SetLine(SerialLine::kDtr, (keying_.power & kDtr) != 0);
      }
      if (keying_.ptt & kDtr) port->SetLine(SerialLine::kDtr, on);
      break;
    }
    case 3:
      portIO_.SetPortB(static_cast<uint16_t>(LptBaseAddress + 2), on ? 13 : 9);
      [[fallthrough]];
    case 2:
      portIO_.SetPortB(LptBaseAddress,
                       on ? static_cast<uint8_t>(keying_.ptt | keying_.power) : keying_.power);
      break;
    case 4:
    case 5:
      hooks_.RigSetPtt(on);
      break;
    case 6:
      hooks_.WinKeySetPtt(on);
      break;
    default:
      break;
  }
}

bool TPttPorts::KeyingPortOpen() const {
  return shared_->PttComHandle.GetTxdLine() != nullptr;
}

void TPttPorts::WriteTxdByte(uint8_t code) {
  // A full ring drops the code: the writer is 1021 characters behind the audio.
  QueueComByte(*shared_, code);
}

void TPttPorts::ShowComWriteError() {
  const int error = shared_->ComWriteError.exchange(0);
  if (error == 0 || shutDown_) return;
  ShowMessage(ComWriteErrorCaption(error).c_str(), ComWriteErrorText(error));
}

int TPttPorts::OpenPortDriver() {
  if (portIO_.Active()) return 0;
  if (PortDriverMissing) return -2;
  if (portIO_.OpenDriver()) return 0;
  PortDriverMissing = true;
  if (links_.boxes != nullptr) links_.boxes->Beep();
  ShowMessage(" Error!", "PELMARIO driver not found!");
  return -1;
}

void TPttPorts::Report(const char* text) {
  ShowMessage(kComCaption, text);
}

void TPttPorts::ShowMessage(const char* caption, const std::string& text) {
  if (links_.boxes != nullptr) links_.boxes->ShowMessage(caption, text);
}

}  // namespace vestrel
