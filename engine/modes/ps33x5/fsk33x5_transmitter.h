#pragma once
#include <array>
#include <cstdint>

#include "engine/modem_params.h"
#include "engine/modes/ps2x5/block_modulator.h"
#include "engine/modes/ps2x5/block_tx_pump.h"
#include "engine/sample_rates.h"

namespace vestrel {

// The PS33X5 modulator: 33 tones a spacing apart around the centre; each 5-bit symbol v moves
// the tone MfskGrayInverse[v] + 1 places upward (downward under Reverse), modulo 33, and
// sounds for one symbol with continuous phase. GUI thread only.
class TFsk33x5Transmitter final : public TBlockModulator {
 public:
  static constexpr int kTones = 33;

  TFsk33x5Transmitter(const SineTable& sine, const TModemParams& params) : TBlockModulator(sine), params_(params) {}

  // step: 1, 2, 4, 8, 16 or 32 (refused otherwise, the step kept): speed 1.5625 step Bd, the
  // spacing the speed (twice it below 10 Bd), the symbol length at outputRate; resets; the
  // tones around centreHz; enables.
  bool SetSpeed(int step, double centreHz, double outputRate);
  // Tone i (0..32) at centre + (i - 16) spacing, as phase steps at the output rate.
  void SetCentre(double centreHz);
  // Phase, accumulator and current tone 0; block counter 8.
  void Reset();

  // 0..31: the next tone. -4: reset, the current tone 32 (1 under Reverse), 2 zero samples, a
  // quarter-sine rise of one symbol on tone 0, then symbols 0 up to one second. -3: symbols 0
  // up to at least 2000 samples, a quarter-cosine fall of one symbol on the current tone,
  // 2 zero samples. -1: one symbol 0. Anything else, or before SetSpeed: nothing.
  uint32_t EncodeSymbol(int code, int16_t* out) override;
  uint32_t MaxSymbolSamples() const override;

  bool Enabled() const { return enabled_; }
  int Step() const { return step_; }
  double Speed() const { return speed_; }
  double SpacingHz() const { return spacingHz_; }
  double CentreHz() const { return centreHz_; }
  double OutputRate() const { return outputRate_; }
  int64_t SymbolLengthMilli() const { return symbolLength_; }
  int CurrentTone() const { return tone_; }
  int32_t ToneStep(int i) const { return steps_[static_cast<size_t>(i)]; }
  double BandLowerHz() const { return centreHz_ - 16.0 * spacingHz_; }
  double BandUpperHz() const { return centreHz_ + 16.0 * spacingHz_; }

 private:
  uint32_t Symbol(uint8_t value, int16_t* out);

  const TModemParams& params_;
  bool enabled_ = false;
  int step_ = 16;
  int64_t symbolLength_ = 1024000;
  std::array<int32_t, kTones> steps_{};
  int tone_ = 0;
  double speed_ = 25.0;
  double spacingHz_ = 25.0;
  double outputRate_ = 11025.0;
  double centreHz_ = 1500.0;
};

// PumpPs33x5Tx: the block pump with the PS33X5 modulator. A speed is taken as its step; the
// transmit tones (FrequencyUnit at the output rate) give the band's centre.
class TPs33x5TxPump final : public TBlockTxPump {
 public:
  TPs33x5TxPump(TTxAudioPump& frame, TFsk33x5Transmitter& modulator, TBlockMessage& receiverMessage,
                const TSampleRates& rates)
      : TBlockTxPump(frame, modulator, receiverMessage), modulator_(modulator), rates_(rates) {}
  bool SetSpeed(double baud) override;
  bool SetTones(int32_t lower, int32_t upper) override;

 private:
  TFsk33x5Transmitter& modulator_;
  const TSampleRates& rates_;
};

}  // namespace vestrel
