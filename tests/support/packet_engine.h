#pragma once
#include <cstdint>

#include "engine/engine.h"
#include "engine/frequency_unit.h"
#include "engine/mode_number.h"

namespace vestrel::test {

// Switches an engine to a packet mode as the Mode menu does: AX.25 UHF on 1200/2200 Hz
// (centre 1700, shift 1000) at 1200 Bd, AX.25 HF a 200 Hz shift (1600/1800 Hz around the
// centre) at 300 Bd. Both tone pairs take the centre; the transmit pair at the output rate.
inline void SetPacketMode(TEngine& engine, int32_t mode, double centreHz = 1700.0) {
  const bool uhf = mode == kModeAx25Uhf;
  TModemParams& p = engine.params;
  p.RxTone[0] = p.RxTone[1] = HzToUnits(centreHz);
  p.TxTone[0] = p.TxTone[1] = HzToUnits(centreHz, engine.rates.OutSamplingFreq);
  p.ShiftHz = uhf ? 1000 : 200;
  p.Baud = uhf ? 1200.0 : 300.0;
  engine.modeSwitch.SetMode(mode);
  engine.modeSwitch.SetShift(p.ShiftHz);
  engine.modeSwitch.SetBaudRate(p.Baud);
}

}  // namespace vestrel::test
