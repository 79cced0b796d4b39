#include "engine/dsp/quad_detector.h"

#include <cmath>

#include "engine/frequency_unit.h"

namespace vestrel {

bool TQuadDetector::SetLength(int length) {
  TReqtFilter i, q;
  if (!i.SetLength(length) || !q.SetLength(length)) return false;
  maI_ = std::move(i);
  maQ_ = std::move(q);
  phase_ = 0;
  i_ = q_ = 0.0;
  return true;
}

void TQuadDetector::Reset() {
  maI_.Reset();
  maQ_.Reset();
  phase_ = 0;
  i_ = q_ = 0.0;
}

bool TQuadDetector::SetFrequency(double hz) {
  if (!(hz >= 0.0 && hz <= kRxRate / 2)) return false;
  SetStep(HzToUnits(hz));
  return true;
}

double TQuadDetector::Step(double x) {
  if (sine_ == nullptr) return 0.0;
  phase_ = (phase_ + step_) & SineTable::kMask;
  const double c = x * 3.125e-5;  // x / 32000: the table's amplitude cancels
  i_ = maI_.Step(sine_->Sin(phase_) * c);
  q_ = maQ_.Step(sine_->Cos(phase_) * c);
  const double p = i_ * i_ + q_ * q_;
  return p >= kFloor ? std::sqrt(p) : 0.0;
}

}  // namespace vestrel
