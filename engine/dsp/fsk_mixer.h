#pragma once
#include <cstddef>
#include <cstdint>

#include "engine/sine_table.h"

namespace vestrel {

// The two quadrature oscillators of the FSK front end and its four mixer products, in the lane
// order of the filter chains: x sin A, x sin B, x cos A, x cos B (A the lower tone).
class FskMixer {
 public:
  explicit FskMixer(const SineTable& sine) : sine_(&sine) {}

  // Phase steps in FrequencyUnit; any value is taken modulo the table length.
  void SetTones(int32_t lowerStep, int32_t upperStep) {
    stepA_ = static_cast<uint32_t>(lowerStep);
    stepB_ = static_cast<uint32_t>(upperStep);
  }
  void ResetPhases() { phaseA_ = phaseB_ = 0; }

  // Advances both phases, then mixes. Products are exact: a float times an int16 fits a double.
  void Mix(float x, double* frame) {
    phaseA_ = (phaseA_ + stepA_) & SineTable::kMask;
    phaseB_ = (phaseB_ + stepB_) & SineTable::kMask;
    const double v = x;
    frame[0] = v * sine_->Sin(phaseA_);
    frame[1] = v * sine_->Sin(phaseB_);
    frame[2] = v * sine_->Cos(phaseA_);
    frame[3] = v * sine_->Cos(phaseB_);
  }

  // Mix for n samples, frame i at frames + 4 i: the same products, with the oscillators in
  // registers for the whole run.
  void MixBlock(const float* x, size_t n, double* frames) {
    const int16_t* t = sine_->data();
    uint32_t a = phaseA_;
    uint32_t b = phaseB_;
    const uint32_t sa = stepA_;
    const uint32_t sb = stepB_;
    for (size_t i = 0; i < n; ++i) {
      a = (a + sa) & SineTable::kMask;
      b = (b + sb) & SineTable::kMask;
      const double v = x[i];
      double* f = frames + 4 * i;
      f[0] = v * t[a];
      f[1] = v * t[b];
      f[2] = v * t[(a + SineTable::kQuarter) & SineTable::kMask];
      f[3] = v * t[(b + SineTable::kQuarter) & SineTable::kMask];
    }
    phaseA_ = a;
    phaseB_ = b;
  }

  int32_t ToneAStep() const { return static_cast<int32_t>(stepA_); }
  int32_t ToneBStep() const { return static_cast<int32_t>(stepB_); }

 private:
  const SineTable* sine_;
  uint32_t phaseA_ = 0;  // ToneAPhase
  uint32_t phaseB_ = 0;  // ToneBPhase
  uint32_t stepA_ = 0;
  uint32_t stepB_ = 0;
};

}  // namespace vestrel
