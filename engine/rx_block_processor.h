#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <span>

#include "engine/dsp/uni_resample.h"
#include "engine/messages.h"
#include "engine/mode_table.h"
#include "engine/modem_params.h"
#include "engine/spectrum_arrays.h"

namespace vestrel {

class AfcTuner;
class ModeRegistry;

// The receive spine: captured samples go through the input converter (capture rate to 11025
// samples/s) into blocks of 2048; each full block is transformed into the spectrum, the
// spectrum display is told, and then the current mode's row decides the rest: its AFC pass,
// its squelch rule, and the receiver the block goes to (one call per block). GUI thread only
// (inside the capture message handler).
class TRxBlockProcessor {
 public:
  static constexpr int kBlockSize = 2048;

  TRxBlockProcessor(const TModemParams& params, Poster& poster, const ModeRegistry& modes);
  TRxBlockProcessor(const TRxBlockProcessor&) = delete;
  TRxBlockProcessor& operator=(const TRxBlockProcessor&) = delete;

  // The AFC; without one (null) no pass runs.
  void SetAfc(AfcTuner* afc) { afc_ = afc; }

  // Captured samples at the capture rate, through the input converter.
  template <class Sample>
  void PushCaptured(std::span<const Sample> samples) {
    InputResampler.PushBlockTo(samples, [this](double y) { OnInputSample(y); });
  }

  // One sample at 11025 samples/s: gathered as a float, the sample type of the block and of
  // every receiver; every 2048th completes a block.
  void OnInputSample(double x) {
    block_[fill_] = static_cast<float>(x);
    if (++fill_ == kBlockSize) {
      fill_ = 0;
      ProcessInputBlock(block_.data());
    }
  }

  // One block of 2048 samples at 11025 samples/s.
  void ProcessInputBlock(const float* block);

  // The squelch decision of a rule from the current spectrum: always open while IsSquelch is off.
  // symbolRate: the mode's, for kPskBand.
  bool SquelchOpen(SquelchRule rule, double symbolRate = 0.0) const;
  // The bins either side of the tone's that a PSK signal of this rate fills: its idle, a
  // reversal every symbol, puts its energy half the rate either side of the carrier and none on
  // it, so the squelch looks there too.
  static int PskSquelchBins(double symbolRate);

  // SquelchLevel from the up-down position 0..100 (clamped): 2 exp(-(100 - position) x 0.0806),
  // 0.7 dB a step over 70 dB; position 50 gives 0.0356.
  static double SquelchLevelAt(int position);
  static constexpr int kDefaultSquelchPosition = 50;
  void SetSquelchPosition(int position) { SquelchLevel = SquelchLevelAt(position); }

  SpectrumArrays Spectrum;
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

  // Capture rate ("SamplingFreq") to 11025 samples/s.
  TUniResample InputResampler;

 private:
  void UpdateSpectrum(const float* block);
  void RunAfc(const ModeRow& row);

  const TModemParams& params_;
  Poster& poster_;
  const ModeRegistry& modes_;
  AfcTuner* afc_ = nullptr;
  std::array<float, kBlockSize> block_{};
  int fill_ = 0;
};

}  // namespace vestrel
