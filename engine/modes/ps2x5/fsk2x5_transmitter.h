#pragma once
#include <cstdint>

#include "engine/modem_params.h"
#include "engine/modes/ps2x5/block_modulator.h"
#include "engine/modes/ps2x5/block_tx_pump.h"
#include "engine/sample_rates.h"

namespace vestrel {

// The PS2X5 modulator: each 5-bit symbol as five NRZI bits, most significant first, on the
// transmit tone pair (TxTone of TModemParams): a 1 keeps the tone, a 0 changes it; NRZI state
// 1 sounds the upper tone, 0 the lower. GUI thread only.
class TFsk2x5Transmitter final : public TBlockModulator {
 public:
  static constexpr uint32_t kStartSamples = 12000;  // the start runs idle symbols up to this

  TFsk2x5Transmitter(const SineTable& sine, const TModemParams& params, const TSampleRates& rates)
      : TBlockModulator(sine), params_(params), rates_(rates) {}

  // baud: 1..5000 (refused otherwise); the bit length from OutSamplingFreq; resets; enables.
  bool SetSpeed(double baud);
  // Phase, bit accumulator and NRZI state 0; block counter 8.
  void Reset();

  // 0..31: five NRZI bits. -4: reset, 2 zero samples, a quarter-sine rise of one bit on the
  // lower tone (NRZI state 1 after it), then idle symbols (0) up to 12000 samples. -3: idle
  // symbols up to at least 2000 samples, a quarter-cosine fall of one bit on the current tone,
  // 2 zero samples. -1: one idle symbol. Anything else, or before SetSpeed: nothing.
  uint32_t EncodeSymbol(int code, int16_t* out) override;
  uint32_t MaxSymbolSamples() const override;

  bool Enabled() const { return enabled_; }
  double Speed() const { return speed_; }
  int64_t BitLengthMilli() const { return bitLength_; }
  int NrziState() const { return state_; }

 private:
  uint32_t Symbol(uint8_t value, int16_t* out);
  int32_t Step(int state) const { return params_.TxTone[state != 0 ? 1 : 0]; }

  const TModemParams& params_;
  const TSampleRates& rates_;
  bool enabled_ = false;
  int64_t bitLength_ = 1024000;  // thousandths of an output sample
  int state_ = 0;
  double speed_ = 25.0;
};

class TFsk2x5Decoder;

// PumpPs2x5Tx: the block pump with the PS2X5 modulator; the speed goes to the modulator, the
// tones are the transmit pair of TModemParams.
class TPs2x5TxPump final : public TBlockTxPump {
 public:
  TPs2x5TxPump(TTxAudioPump& frame, TFsk2x5Transmitter& modulator, TBlockMessage& receiverMessage)
      : TBlockTxPump(frame, modulator, receiverMessage), modulator_(modulator) {}
  bool SetSpeed(double baud) override { return modulator_.SetSpeed(baud); }
  bool SetTones(int32_t, int32_t) override { return true; }

 private:
  TFsk2x5Transmitter& modulator_;
};

}  // namespace vestrel
