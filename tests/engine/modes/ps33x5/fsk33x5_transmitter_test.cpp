#include "engine/modes/ps33x5/fsk33x5_transmitter.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/frequency_unit.h"
#include "engine/modes/mfsk/mfsk_code.h"
#include "engine/tx_symbol_queue.h"
#include "support/tone_reference.h"

namespace vestrel {
namespace {

class Fsk33x5TransmitterTest : public ::testing::Test {
 protected:
  std::vector<int16_t> Encode(int code) {
    std::vector<int16_t> out(tx.MaxSymbolSamples());
    out.resize(tx.EncodeSymbol(code, out.data()));
    return out;
  }
  SineTable sine;
  TModemParams params;
  TFsk33x5Transmitter tx{sine, params};
};

// Step 4 is 6.25 Bd: 1764 samples a symbol at 11025, tones 12.5 Hz apart, centre -/+ 200 Hz.
TEST_F(Fsk33x5TransmitterTest, SpeedSpacingAndTones) {
  EXPECT_FALSE(tx.Enabled());
  ASSERT_TRUE(tx.SetSpeed(4, 1500.0, 11025.0));
  EXPECT_TRUE(tx.Enabled());
  EXPECT_DOUBLE_EQ(tx.Speed(), 6.25);
  EXPECT_DOUBLE_EQ(tx.SpacingHz(), 12.5);
  EXPECT_EQ(tx.SymbolLengthMilli(), 1764000);
  EXPECT_EQ(tx.ToneStep(0), HzToUnits(1300.0));
  EXPECT_EQ(tx.ToneStep(16), HzToUnits(1500.0));
  EXPECT_EQ(tx.ToneStep(32), HzToUnits(1700.0));
  EXPECT_DOUBLE_EQ(tx.BandLowerHz(), 1300.0);
  EXPECT_DOUBLE_EQ(tx.BandUpperHz(), 1700.0);
  struct Case {
    int step;
    double spacing;
    int64_t symbol;
  };
  for (const Case c : {Case{1, 3.125, 7056000}, Case{2, 6.25, 3528000}, Case{8, 12.5, 882000},
                       Case{16, 25.0, 441000}, Case{32, 50.0, 220500}}) {
    ASSERT_TRUE(tx.SetSpeed(c.step, 1500.0, 11025.0));
    EXPECT_DOUBLE_EQ(tx.SpacingHz(), c.spacing) << c.step;
    EXPECT_EQ(tx.SymbolLengthMilli(), c.symbol) << c.step;
  }
  // Only the steps of the Speed menu: anything else keeps the step.
  for (int bad : {0, 3, 5, 7, 64}) EXPECT_FALSE(tx.SetSpeed(bad, 1500.0, 11025.0)) << bad;
  EXPECT_EQ(tx.Step(), 32);
  tx.SetCentre(1000.0);
  EXPECT_EQ(tx.ToneStep(0), HzToUnits(1000.0 - 800.0));
}

// From the start (tone 32, the rise on tone 0), symbol 0 steps one place per symbol and wraps
// from tone 32 to tone 0, each symbol 1764 samples of its tone with continuous phase.
TEST_F(Fsk33x5TransmitterTest, SymbolZeroClimbsOneToneAndWraps) {
  ASSERT_TRUE(tx.SetSpeed(4, 1500.0, 11025.0));
  const std::vector<int16_t> start = Encode(kTxPreamble);
  EXPECT_EQ(start.size(), 2u + 1764u + 6u * 1764u);  // one second reached after 6 symbols
  EXPECT_EQ(tx.CurrentTone(), 6 - 1);
  uint32_t phase = 0;
  test::ToneRuns(sine, {{tx.ToneStep(0), 1764}}, phase);
  for (int t = 0; t <= 5; ++t) test::ToneRuns(sine, {{tx.ToneStep(t), 1764}}, phase);
  std::vector<int> tones;
  for (int i = 0; i < 30; ++i) {
    const std::vector<int16_t> s = Encode(0);
    const int t = tx.CurrentTone();
    tones.push_back(t);
    ASSERT_EQ(s, test::ToneRuns(sine, {{tx.ToneStep(t), 1764}}, phase)) << i;
  }
  EXPECT_EQ(tones[26], 32);
  EXPECT_EQ(tones[27], 0);
  EXPECT_EQ(tones[28], 1);
}

// A symbol v moves MfskGrayInverse[v] + 1 places: downward under Reverse.
TEST_F(Fsk33x5TransmitterTest, StepsAreTheInverseGrayCodePlusOneAndReverseGoesDown) {
  ASSERT_TRUE(tx.SetSpeed(16, 1500.0, 11025.0));
  Encode(kTxPreamble);
  for (int v = 0; v < 32; ++v) {
    const int before = tx.CurrentTone();
    Encode(v);
    EXPECT_EQ(tx.CurrentTone(), (before + MfskGrayInverse[v] + 1) % 33) << v;
  }
  params.Reverse = 1;
  // From tone 1, the start's 24 idle symbols (441 samples each after 443, up to one second)
  // step down: the first onto tone 0, where the rise sounded.
  EXPECT_EQ(Encode(kTxPreamble).size(), 443u + 24u * 441u);
  EXPECT_EQ(tx.CurrentTone(), (1 - 24 + 33) % 33);
  for (int v = 0; v < 32; ++v) {
    const int before = tx.CurrentTone();
    Encode(v);
    EXPECT_EQ(tx.CurrentTone(), (before - MfskGrayInverse[v] - 1 + 66) % 33) << v;
  }
}

// The start and end pieces: at step 1 the start is 2 + 7056 + 7056 = 14114 samples at 11025;
// the end one symbol (past 2000), the fall and 2 zeros.
TEST_F(Fsk33x5TransmitterTest, StartAndEndPieces) {
  ASSERT_TRUE(tx.SetSpeed(1, 1500.0, 11025.0));
  EXPECT_EQ(Encode(kTxPreamble).size(), 14114u);
  const std::vector<int16_t> end = Encode(kTxEnd);
  EXPECT_EQ(end.size(), 7056u + 7056u + 2u);
  EXPECT_EQ(end.back(), 0);
  EXPECT_EQ(Encode(kTxLtrs).size(), 7056u);
  EXPECT_TRUE(Encode(-2).empty());
  ASSERT_TRUE(tx.SetSpeed(1, 1500.0, 48000.0));
  EXPECT_LE(Encode(kTxPreamble).size(), tx.MaxSymbolSamples());
  EXPECT_LE(Encode(kTxEnd).size(), tx.MaxSymbolSamples());
}

}  // namespace
}  // namespace vestrel
