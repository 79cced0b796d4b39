#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "engine/modes/mfsk/mfsk_transmitter.h"
#include "engine/tx_symbol_queue.h"
#include "engine/tx_symbol_source.h"

namespace vestrel {

class TTxAudioPump;

// MFSK16 and MFSK8 transmission inside the buffer frame of the transmit audio pump. A
// transmission opens with the preamble and 8 symbols on the first tone; while nothing waits it
// idles with NUL characters, each closed by a -23 so that the receiver prints what came before;
// at its end (and before a CW identification) a -23 and 144 zero code bits push the last
// characters through the interleaver and the receiver's decoder before the postamble. Codes
// of the pump's own program wait in a short pending list, which goes before the symbol queue.
// The CW identification is keyed through the PSK shaper on the first tone. GUI thread only.
class TMfskTxPump final : public TxSymbolSource {
 public:
  static constexpr uint32_t kPendingCapacity = 16;
  static constexpr int kFlushCodes = 9;  // -24 codes (16 zero code bits each) before the end
  static constexpr int kIdleRounds = 4;  // with RxAtFreeBuffer, more idle rounds end it

  TMfskTxPump(TTxAudioPump& frame, TMfskTransmitter& transmitter) : frame_(frame), tx_(transmitter) {}

  // TxSymbolSource
  bool WantsBuffer() const override;
  bool QueueIdle() const override;
  uint32_t NextSymbol(int16_t* out, std::string& text, int32_t& endMark) override;
  uint32_t MaxSymbolSamples() const override;
  bool SelectMode(const ModeRow& row) override;  // MFSK8 when the row has 32 tones
  void LeaveMode() override {}
  bool SetSpeed(double) override { return true; }  // the mode fixes its rate
  bool SetTones(int32_t lower, int32_t upper) override;

  uint32_t Pending() const { return pendingCount_ - pendingPos_; }

 private:
  TxSymbol Choose();
  uint32_t Synthesise(TxSymbol code, int16_t* out, int32_t& endMark);
  void Pend(TxSymbol code, int times = 1);
  TxSymbol TakePending();
  TxSymbol FlushThen(TxSymbol last);

  TTxAudioPump& frame_;
  TMfskTransmitter& tx_;
  std::array<TxSymbol, kPendingCapacity> pending_{};
  uint32_t pendingCount_ = 0;
  uint32_t pendingPos_ = 0;
};

}  // namespace vestrel
