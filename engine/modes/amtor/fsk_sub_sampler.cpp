#include "engine/modes/amtor/fsk_sub_sampler.h"

#include <cmath>

#include "engine/modes/amtor/fsk_speed_filter.h"

namespace vestrel {

bool TFskSubSampler::SetBaud(double baud) {
  if (!(baud >= 1.0 && baud <= 5000.0)) return false;
  const int rounded = static_cast<int>(std::floor(baud + 0.5));
  const FskSpeedFilterRow& f = SelectFskSpeedFilter(rounded);
  if (!detector_.Setup(f.path, f.taps, f.table)) return false;
  baud_ = rounded;
  samplesPerBit_ = 11025.0 / baud;
  subStep_ = samplesPerBit_ / perBit_;
  Reset();
  return true;
}

void TFskSubSampler::Reset() {
  detector_.Reset();
  discriminator_ = 0.0;
  subAcc_ = 0.0;
  levelCount_ = 0;
}

}  // namespace vestrel
