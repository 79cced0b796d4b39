#include "engine/modes/ps33x5/ifsk33_decoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/dsp/fft.h"
#include "engine/engine.h"
#include "engine/mode_number.h"
#include "engine/modes/ps33x5/fsk33x5_transmitter.h"
#include "support/block_mode_signal.h"
#include "support/fake_engine_window.h"
#include "support/fake_rx_sink.h"
#include "support/fsk_signal.h"

namespace vestrel {
namespace {

const std::string kText = "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123456789";

class Ifsk33DecoderTest : public ::testing::Test {
 protected:
  // The transmission of `text` at speed step `step` around centreHz, synthesised at outRate.
  std::vector<int16_t> Signal(const std::string& text, int step, double centreHz, bool reverse = false,
                              const test::BlockCorruption& corrupt = nullptr, double outRate = 11025.0) {
    TModemParams p;
    p.Reverse = reverse ? 1 : 0;
    TFsk33x5Transmitter tx(engine->sine, p);
    EXPECT_TRUE(tx.SetSpeed(step, centreHz, outRate));
    return test::ModulateBlocks(tx, text, corrupt);
  }

  std::string Decode(const std::vector<int16_t>& signal, int step, double centreHz = 1500.0, bool reverse = false,
                     const test::Channel& channel = {}) {
    sink.text.clear();
    engine = std::make_unique<TEngine>(window, sink);  // each signal from a fresh start
    const double baud = 1.5625 * step;
    test::SetRxMode(*engine, kModePs33x5, baud, centreHz, 50, reverse);
    test::Receive(*engine, test::ThroughChannel(signal, channel), baud);
    engine->Shutdown();
    return sink.text;
  }

  test::FakeEngineWindow window;
  test::FakeRxSink sink;
  std::unique_ptr<TEngine> engine = std::make_unique<TEngine>(window, sink);
  TIfsk33Decoder& rx() { return engine->ps33x5; }
};

// W = 8192 / step samples at 12800/s, N = 2W (4W from step 8), one tone place 4 bins; at step 4
// a hop is 2048 / 11 = 186.2 samples.
TEST_F(Ifsk33DecoderTest, WindowTransformSpacingAndHopByStep) {
  EXPECT_FALSE(rx().Enabled());
  rx().Start();
  EXPECT_TRUE(rx().Enabled());
  struct Case {
    int step, window, fft;
    double spacing;
    int64_t hop;
  };
  const Case cases[] = {
      {1, 8192, 16384, 3.125, 744727}, {2, 4096, 8192, 6.25, 372364},  {4, 2048, 4096, 12.5, 186182},
      {8, 1024, 4096, 12.5, 93091},    {16, 512, 2048, 25.0, 46545},   {32, 256, 1024, 50.0, 23273},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.step);
    ASSERT_TRUE(rx().SetStep(c.step, 1500.0));
    EXPECT_EQ(rx().Window(), c.window);
    EXPECT_EQ(rx().FftSize(), c.fft);
    EXPECT_DOUBLE_EQ(rx().SpacingHz(), c.spacing);
    EXPECT_EQ(rx().HopLengthMilli(), c.hop);
    EXPECT_EQ(rx().BinsPerPlace(), 4);
    EXPECT_DOUBLE_EQ(rx().BandLowerHz(), 1500.0 - 16 * c.spacing);
  }
  // Only the Speed menu's steps; others keep the step.
  EXPECT_FALSE(rx().SetStep(7, 1500.0));
  EXPECT_FALSE(rx().SetSpeed(7 * 1.5625, 0));
  EXPECT_FALSE(rx().SetSpeed(std::nan(""), 0));
  EXPECT_EQ(rx().Step(), 32);
}

// Step 4 around 1500 Hz: the search band 1500 -/+ 345 Hz as bins of 3.125 Hz; kept within
// 2 .. N/2 - 4 near the ends of the spectrum.
TEST_F(Ifsk33DecoderTest, SearchBandInBins) {
  ASSERT_TRUE(rx().SetStep(4, 1500.0));
  EXPECT_EQ(rx().FirstSearchBin(), 370);  // 1155 Hz: 369.6
  EXPECT_EQ(rx().LastSearchBin(), 590);   // 1845 Hz: 590.4
  rx().SetCentre(100.0);
  EXPECT_EQ(rx().FirstSearchBin(), 2);
  rx().SetCentre(6300.0);
  EXPECT_EQ(rx().LastSearchBin(), 2048 - 4);
  // The tone pair of the mode switch gives the centre.
  rx().SetTones(HzToUnits(1300.0), HzToUnits(1700.0));
  EXPECT_NEAR(rx().CentreHz(), 1500.0, 0.2);
}

// A tone between two bins is placed between them; the margin is its lead over the strongest
// bin more than one tone place away.
TEST_F(Ifsk33DecoderTest, HopPlacesTheStrongestToneBetweenBins) {
  ASSERT_TRUE(rx().SetStep(4, 1500.0));
  const double hz = 1500.0 + 3.125 * 0.3;  // 0.3 of a bin above bin 480
  for (int i = 0; i < 4096; ++i) rx().ProcessSample(8000.0 * std::sin(2 * M_PI * hz * i / 12800.0));
  EXPECT_NEAR(rx().LastPosition(), 480.3, 0.2);
  EXPECT_GT(rx().LastMargin(), 0.0);
}

TEST_F(Ifsk33DecoderTest, CleanBlocksAtEveryStep) {
  for (int step : {1, 2, 4, 8, 16, 32}) {
    SCOPED_TRACE(step);
    const std::string text = step < 4 ? "STEP " + std::to_string(step) : kText;
    EXPECT_EQ(Decode(Signal(text, step, 1500.0), step), "\r\n" + text + "{ER=0.0%}");
  }
}

// The steps carry the symbols, not the tones: the whole signal moved within the search band
// decodes alike; so do a clock error of 0.1 % either way and Reverse on both sides.
TEST_F(Ifsk33DecoderTest, ShiftClockErrorAndReverse) {
  const std::string clean = "\r\n" + kText + "{ER=0.0%}";
  EXPECT_EQ(Decode(Signal(kText, 4, 1600.0), 4, 1500.0), clean);
  EXPECT_EQ(Decode(Signal(kText, 4, 1390.0), 4, 1500.0), clean);
  EXPECT_EQ(Decode(Signal(kText, 16, 1500.0 + 77.7), 16, 1500.0), clean);
  EXPECT_EQ(Decode(Signal(kText, 4, 1500.0, false, nullptr, 11025.0 * 1.001), 4), clean);
  EXPECT_EQ(Decode(Signal(kText, 4, 1500.0, false, nullptr, 11025.0 * 0.999), 4), clean);
  EXPECT_EQ(Decode(Signal(kText, 8, 1500.0, true), 8, 1500.0, true), clean);
  // Reversed on one side only, the steps read backwards: nothing passes the check.
  EXPECT_EQ(test::TextOf(Decode(Signal(kText, 8, 1500.0, true), 8)), "");
}

TEST_F(Ifsk33DecoderTest, CorruptedSymbolsAreCorrectedAndCounted) {
  // A changed symbol moves every later tone, but the receiver reads steps: one symbol each.
  auto corrupt = [](int index, BlockSymbols& s) {
    const int n = index == 0 ? 8 : index == 3 ? 2 : 0;
    for (int i = 0; i < n; ++i) s[2 + 3 * i] ^= 0x11;
  };
  const std::string got = Decode(Signal(kText, 16, 1500.0, false, corrupt), 16);
  EXPECT_EQ(test::TextOf(got), kText);
  const int blocks = static_cast<int>(kText.size() / 7 + 1);
  char rate[32];
  std::snprintf(rate, sizeof rate, "{ER=%.1f%%}", 10 * 100.0 / (31 * blocks));
  EXPECT_NE(got.find(rate), std::string::npos) << got;
}

// A steady tone has no steps: blocks of symbol 0, the idle fill, which keep an open message
// open; noise does not, and ends it after nine blocks' time.
TEST_F(Ifsk33DecoderTest, ASteadyToneIsIdleFill) {
  test::SetRxMode(*engine, kModePs33x5, 25.0, 1500.0, 50, false);
  BlockContent first;
  first.kind = BlockContent::kData;
  first.counter = 8;
  first.bytes = {'S', 'T', 'E', 'A', 'D', 'Y', '.'};
  first.length = 7;
  rx().Message().Output(first, 0);
  std::vector<int16_t> tone(11025 * 40);  // 40 s: 1000 symbols at 25 Bd, 32 blocks
  for (size_t i = 0; i < tone.size(); ++i) tone[i] = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 1510 * i / 11025.0));
  engine->rxBlocks.PushCaptured(std::span<const int16_t>(tone));
  EXPECT_TRUE(rx().Message().Open());
  EXPECT_LT(rx().Message().BitsSinceGood(), 31);
  EXPECT_EQ(sink.text, "\r\nSTEADY.");
  test::Channel hiss;
  hiss.gain = 0.0;
  hiss.noiseRms = 4000;
  hiss.leadSilence = 0;
  engine->rxBlocks.PushCaptured(std::span<const int16_t>(test::ThroughChannel(tone, hiss)));
  EXPECT_FALSE(rx().Message().Open());
  EXPECT_EQ(sink.text, "\r\nSTEADY._______{ER=50.0%}");
}

// Noise ladder at step 4 (6.25 Bd, 5 bits a symbol: Eb/N0 = SNR in 3 kHz + 19.8 dB). A symbol
// is one of 32 steps between two tones, each found by a transform over one symbol's window:
// non-coherent 32-ary FSK, whose tone error rate is about 15.5 exp(-Es/2N0) (Es = 5 Eb), 0.07 %
// at 6 dB and 0.6 % at 4 dB, doubled as each tone serves two steps; the windows of the hops
// that straddle a tone change and the wander of the symbol clock add to that. 56 characters
// (9 blocks), four seeds of noise per rung. The code corrects 8 symbols of 31; a block past
// that is lost with its 7 characters and counts 31 error symbols.
// Measured (characters right of 224; ER averaged over the seeds): 8 dB 224, 0.00 %; 6 dB 224,
// 0.80 %; 5 dB 224, 5.62 %; 4 dB 217, 13.70 %. Bounds allow about 4 % of the characters and a
// quarter of the rate (at least half a point) either way.
TEST_F(Ifsk33DecoderTest, NoiseLadderAtStep4) {
  std::string text = kText + "XY";
  const std::vector<int16_t> signal = Signal(text, 4, 1500.0);
  const test::RungBounds rungs[] = {
      {8.0, 224, 224, 0.0, 0.5},
      {6.0, 215, 224, 0.3, 1.3},
      {5.0, 215, 224, 4.2, 7.0},
      {4.0, 208, 224, 10.3, 17.1},
  };
  test::ClimbLadder("PS33X5 step 4", text, 6.25 * 5, 4, rungs,
                    [&](const test::Channel& c) { return Decode(signal, 4, 1500.0, false, c); });
}

}  // namespace
}  // namespace vestrel
