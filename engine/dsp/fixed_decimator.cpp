#include "engine/dsp/fixed_decimator.h"

namespace vestrel {

FixedDecimator::FixedDecimator(uint32_t factor, std::span<const double> taps) : taps_(taps), factor_(factor) {
  ring_.SetLength(static_cast<int>(taps.size()));
}

void FixedDecimator::Reset() {
  ring_.Clear();
  phase_ = 0;
  output_ = 0.0;
}

}  // namespace vestrel
