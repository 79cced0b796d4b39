#include "engine/modes/dtmf/dtmf_decoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/mode_number.h"
#include "support/fake_engine_window.h"
#include "support/fake_rx_sink.h"
#include "support/fsk_signal.h"

namespace vestrel {
namespace {

constexpr double kRate = 11025.0;
const std::string kAllDigits = "123A456B789C*0#D";

size_t Samples(double ms) {
  return static_cast<size_t>(std::lround(ms * kRate / 1000.0));
}

// Low and high tone frequency of a digit character.
std::pair<double, double> TonesOf(char digit) {
  const std::string table = DtmfDigitTable;
  const size_t index = table.find(digit);
  EXPECT_NE(index, std::string::npos) << digit;
  return {TDtmfDecoder::kToneHz[(index - 1) % 4], TDtmfDecoder::kToneHz[(index - 1) / 4 + 4]};
}

struct DtmfOptions {
  double onMs = 70.0, offMs = 70.0;
  double amplitude = 6000.0;  // peak of the low tone
  double twistDb = 0.0;       // the high tone this much weaker
  double leadMs = 100.0, tailMs = 100.0;
  double noiseRms = 0.0;
  uint32_t seed = 1;
};

// Each digit as two sines from phase 0, silence between.
std::vector<float> Dtmf(const std::string& digits, const DtmfOptions& o) {
  std::vector<float> x(Samples(o.leadMs), 0.0f);
  for (char d : digits) {
    const auto [low, high] = TonesOf(d);
    const double highAmp = o.amplitude * std::pow(10.0, -o.twistDb / 20.0);
    for (size_t n = 0; n < Samples(o.onMs); ++n) {
      const double t = n / kRate;
      x.push_back(static_cast<float>(o.amplitude * std::sin(2 * std::numbers::pi * low * t) +
                                     highAmp * std::sin(2 * std::numbers::pi * high * t)));
    }
    x.resize(x.size() + Samples(o.offMs), 0.0f);
  }
  x.resize(x.size() + Samples(o.tailMs), 0.0f);
  if (o.noiseRms > 0.0) {
    std::mt19937 rng(o.seed);
    std::normal_distribution<double> noise(0.0, o.noiseRms);
    for (float& v : x) v = static_cast<float>(std::clamp(v + noise(rng), -32768.0, 32767.0));
  }
  return x;
}

class DtmfDecoderTest : public ::testing::Test {
 protected:
  DtmfDecoderTest() {
    engine->Start();
    engine->modeSwitch.SetMode(kModeDtmf);
  }

  // Through the block processor, as the program runs it: 2048 samples a block (the last block
  // filled up with silence).
  std::string Run(std::vector<float> x) {
    sink.text.clear();
    x.resize((x.size() + 2047) / 2048 * 2048, 0.0f);
    for (size_t at = 0; at < x.size(); at += 2048) engine->rxBlocks.ProcessInputBlock(&x[at]);
    return sink.text;
  }

  // Sample by sample; the sample index of each character printed.
  std::vector<size_t> ReleaseTimes(const std::vector<float>& x) {
    sink.text.clear();
    std::vector<size_t> at;
    for (size_t n = 0; n < x.size(); ++n) {
      engine->dtmf.ProcessSample(x[n]);
      if (sink.text.size() > at.size()) at.push_back(n);
    }
    return at;
  }

  test::FakeEngineWindow window;
  test::FakeRxSink sink;
  std::unique_ptr<TEngine> engine = std::make_unique<TEngine>(window, sink);
};

TEST_F(DtmfDecoderTest, ResetTunesTheEightDetectors) {
  const int32_t steps[] = {2072, 2289, 2532, 2797, 3593, 3971, 4390, 4854};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(engine->dtmf.ToneStep(i), steps[i]) << i;
  EXPECT_TRUE(engine->dtmf.Enabled());
  EXPECT_STREQ(DtmfDigitTable, " 147*2580369#ABCD");
}

// Every digit once, 70 ms tones and pauses, and the same at 40 ms, the usual minimum of
// telephone signalling: the detectors average 25 ms and a pause is seen 12.5 ms after they have
// emptied, so a pause of some 35 ms is what separates two equal digits.
TEST_F(DtmfDecoderTest, AllSixteenDigitsAt70And40Ms) {
  for (double ms : {70.0, 40.0}) {
    SCOPED_TRACE(ms);
    DtmfOptions o;
    o.onMs = o.offMs = ms;
    EXPECT_EQ(Run(Dtmf(kAllDigits + "1155##", o)), kAllDigits + "1155##");
  }
}

TEST_F(DtmfDecoderTest, ADigitHeldASecondPrintsOnce) {
  DtmfOptions o;
  o.onMs = 1000.0;
  o.offMs = 40.0;
  EXPECT_EQ(Run(Dtmf("77", o)), "77");
}

// Digital silence (an exact 0 on every detector) is no digit: seconds of it before, between and
// after digits print nothing, whatever order equal magnitudes take.
TEST_F(DtmfDecoderTest, DigitalSilencePrintsNothing) {
  DtmfOptions o;
  o.leadMs = 3000.0;
  o.offMs = 2000.0;
  o.tailMs = 3000.0;
  EXPECT_EQ(Run(Dtmf("5D", o)), "5D");
  EXPECT_EQ(Run(std::vector<float>(Samples(5000), 0.0f)), "");
}

// The high tone weaker by the twist: up to 6 dB a clear pair, released 12.5 ms after the pair
// stands out (before the detectors have filled); at 12 dB (the strongest over 3 times the
// second, under 6) a weak pair, which counts a tenth as fast: 125 ms of it release the digit,
// unless the "no digit" count, which a weak pair still raises by half as much, gets there
// first from where the silence and the detectors' filling left it; then 125 ms more. So a weak
// digit needs 125 to 250 ms; this one is 300 ms long. At 16 dB (over 6 times) the pair is a
// single tone and no digit.
TEST_F(DtmfDecoderTest, TwistTable) {
  struct Case {
    double twistDb, onMs;
    int minMs, maxMs;  // release after the tone starts; -1: no digit
  };
  const Case cases[] = {{0, 200, 10, 45}, {6, 200, 10, 45}, {12, 300, 125, 280}, {16, 200, -1, -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.twistDb);
    DtmfOptions o;
    o.onMs = c.onMs;
    o.twistDb = c.twistDb;
    engine->dtmf.Reset();
    const std::vector<size_t> at = ReleaseTimes(Dtmf("8", o));
    if (c.minMs < 0) {
      EXPECT_EQ(sink.text, "");
      continue;
    }
    ASSERT_EQ(sink.text, "8");
    const double ms = (at[0] - Samples(o.leadMs)) * 1000.0 / kRate;
    EXPECT_GE(ms, c.minMs);
    EXPECT_LE(ms, c.maxMs);
  }
}

TEST_F(DtmfDecoderTest, TwoLowTonesOrOneToneAloneAreNoDigit) {
  std::vector<float> x(Samples(100), 0.0f);
  for (size_t n = 0; n < Samples(500); ++n) {
    const double t = n / kRate;
    x.push_back(static_cast<float>(6000 * std::sin(2 * std::numbers::pi * 697 * t) +
                                   6000 * std::sin(2 * std::numbers::pi * 852 * t)));
  }
  x.resize(x.size() + Samples(200), 0.0f);
  for (size_t n = 0; n < Samples(500); ++n)
    x.push_back(static_cast<float>(6000 * std::sin(2 * std::numbers::pi * 1336 * n / kRate)));
  x.resize(x.size() + Samples(200), 0.0f);
  EXPECT_EQ(Run(x), "");
}

// With "SQL" down the strongest tone's spectrum bin must reach the squelch level (position 50:
// 0.036, where a tone of peak amplitude A on a bin reads A / 8192).
TEST_F(DtmfDecoderTest, TheSquelchKeepsWeakTonesOut) {
  engine->rxBlocks.IsSquelch = 1;
  engine->rxBlocks.SetSquelchPosition(50);
  DtmfOptions o;
  o.amplitude = 100.0;
  o.onMs = o.offMs = 300.0;  // the spectrum of a block of 186 ms must see the tones
  EXPECT_EQ(Run(Dtmf("123", o)), "");
  o.amplitude = 3000.0;
  EXPECT_EQ(Run(Dtmf("123", o)), "123");
  // Squelch off, the weak tones print; after a mode switch, which resets the decoder: the hold
  // of the strong digits' margin would keep them out for a second.
  engine->rxBlocks.IsSquelch = 0;
  engine->modeSwitch.SetMode(kModeDtmf);
  o.amplitude = 100.0;
  EXPECT_EQ(Run(Dtmf("123", o)), "123");
}

// Noise ladder: 64 digits (every digit four times, 70 ms tones and pauses, both tones of peak
// amplitude A = 1000) in white Gaussian noise at falling SNR in 3 kHz, taken on the pair's power
// A^2. A detector averages 275 samples, a noise bandwidth of 11025 / 275 = 40 Hz, so it sees a
// tone (A^2/2) 10 log10(3000 / 80) = 15.7 dB above the noise in it: at -3 dB SNR 12.7 dB, a
// tone 4.3 times the noise rms, and the largest noise of the six other detectors passes half
// of it (a pair's "B < 2 C") often enough to break up the 12.5 ms a release takes. The counts
// are of correct digits (64 less the edit distance; noise also drops and doubles digits); the
// audio is seeded, so each count is exact. The bounds allow 4 digits either way around the
// measured count: a count above its bound means the generator changed or the decoder improved;
// measure again and move the bounds on purpose.
TEST_F(DtmfDecoderTest, NoiseLadder) {
  std::string digits;
  for (int i = 0; i < 4; ++i) digits += kAllDigits;
  struct Rung {
    double snrDb;
    int low, high;
  };
  const Rung rungs[] = {
      {0, 60, 64},   // measured 64
      {-2, 51, 59},  // measured 55
      {-3, 33, 41},  // measured 37
      {-4, 23, 31},  // measured 27
  };
  for (const Rung& r : rungs) {
    DtmfOptions o;
    o.amplitude = 1000.0;
    // Noise power in 3 kHz = A^2 / SNR; over the whole band of 5512.5 Hz it is 5512.5 / 3000 more.
    o.noiseRms = std::sqrt(o.amplitude * o.amplitude / std::pow(10.0, r.snrDb / 10.0) * 5512.5 / 3000.0);
    o.seed = static_cast<uint32_t>(1100 - r.snrDb);
    engine->dtmf.Reset();
    const std::string got = Run(Dtmf(digits, o));
    const int correct = static_cast<int>(digits.size()) -
                        static_cast<int>(std::lround(test::CharacterErrorRate(digits, got) * digits.size()));
    std::printf("DTMF SNR %.0f dB: %d of 64\n", r.snrDb, correct);
    EXPECT_GE(correct, r.low) << r.snrDb;
    EXPECT_LE(correct, r.high) << r.snrDb;
  }
}

}  // namespace
}  // namespace vestrel
