#include "engine/rx_block_processor.h"

#include <algorithm>
#include <cmath>

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

void TRxBlockProcessor::UpdateSpectrum(const float* block) {
  SpectrumArrays& s = Spectrum;
  RealFft(kBlockSize, block, s.SpectrumRe.data(), s.SpectrumIm.data());
  // Full scale 2^15 x N/2 = 2^25 at a bin; x 2^-23 makes a bin-centred tone of amplitude A read
  // A / 8192.
  constexpr float kScale = 1.1920929e-7f;
  const bool frozen = SpectrumFreeze != 0;
  for (int k = SpectrumArrays::kFirstBin; k <= SpectrumArrays::kLastBin; ++k) {
    s.SpectrumPeak[k] = static_cast<float>(s.SpectrumPeak[k] * 0.95);
    const double re = s.SpectrumRe[k] * kScale;
    const double im = s.SpectrumIm[k] * kScale;
    const double p = re * re + im * im;
    // A bin the float transform overflowed (an infinite or huge sample) counts as silence: an
    // infinite average would never come down again.
    const double mag = p > 1e-12 && std::isfinite(p) ? std::sqrt(p) : 0.0;
    s.SpectrumAvg[k] = static_cast<float>((2.0 * mag + s.SpectrumAvg[k]) / 3.0);
    if (!frozen && s.SpectrumAvg[k] > s.SpectrumPeak[k]) s.SpectrumPeak[k] = s.SpectrumAvg[k];
  }
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
    receiver->ProcessBlock(std::span<const float>(block, kBlockSize), SquelchOpen(row.squelch));
}

void TRxBlockProcessor::RunAfc(const ModeRow& row) {
  if (afc_ == nullptr) return;
  const AfcPass pass = ResolveAfcPass(row, params_);
  if (pass == AfcPass::kNone) return;
  afc_->Tune(pass);
  if (row.txFollowsAfc) afc_->SyncTxFrequencyToRx();
}

bool TRxBlockProcessor::SquelchOpen(SquelchRule rule) const {
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
    case SquelchRule::kAnyPeakInSpan:
      for (int k = std::min(lo, hi); k <= std::max(lo, hi); ++k)
        if (s.SpectrumPeak[k] > t) return true;
      return false;
  }
  return true;
}

}  // namespace vestrel
