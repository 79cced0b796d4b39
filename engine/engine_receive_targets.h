#pragma once
#include "engine/receive_targets.h"

namespace vestrel {

class TEngine;

// The engine's own receive targets: the AFC and the demodulator objects of TEngine.
class EngineReceiveTargets final : public ReceiveTargets {
 public:
  explicit EngineReceiveTargets(TEngine& engine) : engine_(engine) {}

  void AfcTuneFsk() override;
  void AfcTuneFskSeparate() override;
  void AfcTunePsk() override;
  void AfcTuneMfsk() override;
  void AfcTunePs33x5() override;
  void SyncTxFrequencyToRx() override;

  void StartStopDemodulate(std::span<const float> block, int squelchOpen) override;
  void PskBpskDemodulate(std::span<const float> block, int squelchOpen) override;
  void PskQpskDemodulate(std::span<const float> block, int squelchOpen) override;
  void AmtorFecDemodulate(std::span<const float> block, int squelchOpen) override;
  void PacketDemodulate(std::span<const float> block, int squelchOpen) override;
  void DtmfDemodulate(std::span<const float> block) override;
  void MfskDemodulate(std::span<const float> block, int squelchOpen) override;
  void AmtorArqDemodulate(std::span<const float> block, int squelchOpen) override;
  void PactorDemodulate(std::span<const float> block, int squelchOpen) override;
  void Ps2x5Demodulate(std::span<const float> block, int squelchOpen) override;
  void Ps33x5Demodulate(std::span<const double> samples, int squelchOpen) override;

 private:
  [[maybe_unused]] TEngine& engine_;
};

}  // namespace vestrel
