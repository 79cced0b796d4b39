#include "engine/engine_modem_targets.h"

#include <cmath>

#include "engine/engine.h"
#include "engine/frequency_unit.h"

namespace vestrel {

ModemTargets::MfskPlan PlanMfskTones(int32_t base, int mfsk8, double rate) {
  const int tones = mfsk8 ? 32 : 16;
  const double spacing = mfsk8 ? 7.8125 : 15.625;
  const double first = base * rate / kUnitsPerCycle;
  const double last = first + (tones - 1) * spacing;
  ModemTargets::MfskPlan plan;
  plan.firstStep = HzToUnits(first, rate);
  plan.lastStep = HzToUnits(last, rate);
  plan.firstBin = HzToBins(first, rate);
  plan.lastBin = HzToBins(last, rate);
  return plan;
}

double Ps33x5Spacing(int step) {
  const double speed = 1.5625 * step;
  return speed < 10.0 ? 2.0 * speed : speed;
}

ModemTargets::Ps33x5RxBand PlanPs33x5Band(int step, double centreHz) {
  const double half = 16.0 * Ps33x5Spacing(step);
  return {centreHz - half, centreHz + half};
}

void EngineModemTargets::StartStopSetBaud(double baud, int filterWidth) {
  engine_.rtty.SetBaud(baud, filterWidth);
}
void EngineModemTargets::StartStopSetTones(int32_t lower, int32_t upper) {
  engine_.rtty.SetTones(lower, upper);
}
void EngineModemTargets::StartStopSetDataBits(int bits) {
  engine_.rtty.SetDataBits(bits);
}

// PS2X5 receiver and transmitter: not yet part of the engine.
void EngineModemTargets::Ps2x5RxSetBaud(double, int) {}
void EngineModemTargets::Ps2x5RxSetTones(int32_t, int32_t) {}
void EngineModemTargets::Ps2x5TxSetSpeed(double) {}

// PS33X5 receiver: not yet part of the engine; the band it would plan.
ModemTargets::Ps33x5RxBand EngineModemTargets::Ps33x5RxSetSpeed(int step, double centreHz) {
  return PlanPs33x5Band(step, centreHz);
}

// PS33X5 transmitter: not yet part of the engine; the tones it would plan.
ModemTargets::Ps33x5TxBand EngineModemTargets::Ps33x5TxSetSpeed(int step, double centreHz,
                                                                double outputRate) {
  const Ps33x5RxBand band = PlanPs33x5Band(step, centreHz);
  return {HzToUnits(band.lowerHz, outputRate), HzToUnits(band.upperHz, outputRate)};
}

// AMTOR FEC decoder and ARQ monitor: not yet part of the engine.
void EngineModemTargets::AmtorFecSetBaud(double) {}
void EngineModemTargets::AmtorFecSetTones(int32_t, int32_t) {}
void EngineModemTargets::AmtorArqSetBaud(double) {}
void EngineModemTargets::AmtorArqSetTones(int32_t, int32_t) {}

// Packet demodulator and channel access: not yet part of the engine.
void EngineModemTargets::PacketRxSetBaud(int) {}
void EngineModemTargets::PacketRxSetTones(int32_t, int32_t) {}
void EngineModemTargets::PacketSlotTimer(bool) {}
void EngineModemTargets::UpdatePacketTiming() {}

// PSK receiver and transmitter: not yet part of the engine.
void EngineModemTargets::PskRxSetRate(int) {}
void EngineModemTargets::PskRxSetStep(int32_t) {}
void EngineModemTargets::PskTxSetRate(int) {}

// PACTOR-I FEC receivers: not yet part of the engine.
void EngineModemTargets::PactorSetBaud(int, double) {}
void EngineModemTargets::PactorSetTones(int32_t, int32_t) {}

// MFSK receiver and transmitter: not yet part of the engine; the tones they would plan.
void EngineModemTargets::MfskRxSetMode(int mfsk8) {
  mfskRx8_ = mfsk8 ? 1 : 0;
}
ModemTargets::MfskPlan EngineModemTargets::MfskRxSetTones(int32_t base) {
  return PlanMfskTones(base, mfskRx8_, kRxRate);
}
void EngineModemTargets::MfskTxSetMode(int mfsk8) {
  mfskTx8_ = mfsk8 ? 1 : 0;
}
ModemTargets::MfskPlan EngineModemTargets::MfskTxSetTones(int32_t base) {
  return PlanMfskTones(base, mfskTx8_, UsableTxRate(engine_.OutSamplingFreq));
}

// DTMF decoder: not yet part of the engine.
void EngineModemTargets::DtmfReset() {}

}  // namespace vestrel
