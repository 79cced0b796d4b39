#include "engine/dsp/fsk_detector_reference.h"

#include "engine/dsp/fsk_detector.h"

namespace vestrel {

bool TFskDetectorReference::SetupWithAverage(int path, std::span<const double> table, int averageLength) {
  if (!TFskDetector::ValidSetup(path, table.size(), averageLength)) return false;
  pathRate_ = 0;
  averageLength_ = averageLength;
  for (Arm& a : arms_) {
    if (averageLength > 0) a.average.SetLength(averageLength);
    a.fir.SetTaps(table);
  }
  Reset();
  for (Arm& a : arms_) {
    if (path == 919)
      a.pre.SetTaps(kPre919);
    else
      a.pre.SetTaps(kPre49);
  }
  pathRate_ = path;
  return true;
}

void TFskDetectorReference::Reset() {
  mixer_.ResetPhases();
  count1_ = count2_ = count3_ = 0;
  OutASin = OutBSin = OutACos = OutBCos = 0.0;
  for (Arm& a : arms_) {
    if (averageLength_ > 0) a.average.Reset();
    a.pre.Reset();
    a.dec2.Reset();
    a.dec3.Reset();
    a.fir.Reset();
  }
}

bool TFskDetectorReference::Step(float x) {
  if (pathRate_ != 919 && pathRate_ != 2756 && pathRate_ != 11025) return false;
  double p[4];
  mixer_.Mix(x, p);
  if (averageLength_ > 0)
    for (int k = 0; k < 4; ++k) p[k] = arms_[k].average.Step(p[k]);
  bool ready = true;
  if (pathRate_ == 919)
    ready = Run919(p);
  else if (pathRate_ == 2756)
    ready = Run2756(p);
  if (!ready) return false;
  double out[4];
  for (int k = 0; k < 4; ++k) out[k] = arms_[k].fir.Step(p[k]);
  OutASin = out[0];
  OutBSin = out[1];
  OutACos = out[2];
  OutBCos = out[3];
  return true;
}

// Each stage leaves its output in p; false where a counter skips.
bool TFskDetectorReference::Run2756(double* p) {
  for (int k = 0; k < 4; ++k) p[k] = arms_[k].pre.Step(p[k]);
  if (count1_ != 0) {
    count1_ = 0;
    return false;
  }
  count1_ = 1;
  for (int k = 0; k < 4; ++k) p[k] = arms_[k].dec2.Step(p[k]);
  if (count2_ != 0) {
    count2_ = 0;
    return false;
  }
  count2_ = 1;
  return true;
}

bool TFskDetectorReference::Run919(double* p) {
  if (!Run2756(p)) return false;
  for (int k = 0; k < 4; ++k) p[k] = arms_[k].dec3.Step(p[k]);
  if (++count3_ <= 2) return false;
  count3_ = 0;
  return true;
}

}  // namespace vestrel
