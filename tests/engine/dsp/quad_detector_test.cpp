#include "engine/dsp/quad_detector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "engine/frequency_unit.h"

namespace vestrel {
namespace {

double Tone(double amplitude, int32_t step, int n, double phase = 0.3) {
  return amplitude * std::sin(2.0 * std::numbers::pi * step * n / 32768.0 + phase);
}

TEST(TQuadDetector, SilenceIsExactlyZero) {
  SineTable sine;
  TQuadDetector d(sine);
  ASSERT_TRUE(d.SetLength(100));
  d.SetStep(HzToUnits(697.0));
  for (int n = 0; n < 500; ++n) ASSERT_EQ(d.Step(0.0), 0.0);
  // After a tone, N samples of silence bring both averages back to exactly 0.
  for (int n = 0; n < 20000; ++n) d.Step(Tone(20000.0, d.StepUnits(), n));
  for (int n = 0; n < 100; ++n) d.Step(0.0);
  EXPECT_EQ(d.Step(0.0), 0.0);
  EXPECT_EQ(d.I(), 0.0);
  EXPECT_EQ(d.Q(), 0.0);
}

// A tone of amplitude A on the detector's step, averaged over whole cycles, gives A / 2 at any
// starting phase. Step 512 has a period of 64 samples, so N = 640 is ten cycles; the table's
// rounding to 1/32000 leaves an error below 1e-4 of A.
TEST(TQuadDetector, ToneOnItsFrequencyGivesHalfItsAmplitude) {
  SineTable sine;
  for (double phase : {0.0, 1.0, 2.5}) {
    TQuadDetector d(sine);
    ASSERT_TRUE(d.SetLength(640));
    d.SetStep(512);
    double m = 0.0;
    for (int n = 1; n <= 2000; ++n) m = d.Step(Tone(1000.0, 512, n, phase));
    EXPECT_NEAR(m, 500.0, 0.1) << phase;
  }
  // A tone 20 cycles per window away averages out.
  TQuadDetector d(sine);
  ASSERT_TRUE(d.SetLength(640));
  d.SetStep(512);
  double m = 0.0;
  for (int n = 1; n <= 2000; ++n) m = d.Step(Tone(1000.0, 512 + 1024, n));
  EXPECT_LT(m, 0.1);
}

TEST(TQuadDetector, BadSettingsAreRefused) {
  SineTable sine;
  TQuadDetector d(sine);
  EXPECT_EQ(d.Step(100.0), 0.0);  // no length yet
  ASSERT_TRUE(d.SetLength(10));
  EXPECT_FALSE(d.SetLength(0));
  ASSERT_TRUE(d.SetFrequency(1209.0));
  EXPECT_EQ(d.StepUnits(), 3593);  // floor(3593.4 + 0.5)
  EXPECT_FALSE(d.SetFrequency(-1.0));
  EXPECT_FALSE(d.SetFrequency(6000.0));
  EXPECT_FALSE(d.SetFrequency(std::nan("")));
  EXPECT_EQ(d.StepUnits(), 3593);
  TQuadDetector unbound;  // held in arrays before the table is given
  ASSERT_TRUE(unbound.SetLength(10));
  EXPECT_EQ(unbound.Step(100.0), 0.0);
  unbound.SetTable(sine);
  unbound.SetStep(0);
  EXPECT_GT(unbound.Step(100.0), 0.0);
}

}  // namespace
}  // namespace vestrel
