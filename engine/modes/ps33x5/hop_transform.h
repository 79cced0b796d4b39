#pragma once
#include <cstdint>
#include <vector>

namespace vestrel {

// The transform of one PS33X5 hop, cut to what the receiver reads: `window` real samples
// zero-padded to n, and only the bins first..last, equal within float rounding to the same bins
// of RealFft(n) on the padded window (unscaled, kernel e^(-i 2 pi j k / n)). The n real samples
// are taken as n/2 complex ones (even samples real, odd imaginary), transformed in place
// without the bit-reversal permutation (each bin is read where it lies), the stages that only
// meet the padding's zeros cut short, and the bins of the real transform untangled from the
// half-size one. Allocates in Setup only; GUI thread only.
class TPs33x5HopTransform {
 public:
  // n: 8..16384, a power of two; window: 2..n, even. Refused (false, unchanged) otherwise.
  bool Setup(int n, int window);
  int Size() const { return n_; }
  int WindowLength() const { return window_; }

  // samples: `window` samples, the oldest first. re[k], im[k] written for k = first..last
  // (0 <= first <= last < n/2); other entries untouched.
  void Run(const float* samples, int first, int last, float* re, float* im);

 private:
  int n_ = 0;
  int window_ = 0;
  int m_ = 0;      // n / 2, the complex size
  int log2M_ = 0;
  int zeroStages_ = 0;  // leading stages whose second halves are all padding
  std::vector<float> zr_, zi_;
  std::vector<float> twRe_, twIm_;  // stage of half h: entries h - 1 .. 2h - 2 (e^(-i pi j / h))
  std::vector<float> splitRe_, splitIm_;  // e^(-i 2 pi k / n), k < n / 2
  std::vector<uint32_t> reversed_;       // where bin k of the half-size transform lies
  std::vector<float> gather_;            // the bins' two halves, gathered for the untangling
};

}  // namespace vestrel
