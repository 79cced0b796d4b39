#include "engine/dsp/fir_filter.h"

namespace vestrel {

bool FirFilter::SetTaps(std::span<const double> taps) {
  if (taps.size() > static_cast<size_t>(kMaxTaps)) return false;
  if (taps.empty()) {
    taps_.clear();
    ring_ = TapRing<1>();
    return true;
  }
  ring_.SetLength(static_cast<int>(taps.size()));
  taps_.assign(taps.begin(), taps.end());
  return true;
}

bool FirFilter::SetTaps(int n, const double* table) {
  if (n < 0 || (n > 0 && table == nullptr)) return false;
  return SetTaps(std::span<const double>(table, static_cast<size_t>(n)));
}

void FirFilter::Reset() {
  if (!taps_.empty()) ring_.Clear();
}

}  // namespace vestrel
