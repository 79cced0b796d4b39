#pragma once
#include <array>

#include "engine/dsp/fixed_decimator.h"

namespace vestrel {

// 45 symmetric taps, DC gain 0.98643, half amplitude at 0.2057 of the input rate (1134 Hz at
// 5512.5 samples/s).
extern const std::array<double, 45> kC45;

// Low-pass and decimation by 2: returns 0 until the 2nd call, then each output for two calls.
class Decimator2 : public FixedDecimator {
 public:
  Decimator2() : FixedDecimator(2, kC45) {}
};

}  // namespace vestrel
