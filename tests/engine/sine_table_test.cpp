#include "engine/sine_table.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine/frequency_unit.h"

namespace vestrel {
namespace {

TEST(SineTable, KnownEntriesAndCosineOffset) {
  SineTable t;
  EXPECT_EQ(t.Sin(0), 0);
  EXPECT_EQ(t.Sin(8192), 32000);
  EXPECT_EQ(t.Sin(16384), 0);
  EXPECT_EQ(t.Sin(24576), -32000);
  EXPECT_EQ(t.Sin(1), 6);  // floor(32000 sin(2 pi / 32768) + 0.5) = floor(6.136 + 0.5)
  EXPECT_EQ(t.Cos(0), 32000);
  // The phase wraps: any uint32 accumulator reads the table masked.
  EXPECT_EQ(t.Sin(32768u * 7 + 8192), 32000);
  EXPECT_EQ(t.Cos(0xFFFFFFFFu), t.Sin(8191));
}

TEST(FrequencyUnit, Conversions) {
  EXPECT_EQ(HzToUnits(1700.0), 5053);
  EXPECT_EQ(UnitsToBin(4800), 300);
  EXPECT_EQ(UnitsToBin(5305), 332);
  EXPECT_EQ(HzToUnits(170.0), 505);
  EXPECT_EQ(HzToBins(170.0), 32);
  EXPECT_NEAR(UnitsToHz(kMinToneUnits), 306.85, 0.01);
  EXPECT_NEAR(UnitsToHz(kMaxToneUnits), 3989.0, 0.1);
  EXPECT_EQ(HzToUnits(-170.0), -505);
  EXPECT_EQ(UnitsToBin(-505), -31);  // integer division rounds toward zero
}

// Values far outside the band (a stored tone, a plan made from one) saturate instead of
// reaching an undefined cast or an overflowing sum; NaN gives 0.
TEST(FrequencyUnit, OutOfRangeValuesSaturate) {
  EXPECT_EQ(HzToUnits(1e12), INT32_MAX);
  EXPECT_EQ(HzToUnits(-1e12), INT32_MIN);
  EXPECT_EQ(HzToUnits(std::nan("")), 0);
  EXPECT_EQ(HzToUnits(1700.0, 0.0), INT32_MAX);  // a rate of 0: infinity
  EXPECT_EQ(HzToBins(1e12), INT32_MAX);
  EXPECT_EQ(HzToBins(std::nan("")), 0);
  // 2^31 - 1 + 8 = 2^31 + 7, over 16: 2^27.
  EXPECT_EQ(UnitsToBin(INT32_MAX), 134217728);
  EXPECT_EQ(UnitsToBin(INT32_MIN), -134217727);
}

}  // namespace
}  // namespace vestrel
