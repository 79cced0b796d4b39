#include "engine/modes/ps33x5/ps33x5_band.h"

#include <gtest/gtest.h>

#include "engine/frequency_unit.h"

namespace vestrel {
namespace {

// Step 4 is 6.25 Bd, below 10 Bd, so the tones are 12.5 Hz apart: centre -/+ 200 Hz.
TEST(PlanPs33x5Band, WidensBelowTenBaud) {
  const auto b4 = PlanPs33x5Band(4, 1500.0);
  EXPECT_DOUBLE_EQ(b4.lowerHz, 1300.0);
  EXPECT_DOUBLE_EQ(b4.upperHz, 1700.0);
  const auto b16 = PlanPs33x5Band(16, 1500.0);  // 25 Bd, spacing 25 Hz
  EXPECT_DOUBLE_EQ(b16.upperHz - b16.lowerHz, 800.0);
  // The transmit steps are the same band at the output rate.
  const auto tx = PlanPs33x5TxSteps(4, 1500.0, 11100.0);
  EXPECT_EQ(tx.lowerStep, HzToUnits(1300.0, 11100.0));
  EXPECT_EQ(tx.upperStep, HzToUnits(1700.0, 11100.0));
}

}  // namespace
}  // namespace vestrel
