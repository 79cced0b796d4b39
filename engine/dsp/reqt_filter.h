#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/dsp/step_block.h"

namespace vestrel {

// Moving average over the last N samples by a running sum. The sum is rebuilt from the ring
// once per N samples, so rounding cannot accumulate: after N samples of silence it is exactly
// 0 however long the filter has run.
class TReqtFilter {
 public:
  static constexpr int kMaxLength = 1 << 16;  // 5.9 s at 11025 samples/s

  TReqtFilter() = default;
  // length: 1..kMaxLength; outside that the filter stays without a ring.
  explicit TReqtFilter(int length) { SetLength(length); }

  // Allocates and clears; refused (false, previous length and contents kept) outside
  // 1..kMaxLength.
  bool SetLength(int length);
  void Reset();

  // Without a ring (no valid length yet) returns 0.
  double Step(double x) {
    if (length_ == 0) return 0.0;
    sum_ = sum_ - ring_[pos_] + x;
    ring_[pos_] = x;
    if (++pos_ == length_) {
      pos_ = 0;
      double s = 0.0;
      for (double v : ring_) s += v;
      sum_ = s;
    }
    return sum_ / length_;
  }
  size_t Process(std::span<const double> in, std::span<double> out) { return StepBlock(*this, in, out); }

  int Length() const { return static_cast<int>(length_); }

 private:
  std::vector<double> ring_;
  uint32_t length_ = 0;
  uint32_t pos_ = 0;
  double sum_ = 0.0;
};

}  // namespace vestrel
