#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "platform/port_backend.h"

namespace vestrel {

// The port-I/O component: byte access to the three registers of a parallel port (data at
// base, status at base + 1, control at base + 2), its pins, and the table of the ports the
// system has. Over Linux ppdev one port is open at a time, so choosing a port opens and claims
// its device; addresses outside the chosen port's registers reach nothing. GUI thread only.
class TPortIO {
 public:
  explicit TPortIO(PortBackend& backend) : backend_(backend) {}
  ~TPortIO() { CloseDriver(); }
  TPortIO(const TPortIO&) = delete;
  TPortIO& operator=(const TPortIO&) = delete;

  // Reads the table and opens the first port in it. False when the system has no parallel
  // port or the first one cannot be had.
  bool OpenDriver();
  void CloseDriver();
  bool Active() const { return active_; }

  // Chooses the n-th port of the table, n in 1..PortCount(). False (and nothing changes) when
  // inactive, out of range, or its device cannot be had.
  bool SetLPTNumber(int n);
  // Chooses the port whose base address this is; false when there is none.
  bool SelectBaseAddress(uint16_t base);
  int LPTNumber() const { return lptNumber_; }
  int PortCount() const { return static_cast<int>(table_.size()); }
  uint16_t BaseAddress() const { return base_; }
  const std::vector<ParportEntry>& Table() const { return table_; }

  // 0xFF when inactive or outside the chosen port's registers.
  uint8_t GetPortB(uint16_t port);
  // Nothing when inactive or outside the chosen port's registers.
  void SetPortB(uint16_t port, uint8_t value);
  // The last value written to or read from each register (data, status, control).
  uint8_t Shadow(int reg) const { return shadow_[reg]; }

  // Pins 1..17 of the connector, as electrical levels (inverted lines turned back).
  bool GetPin(int pin);
  void SetPin(int pin, bool level);

  bool GetLPTAckwl() { return !GetPin(10); }
  bool GetLPTBusy() { return GetPin(11); }
  bool GetLPTPaperEnd() { return GetPin(12); }
  bool GetLPTSlct() { return !GetPin(13); }
  bool GetLPTError() { return !GetPin(15); }
  void LPTAutofd(bool on) { SetPin(14, !on); }
  void LPTStrobe();
  void LPTInit();
  void LPTSlctIn();

 private:
  // Which register of the chosen port an address is, or -1.
  int RegisterOf(uint16_t port) const;
  bool Choose(size_t index);

  PortBackend& backend_;
  std::vector<ParportEntry> table_;
  bool active_ = false;
  uint16_t base_ = 0x378;
  int lptNumber_ = 1;
  std::array<uint8_t, 3> shadow_{};
};

}  // namespace vestrel
