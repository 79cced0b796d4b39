#pragma once
#include <cstdint>
#include <string>

#include "engine/modes/ps2x5/block_modulator.h"
#include "engine/tx_symbol_queue.h"
#include "engine/tx_symbol_source.h"

namespace vestrel {

class TBlockMessage;
class TTxAudioPump;

// The transmission of a block mode inside the buffer frame of the transmit audio pump: the
// characters of the TxSymbolQueue are gathered into blocks of 7 bytes, each sent as 31
// symbols through the mode's modulator with its characters echoed as their symbols go out.
// The block end (-29, queued by the end commands in these modes) sends the gathered
// characters as an end block; any other control code closes a started block as a data block
// padded with zeros. Idle sends symbol 0. At the start the receiver's open message of the same
// mode is ended, a lost block counted (it cannot hear its own transmission). The PS2X5 and
// PS33X5 pumps derive from it with their modulators. GUI thread only.
class TBlockTxPump : public TxSymbolSource {
 public:
  TBlockTxPump(TTxAudioPump& frame, TBlockModulator& modulator, TBlockMessage& receiverMessage)
      : frame_(frame), modulator_(modulator), receiverMessage_(receiverMessage) {}

  bool WantsBuffer() const override;
  bool QueueIdle() const override;
  uint32_t NextSymbol(int16_t* out, std::string& text, int32_t& endMark) override;
  uint32_t MaxSymbolSamples() const override;
  bool SelectMode(const ModeRow&) override { return true; }
  void LeaveMode() override {}

  int Gathered() const { return gathered_; }
  bool BlockPending() const { return pendingPos_ < kBlockSymbols; }

 protected:
  ~TBlockTxPump() = default;

 private:
  uint32_t Start(int16_t* out);
  uint32_t SendPending(int16_t* out, std::string& text);
  // The gathered characters as a block: an end block always (an empty one too), a data block
  // only when a character was gathered. False when nothing was built.
  bool CloseBlock(bool end);
  // A control code's own action, once the block it closed has gone out.
  uint32_t Act(TxSymbol code, int16_t* out, int32_t& endMark);
  uint32_t Idle(int16_t* out);
  uint32_t Silence(int16_t* out);

  TTxAudioPump& frame_;
  TBlockModulator& modulator_;
  TBlockMessage& receiverMessage_;
  BlockBytes gather_{};
  int gathered_ = 0;
  BlockSymbols pending_{};
  BlockSymbols echo_{};
  int pendingPos_ = kBlockSymbols;  // kBlockSymbols: nothing pending
  TxSymbol after_ = 0;              // a control code waiting for the pending block, or 0
};

}  // namespace vestrel
