#include "engine/modes/ps2x5/fsk2x5_decoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/mode_number.h"
#include "engine/modes/ps2x5/fsk2x5_transmitter.h"
#include "support/block_mode_signal.h"
#include "support/fake_engine_window.h"
#include "support/fake_rx_sink.h"
#include "support/fsk_signal.h"

namespace vestrel {
namespace {

const std::string kText = "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123456789 the quick brown fox";

// A receiving engine and a modulator of its own for the signals.
class Fsk2x5DecoderTest : public ::testing::Test {
 protected:
  // The transmission of `text` at `baud` with tones centreHz -/+ shift/2, synthesised at
  // `outRate` (off 11025 for a clock error), `corrupt` applied to the blocks' symbols.
  std::vector<int16_t> Signal(const std::string& text, double baud, double centreHz, int shift,
                              const test::BlockCorruption& corrupt = nullptr, double outRate = 11025.0,
                              int idleSymbols = 0) {
    TModemParams p;
    p.TxTone[0] = HzToUnits(centreHz - shift / 2.0, outRate);
    p.TxTone[1] = HzToUnits(centreHz + shift / 2.0, outRate);
    TSampleRates rates;
    rates.OutSamplingFreq = outRate;
    TFsk2x5Transmitter tx(engine->sine, p, rates);
    EXPECT_TRUE(tx.SetSpeed(baud));
    return test::ModulateBlocks(tx, text, corrupt, idleSymbols);
  }

  std::string Decode(const std::vector<int16_t>& signal, double baud, double centreHz = 1700, int shift = 50,
                     int filter = 0, const test::Channel& channel = {}) {
    sink.text.clear();
    engine = std::make_unique<TEngine>(window, sink);  // each signal from a fresh start
    if (squelchShut) {
      engine->rxBlocks.IsSquelch = 1;
      engine->rxBlocks.SquelchLevel = 1.0e9;
    }
    test::SetRxMode(*engine, kModePs2x5, baud, centreHz, shift, false, filter);
    test::Receive(*engine, test::ThroughChannel(signal, channel), baud);
    if (endOpenMessage) engine->Shutdown();
    return sink.text;
  }

  test::FakeEngineWindow window;
  test::FakeRxSink sink;
  std::unique_ptr<TEngine> engine = std::make_unique<TEngine>(window, sink);
  bool endOpenMessage = true;  // as at the program's shutdown, after the signal
  bool squelchShut = false;
};

TEST_F(Fsk2x5DecoderTest, StartIsFiftyBaudOptimalAround1700Hz) {
  TFsk2x5Decoder& rx = engine->ps2x5;
  EXPECT_FALSE(rx.Enabled());
  rx.Start();
  EXPECT_TRUE(rx.Enabled());
  EXPECT_EQ(rx.Speed(), 50);
  EXPECT_EQ(rx.ToneAStep(), HzToUnits(1675.0));
  EXPECT_EQ(rx.ToneBStep(), HzToUnits(1725.0));
  EXPECT_EQ(rx.AverageLength(), 221);  // 220.5 samples a bit, rounded and made odd
}

// The start-stop decoder's filter rows by speed; Optimal adds a moving average over one bit,
// made odd, at every speed.
TEST_F(Fsk2x5DecoderTest, FiltersBySpeedAndWidth) {
  TFsk2x5Decoder& rx = engine->ps2x5;
  struct Case {
    double baud;
    int width;
    int path;
    int average;
  };
  const Case cases[] = {
      {2, 0, 919, 5513},   {25, 0, 919, 441},  {50, 0, 919, 221},  {100, 0, 919, 111},
      {300, 0, 2756, 37},  {1200, 0, 11025, 9}, {25, 1, 919, 0},   {300, 1, 2756, 0},
      {1200, 1, 11025, 0}, {100, 2, 919, 0},   {200, 2, 2756, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.baud << " Bd width " << c.width);
    ASSERT_TRUE(rx.SetBaud(c.baud, c.width));
    EXPECT_EQ(rx.Speed(), static_cast<int>(c.baud));
    EXPECT_EQ(rx.PathRate(), c.path);
    EXPECT_EQ(rx.AverageLength(), c.average);
    EXPECT_DOUBLE_EQ(rx.SamplesPerBit(), 11025.0 / c.baud);
  }
  EXPECT_FALSE(rx.SetBaud(0.0, 0));
  EXPECT_FALSE(rx.SetBaud(std::nan(""), 0));
  EXPECT_EQ(rx.Speed(), 200);
}

TEST_F(Fsk2x5DecoderTest, CleanBlocksAtEverySpeedBand) {
  struct Case {
    double baud;
    int shift;
    int filter;
    std::string text;
  };
  const Case cases[] = {{25, 50, 0, kText},     {2, 50, 0, "2 Bd."},     {100, 200, 0, kText},
                        {50, 100, 1, kText},    {200, 200, 2, kText},    {300, 500, 0, kText},
                        {1200, 1000, 0, kText}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.baud << " Bd, " << c.shift << " Hz, width " << c.filter);
    const std::string got = Decode(Signal(c.text, c.baud, 1700, c.shift), c.baud, 1700, c.shift, c.filter);
    EXPECT_EQ(got, "\r\n" + c.text + "{ER=0.0%}");
  }
}

// The channel: a clock error of 0.1 % either way, the signal 4 Hz off, reversed tones (NRZI
// does not care), noise.
TEST_F(Fsk2x5DecoderTest, ClockErrorOffsetReverseAndNoise) {
  EXPECT_EQ(Decode(Signal(kText, 25, 1700, 50, nullptr, 11025 * 1.001), 25), "\r\n" + kText + "{ER=0.0%}");
  EXPECT_EQ(Decode(Signal(kText, 25, 1700, 50, nullptr, 11025 * 0.999), 25), "\r\n" + kText + "{ER=0.0%}");
  EXPECT_EQ(Decode(Signal(kText, 25, 1704, 50), 25), "\r\n" + kText + "{ER=0.0%}");
  EXPECT_EQ(Decode(Signal(kText, 100, 1700, -200), 100, 1700, 200), "\r\n" + kText + "{ER=0.0%}");
  test::Channel noisy;
  noisy.gain = 1000.0 / 32000.0;
  noisy.noiseRms = test::NoiseRmsFor(1000.0, 25, 12.0);
  EXPECT_EQ(test::TextOf(Decode(Signal(kText, 25, 1700, 50), 25, 1700, 50, 0, noisy)), kText);
}

// Symbols changed before synthesis: up to 8 a block are corrected and counted (11 of 11 x 31
// symbols: 3.2 %); 9 lose the block, which is marked, counted as 31 and names the file E.
TEST_F(Fsk2x5DecoderTest, CorruptedSymbolsAreCorrectedAndCounted) {
  auto corrupt = [](int index, BlockSymbols& s) {
    const int n = index == 1 ? 3 : index == 4 ? 8 : 0;
    for (int i = 0; i < n; ++i) s[3 * i + 1] ^= 0x15;
  };
  const std::string got = Decode(Signal(kText, 25, 1700, 50, corrupt), 25);
  EXPECT_EQ(test::TextOf(got), kText);
  const int blocks = static_cast<int>(kText.size() / 7 + 1);
  char rate[32];
  std::snprintf(rate, sizeof rate, "{ER=%.1f%%}", 11 * 100.0 / (31 * blocks));
  EXPECT_NE(got.find(rate), std::string::npos) << got;

  auto lose = [](int index, BlockSymbols& s) {
    if (index == 2)
      for (int i = 0; i < 9; ++i) s[3 * i] ^= 0x0B;
  };
  const std::string lost = Decode(Signal(kText, 25, 1700, 50, lose), 25);
  std::string expected = kText;
  expected.replace(14, 7, TBlockMessage::kLostMark);
  EXPECT_EQ(test::TextOf(lost), expected);
  std::snprintf(rate, sizeof rate, "{ER=%.1f%%}", 100.0 / blocks);
  EXPECT_NE(lost.find(rate), std::string::npos) << lost;
}

// Joining at the block with counter 3 (the twelfth) prints 11 marks first.
TEST_F(Fsk2x5DecoderTest, JoiningLatePrintsTheMissedBlocksAsLost) {
  std::string text;
  for (int i = 0; i < 13; ++i) text += "BLOCK" + std::to_string(10 + i);
  const std::vector<int16_t> whole = Signal(text, 100, 1700, 200);
  // The start is 2 + 111 + 12127 samples (2 + 1 bit, then whole idle symbols past 12000), a
  // block 155 bits of 110.25 samples.
  const size_t start = 2 + 111 + 22 * 551 + 5;
  const size_t cut = start + static_cast<size_t>(11 * 155 * 110.25) - 200;
  const std::vector<int16_t> late(whole.begin() + static_cast<long>(cut), whole.end());
  const std::string got = Decode(late, 100, 1700, 200);
  std::string marks;
  for (int i = 0; i < 11; ++i) marks += TBlockMessage::kLostMark;
  EXPECT_EQ(test::TextOf(got), marks + text.substr(77));
}

TEST_F(Fsk2x5DecoderTest, PanelsShowCounterErrorsAndTiming) {
  Decode(Signal("ABCDEFGHIJ", 25, 1700, 50), 25);
  EXPECT_EQ(window.panels[TFsk2x5Decoder::kDcdPanel], "n:9 e:0");
  EXPECT_EQ(window.panels[TFsk2x5Decoder::kTimingPanel].rfind("o:", 0), 0u);
}

TEST_F(Fsk2x5DecoderTest, ClosedSquelchPrintsNothing) {
  squelchShut = true;
  EXPECT_EQ(Decode(Signal(kText, 25, 1700, 50), 25), "");
  squelchShut = false;
  EXPECT_EQ(Decode(Signal(kText, 25, 1700, 50), 25), "\r\n" + kText + "{ER=0.0%}");
}

// A message whose end never comes: idle fill keeps it open; once nine blocks have gone by
// without a good one it ends with a lost block; a speed change ends it too.
TEST_F(Fsk2x5DecoderTest, MessagesWithoutTheirEnd) {
  auto dropEnd = [](int index, BlockSymbols& s) {
    if (index == 1) s.fill(0x1F);
  };
  std::vector<int16_t> signal = Signal("ABCDEFGHI", 100, 1700, 200, dropEnd, 11025, 200);
  endOpenMessage = false;
  EXPECT_EQ(Decode(signal, 100, 1700, 200), "\r\nABCDEFG");  // idle: still open
  EXPECT_TRUE(engine->ps2x5.Message().Open());
  // Noise after the signal: nine blocks later the message is closed.
  test::Channel noise;
  noise.gain = 0.0;
  noise.noiseRms = 3000;
  noise.leadSilence = 0;
  const std::vector<int16_t> hiss = test::ThroughChannel(std::vector<int16_t>(11 * 155 * 111, 0), noise);
  engine->rxBlocks.PushCaptured(std::span<const int16_t>(hiss));
  EXPECT_FALSE(engine->ps2x5.Message().Open());
  EXPECT_EQ(sink.text, "\r\nABCDEFG_______{ER=50.0%}");

  Decode(Signal("ABCDEFGHI", 100, 1700, 200, dropEnd), 100, 1700, 200);
  EXPECT_TRUE(engine->ps2x5.Message().Open());
  engine->ps2x5.SetBaud(50, 0);
  EXPECT_EQ(test::RatesOf(sink.text), std::vector<double>{0.0});
}

// Noise ladder at 25 Bd (Eb/N0 = SNR in 3 kHz + 20.8 dB; Eb of the NRZI channel bits). 70
// characters (11 blocks) under four seeds of noise per rung. Theory for non-coherent binary
// FSK gives a bit error rate of exp(-Eb/2N0)/2: 0.0034 at 10 dB, 0.0092 at 8, 0.015 at 7; an
// NRZI error hits two bits and most of them one 5-bit symbol, so some 1.7, 4.6 and 7.5 % of
// the symbols, plus what the timing adds. The code corrects 8 symbols of 31, so blocks
// survive down to about 8 dB and then are lost quickly (7 characters and 31 error symbols
// each); "{ER=}" follows the symbol error rate and jumps with each lost block.
// Measured (characters right of 280; ER averaged over the seeds): 10 dB 280, 1.50 %; 9 dB 280,
// 4.62 %; 8 dB 280, 10.65 %; 7 dB 217, 35.90 %. Bounds allow about 4 % of the characters and a
// quarter of the rate either way, so both a decoder that got worse and a changed generator
// show.
TEST_F(Fsk2x5DecoderTest, NoiseLadderAt25Baud) {
  std::string text;
  for (int i = 0; i < 4; ++i) text += "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123";
  text.resize(70);
  const std::vector<int16_t> signal = Signal(text, 25, 1700, 50);
  const test::RungBounds rungs[] = {
      {10.0, 269, 280, 1.1, 2.0},
      {9.0, 269, 280, 3.5, 5.8},
      {8.0, 269, 280, 8.0, 13.3},
      {7.0, 206, 228, 26.9, 44.9},
  };
  test::ClimbLadder("PS2X5 25 Bd", text, 25.0, 4, rungs,
                    [&](const test::Channel& c) { return Decode(signal, 25, 1700, 50, 0, c); });
}

}  // namespace
}  // namespace vestrel
