#include "engine/dsp/uni_resample.h"

namespace vestrel {

namespace {
// Written so that NaN fails too.
bool RateAccepted(double rate) {
  return rate >= TUniResample::kMinRate && rate <= TUniResample::kMaxRate;
}
}  // namespace

bool TUniResample::Setup(double inputRate, double outputRate, Callback callback, void* context) {
  if (!RateAccepted(inputRate) || !RateAccepted(outputRate)) return false;
  inputRate_ = inputRate;
  outputRate_ = outputRate;
  inputPeriod_ = 1.0e6 / inputRate;
  outputPeriod_ = 1.0e6 / outputRate;
  Reset();
  callback_ = callback;
  context_ = context;
  return true;
}

}  // namespace vestrel
