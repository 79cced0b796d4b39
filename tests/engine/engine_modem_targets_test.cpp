#include "engine/engine_modem_targets.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine/engine.h"
#include "support/fake_engine_window.h"
#include "support/fake_rx_sink.h"
#include "support/recording_modem_targets.h"

namespace vestrel {
namespace {

// MFSK16: 16 tones 15.625 Hz apart span 234.375 Hz = 696.6 units; MFSK8: 31 x 7.8125 =
// 242.1875 Hz = 719.8 units. From the 1000 Hz base (2972 units) the plan rounds each tone.
TEST(PlanMfskTones, SpansBothModes) {
  const auto m16 = PlanMfskTones(2972, 0, 11025.0);
  EXPECT_EQ(m16.firstStep, 2972);
  EXPECT_EQ(m16.lastStep, HzToUnits(2972 * 11025.0 / 32768 + 234.375));
  EXPECT_NEAR(m16.lastStep - m16.firstStep, 697, 1);
  EXPECT_EQ(m16.firstBin, HzToBins(2972 * 11025.0 / 32768));
  const auto m8 = PlanMfskTones(2972, 1, 11025.0);
  EXPECT_NEAR(m8.lastStep - m8.firstStep, 720, 1);
}

// Step 4 is 6.25 Bd, below 10 Bd, so the tones are 12.5 Hz apart: centre -/+ 200 Hz.
TEST(PlanPs33x5Band, WidensBelowTenBaud) {
  const auto b4 = PlanPs33x5Band(4, 1500.0);
  EXPECT_DOUBLE_EQ(b4.lowerHz, 1300.0);
  EXPECT_DOUBLE_EQ(b4.upperHz, 1700.0);
  const auto b16 = PlanPs33x5Band(16, 1500.0);  // 25 Bd, spacing 25 Hz
  EXPECT_DOUBLE_EQ(b16.upperHz - b16.lowerHz, 800.0);
}

TEST(EngineModemTargets, MfskTransmitPlanUsesOutputRate) {
  test::FakeEngineWindow window;
  test::FakeRxSink sink;
  TEngine engine(window, sink);
  engine.OutSamplingFreq = 11100.0;
  engine.modemTargets.MfskTxSetMode(1);
  const auto plan = engine.modemTargets.MfskTxSetTones(2972);
  EXPECT_EQ(plan.lastStep, HzToUnits(2972 * 11100.0 / 32768 + 242.1875, 11100.0));

  // An output rate that is no sample rate (an unset or broken calibration) plans at the nominal
  // 11025, as the mode switch computes the transmit shift, instead of casting NaN to a tone.
  const auto nominal = PlanMfskTones(2972, 1, 11025.0);
  for (double rate : {0.0, -11025.0, std::nan(""), 1e300}) {
    SCOPED_TRACE(rate);
    engine.OutSamplingFreq = rate;
    const auto bad = engine.modemTargets.MfskTxSetTones(2972);
    EXPECT_EQ(bad.firstStep, nominal.firstStep);
    EXPECT_EQ(bad.lastStep, nominal.lastStep);
    EXPECT_EQ(bad.firstBin, nominal.firstBin);
    EXPECT_EQ(bad.lastBin, nominal.lastBin);
  }

  test::RecordingModemTargets fake;
  fake.StartStopSetBaud(45.45, 1);
  EXPECT_TRUE(fake.Has("StartStopSetBaud 45.45 1"));
}

}  // namespace
}  // namespace vestrel
