#pragma once
#include <cstdint>

namespace vestrel {

// The tones an MFSK receiver or transmitter plans from its base tone: tone i at
// base x rate/32768 + i x spacing Hz, i = 0..tones-1 (MFSK16: 16 tones 15.625 Hz apart,
// MFSK8: 32 tones 7.8125 Hz apart); first and last tone as phase steps and bins at `rate`.
// The mode switch and the AFC lay the tone pair out with it; the MFSK objects tune to it.
struct MfskTonePlan {
  int32_t firstStep = 0;
  int32_t lastStep = 0;
  int32_t firstBin = 0;
  int32_t lastBin = 0;
};

MfskTonePlan PlanMfskTones(int32_t base, int tones, double spacingHz, double rate);

}  // namespace vestrel
