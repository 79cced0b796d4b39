#pragma once
#include <complex>
#include <cstdint>

namespace vestrel {

// The MFSK receiver's own estimate of how far the signal sits from its tones. At each symbol
// decision the strongest tone's detector average is split in its older and newer half; within
// one symbol the tone does not change, so the newer half leads the older by 2 pi df h / fs
// (h samples a half, df the signal's offset, Hz). The products newer x conj(older) are summed
// with a memory of some 32 symbols: their angle is the offset, unbiased within +-1 tone spacing.
// The products' directions alone, summed the same way, have a mean length (the coherence) near
// 1 on a tone. Noise cannot be told by that alone: the strongest detector is the one whose two
// halves happen to agree, so on noise too the products lean towards 0 Hz (harmless for the
// estimate, which then says "on frequency"). What tells a tone from noise is the strongest
// detector's lead over the second, as a share of the mean of all: some 0.3 on noise, above 2
// on a tone the decoder can read.
//
// The estimate knows nothing of the grid: a band a whole spacing off reads as on frequency
// but loses the signal's edge tone. So at each symbol a detector a spacing beyond either end
// of the band is formed too: when one of these beats the strongest tone of the band now and
// again (a signal's edge tone comes about once in N symbols) and the other never, the band
// sits a spacing towards the quiet one (GridSlip). The estimate knows nothing of the grid: a
// signal a whole spacing off reads as on frequency, which only the spectrum can tell.
class TMfskFrequencyError {
 public:
  static constexpr double kMemorySeconds = 2.0;  // of the sums (32 MFSK16, 16 MFSK8 symbols)
  static constexpr int kSettleSymbols = 24;      // symbols before an estimate counts
  static constexpr double kCoherent = 0.7;       // coherence that says "a tone"
  static constexpr double kSlipWins = 2.5;       // of the 4 a band a spacing off sees
  static constexpr double kSlipLead = 2.0;       // mean lead for a grid step
  static constexpr double kLeading = 1.0;        // mean lead that says "a tone"

  // h: samples in one half of the detector average; rate: samples/s.
  void SetHalf(uint32_t h, double rate);
  // One symbol: the strongest detector's sums over the older and the newer half, and its lead
  // over the second as a share of the mean magnitude of all; whether the detector below the
  // band and the one above it beat the strongest.
  void Symbol(std::complex<double> older, std::complex<double> newer, double lead, bool below = false,
              bool above = false);
  // tones: the band's; sets the memory of the guard detectors' wins (4 x tones symbols).
  void SetTones(int tones) { guardMemory_ = 1.0 / (4.0 * (tones > 0 ? tones : 16)); }
  // The tones moved by `hz`: the sums so far turned as if measured at the new tones.
  void Retuned(double hz);
  // The band moved by whole spacings and `hz`: the sums turned by `hz`, the guard detectors'
  // wins halved (a band still off keeps winning on the same side, and slips again sooner).
  void Slipped(double hz);
  void Clear();

  // True when enough symbols have been summed and they agree on a tone.
  bool Locked() const { return symbols_ >= kSettleSymbols && Coherence() >= kCoherent && Lead() >= kLeading; }
  double Coherence() const { return weight_ > 0.0 ? std::abs(directions_) / weight_ : 0.0; }
  double Lead() const { return weight_ > 0.0 ? lead_ / weight_ : 0.0; }
  // The signal's offset above the tones, Hz (0 before the first symbol).
  double ErrorHz() const;
  uint64_t Symbols() const { return symbols_; }
  // While locked: -1 when the band should move a spacing down (the detector below it wins now
  // and again, the one above never), +1 up, else 0.
  int GridSlip() const;
  // Wins of the detectors below and above the band over the last 4 x tones symbols, about.
  double WinsBelow() const { return below_ / guardMemory_; }
  double WinsAbove() const { return above_ / guardMemory_; }

 private:
  std::complex<double> sum_{};
  std::complex<double> directions_{};
  double lead_ = 0.0;
  double below_ = 0.0, above_ = 0.0;  // weighted wins
  double guardMemory_ = 1.0 / 64.0;
  double memory_ = 1.0 / 32.0;  // weight of the newest symbol
  double weight_ = 0.0;         // of the directions and the leads
  uint64_t symbols_ = 0;
  uint32_t half_ = 352;
  double rate_ = 11025.0;
};

}  // namespace vestrel
