#include "engine/modes/ps2x5/fsk2x5_transmitter.h"

#include <cmath>

#include "engine/frequency_unit.h"
#include "engine/tx_symbol_queue.h"

namespace vestrel {

bool TFsk2x5Transmitter::SetSpeed(double baud) {
  if (!(baud >= 1.0 && baud <= 5000.0)) return false;
  speed_ = baud;
  bitLength_ = static_cast<int64_t>(std::floor(UsableTxRate(rates_.OutSamplingFreq) * 1000.0 / baud + 0.5));
  Reset();
  enabled_ = true;
  return true;
}

void TFsk2x5Transmitter::Reset() {
  RestartModulator();
  state_ = 0;
}

uint32_t TFsk2x5Transmitter::MaxSymbolSamples() const {
  // The start: 2 zeros, one bit, then whole symbols until 12000 samples; a symbol is five bits
  // of at most bitLength / 1000 + 1 samples each.
  const int64_t bit = bitLength_ / 1000 + 1;
  return static_cast<uint32_t>(2 + kStartSamples + 6 * bit + 2);
}

uint32_t TFsk2x5Transmitter::Symbol(uint8_t value, int16_t* out) {
  uint32_t n = 0;
  for (int b = 4; b >= 0; --b) {
    if (((value >> b) & 1) == 0) state_ ^= 1;
    n += WriteSpan(out + n, bitLength_, Step(state_));
  }
  return n;
}

uint32_t TFsk2x5Transmitter::EncodeSymbol(int code, int16_t* out) {
  if (!enabled_) return 0;
  if (code >= 0 && code <= 31) return Symbol(static_cast<uint8_t>(code), out);
  auto idle = [this](int16_t* at) { return Symbol(0, at); };
  switch (code) {
    case kTxPreamble:
      Reset();
      state_ = 1;  // after the rise on the lower tone
      return StartPiece(out, Step(0), bitLength_, kStartSamples, idle);
    case kTxEnd:
      return EndPiece(out, bitLength_, idle, [this] { return Step(state_); });
    case kTxLtrs:
      return Symbol(0, out);
    default:
      return 0;
  }
}

}  // namespace vestrel
