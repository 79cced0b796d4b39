#pragma once
#include <cstdint>
#include <span>

#include "engine/dsp/tap_ring.h"
#include "engine/sine_table.h"

namespace vestrel {

// The PSK receiver's front end: a local oscillator mixes the signal at 11025 samples/s to
// baseband (i = x sin, q = x cos) and a decimating chain shapes the pair down to the matched
// filter's rate. I and Q run as the two lanes of one chain:
//   31.25 Bd: PSKPRE, every 2nd sample on, C27 decimate 3, C27 decimate 3, MF79 at 612.5/s;
//   62.5 Bd:  C27 decimate 3, C27 decimate 3, MF79 at 1225/s;
//   125 Bd:   PSKPRE, every 2nd sample on, PRE49, every 2nd on, MF85 at 2756.25/s.
// After a reset the decimations by 2 take their first input and the decimations by 3 their
// third (as Decimator3 computes); a filter's output is computed only when the next stage takes
// it, folded over its symmetric table. Outputs are in input units times the sine table's amplitude
// over two: a settled carrier of amplitude A on the tone gives |(I, Q)| = 16000 A times the
// chain's DC gain. A plain value: copies run on identically.
class TPskFrontEnd {
 public:
  explicit TPskFrontEnd(const SineTable& sine);

  // rateCode: 125 (125 Bd), 63 (62.5 Bd), anything else 31.25 Bd; returns the code applied
  // (31, 63 or 125). Chooses the chain and resets it.
  int SetRate(int rateCode);
  int RateCode() const { return rateCode_; }
  // Oscillator step, FrequencyUnit: 0 < step < 16384 (below half the sample rate); refused
  // (false, unchanged) otherwise.
  bool SetStep(int32_t step);
  int32_t Step() const { return static_cast<int32_t>(step_); }
  // Filters, counters and outputs to 0; the sine phase to 0 and the cosine a quarter turn on.
  void Reset();

  // One input sample; true when I and Q have just been replaced.
  bool Push(float x) {
    switch (rateCode_) {
      case 63:
        return PushAt<63>(x);
      case 125:
        return PushAt<125>(x);
      default:
        return PushAt<31>(x);
    }
  }
  // The same for a caller that has chosen the chain once for a block: Rate is RateCode().
  template <int Rate>
  bool PushAt(float x) {
    double frame[2];
    Mix(x, frame);
    if constexpr (Rate == 63) {
      return Decimate3Twice(frame);
    } else {
      pre_.Push(frame);
      // Every 2nd pre-filter output goes on; the first one does.
      if (count1_++ & 1u) return false;
      return Rate == 31 ? PreThenDecimate3Twice() : PreThenPre49();
    }
  }

  double I = 0.0;
  double Q = 0.0;

 private:
  void Mix(float x, double* frame) {
    phase_ = (phase_ + step_) & SineTable::kMask;
    const double v = x;
    frame[0] = v * sine_->Sin(phase_);
    frame[1] = v * sine_->Cos(phase_);
  }
  bool Decimate3Twice(const double* in);
  bool PreThenDecimate3Twice();
  bool PreThenPre49();
  void Matched(const double* in);

  const SineTable* sine_;
  int rateCode_ = 31;
  uint32_t step_ = 6539;  // 2200 Hz
  uint32_t phase_ = 0;
  // Inputs since the last one taken, per stage.
  uint32_t count1_ = 0;
  uint32_t count2_ = 0;
  uint32_t count3_ = 0;
  TapRing<2> pre_;    // PSKPRE at 11025
  TapRing<2> pre49_;  // PRE49 at 5512.5 (125 Bd)
  TapRing<2> dec3a_;  // C27, first decimation by 3
  TapRing<2> dec3b_;  // C27, second decimation by 3
  TapRing<2> mf_;     // MF79 or MF85
};

}  // namespace vestrel
