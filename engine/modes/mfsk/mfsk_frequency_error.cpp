#include "engine/modes/mfsk/mfsk_frequency_error.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vestrel {

void TMfskFrequencyError::SetHalf(uint32_t h, double rate) {
  half_ = h > 0 ? h : 1;
  memory_ = std::min(1.0, 2.0 * half_ / (rate > 0.0 ? rate : 11025.0) / kMemorySeconds);
  rate_ = rate > 0.0 ? rate : 11025.0;
  Clear();
}

void TMfskFrequencyError::Symbol(std::complex<double> older, std::complex<double> newer, double lead,
                                 bool below, bool above) {
  below_ = below_ * (1.0 - guardMemory_) + (below ? guardMemory_ : 0.0);
  above_ = above_ * (1.0 - guardMemory_) + (above ? guardMemory_ : 0.0);
  const std::complex<double> p = newer * std::conj(older);
  const double m = std::abs(p);
  if (!std::isfinite(m) || !std::isfinite(lead)) return;
  sum_ = sum_ * (1.0 - memory_) + p;
  directions_ = directions_ * (1.0 - memory_) + (m > 0.0 ? p / m : std::complex<double>{});
  lead_ = lead_ * (1.0 - memory_) + lead;
  weight_ = weight_ * (1.0 - memory_) + 1.0;
  ++symbols_;
}

void TMfskFrequencyError::Retuned(double hz) {
  if (!std::isfinite(hz)) return;
  const std::complex<double> turn = std::polar(1.0, -2.0 * std::numbers::pi * hz * half_ / rate_);
  sum_ *= turn;
  directions_ *= turn;
}

void TMfskFrequencyError::Slipped(double hz) {
  Retuned(hz);
  below_ /= 2.0;
  above_ /= 2.0;
}

void TMfskFrequencyError::Clear() {
  sum_ = {};
  directions_ = {};
  lead_ = 0.0;
  below_ = above_ = 0.0;
  weight_ = 0.0;
  symbols_ = 0;
}

int TMfskFrequencyError::GridSlip() const {
  // Only on a signal read well: near the threshold noise beats the strongest tone now and again
  // on both sides, and by chance more often on one.
  if (!Locked() || Lead() < kSlipLead || static_cast<double>(symbols_) * guardMemory_ < 1.0) return 0;
  const double b = WinsBelow(), a = WinsAbove();
  if (b >= kSlipWins && a < b / 4.0) return -1;
  if (a >= kSlipWins && b < a / 4.0) return 1;
  return 0;
}

double TMfskFrequencyError::ErrorHz() const {
  if (sum_ == std::complex<double>{}) return 0.0;
  return std::arg(sum_) * rate_ / (2.0 * std::numbers::pi * half_);
}

}  // namespace vestrel
