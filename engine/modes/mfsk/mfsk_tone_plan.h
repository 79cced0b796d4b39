#pragma once
#include <array>
#include <cstdint>

namespace vestrel {

// The one planner of the MFSK tones: tone i at base x rate/32768 + i x spacing Hz,
// i = 0..tones-1 (MFSK16: 16 tones 15.625 Hz apart, MFSK8: 32 tones 7.8125 Hz apart), each
// rounded to a phase step and a bin at `rate`. The receiver and the transmitter tune to it;
// the mode switch and the frequency controls copy its first and last tone into the tone pairs.
struct MfskTonePlan {
  static constexpr int kMaxTones = 32;
  int tones = 0;
  std::array<int32_t, kMaxTones> steps{};  // FrequencyUnit at `rate`
  std::array<int32_t, kMaxTones> bins{};   // bins of a 2048-point spectrum at `rate`
  int32_t firstStep = 0;
  int32_t lastStep = 0;
  int32_t firstBin = 0;
  int32_t lastBin = 0;
};

// base: the lowest tone in FrequencyUnit at `rate`; tones: 1..32 (clamped).
MfskTonePlan PlanMfskTones(int32_t base, int tones, double spacingHz, double rate);

}  // namespace vestrel
