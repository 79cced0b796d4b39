#include "engine/modes/mfsk/mfsk_tone_plan.h"

#include "engine/frequency_unit.h"

namespace vestrel {

MfskTonePlan PlanMfskTones(int32_t base, int tones, double spacingHz, double rate) {
  const double first = base * rate / kUnitsPerCycle;
  const double last = first + (tones - 1) * spacingHz;
  MfskTonePlan plan;
  plan.firstStep = HzToUnits(first, rate);
  plan.lastStep = HzToUnits(last, rate);
  plan.firstBin = HzToBins(first, rate);
  plan.lastBin = HzToBins(last, rate);
  return plan;
}

}  // namespace vestrel
