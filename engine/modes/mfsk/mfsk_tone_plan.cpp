#include "engine/modes/mfsk/mfsk_tone_plan.h"

#include "engine/frequency_unit.h"

namespace vestrel {

MfskTonePlan PlanMfskTones(int32_t base, int tones, double spacingHz, double rate) {
  MfskTonePlan plan;
  plan.tones = tones < 1 ? 1 : (tones > MfskTonePlan::kMaxTones ? MfskTonePlan::kMaxTones : tones);
  const double first = base * rate / kUnitsPerCycle;
  for (int i = 0; i < plan.tones; ++i) {
    const double hz = first + i * spacingHz;
    plan.steps[i] = HzToUnits(hz, rate);
    plan.bins[i] = HzToBins(hz, rate);
  }
  plan.firstStep = plan.steps[0];
  plan.lastStep = plan.steps[plan.tones - 1];
  plan.firstBin = plan.bins[0];
  plan.lastBin = plan.bins[plan.tones - 1];
  return plan;
}

}  // namespace vestrel
