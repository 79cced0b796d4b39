#pragma once
#include <cstdint>

#include "engine/modes/psk/psk_frequency_error.h"

namespace vestrel {

// The PSK AFC's loop, once per block. Putting the tone on the spectrum's best place each block
// jumps it by whole bins in noise, and a PSK receiver loses its phase reference at each jump;
// so the tone follows what the receiver itself measures, the decisions' frequency error
// (TPskFrequencyError), smoothed over some 48 symbols:
// - A step: part of the error (kGain, less for a noisier estimate), at most kMaxStepHz a block,
//   and only while the estimate is coherent (the smoothed phasor's length over its weight above
//   kCoherent), the error exceeds kSignificance times the estimate's own spread, and it lies
//   well inside the receiver's reach, 1 / (2 order T) (a tone k / (order T) off turns d^order
//   by whole turns and looks on frequency). Noise alone turns the estimate every way and moves
//   nothing, whatever the squelch. The oscillator moves by whole units once the loop's tone is
//   kDeadUnits from it.
// - A capture, the spectrum's carrier (from the pass's search): only when the signal stands
//   clear of the window's noise (Spectrum::Excess), lies more than a bin off (half a bin right
//   after a click), and the receiver is not on it: no lock (coherence over the short or the long
//   smoothing), an estimate at the edge of its reach, or a clear signal beyond that reach. While
//   signals come kConfirmPasses passes in a row must agree; the loop then has kHoldBlocks
//   blocks before the next.
// Tones in FrequencyUnit (double: the loop keeps the fraction a unit cannot hold).
class TPskAfc {
 public:
  // Coherence to step; noise alone stays below 0.36 over 48 symbols (mean 0.11).
  static constexpr double kCoherent = 0.3;
  // The receiver says it is on the signal (no capture) from this coherence on.
  static constexpr double kLocked = 0.2;
  // The same over some 192 symbols, once there are kSlowLockSymbols: a weak QPSK signal, whose
  // estimate is noisy, still stands clear of noise's 0.06 there.
  static constexpr double kSlowSymbols = 192.0;
  static constexpr int kSlowLockSymbols = 96;
  static constexpr double kSlowLocked = 0.15;
  // The largest step a block at 31.25 Bd, in proportion at the faster rates (2 Hz at 125 Bd).
  static constexpr double kMaxStepHz = 0.5;
  // The share of the error taken per block: kGain from a coherence of kFullGainCoherence on,
  // less below, down to a tenth of it at kCoherent, where the estimate is noisier.
  static constexpr double kGain = 0.5;
  static constexpr double kFullGainCoherence = 0.85;
  static constexpr double kSmoothSymbols = 48.0;
  static constexpr int kHoldBlocks = 2;
  // Decisions since the tone was set before the estimate counts: to move, to hold a capture off.
  static constexpr int kMoveSymbols = 48;
  static constexpr int kLockSymbols = 16;
  // The oscillator moves once the loop's tone is this far (units) from it: a tone between two
  // units is not dithered from one to the other.
  static constexpr double kDeadUnits = 1.0;
  // The excess a capture needs: noise alone stays below 7; a signal at -6 dB in 3 kHz reads 21
  // to 31, at -10 dB 11 to 16.
  static constexpr double kClearExcess = 18.0;
  static constexpr double kClickExcess = 9.0;
  // A signal strong enough to overrule a coherent receiver.
  static constexpr double kStrongExcess = 36.0;
  // Passes in a row that must agree on a capture while signals come.
  static constexpr int kConfirmPasses = 3;
  // The share of the receiver's reach, 1 / (2 order T), within which its estimate moves the tone.
  static constexpr double kReach = 0.6;
  // An error the estimate's spread explains moves nothing: it must exceed this many of it.
  static constexpr double kSignificance = 3.5;

  // The spectrum's view of this block, from the pass's search.
  struct Spectrum {
    double carrierUnits = 0.0;  // the centroid of the best-scoring signal
    double level = 0.0;         // mean peak over the signal's bins
    double floor = 0.0;         // the window's noise floor
    int widthBins = 1;          // the signal's bins

    // How far the signal stands out: its bins' excess over the floor, (level / floor - 1)
    // times the width, so that a wide signal spread thin counts as much as a narrow one of the
    // same power. Infinite over a floor of 0.
    double Excess() const;
  };

  // A move of the tone by anything but this loop (a click, a step, a mode change): what was
  // learnt belongs to the old tone.
  void Restart(int32_t toneUnits);
  // The tone this loop last placed (or restarted on).
  int32_t Placed() const { return placed_; }

  // One block: this block's sums from the receiver, the spectrum's view, the rate and order
  // (2 BPSK, 4 QPSK). Returns the tone to place (units, before the pass's clamps): the present
  // one when nothing is to change. captured tells a spectrum capture from a step.
  // click: one of the passes after a click on the spectrum.
  double Pass(const TPskFrequencyError::Sums& sums, const Spectrum& spectrum, double baud, int order,
              bool click, bool& captured);
  // The tone the pass placed after its clamps (units), and whether it was a capture.
  void Placed(int32_t toneUnits, bool captured);

  // The smoothed estimate: coherence 0..1 and the error in Hz (signal above the tone positive).
  double Coherence() const;
  double ErrorHz(double baud, int order) const;
  // The estimate's own spread (one standard deviation, Hz).
  double SpreadHz(double baud, int order) const;

 private:
  double tone_ = 0.0;  // units, with the fraction
  double wanted_ = 0.0;
  double baud_ = 31.25;
  int order_ = 2;
  int32_t placed_ = -1;
  TPskFrequencyError::Sums smooth_;  // faded, turned with the tone; symbols since the restart
  TPskFrequencyError::Sums slow_;    // the same, fading slower
  int hold_ = 0;
  int pending_ = 0;  // passes in a row that wanted the capture at pendingUnits_
  double pendingUnits_ = 0.0;
};

}  // namespace vestrel
