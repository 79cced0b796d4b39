#include "engine/modes/mfsk/mfsk_tone_plan.h"

#include <gtest/gtest.h>

#include "engine/frequency_unit.h"

namespace vestrel {
namespace {

// MFSK16: 16 tones 15.625 Hz apart span 234.375 Hz = 696.6 units; MFSK8: 31 x 7.8125 =
// 242.1875 Hz = 719.8 units. From the 1000 Hz base (2972 units) the plan rounds each tone.
TEST(PlanMfskTones, SpansBothModes) {
  const auto m16 = PlanMfskTones(2972, 16, 15.625, 11025.0);
  EXPECT_EQ(m16.firstStep, 2972);
  EXPECT_EQ(m16.lastStep, HzToUnits(2972 * 11025.0 / 32768 + 234.375));
  EXPECT_NEAR(m16.lastStep - m16.firstStep, 697, 1);
  EXPECT_EQ(m16.firstBin, HzToBins(2972 * 11025.0 / 32768));
  const auto m8 = PlanMfskTones(2972, 32, 7.8125, 11025.0);
  EXPECT_NEAR(m8.lastStep - m8.firstStep, 720, 1);
  // At another output rate the same tones in Hz are other steps.
  const auto tx = PlanMfskTones(2972, 32, 7.8125, 11100.0);
  EXPECT_EQ(tx.lastStep, HzToUnits(2972 * 11100.0 / 32768 + 242.1875, 11100.0));
}

}  // namespace
}  // namespace vestrel
