#pragma once
#include <cmath>
#include <cstdint>

#include "engine/frequency_unit.h"
#include "engine/modem_params.h"

namespace vestrel {

// Sets the transmit side of the mode record for a start-stop or AMTOR transmission without
// the mode switch: speed (45 stands for 45.45 Bd), tone centre and shift in Hz, all at the
// output rate. Mark is the upper tone unless reversed.
inline void SetTxModeForHarness(TModemParams& p, int32_t mode, double baud, double centreHz, double shiftHz,
                                bool reverse, double outputRate) {
  const double b = baud == 45.0 ? 45.45 : baud;
  p.Mode = mode;
  p.Baud = baud;
  p.TxSamplesPerBitMilli = static_cast<int32_t>(std::floor(outputRate * 1000.0 / b + 0.5));
  p.TxSamplesPerBit = static_cast<int32_t>(std::floor(outputRate / b + 0.5));
  p.ShiftHz = static_cast<int32_t>(shiftHz);
  p.TxShift = HzToUnits(shiftHz, outputRate);
  p.TxShiftBin = UnitsToBin(p.TxShift);
  const int32_t centre = HzToUnits(centreHz, outputRate);
  p.TxTone[0] = centre - p.TxShift / 2;
  p.TxTone[1] = centre + p.TxShift / 2;
  p.TxToneBin[0] = UnitsToBin(p.TxTone[0]);
  p.TxToneBin[1] = UnitsToBin(p.TxTone[1]);
  p.Reverse = reverse ? 1 : 0;
}

}  // namespace vestrel
