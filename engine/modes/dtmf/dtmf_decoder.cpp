#include "engine/modes/dtmf/dtmf_decoder.h"

#include <algorithm>
#include <cmath>

#include "engine/dsp/block_clones.h"
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
  detectors_.SetTable(sine);
}

void TDtmfDecoder::Reset() {
  detectors_.SetLength(kAverage);
  for (int i = 0; i < kTones; ++i) detectors_.SetStep(i, HzToUnits(kToneHz[i]));
  levelCount_ = 0;
  counters_.fill(0);
  last_ = 0;
  margin_ = hold_ = decay_ = 0.0;
  enabled_ = true;
}

// The debounce of the sample's verdict, and the level for the displays.
VESTREL_INLINE_IN_CLONES void TDtmfDecoder::Decide(const double* power) {
  const Verdict verdict = Classify(power);
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

// The three strongest tones are found on the detectors' powers, which order as their magnitudes
// do; only those three magnitudes are taken.
VESTREL_INLINE_IN_CLONES TDtmfDecoder::Verdict TDtmfDecoder::Classify(const double* power) {
  // The largest, the second and the third; on equal powers the lower tone ranks first.
  int i = 0, j = -1;
  double pa = power[0], pb = -1.0, pc = -1.0;
  for (int k = 1; k < kTones; ++k) {
    const double p = power[k];
    if (p > pb) {
      pc = pb;
      if (p > pa) {
        pb = pa;
        j = i;
        pa = p;
        i = k;
      } else {
        pb = p;
        j = k;
      }
    } else if (p > pc) {
      pc = p;
    }
  }
  const double a = std::sqrt(pa), b = std::sqrt(pb), c = std::sqrt(pc);
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
    const int bin = (detectors_.PhaseStep(i) + 8) / 16;
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

// The detectors' bank and the decision for each sample; the whole chain is compiled into the
// loop.
void TDtmfDecoder::ProcessSample(float x) {
  if (!enabled_) return;
  double power[kTones];
  detectors_.StepPower(x * kInputScale, power);
  Decide(power);
}

void TDtmfDecoder::ProcessBlock(std::span<const float> block, bool) {
  if (enabled_) Run(block);
}

VESTREL_BLOCK_CLONES void TDtmfDecoder::Run(std::span<const float> block) {
  detectors_.Process(block.data(), block.size(), [this](size_t, const double* power) { Decide(power); },
                     kInputScale);
}

}  // namespace vestrel
