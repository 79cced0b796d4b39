#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/dsp/step_block.h"
#include "engine/dsp/tap_ring.h"

namespace vestrel {

// Decimating low-pass over a fixed table of static storage: every call stores a sample, the
// factor-th, 2 x factor-th, ... call computes a new output, and every call returns the last
// computed output, which the caller reads at the rate it needs.
class FixedDecimator {
 public:
  void Reset();
  double Step(double x) {
    ring_.Push(&x);
    if (++phase_ == factor_) {
      phase_ = 0;
      ConvolveInOrder<1>(ring_.Newest(), taps_.data(), static_cast<int>(taps_.size()), &output_);
    }
    return output_;
  }
  size_t Process(std::span<const double> in, std::span<double> out) { return StepBlock(*this, in, out); }

  double Output() const { return output_; }

 protected:
  // factor >= 1; taps must outlive the decimator (the tables are static).
  FixedDecimator(uint32_t factor, std::span<const double> taps);

 private:
  std::span<const double> taps_;
  TapRing<1> ring_;
  uint32_t factor_;
  uint32_t phase_ = 0;  // calls since the last computed output
  double output_ = 0.0;
};

}  // namespace vestrel
