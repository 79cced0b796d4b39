#include "engine/dsp/fsk_detector.h"

#include "engine/dsp/decimator2.h"
#include "engine/dsp/decimator3.h"
#include "engine/dsp/fir_filter.h"

namespace vestrel {

namespace {
constexpr double kPre919Half[] = {
    -2.7459257e-06, 6.9743062e-06,  5.4592578e-05, 0.00014494942, 0.00022007576,  0.00014262186,
    -0.00024358759, -0.00096294821, -0.0017369458, -0.0019400913, -0.00082795995, 0.0019498599,
    0.0057657744,   0.0087624974,   0.0083231409,  0.0023490969,  -0.0090709317,  -0.022453417,
    -0.031083066,   -0.026971762,   -0.0041557173, 0.037983172,   0.093010004,    0.14848562,
    0.18973512,     0.20498366};
constexpr double kPre49Half[] = {7.4867435e-06, 1.2611003e-05, -4.9167988e-05, -0.00015993087, -7.1804545e-05,
                                 0.00041122664, 0.00080084388, 5.8442598e-05,  -0.0018022329,  -0.0024558802,
                                 0.00063266202, 0.0056009238,  0.0055586016,   -0.0035806073,  -0.013982358,
                                 -0.010022612,  0.01212356,    0.030682594,    0.014965739,    -0.034722202,
                                 -0.067683025,  -0.018900868,  0.12262538,     0.28307052,     0.35373566};
}  // namespace

constinit const std::array<double, 51> kPre919 = MirrorTaps<51>(kPre919Half);
constinit const std::array<double, 49> kPre49 = MirrorTaps<49>(kPre49Half);

bool TFskDetector::ValidSetup(int path, size_t taps, int averageLength) {
  const bool knownPath = path == 919 || path == 2756 || path == 11025;
  return knownPath && taps >= 1 && taps <= static_cast<size_t>(FirFilter::kMaxTaps) && averageLength >= 0 &&
         averageLength <= kMaxAverageLength;
}

TFskDetector::TFskDetector(const SineTable& sine) : mixer_(sine) {
  pre_.SetLength(static_cast<int>(kPre919.size()));
  dec2_.SetLength(static_cast<int>(kC45.size()));
  dec3_.SetLength(static_cast<int>(kC27.size()));
}

bool TFskDetector::SetupWithAverage(int path, int taps, const double* table, int averageLength) {
  if (taps < 1 || table == nullptr) return false;
  return SetupWithAverage(path, std::span<const double>(table, static_cast<size_t>(taps)), averageLength);
}

bool TFskDetector::SetupWithAverage(int path, std::span<const double> table, int averageLength) {
  if (!ValidSetup(path, table.size(), averageLength)) return false;
  pathRate_ = 0;
  averageLength_ = averageLength;
  if (averageLength > 0) average_.SetLength(averageLength);
  firTaps_.assign(table.begin(), table.end());
  firSymmetric_ = IsSymmetric(firTaps_.data(), static_cast<int>(firTaps_.size()));
  fir_.SetLength(static_cast<int>(table.size()));
  if (path == 919) {
    preTaps_ = kPre919.data();
    preCount_ = static_cast<int>(kPre919.size());
  } else {
    preTaps_ = kPre49.data();
    preCount_ = static_cast<int>(kPre49.size());
  }
  outputEvery_ = 1;
  Reset();
  pathRate_ = path;
  return true;
}

bool TFskDetector::SetOutputEvery(int n) {
  if (pathRate_ != 11025 || n < 1 || n > 4) return false;
  outputEvery_ = n;
  Reset();
  return true;
}

void TFskDetector::Reset() {
  mixer_.ResetPhases();
  count1_ = count2_ = count3_ = 0;
  countOut_ = 0;
  dec2Calls_ = 0;
  OutASin = OutBSin = OutACos = OutBCos = 0.0;
  for (int l = 0; l < kLanes; ++l) dec2Out_[l] = dec3Out_[l] = 0.0;
  if (averageLength_ > 0) average_.Clear();
  pre_.Clear();
  dec2_.Clear();
  dec3_.Clear();
  if (!fir_.Empty()) fir_.Clear();
}

void TFskDetector::LaneAverage::SetLength(int n) {
  length = static_cast<uint32_t>(n);
  ring.assign(static_cast<size_t>(length) * kLanes, 0.0);
  Clear();
}

void TFskDetector::LaneAverage::Clear() {
  ring.assign(ring.size(), 0.0);
  for (double& s : sum) s = 0.0;
  pos = 0;
}

}  // namespace vestrel
