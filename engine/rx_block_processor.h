#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <span>

#include "engine/dsp/uni_resample.h"
#include "engine/level_ring.h"
#include "engine/messages.h"
#include "engine/modem_params.h"
#include "engine/spectrum_arrays.h"

namespace vestrel {

class ReceiveTargets;

// The receive spine: captured samples go through the input converter (capture rate to 11025
// samples/s) into blocks of 2048; each full block is transformed into the spectrum, the
// spectrum display is told, the mode's AFC runs, the squelch is decided once and the block goes
// to the mode's demodulator. GUI thread only (inside the capture message handler).
class TRxBlockProcessor {
 public:
  static constexpr int kBlockSize = 2048;
  // Output samples of the PS33X5 converter gathered before they are handed on.
  static constexpr int kPs33x5Chunk = 1024;

  TRxBlockProcessor(TModemParams& params, Poster& poster, ReceiveTargets& targets);
  TRxBlockProcessor(const TRxBlockProcessor&) = delete;
  TRxBlockProcessor& operator=(const TRxBlockProcessor&) = delete;

  // Captured samples at the capture rate, through the input converter.
  template <class Sample>
  void PushCaptured(std::span<const Sample> samples) {
    InputResampler.PushBlockTo(samples, [this](double y) { OnInputSample(y); });
  }

  // One sample at 11025 samples/s: gathered; every 2048th completes a block.
  void OnInputSample(double x) {
    block_[fill_] = static_cast<float>(x);
    if (++fill_ == kBlockSize) {
      fill_ = 0;
      ProcessInputBlock(block_.data());
    }
  }

  // One block of 2048 samples at 11025 samples/s.
  void ProcessInputBlock(const float* block);

  // One sample of the PS33X5 converter (12800 samples/s): gathered for the PS33X5 receiver,
  // which gets them in parts of up to kPs33x5Chunk and the rest at the end of each block.
  void OnPs33x5Sample(double x) {
    ps33x5_[ps33x5Fill_] = x;
    if (++ps33x5Fill_ == kPs33x5Chunk) FlushPs33x5();
  }

  // The squelch-open flag of `mode` from the current spectrum: 1 while IsSquelch is off.
  int SquelchOpenFor(int32_t mode) const;

  // SquelchLevel from the up-down position 0..100 (clamped): 2 exp(-(100 - position) x 0.0806),
  // 0.7 dB a step over 70 dB; position 50 gives 0.0356.
  static double SquelchLevelAt(int position);
  static constexpr int kDefaultSquelchPosition = 50;
  void SetSquelchPosition(int position) { SquelchLevel = SquelchLevelAt(position); }

  SpectrumArrays Spectrum;
  LevelRing Levels;
  // Blocks during which the peaks are not raised (they still decay); counted down per block.
  int SpectrumFreeze = 0;
  // The "SQL" button and the level the tones must exceed while it is down.
  int IsSquelch = 0;
  double SquelchLevel = SquelchLevelAt(kDefaultSquelchPosition);
  // The "A&FC" button.
  int AfcOn = 0;
  // Capture buffers filled and not yet processed (set by the sound layer) and the feed mode of
  // the WAV decoder (1: a file decoded in real time). With 3 or more waiting the display is
  // skipped, never the samples.
  std::atomic<int> CaptureBuffersWaiting{0};
  int FeedMode = 0;

  // Capture rate ("SamplingFreq") to 11025 samples/s, and 11025 to 12800 samples/s for PS33X5.
  TUniResample InputResampler;
  TUniResample Ps33x5Resampler;

 private:
  void UpdateSpectrum(const float* block);
  void RunAfc(int32_t mode);
  void Demodulate(int32_t mode, std::span<const float> block);
  void DemodulatePs33x5(std::span<const float> block, int squelchOpen);
  void FlushPs33x5();

  TModemParams& params_;
  Poster& poster_;
  ReceiveTargets& targets_;
  std::array<float, kBlockSize> block_{};
  int fill_ = 0;
  std::array<double, kPs33x5Chunk> ps33x5_{};
  int ps33x5Fill_ = 0;
  int ps33x5Open_ = 1;
};

}  // namespace vestrel
