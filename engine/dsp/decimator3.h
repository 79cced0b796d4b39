#pragma once
#include <array>

#include "engine/dsp/fixed_decimator.h"

namespace vestrel {

// 27 symmetric taps, DC gain 1.00005, half amplitude at 0.0810 of the input rate (223 Hz at
// 2756.25 samples/s).
extern const std::array<double, 27> kC27;

// Low-pass and decimation by 3: a new output on the 3rd, 6th, ... call.
class Decimator3 : public FixedDecimator {
 public:
  Decimator3() : FixedDecimator(3, kC27) {}
};

}  // namespace vestrel
