#include "engine/modes/psk/psk_afc.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "engine/frequency_unit.h"

namespace vestrel {

namespace {

constexpr double kUnitsPerHz = kUnitsPerCycle / kRxRate;
constexpr double kHalfBinHz = kRxRate / 2048.0 / 2.0;

}  // namespace

double TPskAfc::Spectrum::Excess() const {
  if (!(level > 0.0)) return 0.0;
  if (!(floor > 0.0)) return std::numeric_limits<double>::infinity();
  return (level / floor - 1.0) * widthBins;
}

void TPskAfc::Restart(int32_t toneUnits) {
  tone_ = toneUnits;
  placed_ = toneUnits;
  smooth_ = {};
  slow_ = {};
  hold_ = 0;
  pending_ = 0;
}

double TPskAfc::Coherence() const {
  return smooth_.Coherence();
}

double TPskAfc::ErrorHz(double baud, int order) const {
  double re, im, weight;
  smooth_.Phasor(re, im, weight);
  if (!(weight > 0.0)) return 0.0;
  // A signal above the tone turns d forward, by 2 pi f T a symbol.
  return std::atan2(im, re) * baud / (2.0 * std::numbers::pi * order);
}

// The spread of the estimate: N phasors of coherence C scatter across the mean by about
// sqrt((1 - C^2) / 2) each, so the mean's angle by sqrt((1 - C^2) / (2 N)) / C; N is the faded
// count's effective number, twice the time constant once it has filled.
double TPskAfc::SpreadHz(double baud, int order) const {
  const double c = Coherence();
  const double n = std::min<double>(smooth_.symbols, 2.0 * kSmoothSymbols);
  if (!(c > 0.0) || !(n > 0.0)) return std::numeric_limits<double>::infinity();
  return std::sqrt((1.0 - c * c) / (2.0 * n)) / c * baud / (2.0 * std::numbers::pi * order);
}

double TPskAfc::Pass(const TPskFrequencyError::Sums& sums, const Spectrum& spectrum, double baud, int order,
                     bool click, bool& captured) {
  captured = false;
  // Another rate or modulation: what was learnt, and this block's sums, belong to the old one.
  const bool sameMode = baud == baud_ && order == order_;
  if (!sameMode) Restart(placed_);
  baud_ = baud;
  order_ = order;
  if (sameMode && sums.symbols > 0) {
    smooth_.FadeAndAdd(sums, std::exp(-sums.symbols / kSmoothSymbols));
    slow_.FadeAndAdd(sums, std::exp(-sums.symbols / kSlowSymbols));
    if (hold_ > 0) --hold_;
  }
  const int symbols = smooth_.symbols;
  const bool coherent = symbols >= kMoveSymbols && Coherence() > kCoherent;
  const double error = coherent ? ErrorHz(baud, order) : 0.0;

  // Capture from the spectrum.
  const double offsetHz = (spectrum.carrierUnits - tone_) / kUnitsPerHz;
  // The receiver cannot tell an error of more than 1 / (2 order T) from a smaller one.
  const double rangeHz = baud / (2.0 * order);
  const double excess = spectrum.Excess();
  // After a click the operator has pointed at a signal: it need only stand clear of noise.
  const bool clear = excess > (click ? kClickExcess : kClearExcess);
  const bool locked = (symbols >= kLockSymbols && Coherence() > kLocked) ||
                      (symbols >= kSlowLockSymbols && slow_.Coherence() > kSlowLocked);
  // Beyond the receiver's reach a strong signal overrules it, and so does any clear one while
  // the receiver is not sure enough to move (it sees the signal through its filter's skirt).
  const bool strong = excess > kStrongExcess;
  const bool beyond = (std::abs(offsetHz) > std::max(rangeHz, 2.0 * kHalfBinHz) && strong) ||
                      (std::abs(offsetHz) > std::max(rangeHz, 6.0 * kHalfBinHz) && !coherent);
  // A receiver on the signal pulls itself in; only an estimate near the edge of its reach,
  // which may be one beyond it seen turned round, leaves the place to the spectrum.
  const bool receiverOff = !locked || std::abs(ErrorHz(baud, order)) >= kReach * rangeHz || beyond;
  // Right after a click (before any decision on the new tone) the operator has said where the
  // signal is: half a bin off is enough and one pass decides; so does a strong signal at the
  // start. Otherwise a whole bin, and kConfirmPasses passes in a row must agree within a bin.
  const bool atOnce = symbols == 0 && (click || strong);
  const double farHz = atOnce ? kHalfBinHz : 2.0 * kHalfBinHz;
  if (clear && std::abs(offsetHz) > farHz && receiverOff && hold_ == 0) {
    if (std::abs(pendingUnits_ - spectrum.carrierUnits) > 16.0) pending_ = 0;
    pendingUnits_ = spectrum.carrierUnits;
    if (atOnce || ++pending_ >= kConfirmPasses) {
      pending_ = 0;
      captured = true;
      wanted_ = spectrum.carrierUnits;
      return wanted_;
    }
  } else {
    pending_ = 0;
  }
  wanted_ = tone_;
  // An error near the edge of the receiver's reach may be one beyond it seen turned round:
  // that is left to a capture.
  if (coherent && std::abs(error) < kReach * rangeHz &&
      std::abs(error) > kSignificance * SpreadHz(baud, order)) {
    const double share = std::clamp((Coherence() - kCoherent) / (kFullGainCoherence - kCoherent), 0.1, 1.0);
    // The same turn a symbol at every rate: the step scales with the rate.
    const double maxStep = kMaxStepHz * baud / 31.25;
    wanted_ += std::clamp(kGain * share * error, -maxStep, maxStep) * kUnitsPerHz;
  }
  return std::abs(wanted_ - placed_) < kDeadUnits ? placed_ : wanted_;
}

void TPskAfc::Placed(int32_t toneUnits, bool captured) {
  if (captured) {
    Restart(toneUnits);
    hold_ = kHoldBlocks;
    return;
  }
  // What the smoothed phasor measured was against the old oscillator: turned to the new one.
  const double movedHz = (toneUnits - placed_) / kUnitsPerHz;
  if (movedHz != 0.0) {
    // Against the new tone the error is movedHz smaller: d^order turns by order 2 pi movedHz T.
    const double turn = -2.0 * std::numbers::pi * order_ * movedHz / baud_;
    smooth_.Turn(turn);
    slow_.Turn(turn);
  }
  // The fraction is kept unless the pass's clamps stopped the tone short.
  tone_ = std::abs(wanted_ - toneUnits) <= kDeadUnits ? wanted_ : toneUnits;
  placed_ = toneUnits;
}

}  // namespace vestrel
