#include "engine/modes/ps33x5/fsk33x5_transmitter.h"

#include <cmath>

#include "engine/frequency_unit.h"
#include "engine/modes/mfsk/mfsk_code.h"
#include "engine/modes/ps33x5/ps33x5_band.h"
#include "engine/tx_symbol_queue.h"

namespace vestrel {

bool TFsk33x5Transmitter::SetSpeed(int step, double centreHz, double outputRate) {
  if (step != 1 && step != 2 && step != 4 && step != 8 && step != 16 && step != 32) return false;
  step_ = step;
  speed_ = 1.5625 * step;
  spacingHz_ = Ps33x5Spacing(step);
  outputRate_ = UsableTxRate(outputRate);
  symbolLength_ = static_cast<int64_t>(std::floor(outputRate_ * 1000.0 / speed_ + 0.5));
  Reset();
  SetCentre(centreHz);
  enabled_ = true;
  return true;
}

void TFsk33x5Transmitter::SetCentre(double centreHz) {
  if (!std::isfinite(centreHz)) return;
  centreHz_ = centreHz;
  for (int i = 0; i < kTones; ++i) steps_[i] = HzToUnits(centreHz + (i - 16) * spacingHz_, outputRate_);
}

void TFsk33x5Transmitter::Reset() {
  RestartModulator();
  tone_ = 0;
}

uint32_t TFsk33x5Transmitter::MaxSymbolSamples() const {
  // The start: 2 zeros, one symbol, then whole symbols until one second has been written.
  const int64_t symbol = symbolLength_ / 1000 + 1;
  return static_cast<uint32_t>(2 + static_cast<int64_t>(std::ceil(outputRate_)) + 2 * symbol + 2);
}

uint32_t TFsk33x5Transmitter::Symbol(uint8_t value, int16_t* out) {
  const int places = MfskGrayInverse[value & 31] + 1;
  tone_ = params_.Reverse != 0 ? (tone_ - places + kTones) % kTones : (tone_ + places) % kTones;
  return WriteSpan(out, symbolLength_, steps_[tone_]);
}

uint32_t TFsk33x5Transmitter::EncodeSymbol(int code, int16_t* out) {
  if (!enabled_) return 0;
  if (code >= 0 && code <= 31) return Symbol(static_cast<uint8_t>(code), out);
  auto idle = [this](int16_t* at) { return Symbol(0, at); };
  switch (code) {
    case kTxPreamble:
      Reset();
      // The first symbol 0 steps from here onto tone 0, where the rise sounds.
      tone_ = params_.Reverse != 0 ? 1 : kTones - 1;
      return StartPiece(out, steps_[0], symbolLength_, static_cast<uint32_t>(std::ceil(outputRate_)), idle);
    case kTxEnd:
      return EndPiece(out, symbolLength_, idle, [this] { return steps_[tone_]; });
    case kTxLtrs:
      return Symbol(0, out);
    default:
      return 0;
  }
}

bool TPs33x5TxPump::SetSpeed(double baud) {
  if (!std::isfinite(baud)) return false;
  const int step = static_cast<int>(std::floor(baud / 1.5625 + 0.5));
  return modulator_.SetSpeed(step, modulator_.CentreHz(), rates_.OutSamplingFreq);
}

bool TPs33x5TxPump::SetTones(int32_t lower, int32_t upper) {
  const double rate = UsableTxRate(rates_.OutSamplingFreq);
  modulator_.SetCentre((UnitsToHz(lower, rate) + UnitsToHz(upper, rate)) / 2.0);
  return true;
}

}  // namespace vestrel
