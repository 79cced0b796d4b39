#pragma once
#include <array>
#include <cstdint>

#include "engine/modem_params.h"
#include "engine/modes/mfsk/mfsk_code.h"
#include "engine/modes/mfsk/mfsk_interleaver.h"
#include "engine/sample_rates.h"
#include "engine/sine_table.h"
#include "engine/tx_symbol_queue.h"

namespace vestrel {

// Transmitter of MFSK16 and MFSK8, the mirror of TMfskDecoder: characters through the MFSK
// varicode and the convolutional encoder (the 0x6D parity first), code bits gathered into
// 4-bit (MFSK16) or 5-bit (MFSK8) symbol values, the interleaver, and each value's inverse Gray
// code as the tone, sent with continuous phase at OutSamplingFreq. A symbol lasts 64 or 128 ms:
// a thousandths accumulator gives it the whole samples that keep that average (705 and 706 at
// 11025 samples/s in MFSK16).
class TMfskTransmitter {
 public:
  static constexpr uint32_t kPreambleGap = 3600;   // samples of silence before the first tone
  static constexpr uint32_t kRampLength = 512;     // rise and fall of the first tone
  static constexpr uint32_t kSteadyLength = 5000;  // the first tone before and after the text
  static constexpr int kMaxTones = 32;
  // The most symbols one code sends: MFSK16's tune code, 15.
  static constexpr uint32_t kMaxSymbolsPerCode = 15;

  TMfskTransmitter(const SineTable& sine, const TModemParams& params, const TSampleRates& rates);

  // MFSK8 (true) or MFSK16: symbol length at the output rate, tone count, Reset, base tone
  // 2972; then enabled.
  void SetMode(bool mfsk8);
  // Symbol length recomputed from the output rate; phase, accumulator, symbol assembly,
  // encoder and interleaver cleared.
  void Reset();
  // base: the lowest tone in FrequencyUnit at the output rate.
  void SetTones(int32_t base);

  // Writes the samples of one code at `out` (room for MaxSymbolSamples()) and returns their
  // number: a character 0..255; -23 a 1 and 16 zeros through the encoder (ends the word before
  // it); -24 16 zero code bits; -25 8 symbols of value 0; -26 15 (MFSK16) or 7 (MFSK8) symbols of
  // value 0, a tune signal of some 0.9 s; -4 Reset and the preamble (silence, rise, steady first
  // tone); -3 the postamble (steady first tone, fall). Other codes write nothing.
  uint32_t EncodeSymbol(TxSymbol code, int16_t* out);

  // An upper bound of one EncodeSymbol at the current output rate.
  uint32_t MaxSymbolSamples() const;

  bool Enabled() const { return enabled_; }
  int Tones() const { return tones_; }
  int64_t SymbolLengthMilli() const { return symbolMilli_; }
  int32_t FirstStep() const { return steps_[0]; }
  int32_t LastStep() const { return steps_[tones_ - 1]; }
  int32_t FirstBin() const { return firstBin_; }
  int32_t LastBin() const { return lastBin_; }
  int32_t StepOf(int tone) const { return steps_[tone]; }
  // The tone that frames a transmission: tone 0, or the top one under Reverse.
  int FirstTone() const { return params_.Reverse == 1 ? tones_ - 1 : 0; }

  // Continuous phase of the tones, FrequencyUnit & 0x7FFF.
  uint32_t Phase = 0;

 private:
  double Rate() const;
  void ComputeSymbolLength();
  uint32_t EncodeBit(uint32_t u, int16_t* out);
  uint32_t AssembleBit(uint32_t bit, int16_t* out);
  uint32_t SendSymbol(uint32_t value, int16_t* out);
  uint32_t SendSymbols(uint32_t value, uint32_t count, int16_t* out);
  uint32_t WriteTone(int16_t* out, uint32_t n, int rampKind);
  uint32_t Preamble(int16_t* out);
  uint32_t Postamble(int16_t* out);

  const SineTable& sine_;
  const TModemParams& params_;
  const TSampleRates& rates_;
  bool enabled_ = false;
  bool mfsk8_ = false;
  int tones_ = 16;
  int bits_ = 4;
  double spacingHz_ = 15.625;
  int64_t symbolMilli_ = 705600;  // symbol length, thousandths of an output sample
  int64_t acc_ = 0;               // sample-time accumulator, thousandths
  uint32_t assembly_ = 0;         // code bits of the symbol being gathered
  int assembled_ = 0;
  TMfskEncoder encoder_;
  TMfskInterleaver interleaver_;
  std::array<int32_t, kMaxTones> steps_{};
  int32_t firstBin_ = 0;
  int32_t lastBin_ = 0;
};

}  // namespace vestrel
