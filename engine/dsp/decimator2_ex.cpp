#include "engine/dsp/decimator2_ex.h"

namespace vestrel {

bool Decimator2Ex::SetTaps(std::span<const double> taps) {
  if (taps.empty() || !fir_.SetTaps(taps)) return false;
  output_ = 0.0;
  return true;
}

bool Decimator2Ex::SetTaps(int n, const double* table) {
  if (n < 1 || table == nullptr) return false;
  return SetTaps(std::span<const double>(table, static_cast<size_t>(n)));
}

void Decimator2Ex::Reset() {
  fir_.Reset();
  output_ = 0.0;
}

}  // namespace vestrel
