#pragma once
#include <cstdint>

namespace vestrel {

// The band of the 33 PS33X5 tones. step: speed step, baud = step x 1.5625 (1, 2, 4, 8, 16, 32).
// The mode switch and the AFC lay the tone pair out with it; the PS33X5 objects tune to it.

// Tone spacing of a speed step, Hz: the speed, doubled below 10 Bd.
double Ps33x5Spacing(int step);

// Lowest and highest tone around centreHz: centre -/+ 16 spacings, Hz.
struct Ps33x5Band {
  double lowerHz = 0.0;
  double upperHz = 0.0;
};
Ps33x5Band PlanPs33x5Band(int step, double centreHz);

// The same band as phase steps at the transmit rate.
struct Ps33x5TxSteps {
  int32_t lowerStep = 0;
  int32_t upperStep = 0;
};
Ps33x5TxSteps PlanPs33x5TxSteps(int step, double centreHz, double outputRate);

}  // namespace vestrel
