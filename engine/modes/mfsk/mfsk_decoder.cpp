#include "engine/modes/mfsk/mfsk_decoder.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include "engine/codes/mfsk_varicode.h"
#include "engine/frequency_unit.h"
#include "engine/mode_table.h"
#include "engine/modes/mfsk/mfsk_code.h"
#include "engine/modes/mfsk/mfsk_tone_plan.h"

namespace vestrel {

namespace {

constexpr int kDcdPanel = 9;
constexpr double kLevelScale = 1.0 / 32768.0;
constexpr int kClockReach = 3;     // sub-samples the clock looks either side of the centre
constexpr int kClockSymbols = 10;  // symbols of the ring it sums

struct ModeShape {
  int tones;
  int bits;
  double spacingHz;  // = symbol rate
  int average;       // detector length, samples: one symbol
  double period;     // samples a symbol at 11025 samples/s
};
constexpr ModeShape kMfsk16{16, 4, 15.625, 705, 705.6};
constexpr ModeShape kMfsk8{32, 5, 7.8125, 1411, 1411.2};

}  // namespace

TMfskDecoder::TMfskDecoder(const SineTable& sine, const TModemParams& params, EngineWindow& window,
                           RxTextSink& sink, LevelRing& levels, int32_t& levelIndex)
    : bank_(sine), params_(params), window_(window), sink_(sink), levels_(levels), levelIndex_(levelIndex) {
  const ModeShape& m = kMfsk16;
  bank_.SetLength(m.tones, m.average);
  deinterleaver_.SetBits(m.bits);
}

void TMfskDecoder::SetMode(bool mfsk8) {
  enabled_ = false;
  const ModeShape& m = mfsk8 ? kMfsk8 : kMfsk16;
  mfsk8_ = mfsk8;
  tones_ = m.tones;
  bitsPerSymbol_ = m.bits;
  spacingHz_ = m.spacingHz;
  bank_.SetLength(m.tones, m.average);
  deinterleaver_.SetBits(m.bits);
  half_ = static_cast<uint32_t>(m.average / 2);
  freqError_.SetHalf(half_, kRxRate);
  freqError_.SetTones(m.tones);
  SetTones(kStartBase);
  levelDivider_ = 0;
  Reset();
  enabled_ = true;
}

void TMfskDecoder::SetTones(int32_t base) {
  const MfskTonePlan plan = PlanMfskTones(base, tones_, spacingHz_, kRxRate);
  for (int i = 0; i < tones_; ++i) bank_.SetStep(i, plan.steps[i]);
  firstStep_ = plan.firstStep;
  lastStep_ = plan.lastStep;
  firstBin_ = plan.firstBin;
  lastBin_ = plan.lastBin;
  const double moved = (static_cast<double>(base) - base_) * kRxRate / kUnitsPerCycle;
  base_ = base;
  // A move by whole spacings (the AFC's grid step) keeps the estimate: the signal's tones sit
  // where they sat between the detectors, only read by others.
  const double spacings = std::round(moved / spacingHz_);
  if (std::fabs(moved) < spacingHz_ / 2.0) {
    freqError_.Retuned(moved);
  } else if (std::fabs(moved - spacings * spacingHz_) < 0.5) {
    freqError_.Slipped(moved - spacings * spacingHz_);
  } else {
    freqError_.Clear();
  }
}

bool TMfskDecoder::SetTones(int32_t lower, int32_t) {
  SetTones(lower);
  return true;
}

bool TMfskDecoder::SelectMode(const ModeRow& row) {
  SetMode(row.mfskTones == kMfsk8.tones);
  return true;
}

void TMfskDecoder::Reset() {
  const ModeShape& m = mfsk8_ ? kMfsk8 : kMfsk16;
  period_ = m.period;
  subStep_ = period_ / kSubSteps;
  subAcc_ = 0.0;
  offsetBins_.fill(0);
  for (int i = 0; i < tones_; ++i) offsetBins_[i] = HzToBins(i * spacingHz_);
  bank_.Reset();
  ring_.fill(0.0f);
  ringIndex_ = 0;
  subPhase_ = 0;
  syncIntegrator_ = 0;
  sync_ = 0;
  syncShown_ = 0;
  varicodeRegister_ = 0;
  symbols_ = 0;
  mag_.fill(0.0);
  strongest_ = 0;
  difference_ = 0.0;
  window_.SetPanelText(kDcdPanel, " ");
  deinterleaver_.Reset();
  freqError_.Clear();
  lastSoft_.fill(128);
  for (TMfskViterbi& v : viterbi_) v.Reset();
  pairs_ = {};
  pairFill_ = {0, 1};
  pairs_[1][0] = 128;  // B starts one code bit behind, on an erasure
  quality_ = {0, 0};
  gains_ = {};
  gainIndex_ = {0, 0};
}

inline void TMfskDecoder::AfterStep() {
  bool formed = false;
  if (++levelDivider_ >= kLevelEvery) {
    levelDivider_ = 0;
    Magnitudes();
    formed = true;
    levels_.Write(levelIndex_, difference_ * kLevelScale);
  }
  subAcc_ += 1.0;
  while (subAcc_ >= subStep_) {
    subAcc_ -= subStep_;
    if (!formed) {
      Magnitudes();
      formed = true;
    }
    SubSample();
  }
}

// The block loop for one tone count: the detectors step every sample; the magnitudes are
// formed only on the samples that use them.
template <int N>
void TMfskDecoder::Run(std::span<const float> block) {
  for (const float x : block) {
    bank_.StepN<N>(x);
    AfterStep();
  }
}

#if VESTREL_MFSK_SIMD
// The same with the detectors stepped 8 or 16 at a time, where the processor has AVX2 or
// AVX-512.
template <int N>
__attribute__((target("avx2"))) void TMfskDecoder::RunAvx2(std::span<const float> block) {
  for (const float x : block) {
    bank_.StepAvx2<N>(x);
    AfterStep();
  }
}

template <int N>
__attribute__((target("avx512f"))) void TMfskDecoder::RunAvx512(std::span<const float> block) {
  for (const float x : block) {
    bank_.StepAvx512<N>(x);
    AfterStep();
  }
}
#endif

void TMfskDecoder::ProcessBlock(std::span<const float> block, bool squelchOpen) {
  squelchOpen_ = squelchOpen;
  if (!enabled_) return;
  const bool mfsk8 = tones_ == kMfsk8.tones;
#if VESTREL_MFSK_SIMD
  switch (bank_.KernelInUse()) {
    case TMfskToneBank::Kernel::kAvx512:
      return mfsk8 ? RunAvx512<32>(block) : RunAvx512<16>(block);
    case TMfskToneBank::Kernel::kAvx2:
      return mfsk8 ? RunAvx2<32>(block) : RunAvx2<16>(block);
    case TMfskToneBank::Kernel::kPlain:
      break;
  }
#endif
  if (mfsk8) {
    Run<32>(block);
  } else {
    Run<16>(block);
  }
}

void TMfskDecoder::ProcessSample(float x) {
  if (!enabled_) return;
  bank_.Step(x);
  AfterStep();
}

// The magnitudes of this sample, the strongest detector (the first of equals) and its lead
// over the second.
void TMfskDecoder::Magnitudes() {
  bank_.Magnitudes(mag_.data());
  double first = -1.0;
  double second = -1.0;
  int index = 0;
  for (int i = 0; i < tones_; ++i) {
    const double m = mag_[i];
    if (m > first) {
      second = first;
      first = m;
      index = i;
    } else if (m > second) {
      second = m;
    }
  }
  strongest_ = index;
  difference_ = first - second;
}

void TMfskDecoder::SubSample() {
  ringIndex_ = (ringIndex_ + 1) & kRingMask;
  ring_[ringIndex_] = static_cast<float>(difference_);
  if (++subPhase_ < kSubSteps) return;
  subPhase_ = 0;
  Clock();
  Decide();
}

void TMfskDecoder::ShowSync(int state) {
  window_.SetPanelText(kDcdPanel, state ? "*" : " ");
  syncShown_ = state;
}

// The symbol clock: the tone lead peaks at a symbol's centre, where the detector's average
// covers that symbol alone. Over the last 10 symbols, the sub-sample offset (within 3 of the
// present one) whose ring entries sum highest is the centre; the next symbol comes a
// sub-sample later or earlier to move towards it. Held for 8 symbols, the clock counts as in
// sync. A closed squelch drops sync at once.
void TMfskDecoder::Clock() {
  if (!squelchOpen_) {
    if (syncShown_) ShowSync(0);
    syncIntegrator_ = 0;
    sync_ = 0;
    return;
  }
  const uint32_t centre = ringIndex_ - kSubSteps;
  double best = 0.0;
  int bestK = 0;
  for (int k = -kClockReach; k <= kClockReach; ++k) {
    double s = 0.0;
    for (int j = 0; j < kClockSymbols; ++j) {
      const uint32_t at = centre + static_cast<uint32_t>(k - kSubSteps * j);
      s += std::fabs(ring_[at & kRingMask]);
    }
    if (s > best) {
      best = s;
      bestK = k;
    }
  }
  if (bestK > 0) --subPhase_;
  if (bestK < 0) ++subPhase_;
  if (bestK == 0) {
    syncIntegrator_ = std::min(syncIntegrator_ + 1, kSyncMax);
  } else {
    syncIntegrator_ = std::max(syncIntegrator_ - 2, 0);
  }
  if (syncIntegrator_ > kSyncMax - 1) sync_ = 1;
  if (syncIntegrator_ == 0) sync_ = 0;
  if (sync_ != syncShown_) ShowSync(sync_);
}

void MfskSoftBits(const double* m, int tones, int bits, int strongest, bool reverse, uint8_t* soft) {
  bool sounding = false;
  for (int i = 0; i < tones; ++i) sounding |= m[i] != 0.0;
  if (!sounding) {
    std::fill(soft, soft + bits, uint8_t{128});
    return;
  }
  const uint32_t t = static_cast<uint32_t>(reverse ? tones - 1 - strongest : strongest);
  const uint32_t hard = MfskGray(t);
  std::array<double, kMfskMaxBits> sum{};
  double total = 0.0;
  for (int i = 0; i < tones; ++i) {
    const double v = m[reverse ? tones - 1 - i : i];
    const uint32_t g = MfskGray(static_cast<uint32_t>(i));
    for (int b = 0; b < bits; ++b) sum[b] += ((g >> (bits - 1 - b)) & 1u) ? v : -v;
    total += v;
  }
  for (int b = 0; b < bits; ++b) {
    const int start = ((hard >> (bits - 1 - b)) & 1u) ? 192 : 64;
    const double lean = std::floor(sum[b] * 63.0 / total + 0.5);
    soft[b] = static_cast<uint8_t>(start + static_cast<int>(std::clamp(lean, -63.0, 63.0)));
  }
}

// A symbol: its soft bits from the magnitudes of this sample (erasures while the squelch is
// closed), through the deinterleaver into the decoder.
void TMfskDecoder::Decide() {
  ++symbols_;
  // The strongest detector's halves, and the detectors a spacing beyond either end of the band.
  const int32_t spacing = HzToUnits(spacingHz_);
  const TMfskToneBank::SymbolSums z =
      bank_.SumsAt(strongest_, half_, firstStep_ - spacing, lastStep_ + spacing);
  double all = 0.0;
  for (int i = 0; i < tones_; ++i) all += mag_[i];
  // A silent input (the detectors' averages exactly 0) says nothing of any signal: the estimate
  // starts again when sound returns.
  if (all == 0.0) freqError_.Clear();
  const double strongest = std::abs(z.older + z.newer);
  if (all > 0.0)
    freqError_.Symbol(z.older, z.newer, difference_ * tones_ / all, std::abs(z.below) > strongest,
                      std::abs(z.above) > strongest);
  std::array<uint8_t, kMfskMaxBits> soft;
  soft.fill(128);
  if (squelchOpen_)
    MfskSoftBits(mag_.data(), tones_, bitsPerSymbol_, strongest_, params_.Reverse == 1, soft.data());
  lastSoft_ = soft;
  deinterleaver_.Deinterleave(soft.data());
  if (mfsk8_) {
    PairAndDecode(soft.data());
  } else {
    Decode(soft.data());
  }
}

void TMfskDecoder::Decode(const uint8_t* soft) {
  TMfskViterbi& a = viterbi_[0];
  if (!a.Decode(soft)) return;
  for (int i = 7; i >= 0; --i) VaricodeBit((a.Output() >> i) & 1u);
}

// MFSK8 sends 5 code bits a symbol, so a pair of code bits may begin on either bit of a symbol.
// Both pairings are decoded, B one bit behind A, and the better rated decoder is heard. A
// decoder is rated by how well its path fitted the signal from where the bits it prints come
// from up to now: the sum of what its metric gained over its last 8 tracebacks (64 steps; a
// byte holds the steps 58 to 66 back). Gains, not the metric itself: a metric sums everything
// since the reset, so the decoder that fitted one transmission would keep its lead through the
// next one at the other pairing, for as long again, printing garbage. And the whole span, not
// only the newest steps: where both pairings fit alike (the steady tone before a text, the zero
// bits after it), the newest steps cannot tell which one the printed bits need.
void TMfskDecoder::PairAndDecode(const uint8_t* soft) {
  for (int b = 0; b < bitsPerSymbol_; ++b) {
    for (int k = 0; k < 2; ++k) {
      pairs_[k][pairFill_[k]++] = soft[b];
      if (pairFill_[k] < 4) continue;
      pairFill_[k] = 0;
      TMfskViterbi& v = viterbi_[k];
      if (!v.Decode(pairs_[k].data())) continue;
      gainIndex_[k] = (gainIndex_[k] + 1) & (kGainRing - 1);
      int64_t& slot = gains_[k][gainIndex_[k]];
      quality_[k] += v.TracebackGain() - slot;
      slot = v.TracebackGain();
      if (quality_[k] > quality_[1 - k])
        for (int i = 7; i >= 0; --i) VaricodeBit((v.Output() >> i) & 1u);
    }
  }
}

// A word ends at the next 0,0,1: the register then holds the word, its two closing zeros and
// the 1 that begins the next word.
void TMfskDecoder::VaricodeBit(uint32_t bit) {
  varicodeRegister_ = (varicodeRegister_ << 1) | bit;
  if ((varicodeRegister_ & 7u) != 1u) return;
  const int c = MfskVaricodeChar(varicodeRegister_ >> 1);
  if (c >= 0 && squelchOpen_) sink_.PutRxChar(static_cast<uint8_t>(c));
  varicodeRegister_ = 1;
}

}  // namespace vestrel
