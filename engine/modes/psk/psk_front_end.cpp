#include "engine/modes/psk/psk_front_end.h"

#include "engine/dsp/decimator3.h"
#include "engine/dsp/fsk_detector.h"
#include "engine/modes/psk/psk_filters.h"

namespace vestrel {

TPskFrontEnd::TPskFrontEnd(const SineTable& sine) : sine_(&sine) {
  pre_.SetLength(static_cast<int>(kPskPre.size()));
  pre49_.SetLength(static_cast<int>(kPre49.size()));
  dec3a_.SetLength(static_cast<int>(kC27.size()));
  dec3b_.SetLength(static_cast<int>(kC27.size()));
  SetRate(31);
}

int TPskFrontEnd::SetRate(int rateCode) {
  rateCode_ = rateCode == 125 ? 125 : rateCode == 63 ? 63 : 31;
  mf_.SetLength(static_cast<int>(rateCode_ == 125 ? kMf85.size() : kMf79.size()));
  Reset();
  return rateCode_;
}

bool TPskFrontEnd::SetStep(int32_t step) {
  if (step <= 0 || step >= static_cast<int32_t>(SineTable::kSize / 2)) return false;
  step_ = static_cast<uint32_t>(step);
  return true;
}

void TPskFrontEnd::Reset() {
  // The cosine is read a quarter turn on from the sine phase: it starts at 8192.
  phase_ = 0;
  count1_ = count2_ = count3_ = 0;
  I = Q = 0.0;
  pre_.Clear();
  pre49_.Clear();
  dec3a_.Clear();
  dec3b_.Clear();
  mf_.Clear();
}

bool TPskFrontEnd::Decimate3Twice(const double* in) {
  dec3a_.Push(in);
  if (++count2_ < 3) return false;
  count2_ = 0;
  double y[2];
  ConvolveLanesSymmetric<2>(dec3a_.Newest(), kC27.data(), static_cast<int>(kC27.size()), y);
  dec3b_.Push(y);
  if (++count3_ < 3) return false;
  count3_ = 0;
  ConvolveLanesSymmetric<2>(dec3b_.Newest(), kC27.data(), static_cast<int>(kC27.size()), y);
  Matched(y);
  return true;
}

void TPskFrontEnd::Matched(const double* in) {
  mf_.Push(in);
  double y[2];
  if (rateCode_ == 125)
    ConvolveLanesSymmetric<2>(mf_.Newest(), kMf85.data(), static_cast<int>(kMf85.size()), y);
  else
    ConvolveLanesSymmetric<2>(mf_.Newest(), kMf79.data(), static_cast<int>(kMf79.size()), y);
  I = y[0];
  Q = y[1];
}

bool TPskFrontEnd::PreThenDecimate3Twice() {
  double y[2];
  ConvolveLanesSymmetric<2>(pre_.Newest(), kPskPre.data(), static_cast<int>(kPskPre.size()), y);
  return Decimate3Twice(y);
}

bool TPskFrontEnd::PreThenPre49() {
  double y[2];
  ConvolveLanesSymmetric<2>(pre_.Newest(), kPskPre.data(), static_cast<int>(kPskPre.size()), y);
  pre49_.Push(y);
  if (count2_++ & 1u) return false;
  ConvolveLanesSymmetric<2>(pre49_.Newest(), kPre49.data(), static_cast<int>(kPre49.size()), y);
  Matched(y);
  return true;
}

}  // namespace vestrel
