#pragma once
#include <span>

namespace vestrel {

// What the receive block processor runs once per 2048-sample block: the current mode's AFC,
// then its demodulator. Each demodulator call writes the squelch-open flag (1: pass characters)
// into the demodulator's `SquelchOpen` and then hands it the whole block, in order, at 11025
// samples/s; the demodulator loops over the samples inside its own block call. One virtual
// call per block, none per sample.
class ReceiveTargets {
 public:
  // AFC of the current mode (runs only while AFC is on), before the block is demodulated.
  virtual void AfcTuneFsk() = 0;
  virtual void AfcTuneFskSeparate() = 0;
  virtual void AfcTunePsk() = 0;
  virtual void AfcTuneMfsk() = 0;
  virtual void AfcTunePs33x5() = 0;
  // The transmit tones follow the receive tones (when the TX AFC setting allows).
  virtual void SyncTxFrequencyToRx() = 0;

  virtual void StartStopDemodulate(std::span<const float> block, int squelchOpen) = 0;  // 0, 2, 4
  virtual void PskBpskDemodulate(std::span<const float> block, int squelchOpen) = 0;    // 1, 5, 7
  virtual void PskQpskDemodulate(std::span<const float> block, int squelchOpen) = 0;    // 3, 9
  virtual void AmtorFecDemodulate(std::span<const float> block, int squelchOpen) = 0;   // 6
  virtual void PacketDemodulate(std::span<const float> block, int squelchOpen) = 0;     // 8, 10
  virtual void DtmfDemodulate(std::span<const float> block) = 0;                        // 11, no squelch
  virtual void MfskDemodulate(std::span<const float> block, int squelchOpen) = 0;       // 12, 16
  virtual void AmtorArqDemodulate(std::span<const float> block, int squelchOpen) = 0;   // 14
  // Both PACTOR-I receivers, the 100 Bd one first, each sample truncated to an integer.
  virtual void PactorDemodulate(std::span<const float> block, int squelchOpen) = 0;  // 18
  virtual void Ps2x5Demodulate(std::span<const float> block, int squelchOpen) = 0;   // 20
  // The block converted to 12800 samples/s (any length; a block may come in several parts).
  virtual void Ps33x5Demodulate(std::span<const double> samples, int squelchOpen) = 0;  // 22

 protected:
  ~ReceiveTargets() = default;
};

}  // namespace vestrel
