#pragma once
#include <cstdint>
#include <string>

#include "engine/modes/psk/psk_tx_shaper.h"
#include "engine/tx_symbol_source.h"

namespace vestrel {

// The transmit source of the PSK modes: the transmit pump's own character path, which sends
// varicode through the synthesisers into the shaper, with the shaper's rate taken from the
// chosen mode's row.
class TPskTxSource final : public TxSymbolSource {
 public:
  TPskTxSource(TxSymbolSource& characters, TPskTxShaper& shaper) : characters_(characters), shaper_(shaper) {}

  bool WantsBuffer() const override { return characters_.WantsBuffer(); }
  bool QueueIdle() const override { return characters_.QueueIdle(); }
  uint32_t NextSymbol(int16_t* out, std::string& text, int32_t& endMark) override {
    return characters_.NextSymbol(out, text, endMark);
  }
  // A PSK row: the shaper's rate; refused (false) for a row of another rate.
  bool SelectMode(const ModeRow& row) override;
  void LeaveMode() override { characters_.LeaveMode(); }
  // The PSK speeds and tones are fixed by the mode and read from TModemParams.
  bool SetSpeed(double) override { return true; }
  bool SetTones(int32_t, int32_t) override { return true; }

 private:
  TxSymbolSource& characters_;
  TPskTxShaper& shaper_;
};

}  // namespace vestrel
