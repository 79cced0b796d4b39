#include "engine/rx_block_processor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "engine/dsp/fft.h"
#include "engine/engine.h"
#include "engine/frequency_unit.h"
#include "support/fake_engine_window.h"
#include "support/fake_rx_sink.h"
#include "support/recording_modes.h"

namespace vestrel {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kN = TRxBlockProcessor::kBlockSize;

class RxBlockProcessorTest : public ::testing::Test {
 protected:
  RxBlockProcessorTest() { rx.SetAfc(&afc); }

  test::FakeEngineWindow window;
  TModemParams params;
  test::RecordingModes modes;
  test::RecordingAfc afc{modes.log};
  TRxBlockProcessor rx{params, window, modes.registry};
  SpectrumArrays& s = rx.Spectrum;
  std::vector<std::string>& calls = modes.log.calls;
  std::vector<float>& startStopSamples = modes.Receiver(RxFamily::kStartStop).samples;

  // A cosine of amplitude `a` at bin `bin` of the 2048-point transform.
  static std::vector<float> Tone(double a, int bin) {
    std::vector<float> v(kN);
    for (int j = 0; j < kN; ++j) v[j] = static_cast<float>(a * std::cos(2 * kPi * bin * j / kN));
    return v;
  }
  void Run(const std::vector<float>& block, int times = 1) {
    for (int i = 0; i < times; ++i) rx.ProcessInputBlock(block.data());
  }
};

// Silence: every magnitude is 0, so each block the averages fall to a third and the peaks by
// 0.95; bins outside 55..743 are left alone.
TEST_F(RxBlockProcessorTest, SilenceDecaysAveragesAndPeaks) {
  s.SpectrumAvg.fill(0.9f);
  s.SpectrumPeak.fill(0.8f);
  const std::vector<float> silence(kN, 0.0f);
  Run(silence);
  EXPECT_FLOAT_EQ(s.SpectrumAvg[55], 0.3f);
  EXPECT_FLOAT_EQ(s.SpectrumAvg[743], 0.3f);
  // 0.3 is below the decayed 0.76, so the peak only decays.
  EXPECT_FLOAT_EQ(s.SpectrumPeak[400], 0.76f);
  EXPECT_EQ(s.SpectrumAvg[54], 0.9f);
  EXPECT_EQ(s.SpectrumAvg[744], 0.9f);
  EXPECT_EQ(s.SpectrumPeak[54], 0.8f);
  Run(silence, 9);
  EXPECT_NEAR(s.SpectrumAvg[300], 0.9 * std::pow(1.0 / 3, 10), 1e-8);
  EXPECT_NEAR(s.SpectrumPeak[300], 0.8 * std::pow(0.95, 10), 1e-6);
}

// A tone of amplitude A at bin k transforms to A N / 2 = 1024 A; times 2^-23 that is A / 8192.
// The average approaches it as (2 m + avg) / 3: the gap shrinks by 3 each block, under 1e-6
// relative after 13 blocks. The peak follows the average.
TEST_F(RxBlockProcessorTest, BinCentredToneSettlesToAOver8192) {
  for (double a : {100.0, 8192.0, 32000.0}) {
    s.SpectrumAvg.fill(0.0f);
    s.SpectrumPeak.fill(0.0f);
    Run(Tone(a, 316), 15);
    EXPECT_NEAR(s.SpectrumAvg[316], a / 8192, a / 8192 * 2e-5) << a;
    EXPECT_NEAR(s.SpectrumPeak[316], a / 8192, a / 8192 * 2e-5) << a;
    EXPECT_LT(s.SpectrumAvg[300], a / 8192 * 1e-4);  // no leakage at a bin centre
  }
}

// A block with an infinite sample (a damaged float WAV file) overflows the float transform.
// Such bins count as silence: an infinite average would stay infinite for ever, since it only
// ever shrinks by a third, and the display, squelch and AFC would never recover.
TEST_F(RxBlockProcessorTest, NonFiniteBlockLeavesTheSpectrumFinite) {
  for (float bad : {std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                    std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::max()}) {
    SCOPED_TRACE(bad);
    s.SpectrumAvg.fill(0.3f);
    s.SpectrumPeak.fill(0.6f);
    std::vector<float> block = Tone(1000.0, 316);
    block[100] = bad;
    block[101] = bad;
    Run(block);
    for (int k = SpectrumArrays::kFirstBin; k <= SpectrumArrays::kLastBin; ++k) {
      ASSERT_TRUE(std::isfinite(s.SpectrumAvg[k])) << k;
      ASSERT_TRUE(std::isfinite(s.SpectrumPeak[k])) << k;
    }
    Run(std::vector<float>(kN, 0.0f), 20);
    EXPECT_LT(s.SpectrumAvg[316], 1e-6);
    EXPECT_LT(s.SpectrumPeak[316], 0.6 * std::pow(0.95, 20) + 1e-6);
  }
}

// Every maintained bin follows the formula to the last bit, computed here one bin at a time in
// the plain way: random blocks (a few samples infinite), with and without the freeze.
TEST_F(RxBlockProcessorTest, SpectrumUpdateIsTheFormulaToTheBit) {
  std::vector<float> block(kN);
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<float>(static_cast<int32_t>(seed) >> 16);
  };
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE(round);
    for (float& x : block) x = next() * (round % 3 == 0 ? 0.001f : 1.0f);
    if (round == 7) block[5] = std::numeric_limits<float>::infinity();
    rx.SpectrumFreeze = round % 4 == 1 ? 1 : 0;
    const SpectrumArrays before = s;
    std::vector<float> re(kN), im(kN);
    ASSERT_EQ(RealFft(kN, block.data(), re.data(), im.data()), 1);
    Run(block);
    for (int k = SpectrumArrays::kFirstBin; k <= SpectrumArrays::kLastBin; ++k) {
      float peak = static_cast<float>(before.SpectrumPeak[k] * 0.95);
      const double r = re[k] * 1.1920929e-7f;
      const double i = im[k] * 1.1920929e-7f;
      const double p = r * r + i * i;
      const double mag = p > 1e-12 && std::isfinite(p) ? std::sqrt(p) : 0.0;
      const float avg = static_cast<float>((2.0 * mag + before.SpectrumAvg[k]) / 3.0);
      if (round % 4 != 1 && avg > peak) peak = avg;
      ASSERT_TRUE(s.SpectrumRe[k] == re[k] || (std::isnan(s.SpectrumRe[k]) && std::isnan(re[k]))) << k;
      ASSERT_EQ(s.SpectrumAvg[k], avg) << k;
      ASSERT_EQ(s.SpectrumPeak[k], peak) << k;
    }
  }
}

TEST_F(RxBlockProcessorTest, FreezeOnlyDecaysThePeaks) {
  const std::vector<float> tone = Tone(8192.0, 200);
  s.SpectrumPeak[200] = 0.5f;
  rx.SpectrumFreeze = 2;
  Run(tone);
  EXPECT_EQ(rx.SpectrumFreeze, 1);
  EXPECT_FLOAT_EQ(s.SpectrumPeak[200], 0.475f);  // the average (2/3) would have raised it
  EXPECT_NEAR(s.SpectrumAvg[200], 2.0 / 3.0, 1e-5);
  Run(tone);
  EXPECT_EQ(rx.SpectrumFreeze, 0);
  EXPECT_FLOAT_EQ(s.SpectrumPeak[200], 0.45125f);
  Run(tone);
  EXPECT_EQ(s.SpectrumPeak[200], s.SpectrumAvg[200]);  // thawed: the peak takes the average
}

TEST_F(RxBlockProcessorTest, SpectrumPostSkippedUnderBacklog) {
  const std::vector<float> silence(kN, 0.0f);
  struct Case {
    int waiting, feedMode, posts;
  } cases[] = {{0, 0, 1}, {2, 0, 1}, {3, 0, 0}, {7, 0, 0}, {3, 1, 1}, {5, 1, 1}, {3, 2, 0}};
  for (const Case& c : cases) {
    window.posts.clear();
    startStopSamples.clear();
    rx.CaptureBuffersWaiting = c.waiting;
    rx.FeedMode = c.feedMode;
    Run(silence);
    EXPECT_EQ(window.PostCount(WM_SPECTRUM_READY), c.posts) << c.waiting << " " << c.feedMode;
    EXPECT_EQ(startStopSamples.size(), static_cast<size_t>(kN));  // the samples are never dropped
  }
}

// Samples pushed one at a time are handed on in blocks of 2048, all of them, in order.
TEST_F(RxBlockProcessorTest, OnInputSampleGathersBlocks) {
  for (int i = 0; i < 3 * kN + 100; ++i) rx.OnInputSample(i * 0.5);
  ASSERT_EQ(startStopSamples.size(), static_cast<size_t>(3 * kN));
  for (int i = 0; i < 3 * kN; ++i) ASSERT_EQ(startStopSamples[i], static_cast<float>(i * 0.5)) << i;
  EXPECT_EQ(calls, (std::vector<std::string>{"StartStop Block 1", "StartStop Block 1", "StartStop Block 1"}));
  // Through the input converter at 44100 samples/s: every fourth sample reaches a block.
  startStopSamples.clear();
  ASSERT_TRUE(rx.InputResampler.Setup(44100.0, 11025.0));
  std::vector<int16_t> captured(4 * kN);
  for (size_t i = 0; i < captured.size(); ++i) captured[i] = static_cast<int16_t>(i % 4 == 3 ? 1000 : 0);
  rx.PushCaptured(std::span<const int16_t>(captured));
  // 100 samples were already waiting: the block completes 1948 converted samples later.
  ASSERT_EQ(startStopSamples.size(), static_cast<size_t>(kN));
  EXPECT_EQ(startStopSamples[150], 1000.0f);
}

// The mode table walked by behaviour: every number 0..22, which receiver its blocks reach,
// with which AFC pass, and the squelch decision with the tones above and below the level; the
// numbers that name no mode run as mode 0. The expectations are those the block processor had
// before the table (one switch per question), not read from the table. Lower tone at bin 300,
// upper at 332; SquelchLevel 0.1. BPSK and QPSK reach the one PSK receiver, which takes its
// path from the row (quadrature), checked in ModeTableTest.
TEST_F(RxBlockProcessorTest, DispatchAfcAndSquelchPerMode) {
  struct Case {
    int mode;
    const char* afc;  // with the AFC on, joined by ","
    const char* receiver;
    bool flag;  // the squelch can close
  } cases[] = {
      {0, "Afc FskSeparate,SyncTxFrequencyToRx", "StartStop", true},
      {1, "Afc Psk,SyncTxFrequencyToRx", "Psk", true},
      {2, "Afc FskSeparate,SyncTxFrequencyToRx", "StartStop", true},
      {3, "Afc Psk,SyncTxFrequencyToRx", "Psk", true},
      {4, "Afc FskSeparate,SyncTxFrequencyToRx", "StartStop", true},
      {5, "Afc Psk,SyncTxFrequencyToRx", "Psk", true},
      {6, "Afc Fsk,SyncTxFrequencyToRx", "AmtorFec", true},
      {7, "Afc Psk,SyncTxFrequencyToRx", "Psk", true},
      {8, "Afc Fsk,SyncTxFrequencyToRx", "Packet", true},
      {9, "Afc Psk,SyncTxFrequencyToRx", "Psk", true},
      {10, "Afc Fsk,SyncTxFrequencyToRx", "Packet", true},
      {11, "", "Dtmf", false},
      {12, "Afc Mfsk,SyncTxFrequencyToRx", "Mfsk", true},
      {13, "Afc FskSeparate,SyncTxFrequencyToRx", "StartStop", true},
      {14, "Afc Fsk", "AmtorArq", true},
      {15, "Afc FskSeparate,SyncTxFrequencyToRx", "StartStop", true},
      {16, "Afc Mfsk,SyncTxFrequencyToRx", "Mfsk", true},
      {17, "Afc FskSeparate,SyncTxFrequencyToRx", "StartStop", true},
      {18, "Afc Fsk", "Pactor", true},
      {19, "Afc FskSeparate,SyncTxFrequencyToRx", "StartStop", true},
      {20, "Afc FskSeparate,SyncTxFrequencyToRx", "Ps2x5", true},
      {21, "Afc FskSeparate,SyncTxFrequencyToRx", "StartStop", true},
      {22, "Afc Ps33x5,SyncTxFrequencyToRx", "Ps33x5", false},
  };
  static_assert(sizeof cases / sizeof cases[0] == kModeCount, "every mode number");
  params.RxToneBin[0] = 300;
  params.RxToneBin[1] = 332;
  rx.SquelchLevel = 0.1;
  const std::vector<float> silence(kN, 0.0f);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    params.Mode = c.mode;
    auto run = [&](int afcOn, int squelch, float peakLo, float peakHi) {
      rx.AfcOn = afcOn;
      rx.IsSquelch = squelch;
      calls.clear();
      s.SpectrumPeak.fill(0.0f);
      s.SpectrumAvg.fill(0.0f);
      // Set after the decay of this block: peaks of silence decay by 0.95, averages to 1/3.
      s.SpectrumPeak[300] = peakLo / 0.95f;
      s.SpectrumPeak[332] = peakHi / 0.95f;
      s.SpectrumAvg[300] = peakLo * 3.0f;
      s.SpectrumAvg[332] = peakHi * 3.0f;
      Run(silence);
      std::string joined;
      for (const std::string& call : calls) joined += (joined.empty() ? "" : ",") + call;
      return joined;
    };
    const std::string open = std::string(c.receiver) + " Block 1";
    const std::string shut = c.flag ? std::string(c.receiver) + " Block 0" : open;
    const std::string afc = c.afc;
    EXPECT_EQ(run(1, 0, 0, 0), afc.empty() ? open : afc + "," + open);
    EXPECT_EQ(run(0, 0, 0, 0), open);                           // squelch off: always open
    EXPECT_EQ(run(0, 1, 0.05f, 0.05f), shut);                   // both tones below the level
    EXPECT_EQ(run(0, 1, 0.2f, 0.0f), open);                     // lower tone above
    const bool upperCounts = std::string(c.receiver) != "Psk";  // PSK looks at its one tone only
    EXPECT_EQ(run(0, 1, 0.0f, 0.2f), upperCounts || !c.flag ? open : shut);
  }
}

// Without an AFC no pass runs; without a receiver for the family (a mode not built yet) the
// block only updates the spectrum.
TEST_F(RxBlockProcessorTest, MissingAfcOrReceiverIsSkipped) {
  ModeRegistry empty;
  TRxBlockProcessor alone{params, window, empty};
  alone.AfcOn = 1;
  alone.ProcessInputBlock(Tone(1000.0, 316).data());
  EXPECT_TRUE(calls.empty());
  EXPECT_GT(alone.Spectrum.SpectrumAvg[316], 0.0f);
  EXPECT_EQ(window.PostCount(WM_SPECTRUM_READY), 1);
}

// The start-stop modes and PS2X5 search both tones as one pair when the signal is fast (99 Bd
// and up) or narrow (shift below 24 Hz), else each tone on its own; both edges exactly.
TEST_F(RxBlockProcessorTest, FskAfcChoosesPairOrSeparateSearch) {
  struct Case {
    double baud;
    int shift;
    const char* afc;
  } cases[] = {{45.0, 170, "Afc FskSeparate"},
               {98.99, 170, "Afc FskSeparate"},
               {99.0, 170, "Afc Fsk"},
               {300.0, 850, "Afc Fsk"},
               {45.0, 23, "Afc Fsk"},
               {45.0, 24, "Afc FskSeparate"},
               {2.0, 4, "Afc Fsk"}};
  const std::vector<float> silence(kN, 0.0f);
  rx.AfcOn = 1;
  for (int mode : {0, 2, 4, 20}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::to_string(mode) + " " + std::to_string(c.baud) + " " + std::to_string(c.shift));
      params.Mode = mode;
      params.Baud = c.baud;
      params.ShiftHz = c.shift;
      calls.clear();
      Run(silence);
      ASSERT_EQ(calls.size(), 3u);
      EXPECT_EQ(calls[0], c.afc);
      EXPECT_EQ(calls[1], "SyncTxFrequencyToRx");
    }
  }
}

TEST_F(RxBlockProcessorTest, SquelchDetails) {
  params.RxToneBin[0] = 300;
  params.RxToneBin[1] = 340;
  rx.IsSquelch = 1;
  rx.SquelchLevel = 0.1;
  auto squelchOf = [this](int32_t mode) { return rx.SquelchOpen(ModeRowOf(mode).squelch); };
  // MFSK: any bin between the first and the last tone.
  s.SpectrumPeak[320] = 0.2f;
  EXPECT_TRUE(squelchOf(kModeMfsk16));
  EXPECT_FALSE(squelchOf(kModeRtty));
  // Packet reads the smoothed array, not the peaks.
  s.SpectrumPeak[300] = 0.2f;
  EXPECT_FALSE(squelchOf(kModeAx25Hf));
  s.SpectrumAvg[340] = 0.2f;
  EXPECT_TRUE(squelchOf(kModeAx25Uhf));
  // PSK: any bin of the signal's band, half the rate either side of the carrier (the idle's
  // energy lies there, none on the carrier): 3 bins at 31.25 Bd, 12 at 125 Bd.
  s.SpectrumPeak.fill(0.0f);
  EXPECT_EQ(TRxBlockProcessor::PskSquelchBins(31.25), 3);
  EXPECT_EQ(TRxBlockProcessor::PskSquelchBins(62.5), 6);
  EXPECT_EQ(TRxBlockProcessor::PskSquelchBins(125.0), 12);
  auto pskOpen = [&](int32_t mode) {
    return rx.SquelchOpen(ModeRowOf(mode).squelch, ModeRowOf(mode).symbolRate);
  };
  s.SpectrumPeak[297] = 0.2f;
  EXPECT_TRUE(pskOpen(kModeBpsk31));
  s.SpectrumPeak[297] = 0.0f;
  s.SpectrumPeak[296] = 0.2f;
  EXPECT_FALSE(pskOpen(kModeBpsk31));
  EXPECT_TRUE(pskOpen(kModeBpsk63));
  s.SpectrumPeak[296] = 0.0f;
  s.SpectrumPeak[312] = 0.2f;
  EXPECT_TRUE(pskOpen(kModeBpsk125));
  EXPECT_FALSE(pskOpen(kModeQpsk63));
  // PS33X5 is always open.
  s.SpectrumPeak.fill(0.0f);
  EXPECT_TRUE(squelchOf(kModePs33x5));
  // Tone bins out of the arrays (a bad settings file) are kept inside them.
  params.RxToneBin[0] = -5;
  params.RxToneBin[1] = 99999;
  EXPECT_FALSE(squelchOf(kModeMfsk8));
  EXPECT_FALSE(squelchOf(kModeRtty));

  // The 100 steps span 8.058 nepers, just under 70 dB below 2 (0.7 dB a step): position 50 is
  // 2 exp(-4.029009) = 0.0355839, position 0 is 2 exp(-8.058018) = 0.00063311.
  EXPECT_NEAR(TRxBlockProcessor::SquelchLevelAt(50), 0.0355839, 1e-7);
  EXPECT_NEAR(TRxBlockProcessor::SquelchLevelAt(0), 0.00063311, 1e-8);
  EXPECT_DOUBLE_EQ(TRxBlockProcessor::SquelchLevelAt(100), 2.0);
  EXPECT_DOUBLE_EQ(TRxBlockProcessor::SquelchLevelAt(150), 2.0);
  EXPECT_DOUBLE_EQ(TRxBlockProcessor::SquelchLevelAt(-3), TRxBlockProcessor::SquelchLevelAt(0));
  rx.SetSquelchPosition(50);
  EXPECT_NEAR(rx.SquelchLevel, 0.0355839, 1e-7);
}

// A 1700 Hz tone captured at 48000 samples/s comes out of the input converter at 11025 and
// peaks in bin 1700 / (11025 / 2048) = 315.8, i.e. 316. Off the bin centre by 0.2 bin the
// transform loses at most sinc(0.2) = 0.94 (plus the converter's linear-interpolation droop,
// 0.5 % at 1700 Hz against 48 kHz), so the average settles above 0.9 x A / 8192.
TEST_F(RxBlockProcessorTest, CapturedToneThroughTheConverterPeaksAtItsBin) {
  ASSERT_TRUE(rx.InputResampler.Setup(48000.0, 11025.0));
  const double a = 10000.0;
  std::vector<int16_t> captured(48000 * 3);
  for (size_t i = 0; i < captured.size(); ++i)
    captured[i] = static_cast<int16_t>(std::lround(a * std::sin(2 * kPi * 1700.0 * i / 48000.0)));
  rx.PushCaptured(std::span<const int16_t>(captured));
  ASSERT_GE(startStopSamples.size(), static_cast<size_t>(15 * kN));
  int best = SpectrumArrays::kFirstBin;
  for (int k = SpectrumArrays::kFirstBin; k <= SpectrumArrays::kLastBin; ++k)
    if (s.SpectrumAvg[k] > s.SpectrumAvg[best]) best = k;
  EXPECT_EQ(best, 316);
  EXPECT_GT(s.SpectrumAvg[316], 0.9 * a / 8192);
  EXPECT_LT(s.SpectrumAvg[316], 1.0 * a / 8192);
}

// A mode change reaches the next block; an unknown stored mode runs as RTTY.
TEST_F(RxBlockProcessorTest, ModeIsReadPerBlock) {
  const std::vector<float> silence(kN, 0.0f);
  params.Mode = 18;
  Run(silence);
  params.Mode = 13;
  Run(silence);
  EXPECT_EQ(calls, (std::vector<std::string>{"Pactor Block 1", "StartStop Block 1"}));
}

// The engine runs every mode: those without a receiver yet only update the spectrum.
TEST(RxBlockProcessorEngine, RunsEveryModeOnTheEngine) {
  test::FakeEngineWindow window;
  test::FakeRxSink sink;
  TEngine engine(window, sink);
  engine.rxBlocks.AfcOn = 1;
  engine.rxBlocks.IsSquelch = 1;
  const std::vector<float> tone = [] {
    std::vector<float> v(kN);
    for (int j = 0; j < kN; ++j) v[j] = static_cast<float>(1000 * std::sin(j * 0.9));
    return v;
  }();
  for (int mode = 0; mode < kModeCount; ++mode) {
    engine.modeSwitch.SetMode(mode);
    engine.rxBlocks.ProcessInputBlock(tone.data());
  }
  engine.rxBlocks.ProcessInputBlock(nullptr);  // ignored
  EXPECT_EQ(window.PostCount(WM_SPECTRUM_READY), kModeCount);
}

}  // namespace
}  // namespace vestrel
