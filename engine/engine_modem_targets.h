#pragma once
#include "engine/modem_targets.h"

namespace vestrel {

class TEngine;

// Tones an MFSK plan gives from its base tone (Part of the MFSK receiver and transmitter):
// tone i at base x rate/32768 + i x spacing Hz, N = 16 tones 15.625 Hz apart (MFSK16) or
// 32 tones 7.8125 Hz apart (MFSK8); steps and bins at `rate`.
ModemTargets::MfskPlan PlanMfskTones(int32_t base, int mfsk8, double rate);

// Tone spacing of a PS33X5 speed step: the speed, doubled below 10 Bd.
double Ps33x5Spacing(int step);

// The band of 33 PS33X5 tones around centreHz: centre -/+ 16 spacings.
ModemTargets::Ps33x5RxBand PlanPs33x5Band(int step, double centreHz);

// The engine's own targets: forwards every push to the decoder or encoder object of TEngine.
class EngineModemTargets final : public ModemTargets {
 public:
  explicit EngineModemTargets(TEngine& engine) : engine_(engine) {}

  void StartStopSetBaud(double baud, int filterWidth) override;
  void StartStopSetTones(int32_t lower, int32_t upper) override;
  void StartStopSetDataBits(int bits) override;
  void Ps2x5RxSetBaud(double baud, int filterWidth) override;
  void Ps2x5RxSetTones(int32_t lower, int32_t upper) override;
  void Ps2x5TxSetSpeed(double baud) override;
  Ps33x5RxBand Ps33x5RxSetSpeed(int step, double centreHz) override;
  Ps33x5TxBand Ps33x5TxSetSpeed(int step, double centreHz, double outputRate) override;
  void AmtorFecSetBaud(double baud) override;
  void AmtorFecSetTones(int32_t lower, int32_t upper) override;
  void AmtorArqSetBaud(double baud) override;
  void AmtorArqSetTones(int32_t lower, int32_t upper) override;
  void PacketRxSetBaud(int baud) override;
  void PacketRxSetTones(int32_t lower, int32_t upper) override;
  void PacketSlotTimer(bool on) override;
  void UpdatePacketTiming() override;
  void PskRxSetRate(int rateCode) override;
  void PskRxSetStep(int32_t step) override;
  void PskTxSetRate(int rateCode) override;
  void PactorSetBaud(int index, double baud) override;
  void PactorSetTones(int32_t lower, int32_t upper) override;
  void MfskRxSetMode(int mfsk8) override;
  MfskPlan MfskRxSetTones(int32_t base) override;
  void MfskTxSetMode(int mfsk8) override;
  MfskPlan MfskTxSetTones(int32_t base) override;
  void DtmfReset() override;

 private:
  TEngine& engine_;
  // Until the MFSK objects exist their mode is kept here, so the plans come out right.
  int mfskRx8_ = 0;
  int mfskTx8_ = 0;
};

}  // namespace vestrel
