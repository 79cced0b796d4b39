#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "engine/tx_symbol_queue.h"
#include "engine/tx_symbol_source.h"

namespace vestrel {

class TTxAudioPump;

// AMTOR FEC transmission inside the buffer frame of the transmit audio pump: every character
// goes out twice, as DX and, two character slots later, as RX, framed by phasing signals.
// GUI thread only.
class TAmtorFecTxPump : public TxSymbolSource {
 public:
  // The start needs nine inserts (six phasing, CR, LF, LTRS); the end six.
  static constexpr uint32_t kInsertCapacity = 16;
  static constexpr int kPhasingRun = 6;
  static constexpr int kLineLength = 55;  // characters after which a CR brings a phasing run

  explicit TAmtorFecTxPump(TTxAudioPump& frame) : frame_(frame) {}

  bool WantsBuffer() const override;
  bool QueueIdle() const override;
  uint32_t NextSymbol(int16_t* out, std::string& text, int32_t& endMark) override;
  // The speed and tones are the frame's (TModemParams); the code is always CCIR-476.
  bool SelectMode(const ModeRow&) override { return true; }
  void LeaveMode() override {}
  bool SetSpeed(double) override { return true; }
  bool SetTones(int32_t, int32_t) override { return true; }

  int32_t LineEndCount = 0;          // characters since the last phasing signal
  std::array<uint8_t, 4> History{};  // the last CCIR-476 codes sent as DX
  uint32_t HistoryIndex = 0;

 private:
  TxSymbol Choose();
  uint32_t SynthPair(TxSymbol code, int16_t* out, int32_t& endMark);
  void Insert(TxSymbol symbol, int times = 1);
  TxSymbol TakeInsert();

  TTxAudioPump& frame_;
  std::array<TxSymbol, kInsertCapacity> inserts_{};
  uint32_t insertCount_ = 0;
  uint32_t insertPos_ = 0;
};

}  // namespace vestrel
