#include "engine/modes/mfsk/mfsk_frequency_error.h"

#include <cmath>
#include <numbers>

namespace vestrel {

void TMfskFrequencyError::SetHalf(uint32_t h, double rate) {
  half_ = h > 0 ? h : 1;
  rate_ = rate > 0.0 ? rate : 11025.0;
  Clear();
}

void TMfskFrequencyError::Symbol(std::complex<double> older, std::complex<double> newer, double lead) {
  const std::complex<double> p = newer * std::conj(older);
  const double m = std::abs(p);
  if (!std::isfinite(m) || !std::isfinite(lead)) return;
  sum_ = sum_ * (1.0 - kMemory) + p;
  directions_ = directions_ * (1.0 - kMemory) + (m > 0.0 ? p / m : std::complex<double>{});
  lead_ = lead_ * (1.0 - kMemory) + lead;
  weight_ = weight_ * (1.0 - kMemory) + 1.0;
  ++symbols_;
}

void TMfskFrequencyError::Retuned(double hz) {
  if (!std::isfinite(hz)) return;
  const std::complex<double> turn = std::polar(1.0, -2.0 * std::numbers::pi * hz * half_ / rate_);
  sum_ *= turn;
  directions_ *= turn;
}

void TMfskFrequencyError::Clear() {
  sum_ = {};
  directions_ = {};
  lead_ = 0.0;
  weight_ = 0.0;
  symbols_ = 0;
}

double TMfskFrequencyError::ErrorHz() const {
  if (sum_ == std::complex<double>{}) return 0.0;
  return std::arg(sum_) * rate_ / (2.0 * std::numbers::pi * half_);
}

}  // namespace vestrel
