#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "engine/modem_params.h"
#include "engine/psk_tx_shaper.h"
#include "engine/sample_rates.h"
#include "engine/sine_table.h"

namespace vestrel {

// The PSK transmitter: the BPSK carrier writer, the QPSK encoder and the symbol shaper that
// synthesises each quarter-turn step (and the carrier's keying for CW) as cosine transitions
// of the I and Q amplitudes of sin + cos on the lower transmit tone (the upper one in the MFSK
// modes with Reverse on). A sample is floor(sin x I + cos x Q + 0.5) with I, Q in +-0.7.
//
// Symbols keep the true rate: a symbol lasts OutSamplingFreq / baud samples, which is rarely
// a whole number, so a fraction accumulator gives each symbol the floor or the ceiling of it
// (352 or 353 at 31.25 Bd and 11025 samples/s) and each is shaped over its own length. The
// shaping arrays are sized from the longest symbol at the output rate (OutSamplingFreq), any
// rate; when that rate changes the arrays are built again before the next symbol.
class TPskTxShaper final : public PskTxShaper {
 public:
  // Shaper states 0..3: the carrier's quadrant, (I, Q) = (+,+), (-,+), (-,-), (+,-); 4: off.
  static constexpr int kOff = 4;

  // rates: OutSamplingFreq, the calibrated output rate (a value no card runs at stands for
  // 11025 samples/s).
  TPskTxShaper(const SineTable& sine, const TModemParams& params, const TSampleRates& rates);

  // rateCode: 125 (125 Bd), 63 (62.5 Bd), anything else 31.25 Bd. Fills the shaping arrays for
  // the output rate and starts the symbol timing afresh; returns the baud applied.
  double SetPskRate(int rateCode);

  // symbol 0..3 advances the quadrant by that many quarter turns, 4 ramps the carrier off in
  // the first half of the symbol, 5 returns to quadrant 0 (from off: rising in the second
  // half). Any other symbol writes nothing.
  uint32_t PskTxSymbol(int symbol, int16_t* out, uint32_t& phase) override;
  // BPSK: a 1 is a symbol of steady carrier; a 0 fades to zero at the symbol's middle, turns
  // the phase by half a turn and rises again.
  uint32_t PskTxCarrier(int bit, int16_t* out, uint32_t& phase) override;
  // QPSK: the bit enters the encoder inverted; its output is the symbol (negated with Reverse).
  uint32_t PskTxQpskBit(int bit, int16_t* out, uint32_t& phase) override;
  // Samples per symbol at the output rate, rounded; a symbol is at most one more.
  uint32_t PskSymbolLen() const override;

  double PskTxBaud = 31.25;
  double PskCarrierLen = 352.8;  // output samples per symbol, exact, at the rate built for
  // How far the written samples run ahead of the true symbol edges, 0 <= acc < 1: the BPSK
  // carrier's and the shaper's.
  double PskCarrierAcc = 0.0;
  double PskSymbolAcc = 0.0;
  int State = kOff;
  uint32_t QpskRegister = 0;  // the encoder's last 5 bits, newest in bit 0

 private:
  // The arrays of one symbol length n: 0.7 cos(pi i / n) and |cos(pi i / n)|, i < n.
  struct Shape {
    uint32_t length = 0;
    std::vector<double> cosine;
    std::vector<double> envelope;
  };

  // The arrays and lengths for the current output rate.
  void Build();
  // The arrays follow a changed output rate.
  void FollowRate() {
    if (rates_.OutSamplingFreq != builtFor_) Build();
  }
  // The length of the next symbol against acc, and acc advanced past it.
  uint32_t NextLength(double& acc) const;
  const Shape& ShapeOf(uint32_t n) const { return shapes_[n == shapes_[0].length ? 0 : 1]; }
  int32_t ToneStep() const;

  const SineTable& sine_;
  const TModemParams& params_;
  const TSampleRates& rates_;
  double builtFor_ = 0.0;        // the OutSamplingFreq the arrays are for
  std::array<Shape, 2> shapes_;  // floor(PskCarrierLen) and one more
};

}  // namespace vestrel
