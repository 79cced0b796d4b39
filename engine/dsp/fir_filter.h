#pragma once
#include <cstddef>
#include <span>
#include <vector>

#include "engine/dsp/step_block.h"
#include "engine/dsp/tap_ring.h"

namespace vestrel {

// Direct-form FIR over a tap table given by its user: y = sum over i < n of x[t - i] x taps[i].
// The filter keeps its own copy of the taps, so it is an ordinary value and the caller's table
// need not outlive it. With no taps it is disabled and returns 0.
class FirFilter {
 public:
  static constexpr int kMaxTaps = TapRing<1>::kMaxLength;

  FirFilter() = default;

  // taps: 0..kMaxTaps entries; 0 disables. A longer table, or n < 0, or a null table with
  // n > 0 is refused and the previous taps stay.
  bool SetTaps(std::span<const double> taps);
  bool SetTaps(int n, const double* table);
  // Clears the delay line, keeps the taps.
  void Reset();

  double Step(double x) {
    if (taps_.empty()) return 0.0;
    Push(x);
    return Compute();
  }
  // Stores a sample without computing; for callers that use only some outputs.
  void Push(double x) {
    if (!taps_.empty()) ring_.Push(&x);
  }
  // The output for the samples stored so far.
  double Compute() const {
    double y = 0.0;
    if (!taps_.empty()) ConvolveInOrder<1>(ring_.Newest(), taps_.data(), static_cast<int>(taps_.size()), &y);
    return y;
  }
  size_t Process(std::span<const double> in, std::span<double> out) { return StepBlock(*this, in, out); }

  int Taps() const { return static_cast<int>(taps_.size()); }
  std::span<const double> Table() const { return taps_; }

 private:
  std::vector<double> taps_;
  TapRing<1> ring_;
};

}  // namespace vestrel
