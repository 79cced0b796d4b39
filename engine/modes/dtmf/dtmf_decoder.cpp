#include "engine/modes/dtmf/dtmf_decoder.h"

#include "engine/frequency_unit.h"

namespace vestrel {

namespace {

constexpr int kStrongStep = 100;
constexpr int kWeakStep = 10;
constexpr int kWeakNoDigitStep = 5;
constexpr double kNoDigitLevel = -0.1;  // what the oscillogram shows without a digit
constexpr double kSpectrumScale = 1.0 / (1 << 23);

}  // namespace

TDtmfDecoder::TDtmfDecoder(const SineTable& sine, const TRxBlockProcessor& squelch, RxTextSink& sink,
                           LevelRing* levels, int32_t* levelIndex)
    : squelch_(squelch), sink_(sink), levels_(levels), levelIndex_(levelIndex) {
  for (TQuadDetector& d : detectors_) d.SetTable(sine);
}

void TDtmfDecoder::Reset() {
  for (int i = 0; i < kTones; ++i) {
    detectors_[i].SetLength(kAverage);
    detectors_[i].Reset();
    steps_[i] = HzToUnits(kToneHz[i]);
    detectors_[i].SetStep(steps_[i]);
  }
  levelCount_ = 0;
  counters_.fill(0);
  last_ = 0;
  margin_ = hold_ = decay_ = 0.0;
  enabled_ = true;
}

void TDtmfDecoder::ProcessBlock(std::span<const float> block, bool) {
  if (!enabled_) return;
  for (float x : block) ProcessSample(x);
}

void TDtmfDecoder::ProcessSample(float x) {
  if (!enabled_) return;
  double m[kTones];
  const double v = x * kInputScale;
  for (int i = 0; i < kTones; ++i) m[i] = detectors_[i].Step(v);
  const Verdict verdict = Classify(m);
  int p = verdict.digit;
  if (verdict.strong) {
    counters_[p] += kStrongStep;
  } else {
    counters_[p] += kWeakStep;
    counters_[0] += kWeakNoDigitStep;
    if (counters_[0] >= kRelease) p = 0;
  }
  if (counters_[p] >= kRelease) {
    counters_.fill(0);
    if (p != last_) {
      last_ = p;
      if (p > 0) sink_.PutRxChar(static_cast<uint8_t>(DtmfDigitTable[p]));
    }
  }
  if (++levelCount_ >= kLevelEvery) {
    levelCount_ = 0;
    if (levels_ != nullptr) levels_->Write(*levelIndex_, p == 0 ? kNoDigitLevel : margin_);
  }
}

TDtmfDecoder::Verdict TDtmfDecoder::Classify(const double* m) {
  // The three largest; on equal magnitudes the lower tone ranks first.
  int i = 0, j = -1;
  double a = m[0], b = -1.0, c = -1.0;
  for (int k = 1; k < kTones; ++k) {
    if (m[k] > a) {
      c = b;
      b = a;
      j = i;
      a = m[k];
      i = k;
    } else if (m[k] > b) {
      c = b;
      b = m[k];
      j = k;
    } else if (m[k] > c) {
      c = m[k];
    }
  }
  margin_ = (a + b) / 2 - c;
  if (margin_ > hold_) {
    hold_ = margin_;
    decay_ = margin_ / 11025.0;
  } else {
    hold_ -= decay_;
  }
  Verdict none;  // no digit, strong
  if (margin_ < 0.2 * hold_) return none;
  // No tone at all (digital silence): every test below would pass on zeros, and only the order
  // of equal magnitudes would keep a digit from being made of nothing.
  if (a <= 0.0) return none;
  if (squelch_.IsSquelch) {
    const int bin = (steps_[i] + 8) / 16;
    const double re = squelch_.Spectrum.SpectrumRe[bin] * kSpectrumScale;
    const double im = squelch_.Spectrum.SpectrumIm[bin] * kSpectrumScale;
    if (squelch_.SquelchLevel * squelch_.SquelchLevel > re * re + im * im) return none;
  }
  Verdict v;
  if (a > 6 * b) return none;  // a single tone
  if (a > 3 * b) v.strong = false;
  if (b < 2 * c) return none;
  if (b < 3 * c) v.strong = false;
  const bool iLow = i < 4, jLow = j < 4;
  if (iLow == jLow) return none;
  const int low = iLow ? i : j;
  const int high = iLow ? j : i;
  v.digit = low + 4 * (high - 4) + 1;
  return v;
}

}  // namespace vestrel
