#pragma once
#include <cstdint>

#include "engine/engine.h"
#include "engine/frequency_unit.h"

namespace vestrel {

// Switches the engine to a transmit mode the way the menus do: the tone pair centred on
// centreHz at the output rate, then the mode switch applies shift and speed (45 stands for
// 45.45 Bd). Mark is the upper tone unless reversed.
inline void SetTxModeForHarness(TEngine& engine, int32_t mode, double baud, double centreHz, int shiftHz,
                                bool reverse) {
  TModemParams& p = engine.params;
  p.TxTone[0] = p.TxTone[1] = HzToUnits(centreHz, engine.rates.OutSamplingFreq);
  p.ShiftHz = shiftHz;
  p.Baud = baud;
  p.Ps2x5Speed = static_cast<int32_t>(baud + 0.5);
  p.Ps2x5Shift = shiftHz;
  p.Ps33x5SpeedX = static_cast<int32_t>(baud / 1.5625 + 0.5);
  engine.modeSwitch.SetMode(mode);
  p.Reverse = reverse ? 1 : 0;
}

}  // namespace vestrel
