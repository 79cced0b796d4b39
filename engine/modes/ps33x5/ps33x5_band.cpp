#include "engine/modes/ps33x5/ps33x5_band.h"

#include "engine/frequency_unit.h"

namespace vestrel {

double Ps33x5Spacing(int step) {
  const double speed = 1.5625 * step;
  return speed < 10.0 ? 2.0 * speed : speed;
}

Ps33x5Band PlanPs33x5Band(int step, double centreHz) {
  const double half = 16.0 * Ps33x5Spacing(step);
  return {centreHz - half, centreHz + half};
}

Ps33x5TxSteps PlanPs33x5TxSteps(int step, double centreHz, double outputRate) {
  const Ps33x5Band band = PlanPs33x5Band(step, centreHz);
  return {HzToUnits(band.lowerHz, outputRate), HzToUnits(band.upperHz, outputRate)};
}

}  // namespace vestrel
