#include "io/port_io.h"

namespace vestrel {

namespace {

struct PinWiring {
  int reg;  // 0 data, 1 status, 2 control
  uint8_t mask;
  bool inverted;  // the hardware inverts the line
};

// Pins 1..17 of the 25-pin connector; 2..9 are the data bits.
constexpr PinWiring kPins[18] = {
    {0, 0, false},    {2, 0x01, true},  {0, 0x01, false}, {0, 0x02, false}, {0, 0x04, false},
    {0, 0x08, false}, {0, 0x10, false}, {0, 0x20, false}, {0, 0x40, false}, {0, 0x80, false},
    {1, 0x40, false}, {1, 0x80, true},  {1, 0x20, false}, {1, 0x10, false}, {2, 0x02, true},
    {1, 0x08, false}, {2, 0x04, false}, {2, 0x08, true},
};

// The width of a strobe or init pulse: a short busy count (well above the 0.5 us a printer needs).
void PulsePause() {
  volatile int count = 0;
  while (count <= 10000) count = count + 1;
}

}  // namespace

bool TPortIO::OpenDriver() {
  if (active_) return true;
  base_ = 0x378;
  lptNumber_ = 1;
  shadow_ = {};
  // Only ports that exist are listed, so the first entry is a real port or there is none.
  table_ = backend_.Ports();
  if (table_.empty() || !backend_.Open(table_[0].number)) {
    table_.clear();
    return false;
  }
  active_ = true;
  base_ = table_[0].base;
  return true;
}

void TPortIO::CloseDriver() {
  if (!active_) return;
  backend_.Close();
  active_ = false;
}

bool TPortIO::Choose(size_t index) {
  if (table_[index].number != table_[static_cast<size_t>(lptNumber_ - 1)].number &&
      !backend_.Open(table_[index].number)) {
    // Back to the port that was open, which the backend closed on trying the other one.
    backend_.Open(table_[static_cast<size_t>(lptNumber_ - 1)].number);
    return false;
  }
  base_ = table_[index].base;
  shadow_ = {};
  lptNumber_ = static_cast<int>(index) + 1;
  return true;
}

bool TPortIO::SetLPTNumber(int n) {
  if (!active_ || n < 1 || n > PortCount()) return false;
  return Choose(static_cast<size_t>(n - 1));
}

bool TPortIO::SelectBaseAddress(uint16_t base) {
  if (!active_) return false;
  for (size_t i = 0; i < table_.size(); ++i) {
    if (table_[i].base == base) return Choose(i);
  }
  return false;
}

int TPortIO::RegisterOf(uint16_t port) const {
  const int reg = static_cast<int>(port) - static_cast<int>(base_);
  return reg >= 0 && reg <= 2 ? reg : -1;
}

uint8_t TPortIO::GetPortB(uint16_t port) {
  const int reg = RegisterOf(port);
  if (!active_ || reg < 0) return 0xFF;
  const uint8_t value = backend_.Read(static_cast<PortBackend::Register>(reg));
  shadow_[static_cast<size_t>(reg)] = value;
  return value;
}

void TPortIO::SetPortB(uint16_t port, uint8_t value) {
  const int reg = RegisterOf(port);
  if (!active_ || reg < 0) return;
  shadow_[static_cast<size_t>(reg)] = value;
  backend_.Write(static_cast<PortBackend::Register>(reg), value);
}

bool TPortIO::GetPin(int pin) {
  if (!active_ || pin < 1 || pin > 17) return false;
  const PinWiring& w = kPins[pin];
  const bool bit = (GetPortB(static_cast<uint16_t>(base_ + w.reg)) & w.mask) != 0;
  return bit != w.inverted;
}

void TPortIO::SetPin(int pin, bool level) {
  if (!active_ || pin < 1 || pin > 17) return;
  const PinWiring& w = kPins[pin];
  uint8_t value = shadow_[static_cast<size_t>(w.reg)];
  if (level == w.inverted) {
    value = static_cast<uint8_t>(value & ~w.mask);
  } else {
    value = static_cast<uint8_t>(value | w.mask);
  }
  SetPortB(static_cast<uint16_t>(base_ + w.reg), value);
}

void TPortIO::LPTStrobe() {
  if (!active_) return;
  SetPin(1, false);
  PulsePause();
  SetPin(1, true);
}

void TPortIO::LPTInit() {
  if (!active_) return;
  SetPin(16, false);
  PulsePause();
  SetPin(16, true);
}

void TPortIO::LPTSlctIn() {
  SetPin(16, false);
  SetPortB(static_cast<uint16_t>(base_ + 2), static_cast<uint8_t>(shadow_[2] & ~0x08));
}

}  // namespace vestrel
