#pragma once
#include <cstdint>

#include "engine/codes/reed_solomon31.h"
#include "engine/modes/ps2x5/ps2x5_block.h"
#include "engine/sine_table.h"

namespace vestrel {

// What the PS2X5 and PS33X5 transmitters share: the block format with its counter, and the
// timed tone writing on the SineTable (lengths in thousandths of an output sample, a running
// accumulator so that long runs keep the exact average rate, continuous phase). The block
// pump (TBlockTxPump) drives one through EncodeSymbol. GUI thread only.
class TBlockModulator {
 public:
  // Where the sent-text echo of a block's characters lies: after symbols 6, 10, ... 30.
  static constexpr int kEchoFirst = 6;
  static constexpr int kEchoStep = 4;

  explicit TBlockModulator(const SineTable& sine) : sine_(sine) {}

  // Symbols 0..31 and the codes -4 (start), -3 (end), -1 (one idle symbol) into out; returns
  // the sample count. out holds MaxSymbolSamples().
  virtual uint32_t EncodeSymbol(int code, int16_t* out) = 0;
  // An upper bound of the samples one EncodeSymbol writes at the current speed and rate.
  virtual uint32_t MaxSymbolSamples() const = 0;

  // The block of `bytes` (an end block: `length` characters, 0x04, zeros) with the current
  // counter, which then advances; echo holds the `length` characters at their echo positions
  // and 0 elsewhere.
  void BuildBlock(const BlockBytes& bytes, bool end, int length, BlockSymbols& symbols, BlockSymbols& echo);
  int Counter() const { return counter_; }
  // The counter back to 8, for the first block of a transmission.
  void ResetBlocks() { counter_ = kFirstBlockCounter; }

 protected:
  ~TBlockModulator() = default;
  // Phase and accumulator 0, the counter 8.
  void RestartModulator() {
    phase_ = 0;
    acc_ = 0;
    ResetBlocks();
  }
  // Samples of a tone for one piece of lengthMilli: written while the accumulator is below the
  // length (+1000 a sample), then the length is taken off it.
  uint32_t WriteSpan(int16_t* out, int64_t lengthMilli, int32_t step);
  // The same under a quarter-sine rise (up) or quarter-cosine fall of the amplitude.
  uint32_t WriteRamp(int16_t* out, int64_t lengthMilli, int32_t step, bool up);
  static uint32_t WriteZeros(int16_t* out, uint32_t n);
  // Samples the next piece of lengthMilli will take.
  uint32_t SpanLength(int64_t lengthMilli) const;

  // The start of a transmission: 2 zero samples, a rise of rampMilli on riseStep, then idle
  // symbols (symbol(out) writes one) until `until` samples have been written.
  template <class Symbol>
  uint32_t StartPiece(int16_t* out, int32_t riseStep, int64_t rampMilli, uint32_t until, Symbol&& symbol) {
    uint32_t n = WriteZeros(out, 2);
    n += WriteRamp(out + n, rampMilli, riseStep, true);
    while (n < until) n += symbol(out + n);
    return n;
  }
  // The end: idle symbols up to at least 2000 samples, a fall of rampMilli on the tone they
  // left (fallStep()), 2 zero samples.
  template <class Symbol, class FallStep>
  uint32_t EndPiece(int16_t* out, int64_t rampMilli, Symbol&& symbol, FallStep&& fallStep) {
    uint32_t n = 0;
    while (n < kEndSamples) n += symbol(out + n);
    n += WriteRamp(out + n, rampMilli, fallStep(), false);
    return n + WriteZeros(out + n, 2);
  }
  static constexpr uint32_t kEndSamples = 2000;

  const SineTable& sine_;
  TReedSolomon31 codec_;
  uint32_t phase_ = 0;  // & 0x7FFF
  int64_t acc_ = 0;     // thousandths of a sample
  int counter_ = kFirstBlockCounter;
};

}  // namespace vestrel
