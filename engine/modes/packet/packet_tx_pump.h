#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "engine/modem_params.h"
#include "engine/modes/packet/buf_fifo.h"
#include "engine/modes/packet/packet_channel.h"
#include "engine/sine_table.h"
#include "engine/tx_state.h"
#include "engine/tx_symbol_source.h"

namespace vestrel {

// The packet transmitter of the AX.25 modes inside the buffer frame of the transmit audio pump:
// one transmission is silence blocks, a ramp-up, sync bytes and lead flags, every frame waiting
// in the BufFifo (flags and bit-stuffed bytes), tail flags and a ramp-down. Bits are NRZI-coded
// (a 0 changes the tone) on two continuous-phase tones, TxTone upper for NRZI state 1 and lower
// for 0 (swapped when Reverse is 1), each bit TxSamplesPerBitMilli thousandths of a sample long
// on average. TxState 1 starts a transmission; TxEnding goes 1 when the tail is queued and 3
// when the ramp-down, which carries the end mark, is written. GUI thread only.
class TPacketTxPump final : public TxSymbolSource {
 public:
  static constexpr uint32_t kSilenceBlock = 110;  // 10 ms at 11025 samples/s
  static constexpr uint32_t kRampLength = 128;
  // Program items besides data bytes and HdlcFlagItem.
  static constexpr int16_t kItemSilence = -30;
  static constexpr int16_t kItemCarrierStart = -31;
  static constexpr int16_t kItemEnd = -32;
  // The pending program holds at most one of its three parts at a time: the lead silence
  // (at most 253 blocks and the carrier start), the sync bytes and lead flags (at most 2 x 142),
  // or the tail (at most 381 flags and the end), the largest that TXDELAY and TXTAIL of 2550 ms
  // give at any speed up to 1200 Bd (TPacketChannel::UpdatePacketTiming).
  static constexpr uint32_t kPendingCapacity = 512;

  TPacketTxPump(const SineTable& sine, const TModemParams& params, TTxState& tx, BufFifo& fifo,
                TPacketChannel& channel);

  // Back to the state before any transmission: NRZI state 0, phase 0, program empty.
  void Reset();

  // TxSymbolSource: fills while transmitting and until the ramp-down is written.
  bool WantsBuffer() const override;
  bool QueueIdle() const override;
  // The next program item's samples at out (room for MaxSymbolSamples()); data bytes above 0
  // are appended to text; the ramp-down sets endMark to kTxEnd.
  uint32_t NextSymbol(int16_t* out, std::string& text, int32_t& endMark) override;
  // A packet mode chosen: the slot timer runs; another family's mode: it stops.
  bool SelectMode(const ModeRow& row) override;
  void LeaveMode() override;
  // Every speed change: the channel access times itself in bytes at the new speed.
  bool SetSpeed(double baud) override;
  // The transmitter reads the transmit tones from TModemParams.
  bool SetTones(int32_t, int32_t) override { return true; }

  // Symbols one after another into out while it has room for the longest, stopping after the
  // end of the transmission or when no transmission runs; returns the samples written.
  size_t Synthesize(std::span<int16_t> out, std::string& text, int32_t& endMark);

  // The most samples one item can take at the current speed: a data byte of 8 bits and two
  // stuffed zeros.
  uint32_t MaxSymbolSamples() const override;

  int32_t NrziState = 0;  // 1: the second (upper) tone
  uint32_t Phase = 0;     // tone phase, & 0x7FFF
  int64_t BitAcc = 0;     // thousandths of a sample written beyond the bits so far
  int32_t Ones = 0;       // ones in a row, for the bit stuffer

 private:
  int16_t NextItem();
  bool Queue(int16_t item, int32_t times = 1);
  uint32_t Start(int16_t* out);
  uint32_t Silence(int16_t* out);
  uint32_t Ramp(int16_t* out, bool up);
  uint32_t Flag(int16_t* out);
  uint32_t Byte(int16_t* out, uint8_t byte);
  uint32_t Bit(int16_t* out, int bit);
  int32_t ToneStep() const;

  const SineTable& sine_;
  const TModemParams& params_;
  TTxState& tx_;
  BufFifo& fifo_;
  TPacketChannel& channel_;
  std::array<int16_t, kPendingCapacity> pending_{};
  uint32_t pendingPos_ = 0;
  uint32_t pendingCount_ = 0;
};

}  // namespace vestrel
