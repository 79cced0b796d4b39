#include "engine/modes/ps33x5/ifsk33_decoder.h"

#include <algorithm>
#include <cmath>

#include "engine/dsp/block_clones.h"
#include "engine/frequency_unit.h"
#include "engine/modes/mfsk/mfsk_code.h"

namespace vestrel {

namespace {

// The clock judges 16 symbols that ended 18 symbols ago; the decision point lies 2 symbols
// behind the newest hop (the window of a hop reaches a whole symbol back).
constexpr uint32_t kClockBack = 198;
constexpr uint32_t kDecisionBack = 22;
constexpr int kMaxDrift = 6;  // hops the read of a block may wander from its start
constexpr uint32_t kHop = TIfsk33Decoder::kHops;

bool IsStep(int step) {
  return step == 1 || step == 2 || step == 4 || step == 8 || step == 16 || step == 32;
}

}  // namespace

TIfsk33Decoder::TIfsk33Decoder(const TModemParams& params, EngineWindow& window, RxTextSink& sink,
                               const BlockCaptureSettings& capture, LevelRing& levels, int32_t& levelIndex)
    : params_(params), levels_(levels), levelIndex_(levelIndex), message_(sink, window, capture) {}

bool TIfsk33Decoder::SetStep(int step, double centreHz) {
  if (!IsStep(step)) return false;
  step_ = step;
  placeBins_ = step > 7 ? 1 : 2;
  zoom_ = step > 7 ? 4 : 2;
  window_ = 8192 / step;
  fftSize_ = zoom_ * window_;
  spacingBins_ = placeBins_ * zoom_;
  hopLength_ = (int64_t{window_} * 2000 + 11) / 22;
  spacingHz_ = TPs33x5Input::kRate / window_ * placeBins_;
  transform_.Setup(fftSize_, window_);
  SetCentre(centreHz);
  codec_.Init(8);
  Reset();
  enabled_ = true;
  return true;
}

void TIfsk33Decoder::SetCentre(double centreHz) {
  if (!std::isfinite(centreHz)) return;
  centreHz_ = centreHz;
  bandLowerHz_ = centreHz - 16.0 * spacingHz_;
  bandUpperHz_ = centreHz + 16.0 * spacingHz_;
  const double reach = 18.0 * spacingHz_ + 120.0;
  const double perHz = fftSize_ / TPs33x5Input::kRate;
  const int half = fftSize_ / 2;
  firstBin_ = std::clamp(static_cast<int>(std::floor((centreHz - reach) * perHz + 0.5)), 2, half - 4);
  lastBin_ = std::clamp(static_cast<int>(std::floor((centreHz + reach) * perHz + 0.5)), 2, half - 4);
}

bool TIfsk33Decoder::SetTones(int32_t lower, int32_t upper) {
  SetCentre((UnitsToHz(lower) + UnitsToHz(upper)) / 2.0);
  return true;
}

bool TIfsk33Decoder::SetSpeed(double baud, int) {
  if (!std::isfinite(baud)) return false;
  return SetStep(static_cast<int>(std::floor(baud / 1.5625 + 0.5)), centreHz_);
}

void TIfsk33Decoder::Reset() {
  TPs33x5Input::Reset();
  message_.EndMessage(false);
  ring_.fill(0.0f);
  ringIndex_ = 0;
  hops_.fill(HopEntry{});
  hopIndex_ = 0;
  hopAcc_ = 0;
  hopCount_ = 0;
  holdOff_ = 0;
  std::fill(magnitude_.begin(), magnitude_.end(), 0.0f);
  std::fill(peak_.begin(), peak_.end(), 0.0f);
}

void TIfsk33Decoder::ProcessConverted(std::span<const double> samples, bool squelchOpen) {
  squelchOpen_ = squelchOpen;
  if (!enabled_) return;
  for (double x : samples) ProcessSample(x);
}

void TIfsk33Decoder::ProcessSample(double x) {
  if (!enabled_) return;
  ringIndex_ = (ringIndex_ + 1) & kRingMask;
  ring_[ringIndex_] = static_cast<float>(x);
  hopAcc_ += 1000;
  if (hopAcc_ < hopLength_) return;
  hopAcc_ -= hopLength_;
  Hop();
}

void TIfsk33Decoder::Hop() {
  // 1. The last W samples, zero-padded to N, transformed: the bins around the search band.
  const int w = window_;
  const uint32_t first = (ringIndex_ + 1 - static_cast<uint32_t>(w)) & kRingMask;
  const uint32_t run = std::min<uint32_t>(static_cast<uint32_t>(w), kRingSize - first);
  std::copy_n(ring_.data() + first, run, fftIn_.data());
  std::copy_n(ring_.data(), static_cast<uint32_t>(w) - run, fftIn_.data() + run);
  transform_.Run(fftIn_.data(), firstBin_ - 1, lastBin_ + 1, fftRe_.data(), fftIm_.data());

  // 2. Magnitudes around the search band, and their peak hold.
  Magnitudes(firstBin_ - 1, lastBin_ + 1, static_cast<float>(1.0 / (2.0 * double(w) * double(w))));

  // 3. The strongest bin; its margin over the strongest one more than a tone place away; its
  // position between the bins.
  int k = firstBin_;
  for (int j = firstBin_ + 1; j <= lastBin_; ++j)
    if (magnitude_[j] > magnitude_[k]) k = j;
  const float other = std::max(Largest(firstBin_, k - spacingBins_ - 1), Largest(k + spacingBins_ + 1, lastBin_));
  const float b = magnitude_[k];
  const float l = magnitude_[k - 1];
  const float r = magnitude_[k + 1];
  double position = k;
  if (b < l) {
    position = k - 0.5;
  } else if (b < r) {
    position = k + 0.5;
  } else if (l > r) {
    position = k - 1 + (b - r) / ((b - r) + (l - r));
  } else if (l < r) {
    position = k + 1 - (b - l) / ((b - l) + (r - l));
  }

  // 4. Into the hop ring; the position within the band for the tuning displays.
  hopIndex_ = (hopIndex_ + 1) & kHopRingMask;
  hops_[hopIndex_] = {b - other, static_cast<float>(position)};
  const double span = lastBin_ - firstBin_;
  if (span > 0) levels_.Write(levelIndex_, (position - (firstBin_ + lastBin_) / 2.0) / span);

  // 5. Once a symbol, the symbol clock and the block search.
  if (++hopCount_ >= kHops) {
    hopCount_ = 0;
    SymbolClock();
  }
}

VESTREL_BLOCK_CLONES void TIfsk33Decoder::Magnitudes(int from, int to, float scale) {
  const float* re = fftRe_.data();
  const float* im = fftIm_.data();
  float* mag = magnitude_.data();
  float* peak = peak_.data();
  for (int k = from; k <= to; ++k) {
    const float r = re[k] * scale;
    const float i = im[k] * scale;
    const float p = r * r + i * i;
    const float m = p > 1e-12f ? std::sqrt(p) : 0.0f;
    mag[k] = m;
    const float held = 0.95f * peak[k];
    peak[k] = held > m ? held : m;
  }
}

// The largest magnitude of bins from..to (0 for none).
VESTREL_BLOCK_CLONES float TIfsk33Decoder::Largest(int from, int to) const {
  const float* mag = magnitude_.data();
  float best = 0.0f;
  for (int k = from; k <= to; ++k) best = mag[k] > best ? mag[k] : best;
  return best;
}

float TIfsk33Decoder::MarginSum(uint32_t i, int symbols) const {
  float s = 0.0f;
  for (int j = 0; j < symbols; ++j) s += Margin(i - kHop * static_cast<uint32_t>(j));
  return s;
}

void TIfsk33Decoder::SymbolClock() {
  const uint32_t a = hopIndex_;
  const int best =
      BestOffset(-3, 3, [&](int i) { return MarginSum(a + static_cast<uint32_t>(i) - kClockBack, 16); });
  uint32_t d = a - kDecisionBack;
  if (best < 0) {
    ++hopCount_;
    --d;
  } else if (best > 0) {
    --hopCount_;
    ++d;
  }
  if (!squelchOpen_) return;
  message_.CountBit();
  Search(d);
}

// A step of `bins` between two tone positions as the symbol it carries: k + 1 tone places
// upward carry the symbol whose inverse Gray code is k; no step at all is the idle symbol 0.
// Steps count modulo 33, so a hair below no step (a steady tone's positions differ by
// rounding) is 33 places, no step as well, not 32.
uint8_t TIfsk33Decoder::SymbolOfStep(double bins) const {
  double a = bins / spacingBins_;
  if (params_.Reverse != 0) a = -a;
  if (a < 0.0) a += 33.0;
  if (a < 0.5 || a >= 32.5) return 0;
  if (a > 31.5) return static_cast<uint8_t>(MfskGray(31));
  if (a < 1.5) return 0;
  return static_cast<uint8_t>(MfskGray(static_cast<uint32_t>(std::floor(a - 0.5))));
}

void TIfsk33Decoder::Search(uint32_t d) {
  if (holdOff_ > 0) {
    --holdOff_;
    return;
  }
  // 1. Alignment: the offset whose last 15 symbols have the largest margins.
  const int align = BestOffset(-4, 5, [&](int o) { return MarginSum(d + static_cast<uint32_t>(o), 15); });
  // 2. The symbols backward from there, each re-timed within 2 hops of the place the symbol
  // after it suggests (judged on 8 symbols of margins), never more than kMaxDrift hops from
  // the nominal place; each is the step from the tone one symbol before it.
  BlockSymbols received{};
  const uint32_t start = d + static_cast<uint32_t>(align);
  int drift = 0;
  for (int k = 0; k < kBlockSymbols; ++k) {
    const uint32_t nominal = start - kHop * static_cast<uint32_t>(k);
    const uint32_t here = nominal + static_cast<uint32_t>(drift);
    drift += BestOffset(std::max(-2, -kMaxDrift - drift), std::min(2, kMaxDrift - drift),
                        [&](int m) { return MarginSum(here + static_cast<uint32_t>(m), 8); });
    const uint32_t p = nominal + static_cast<uint32_t>(drift);
    received[kBlockSymbols - 1 - k] = SymbolOfStep(double(Position(p)) - double(Position(p - kHop)));
  }
  // 3.-5. As in PS2X5: idle fill, correction, check, the text out; or the message's end.
  BlockContent block;
  int errors = 0;
  if (message_.TakeBlock(received, codec_, kLostAfter, block, errors)) holdOff_ = kHoldOff;
}

}  // namespace vestrel
