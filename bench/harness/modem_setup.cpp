#include "bench/harness/modem_setup.h"

#include "engine/frequency_unit.h"

namespace vestrel::harness {

void ApplyModemOptions(TEngine& engine, const ModemOptions& o) {
  engine.Start();
  TModemParams& p = engine.params;
  p.FilterWidth = o.filterWidth;
  p.Reverse = o.reverse ? 1 : 0;
  p.ShiftHz = o.shiftHz;
  p.RttyShift = o.shiftHz;
  p.Baud = o.baud;
  p.RttySpeed = static_cast<int32_t>(o.baud + 0.5);
  // The block modes switch to the speed (and shift) remembered for them.
  p.Ps2x5Speed = static_cast<int32_t>(o.baud + 0.5);
  p.Ps2x5Shift = o.shiftHz;
  p.Ps33x5SpeedX = static_cast<int32_t>(o.baud / 1.5625 + 0.5);
  // Both tones of a pair on the centre: the mode switch spreads them by the shift around it.
  p.RxTone[0] = p.RxTone[1] = HzToUnits(o.centreHz);
  p.TxTone[0] = p.TxTone[1] = HzToUnits(o.centreHz, engine.rates.OutSamplingFreq);
  engine.modeSwitch.SetMode(o.mode);
}

}  // namespace vestrel::harness
