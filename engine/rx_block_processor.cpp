#include "engine/rx_block_processor.h"

#include <algorithm>
#include <cmath>

#include "engine/dsp/fft.h"
#include "engine/mode_number.h"
#include "engine/receive_targets.h"

namespace vestrel {

TRxBlockProcessor::TRxBlockProcessor(TModemParams& params, Poster& poster, ReceiveTargets& targets)
    : SquelchLevel(SquelchLevelAt(50)), params_(params), poster_(poster), targets_(targets) {
  InputResampler.Setup(11025.0, 11025.0);
  Ps33x5Resampler.Setup(11025.0, 12800.0);
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
  const int32_t mode = NormaliseMode(params_.Mode);
  UpdateSpectrum(block);
  if (CaptureBuffersWaiting.load(std::memory_order_relaxed) < 3 || FeedMode == 1)
    poster_.Post(WM_SPECTRUM_READY);
  if (AfcOn) RunAfc(mode);
  Demodulate(mode, std::span<const float>(block, kBlockSize));
}

void TRxBlockProcessor::RunAfc(int32_t mode) {
  switch (mode) {
    case kModeRtty:
    case kModeAscii7:
    case kModeAscii8:
    case kModePs2x5:
      // Fast or narrow signals: one pair search; otherwise each tone on its own.
      if (params_.Baud >= 99.0 || params_.ShiftHz < 24)
        targets_.AfcTuneFsk();
      else
        targets_.AfcTuneFskSeparate();
      targets_.SyncTxFrequencyToRx();
      break;
    case kModeBpsk31:
    case kModeQpsk31:
    case kModeBpsk63:
    case kModeBpsk125:
    case kModeQpsk63:
      targets_.AfcTunePsk();
      targets_.SyncTxFrequencyToRx();
      break;
    case kModeAmtorFec:
    case kModeAx25Hf:
    case kModeAx25Uhf:
      targets_.AfcTuneFsk();
      targets_.SyncTxFrequencyToRx();
      break;
    case kModeMfsk16:
    case kModeMfsk8:
      targets_.AfcTuneMfsk();
      targets_.SyncTxFrequencyToRx();
      break;
    case kModeAmtorArq:
    case kModePactorFec:
      targets_.AfcTuneFsk();  // the transmitter does not follow
      break;
    case kModePs33x5:
      targets_.AfcTunePs33x5();
      targets_.SyncTxFrequencyToRx();
      break;
    default:  // DTMF
      break;
  }
}

int TRxBlockProcessor::SquelchOpenFor(int32_t mode) const {
  if (!IsSquelch) return 1;
  const SpectrumArrays& s = Spectrum;
  const double t = SquelchLevel;
  // Tone bins from the settings or the tuning code are kept inside the arrays.
  const int lo = std::clamp(params_.RxToneBin[0], 0, SpectrumArrays::kSize - 1);
  const int hi = std::clamp(params_.RxToneBin[1], 0, SpectrumArrays::kSize - 1);
  switch (mode) {
    case kModeBpsk31:
    case kModeQpsk31:
    case kModeBpsk63:
    case kModeBpsk125:
    case kModeQpsk63:
      return s.SpectrumPeak[lo] > t;
    case kModeAx25Hf:
    case kModeAx25Uhf:
      return s.SpectrumAvg[lo] > t || s.SpectrumAvg[hi] > t;
    case kModeMfsk16:
    case kModeMfsk8:
      for (int k = std::min(lo, hi); k <= std::max(lo, hi); ++k)
        if (s.SpectrumPeak[k] > t) return 1;
      return 0;
    case kModePs33x5:
    case kModeDtmf:
      return 1;
    default:  // the FSK modes: either tone
      return s.SpectrumPeak[lo] > t || s.SpectrumPeak[hi] > t;
  }
}

void TRxBlockProcessor::Demodulate(int32_t mode, std::span<const float> block) {
  const int open = SquelchOpenFor(mode);
  switch (mode) {
    case kModeRtty:
    case kModeAscii7:
    case kModeAscii8:
      targets_.StartStopDemodulate(block, open);
      break;
    case kModeBpsk31:
    case kModeBpsk63:
    case kModeBpsk125:
      targets_.PskBpskDemodulate(block, open);
      break;
    case kModeQpsk31:
    case kModeQpsk63:
      targets_.PskQpskDemodulate(block, open);
      break;
    case kModeAmtorFec:
      targets_.AmtorFecDemodulate(block, open);
      break;
    case kModeAx25Hf:
    case kModeAx25Uhf:
      targets_.PacketDemodulate(block, open);
      break;
    case kModeDtmf:
      targets_.DtmfDemodulate(block);
      break;
    case kModeMfsk16:
    case kModeMfsk8:
      targets_.MfskDemodulate(block, open);
      break;
    case kModeAmtorArq:
      targets_.AmtorArqDemodulate(block, open);
      break;
    case kModePactorFec:
      targets_.PactorDemodulate(block, open);
      break;
    case kModePs2x5:
      targets_.Ps2x5Demodulate(block, open);
      break;
    case kModePs33x5:
      DemodulatePs33x5(block, open);
      break;
    default:
      break;
  }
}

void TRxBlockProcessor::DemodulatePs33x5(std::span<const float> block, int squelchOpen) {
  ps33x5Open_ = squelchOpen;
  Ps33x5Resampler.PushBlockTo(block, [this](double y) { OnPs33x5Sample(y); });
  FlushPs33x5();
}

void TRxBlockProcessor::FlushPs33x5() {
  if (ps33x5Fill_ > 0)
    targets_.Ps33x5Demodulate(std::span<const double>(ps33x5_.data(), ps33x5Fill_), ps33x5Open_);
  ps33x5Fill_ = 0;
}

}  // namespace vestrel
