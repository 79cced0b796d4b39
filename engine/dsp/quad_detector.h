#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/dsp/reqt_filter.h"
#include "engine/sine_table.h"

namespace vestrel {

// Single-tone detector: mixes the input with sine and cosine of its tone, averages both over
// N samples and returns the magnitude. A tone of amplitude A (input units) on the detector's
// frequency, averaged over whole cycles, gives A / 2.
class TQuadDetector {
 public:
  // Squared magnitudes below this are returned as exactly 0.
  static constexpr double kFloor = 1e-13;

  // Without a table the detector returns 0 until SetTable (lets users hold arrays of them).
  TQuadDetector() = default;
  explicit TQuadDetector(const SineTable& sine) : sine_(&sine) {}

  void SetTable(const SineTable& sine) { sine_ = &sine; }
  // length: 1..TReqtFilter::kMaxLength samples of both averages; also sets the phase to 0.
  // Refused (false, nothing changed) outside that range.
  bool SetLength(int length);
  // Clears both averages and the phase.
  void Reset();
  // hz: tone frequency at 11025 samples/s, 0..5512.5; refused (false, step kept) outside.
  bool SetFrequency(double hz);
  // step: phase step in FrequencyUnit (11025/32768 Hz).
  void SetStep(int32_t step) { step_ = static_cast<uint32_t>(step); }

  double Step(double x);
  size_t Process(std::span<const double> in, std::span<double> out) { return StepBlock(*this, in, out); }

  int32_t StepUnits() const { return static_cast<int32_t>(step_); }
  double I() const { return i_; }
  double Q() const { return q_; }

 private:
  const SineTable* sine_ = nullptr;
  uint32_t phase_ = 0;
  uint32_t step_ = 0;
  TReqtFilter maI_;
  TReqtFilter maQ_;
  double i_ = 0.0;
  double q_ = 0.0;
};

}  // namespace vestrel
