#pragma once
#include <cstdint>

#include "engine/modem_params.h"
#include "engine/psk_tx_shaper.h"
#include "engine/sine_table.h"

namespace vestrel {

// The transmit synthesisers: oscillators on the SineTable stepped in FrequencyUnit at the
// output rate. Every call writes at `out`, advances the caller's phase accumulator (kept
// & 0x7FFF; per sample the step is added and the entry at the new phase is the sample) and
// returns the number of samples written; `out` must hold MaxSymbolSamples(). Phase is
// continuous across calls, so characters and buffers join without a step.
class TToneSynth {
 public:
  static constexpr uint32_t kSilenceLength = 2002;
  static constexpr uint32_t kPreambleGap = 3600;
  static constexpr uint32_t kRampLength = 512;
  static constexpr uint32_t kTailTone = 1500;

  TToneSynth(const SineTable& sine, const TModemParams& params) : sine_(sine), params_(params) {}

  // The PSK shaper; without one the PSK synthesisers write nothing.
  void SetPskShaper(PskTxShaper* shaper) { psk_ = shaper; }
  PskTxShaper* Shaper() const { return psk_; }

  // An upper bound of the samples any one call below writes at the current speed and PSK rate.
  uint32_t MaxSymbolSamples() const;

  // Start bit, 5/7/8 data bits LSB first (modes 0/2/4), stop on mark of 1.5 bits in mode 0 and
  // 1 bit otherwise. The bit accumulator starts afresh for every character.
  uint32_t SynthFskChar(int code, int16_t* out, uint32_t& phase) const;
  // Seven bit lengths of mark.
  uint32_t SynthSteadyMark(int16_t* out, uint32_t& phase) const;
  // A 7-bit CCIR-476 code MSB first; the bit accumulator carries over between characters.
  uint32_t SynthAmtorChar(int code, int16_t* out, uint32_t& phase);
  void ResetAmtorAccumulator() { amtorAcc_ = 0; }
  // Varicode of a character (or four zero bits for a code outside 0..255) through the carrier.
  uint32_t SynthBpskChar(int character, int16_t* out, uint32_t& phase) const;
  // The same with six zero bits for an idle code, each bit through the QPSK encoder.
  uint32_t SynthQpskChar(int character, int16_t* out, uint32_t& phase) const;

  // 2002 zero samples; the phase returns to 0.
  uint32_t WriteTxSilence(int16_t* out, uint32_t& phase) const;
  // 3600 zero samples, then a 512-sample quarter-sine rise of the preamble tone (QPSK31: a ramp
  // up and 16 zero bits).
  uint32_t WriteTxPreamble(int16_t* out, uint32_t& phase) const;
  // 1500 samples of the tail tone and a 512-sample quarter-cosine fall (QPSK31: 16 zero bits
  // and a ramp down).
  uint32_t WriteTxTail(int16_t* out, uint32_t& phase) const;

  // Mark and space steps, swapped when Reverse is 1.
  int32_t MarkStep() const { return params_.Reverse == 1 ? params_.TxTone[0] : params_.TxTone[1]; }
  int32_t SpaceStep() const { return params_.Reverse == 1 ? params_.TxTone[1] : params_.TxTone[0]; }
  // The preamble and tail tone: the lower tone when reversed or in a PSK mode.
  int32_t FrameStep() const;

 private:
  // Writes n samples of a tone; returns n.
  uint32_t WriteTone(int16_t* out, uint32_t n, int32_t step, uint32_t& phase) const;
  // Writes the samples of one bit of `lengthMilli` thousandths of a sample against `acc`.
  uint32_t WriteBit(int16_t* out, int64_t lengthMilli, int64_t& acc, int32_t step, uint32_t& phase) const;
  uint32_t PskBits(int16_t* out, uint32_t& phase, uint16_t entry, int zeros, bool qpsk) const;

  const SineTable& sine_;
  const TModemParams& params_;
  PskTxShaper* psk_ = nullptr;
  int64_t amtorAcc_ = 0;
};

}  // namespace vestrel
