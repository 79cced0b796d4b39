#pragma once
#include <array>
#include <cstdint>
#include <span>

#include "engine/dsp/quad_detector_bank.h"
#include "engine/level_ring.h"
#include "engine/mode_receiver.h"
#include "engine/rx_block_processor.h"
#include "engine/rx_text_sink.h"
#include "engine/sine_table.h"

namespace vestrel {

// Digit index 1..16 to its character: index = low + 4 (high - 4) + 1, low the low-group tone
// 0..3 (697, 770, 852, 941 Hz), high the high-group tone 4..7 (1209, 1336, 1477, 1633 Hz).
inline constexpr char DtmfDigitTable[] = " 147*2580369#ABCD";

// Telephone dual-tone signalling to characters. Eight single-tone detectors (TQuadDetector, side
// by side in a bank) average 25 ms each;
// a digit is one low and one high tone clearly above the third strongest. A clear pair counts
// 100 a sample toward its release at 13750 (12.5 ms), a pair with twist or a close third tone
// counts 10 (125 ms); a digit prints once, and again only after a release of "no digit"
// between. The block processor passes no squelch decision in this mode: with "SQL" down the
// decoder compares the spectrum at its strongest tone with the squelch level itself.
class TDtmfDecoder final : public ModeReceiver {
 public:
  static constexpr int kTones = 8;
  static constexpr int kAverage = 275;     // detector length, samples: 25 ms
  static constexpr int kRelease = 13750;   // debounce count that releases
  static constexpr int kLevelEvery = 61;   // input samples per level written
  static constexpr double kInputScale = 1.0 / 32768.0;
  static constexpr std::array<double, kTones> kToneHz = {697, 770, 852, 941, 1209, 1336, 1477, 1633};

  // squelch: the block processor whose IsSquelch, SquelchLevel and spectrum of the current
  // block the decoder reads. levels and levelIndex: the tuning displays' ring and its write
  // index (TModemParams::LevelRingIndex); null for none.
  TDtmfDecoder(const SineTable& sine, const TRxBlockProcessor& squelch, RxTextSink& sink,
               LevelRing* levels = nullptr, int32_t* levelIndex = nullptr);

  // ModeReceiver. Reset tunes and clears every detector, clears the debounce and the margin
  // hold, and enables; the mode switch runs it (SelectMode). The tones are fixed: SetTones and
  // SetSpeed change nothing.
  void Reset() override;
  bool SelectMode(const ModeRow&) override {
    Reset();
    return true;
  }
  bool SetTones(int32_t, int32_t) override { return true; }
  bool SetSpeed(double, int) override { return true; }
  void ProcessBlock(std::span<const float> block, bool squelchOpen) override;

  void ProcessSample(float x);
  void SetEnabled(bool on) { enabled_ = on; }

  bool Enabled() const { return enabled_; }
  int32_t ToneStep(int i) const { return detectors_.PhaseStep(i); }
  double Margin() const { return margin_; }
  int LastReleased() const { return last_; }

 private:
  struct Verdict {
    int digit = 0;  // 0 none, 1..16
    bool strong = true;
  };
  void Run(std::span<const float> block);
  void Decide(const double* power);
  Verdict Classify(const double* power);

  TQuadDetectorBank<kTones> detectors_;
  const TRxBlockProcessor& squelch_;
  RxTextSink& sink_;
  LevelRing* levels_;
  int32_t* levelIndex_;

  bool enabled_ = false;
  int levelCount_ = 0;
  std::array<int, 17> counters_{};
  int last_ = 0;
  double margin_ = 0.0;
  double hold_ = 0.0;
  double decay_ = 0.0;
};

}  // namespace vestrel
