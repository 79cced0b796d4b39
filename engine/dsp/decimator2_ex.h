#pragma once
#include <cstddef>
#include <span>

#include "engine/dsp/fir_filter.h"
#include "engine/dsp/step_block.h"

namespace vestrel {

// Pre-filter of a decimating chain with a tap table chosen by its user. Step stores a sample
// and computes the output; a caller that keeps only every k-th output may Push the samples it
// drops and Step (or Push then Compute) the ones it keeps, with the same results.
class Decimator2Ex {
 public:
  Decimator2Ex() = default;

  // taps: 1..FirFilter::kMaxTaps entries; refused otherwise (false, previous taps stay).
  // Accepted taps clear the filter.
  bool SetTaps(std::span<const double> taps);
  bool SetTaps(int n, const double* table);
  void Reset();

  // Until taps are set (not Valid) the filter stores nothing and returns the last output, 0.
  double Step(double x) {
    Push(x);
    return Compute();
  }
  void Push(double x) { fir_.Push(x); }
  double Compute() {
    if (Valid()) output_ = fir_.Compute();
    return output_;
  }
  size_t Process(std::span<const double> in, std::span<double> out) { return StepBlock(*this, in, out); }

  bool Valid() const { return fir_.Taps() > 0; }
  double Output() const { return output_; }

 private:
  FirFilter fir_;
  double output_ = 0.0;
};

}  // namespace vestrel
