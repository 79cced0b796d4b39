#include "io/win_key.h"

#include <thread>
#include <utility>

#include "io/ptt_ports.h"

namespace vestrel {

namespace {

// The keyer's commands (host mode).
constexpr uint8_t kLeadIn = 0x13;  // sent five times before anything else
constexpr uint8_t kAdmin = 0x00;
constexpr uint8_t kAdminPrepare = 0x0A;
constexpr uint8_t kAdminHostOpen = 0x02;
constexpr uint8_t kAdminHostClose = 0x03;
constexpr uint8_t kAdminEcho = 0x04;
constexpr uint8_t kPinConfig = 0x09;
constexpr uint8_t kPinConfigPttOnPin1 = 0x48;
constexpr uint8_t kPinConfigPttOther = 0x44;
constexpr uint8_t kMode = 0x0E;
constexpr uint8_t kModeValue = 0x46;
constexpr uint8_t kSpeedPot = 0x05;  // followed by three set-up bytes
constexpr uint8_t kPtt = 0x18;

const SerialFormat kKeyerFormat{1200.0, 8, SerialStopBits::kOne, SerialParity::kNone};
// A read returns at once with what is there.
constexpr SerialTimeouts kKeyerTimeouts{0, 1000, 2000};

}  // namespace

const char* TWinKey::Text(int code) {
  switch (code) {
    case kOpenError:
      return "COM-port open error!";
    case kSetupError:
      return "SetupComm error!";
    case kGetStateError:
      return "GetCommState error!";
    case kSetStateError:
      return "SetCommState error!";
    case kTimeoutsError:
      return "SetCommTimeouts error!";
    case kWriteError:
    case kHostOpenWrite:
      return "Writing to WinKey port error!";
    case kNoEcho:
    case kNoHostAnswer:
      return "WinKey doesn't answer!";
    default:
      return "";
  }
}

const char* TWinKey::Caption(int code) {
  return code == kTimeoutsError ? "Tandel - COM-port error" : TPttPorts::kComCaption;
}

TWinKey::TWinKey(KeyingPortSettings& settings, ComHandle& pttComHandle, Links links)
    : s_(settings), handle_(pttComHandle), links_(links) {}

TWinKey::~TWinKey() {
  Close();
}

int TWinKey::Open() {
  open_ = false;
  if (s_.PttPortType != 6) return kNotWinKey;
  handle_.Take();
  int sysError = 0;
  std::shared_ptr<SerialPort> port =
      SerialPort::Open(ComPortPath(s_.PttPortNumber, s_.ComPorts), links_.lines, &sysError);
  if (!port) return Fail(kOpenError);
  switch (port->SetFormat(kKeyerFormat)) {
    case SerialError::kNone:
      break;
    case SerialError::kGetState:
      return Fail(kGetStateError);
    default:
      return Fail(kSetStateError);
  }
  port->SetTimeouts(kKeyerTimeouts);
  // The keyer is powered from DTR. A line the device does not have (a pty) is no failure.
  port->SetLine(SerialLine::kDtr, true);
  port->SetLine(SerialLine::kRts, false);
  handle_.Set(port);
  std::this_thread::sleep_for(settleWait);
  port->DiscardInput();

  if (!WriteAll(
          {kLeadIn, kLeadIn, kLeadIn, kLeadIn, kLeadIn, kAdmin, kAdminPrepare, kAdmin, kAdminEcho, 'S'})) {
    return Fail(kWriteError);
  }
  if (!AwaitByte('S')) return Fail(kNoEcho);
  if (!WriteAll({kAdmin, kAdminHostOpen})) return Fail(kHostOpenWrite);
  // The keyer answers host open with its version.
  if (!AwaitByte(-1)) return Fail(kNoHostAnswer);
  // Not checked: the keyer has answered, and a lost byte here shows at the first keying.
  SetPinConfig();
  WriteAll({kMode, kModeValue});
  WriteAll({kSpeedPot, 0x05, 0x5E, 0x7F});
  open_ = true;
  return kOpened;
}

int TWinKey::Fail(int code) {
  handle_.Take();  // the port closes here (for code 2 it never opened)
  s_.PttPortType = 0;
  if (links_.boxes != nullptr) links_.boxes->ShowMessage(Caption(code), Text(code));
  return code;
}

bool TWinKey::AwaitByte(int wanted) {
  const std::shared_ptr<SerialPort> port = handle_.Get();
  if (!port) return false;
  for (int attempt = 0; attempt < readAttempts; ++attempt) {
    uint8_t byte = 0;
    size_t got = 0;
    if (port->Read(&byte, 1, &got) == 0 && got == 1 && (wanted < 0 || byte == wanted)) return true;
    std::this_thread::sleep_for(readPause);
  }
  return false;
}

bool TWinKey::WriteAll(std::initializer_list<uint8_t> bytes) {
  for (uint8_t b : bytes) {
    if (WriteByte(b) != kWritten) return false;
  }
  return true;
}

int TWinKey::WriteByte(uint8_t byte) {
  const std::shared_ptr<SerialPort> port = handle_.Get();
  if (!port) return kNoPort;
  size_t written = 0;
  return port->Write(&byte, 1, &written) == 0 && written == 1 ? kWritten : kNotTaken;
}

int TWinKey::SetPinConfig() {
  WriteByte(kPinConfig);
  return WriteByte(s_.PttPin == 1 ? kPinConfigPttOnPin1 : kPinConfigPttOther);
}

int TWinKey::SetPtt(bool on) {
  if (!open_) return 0;
  WriteByte(kPtt);
  return WriteByte(on ? 0x01 : 0x00);
}

void TWinKey::Close() {
  if (!open_) return;
  open_ = false;
  if (!handle_.IsOpen()) return;
  WriteAll({kAdmin, kAdminHostClose});
  std::this_thread::sleep_for(closeWait);
  handle_.Take();
}

}  // namespace vestrel
