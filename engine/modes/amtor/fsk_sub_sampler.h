#pragma once
#include <array>
#include <cstdint>
#include <span>

#include "engine/dsp/fsk_detector.h"
#include "engine/level_ring.h"
#include "engine/sine_table.h"

namespace vestrel {

// The front end of the synchronous FSK receivers (both AMTOR decoders, both PACTOR receivers):
// the two-tone core set up by FskSpeedFilterTable, the discriminator |upper| - |lower| (> 0 on
// the upper tone), and a clock that takes it a fixed number of times per bit. The receiver
// hands over a block with a callback for each sub-sample; the core's path is chosen once per
// block (WithPath) and the loop with the callback is compiled per path. A plain value.
class TFskSubSampler {
 public:
  static constexpr int kLevelEvery = 61;                  // input samples per level written
  static constexpr double kLevelScale = 1.0 / (1 << 30);  // discriminator to display units

  // perBit: sub-samples per bit, 1..64.
  TFskSubSampler(const SineTable& sine, int perBit) : detector_(sine), perBit_(perBit) {}

  // baud: 1..5000 Bd (refused otherwise: false, nothing changed). The rounded speed picks the
  // core's path and filter; the timing follows the speed as given. Resets.
  bool SetBaud(double baud);
  // Core, discriminator, clock and level divider to their state after a set-up.
  void Reset();
  void SetTones(int32_t lower, int32_t upper) { detector_.SetTones(lower, upper); }
  // Every 61st input sample the discriminator x 2^-30 goes into the ring at *index; null: none.
  void SetLevels(LevelRing* ring, int32_t* index) {
    levels_ = ring;
    levelIndex_ = index;
  }

  // Calls body(std::integral_constant<int, path>{}) with the core's current path.
  template <class Body>
  void WithPath(Body&& body) {
    detector_.WithPath(body);
  }
  // The block on the current path: onSub(d) for each sub-sample, d the discriminator.
  template <int Path, class OnSub>
  void RunOn(std::span<const float> block, OnSub&& onSub);

  int Baud() const { return baud_; }
  double SamplesPerBit() const { return samplesPerBit_; }
  double SubStep() const { return subStep_; }
  double Discriminator() const { return discriminator_; }
  int PathRate() const { return detector_.PathRate(); }
  int32_t ToneAStep() const { return detector_.ToneAStep(); }
  int32_t ToneBStep() const { return detector_.ToneBStep(); }

 private:
  static constexpr size_t kPart = 2048;  // samples per pass of the block loop

  TFskDetector detector_;
  int perBit_;
  LevelRing* levels_ = nullptr;
  int32_t* levelIndex_ = nullptr;
  int baud_ = 100;
  double samplesPerBit_ = 110.25;
  double subStep_ = 110.25 / 22;
  double subAcc_ = 0.0;
  double discriminator_ = 0.0;
  int levelCount_ = 0;
  std::array<double, kPart> part_{};  // the discriminator after each sample of a part
};

// In two passes over parts of the block: the core turns the samples into the discriminator
// each sample sees, then the clock takes it, with its counters in locals.
template <int Path, class OnSub>
inline void TFskSubSampler::RunOn(std::span<const float> block, OnSub&& onSub) {
  if constexpr (Path != 0) {
    detector_.DifferenceParts<Path>(block, part_, discriminator_, [&](size_t n) {
      int levelCount = levelCount_;
      double subAcc = subAcc_;
      const double subStep = subStep_;
      for (size_t i = 0; i < n; ++i) {
        const double d = part_[i];
        if (levels_ != nullptr && ++levelCount >= kLevelEvery) {
          levelCount = 0;
          levels_->Write(*levelIndex_, d * kLevelScale);
        }
        subAcc += 1.0;
        while (subAcc >= subStep) {
          subAcc -= subStep;
          onSub(d);
        }
      }
      levelCount_ = levelCount;
      subAcc_ = subAcc;
    });
  }
}

}  // namespace vestrel
