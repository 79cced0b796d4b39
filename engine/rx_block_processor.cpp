#include "engine/rx_block_processor.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/afc_tuner.h"
#include "engine/dsp/fft.h"
#include "engine/frequency_unit.h"
#include "engine/mode_registry.h"

namespace vestrel {

TRxBlockProcessor::TRxBlockProcessor(const TModemParams& params, Poster& poster, const ModeRegistry& modes)
    : params_(params), poster_(poster), modes_(modes) {
  InputResampler.Setup(kRxRate, kRxRate);
}

double TRxBlockProcessor::SquelchLevelAt(int position) {
  position = std::clamp(position, 0, 100);
  return 2.0 * std::exp(-(100 - position) * 0.08058017727639);
}

namespace {

// Full scale 2^15 x N/2 = 2^25 at a bin; x 2^-23 makes a bin-centred tone of amplitude A read
// A / 8192.
constexpr float kSpectrumScale = 1.1920929e-7f;

// One bin: the peak decays, the magnitude joins the average, the peak takes a higher average
// unless frozen. A bin the float transform overflowed (an infinite or huge sample) counts as
// silence: an infinite average would never come down again.
inline void UpdateBin(SpectrumArrays& s, int k, bool frozen) {
  s.SpectrumPeak[k] = static_cast<float>(s.SpectrumPeak[k] * 0.95);
  const double re = s.SpectrumRe[k] * kSpectrumScale;
  const double im = s.SpectrumIm[k] * kSpectrumScale;
  const double p = re * re + im * im;
  const double mag = p > 1e-12 && std::isfinite(p) ? std::sqrt(p) : 0.0;
  s.SpectrumAvg[k] = static_cast<float>((2.0 * mag + s.SpectrumAvg[k]) / 3.0);
  if (!frozen && s.SpectrumAvg[k] > s.SpectrumPeak[k]) s.SpectrumPeak[k] = s.SpectrumAvg[k];
}

#if defined(__SSE2__)
// Two bins of UpdateBin in double lanes; the same operations, each rounded alike.
inline __m128d MagnitudeSse(__m128 re2, __m128 im2) {
  const __m128 scale = _mm_set1_ps(kSpectrumScale);
  const __m128d re = _mm_cvtps_pd(_mm_mul_ps(re2, scale));
  const __m128d im = _mm_cvtps_pd(_mm_mul_ps(im2, scale));
  const __m128d p = _mm_add_pd(_mm_mul_pd(re, re), _mm_mul_pd(im, im));
  // p > 1e-12 and finite (p is never negative; NaN fails both tests).
  const __m128d ok = _mm_and_pd(_mm_cmpgt_pd(p, _mm_set1_pd(1e-12)), _mm_cmple_pd(p, _mm_set1_pd(DBL_MAX)));
  return _mm_and_pd(ok, _mm_sqrt_pd(p));
}

// Four bins at k.
inline void UpdateFourBins(SpectrumArrays& s, int k, bool frozen) {
  const __m128 re4 = _mm_loadu_ps(&s.SpectrumRe[k]);
  const __m128 im4 = _mm_loadu_ps(&s.SpectrumIm[k]);
  const __m128 avg4 = _mm_loadu_ps(&s.SpectrumAvg[k]);
  const __m128 peak4 = _mm_loadu_ps(&s.SpectrumPeak[k]);
  const __m128d decay = _mm_set1_pd(0.95);
  const __m128d two = _mm_set1_pd(2.0);
  const __m128d three = _mm_set1_pd(3.0);
  const __m128 peakLo = _mm_cvtpd_ps(_mm_mul_pd(_mm_cvtps_pd(peak4), decay));
  const __m128 peakHi = _mm_cvtpd_ps(_mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(peak4, peak4)), decay));
  const __m128d magLo = MagnitudeSse(re4, im4);
  const __m128d magHi = MagnitudeSse(_mm_movehl_ps(re4, re4), _mm_movehl_ps(im4, im4));
  const __m128d avgLo = _mm_div_pd(_mm_add_pd(_mm_mul_pd(two, magLo), _mm_cvtps_pd(avg4)), three);
  const __m128d avgHi =
      _mm_div_pd(_mm_add_pd(_mm_mul_pd(two, magHi), _mm_cvtps_pd(_mm_movehl_ps(avg4, avg4))), three);
  const __m128 avg = _mm_movelh_ps(_mm_cvtpd_ps(avgLo), _mm_cvtpd_ps(avgHi));
  __m128 peak = _mm_movelh_ps(peakLo, peakHi);
  if (!frozen) {
    const __m128 higher = _mm_cmpgt_ps(avg, peak);
    peak = _mm_or_ps(_mm_and_ps(higher, avg), _mm_andnot_ps(higher, peak));
  }
  _mm_storeu_ps(&s.SpectrumAvg[k], avg);
  _mm_storeu_ps(&s.SpectrumPeak[k], peak);
}
#endif

}  // namespace

void TRxBlockProcessor::UpdateSpectrum(const float* block) {
  SpectrumArrays& s = Spectrum;
  RealFft(kBlockSize, block, s.SpectrumRe.data(), s.SpectrumIm.data());
  const bool frozen = SpectrumFreeze != 0;
  int k = SpectrumArrays::kFirstBin;
#if defined(__SSE2__)
  for (; k + 4 <= SpectrumArrays::kLastBin + 1; k += 4) UpdateFourBins(s, k, frozen);
#endif
  for (; k <= SpectrumArrays::kLastBin; ++k) UpdateBin(s, k, frozen);
  if (SpectrumFreeze != 0) --SpectrumFreeze;
}

void TRxBlockProcessor::ProcessInputBlock(const float* block) {
  if (block == nullptr) return;
  // A mode change takes effect at the next block.
  const ModeRow& row = ModeRowOf(params_.Mode);
  UpdateSpectrum(block);
  if (CaptureBuffersWaiting.load(std::memory_order_relaxed) < 3 || FeedMode == 1)
    poster_.Post(WM_SPECTRUM_READY);
  if (AfcOn) RunAfc(row);
  // The squelch is decided once per block, from the spectrum of this same block.
  if (ModeReceiver* receiver = modes_.Receiver(row.receiver))
    receiver->ProcessBlock(std::span<const float>(block, kBlockSize),
                           SquelchOpen(row.squelch, row.symbolRate));
}

void TRxBlockProcessor::RunAfc(const ModeRow& row) {
  if (afc_ == nullptr) return;
  const AfcPass pass = ResolveAfcPass(row, params_);
  if (pass == AfcPass::kNone) return;
  afc_->Tune(pass);
  if (row.txFollowsAfc) afc_->SyncTxFrequencyToRx();
}

int TRxBlockProcessor::PskSquelchBins(double symbolRate) {
  return static_cast<int>(symbolRate / 2.0 / (kRxRate / kBlockSize)) + 1;
}

bool TRxBlockProcessor::SquelchOpen(SquelchRule rule, double symbolRate) const {
  if (!IsSquelch) return true;
  const SpectrumArrays& s = Spectrum;
  const double t = SquelchLevel;
  // Tone bins from the settings or the tuning code are kept inside the arrays.
  const int lo = std::clamp(params_.RxToneBin[0], 0, SpectrumArrays::kSize - 1);
  const int hi = std::clamp(params_.RxToneBin[1], 0, SpectrumArrays::kSize - 1);
  switch (rule) {
    case SquelchRule::kAlwaysOpen:
      return true;
    case SquelchRule::kEitherTonePeak:
      return s.SpectrumPeak[lo] > t || s.SpectrumPeak[hi] > t;
    case SquelchRule::kLowerTonePeak:
      return s.SpectrumPeak[lo] > t;
    case SquelchRule::kEitherToneAverage:
      return s.SpectrumAvg[lo] > t || s.SpectrumAvg[hi] > t;
    case SquelchRule::kPskBand: {
      const int reach = PskSquelchBins(symbolRate);
      for (int k = std::max(0, lo - reach); k <= std::min(SpectrumArrays::kSize - 1, lo + reach); ++k)
        if (s.SpectrumPeak[k] > t) return true;
      return false;
    }
    case SquelchRule::kAnyPeakInSpan:
      for (int k = std::min(lo, hi); k <= std::max(lo, hi); ++k)
        if (s.SpectrumPeak[k] > t) return true;
      return false;
  }
  return true;
}

}  // namespace vestrel
