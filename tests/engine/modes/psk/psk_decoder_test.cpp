#include "engine/modes/psk/psk_decoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "engine/engine.h"
#include "engine/frequency_unit.h"
#include "engine/mode_number.h"
#include "engine/modes/psk/psk_tx_shaper.h"
#include "engine/tone_synth.h"
#include "support/fake_engine_window.h"
#include "support/fake_rx_sink.h"
#include "support/fsk_signal.h"
#include "support/psk_signal.h"

namespace vestrel {
namespace {

using test::PskSignalOptions;

std::string AllBytes() {
  std::string text;
  for (int c = 1; c < 256; ++c) text.push_back(static_cast<char>(c));
  return text;
}

// A window that keeps every text of the DCD panel.
class DcdLog : public test::FakeEngineWindow {
 public:
  void SetPanelText(int panel, std::string_view text) override {
    FakeEngineWindow::SetPanelText(panel, text);
    if (panel == 9) dcd.emplace_back(text);
  }
  std::vector<std::string> dcd;
};

struct ModeCase {
  const char* name;
  int32_t mode;
  int rateCode;
  double baud;
  bool qpsk;
};
const ModeCase kModes[] = {
    {"BPSK31", kModeBpsk31, 31, 31.25, false},    {"BPSK63", kModeBpsk63, 63, 62.5, false},
    {"BPSK125", kModeBpsk125, 125, 125.0, false}, {"QPSK31", kModeQpsk31, 31, 31.25, true},
    {"QPSK63", kModeQpsk63, 63, 62.5, true},
};

class PskDecoderTest : public ::testing::Test {
 protected:
  PskDecoderTest() { decoder.Start(); }

  void Tune(const ModeCase& m, double toneHz) {
    ASSERT_EQ(decoder.SetRate(m.rateCode), m.rateCode);
    ASSERT_TRUE(decoder.SetStep(HzToUnits(toneHz)));
  }

  std::string Run(const std::vector<float>& samples, bool qpsk) {
    sink.text.clear();
    if (qpsk)
      decoder.ProcessQpskBlock(samples);
    else
      decoder.ProcessBpskBlock(samples);
    return sink.text;
  }

  std::string Receive(const ModeCase& m, const std::vector<float>& samples, double toneHz = 1000.0) {
    Tune(m, toneHz);
    return Run(samples, m.qpsk);
  }

  SineTable sine;
  TModemParams params;
  DcdLog window;
  test::FakeRxSink sink;
  TPskDecoder decoder{sine, params, window, sink};
};

PskSignalOptions SignalFor(const ModeCase& m) {
  PskSignalOptions o;
  o.baud = m.baud;
  o.qpsk = m.qpsk;
  return o;
}

// Every byte but NUL (which no varicode receiver shows) in every mode, from the textbook
// signal.
TEST_F(PskDecoderTest, CleanSignalsDecodeEveryByte) {
  const std::string text = AllBytes();
  for (const ModeCase& m : kModes) {
    SCOPED_TRACE(m.name);
    EXPECT_TRUE(test::FramedByKeyNoise(Receive(m, test::MakePskSignal(text, SignalFor(m))), text));
  }
}

// Without AFC the differential detector takes a frequency offset as a rotation per symbol of
// 360 x offset / baud degrees. A BPSK decision has 90 degrees to spare, a QPSK one 45; the
// receiver holds 60 and 30, either way, with the sender's clock 0.1 % fast or slow.
TEST_F(PskDecoderTest, FrequencyOffsetAndClockError) {
  const std::string text = "CQ CQ de VESTREL: the quick brown fox jumps over the lazy dog 0123456789 !?";
  for (const ModeCase& m : kModes) {
    const double degrees = m.qpsk ? 30.0 : 60.0;
    const double offsetHz = degrees / 360.0 * m.baud;
    for (double sign : {1.0, -1.0}) {
      for (double clock : {0.001, -0.001}) {
        SCOPED_TRACE(testing::Message() << m.name << " offset " << sign * offsetHz << " Hz clock " << clock);
        PskSignalOptions o = SignalFor(m);
        o.offsetHz = sign * offsetHz;
        o.clockError = clock;
        EXPECT_TRUE(test::FramedByKeyNoise(Receive(m, test::MakePskSignal(text, o)), text));
      }
    }
  }
}

// A steady carrier is endless one bits: the register runs full of ones and wraps, and no
// character ever comes out.
TEST_F(PskDecoderTest, SteadyCarrierPrintsNothing) {
  for (const ModeCase& m : kModes) {
    SCOPED_TRACE(m.name);
    PskSignalOptions o = SignalFor(m);
    // 2000 symbols of unchanged phase; cut before the carrier falls.
    std::vector<float> s = test::MakePskStepSignal(std::vector<int>(2000, 0), o);
    s.resize(s.size() - static_cast<size_t>(o.silenceSeconds * 11025 + 2 * 11025 / m.baud));
    EXPECT_EQ(Receive(m, s), "");
    EXPECT_EQ(decoder.VaricodeReg, 0xFFFFFFFFu);
    EXPECT_GT(decoder.Decisions, 1900u);
  }
}

// Digital silence (a file's padding, a muted card) holds no phase: QPSK reads it as the idle's
// half turns, as BPSK reads it as zero bits, and neither prints anything, even after a signal.
TEST_F(PskDecoderTest, DigitalSilencePrintsNothing) {
  const std::vector<float> silence(10 * 11025, 0.0f);
  for (const ModeCase& m : kModes) {
    SCOPED_TRACE(m.name);
    EXPECT_EQ(Receive(m, silence), "");
    PskSignalOptions o = SignalFor(m);
    o.silenceSeconds = 0.0;
    Run(test::MakePskSignal("abc", o), m.qpsk);
    EXPECT_LE(Run(silence, m.qpsk).size(), 2u);  // at most the key-down noise
    EXPECT_EQ(Run(silence, m.qpsk), "");
  }
}

// The QPSK receiver takes the other sideband's signal (every step turning the other way) with
// Reverse on, and only then; BPSK has no sense of rotation and decodes either way.
TEST_F(PskDecoderTest, ReverseTurnsQpskStepsBack) {
  const std::string text = "RYRYRY reverse sideband test 73";
  for (const ModeCase& m : kModes) {
    SCOPED_TRACE(m.name);
    PskSignalOptions o = SignalFor(m);
    o.otherSideband = true;
    const std::vector<float> s = test::MakePskSignal(text, o);
    params.Reverse = 1;
    EXPECT_TRUE(test::FramedByKeyNoise(Receive(m, s), text));
    params.Reverse = 0;
    const std::string normal = Receive(m, s);
    if (m.qpsk) {
      EXPECT_GT(test::CharacterErrorRateWithin(text, normal), 0.5) << normal;
    } else {
      EXPECT_TRUE(test::FramedByKeyNoise(normal, text));
    }
  }
}

// DCD: blank after SetRate, never lit by silence, lit once the clock sits on the signal's
// energy peak, blank again once the closed squelch has fed the clock ten symbols of nothing.
TEST_F(PskDecoderTest, DcdFollowsTheSymbolClock) {
  const ModeCase& m = kModes[0];
  Tune(m, 1000.0);
  ASSERT_FALSE(window.dcd.empty());
  EXPECT_EQ(window.dcd.back(), " ");
  EXPECT_EQ(decoder.Locked, 0);
  const size_t texts = window.dcd.size();
  Run(std::vector<float>(3 * 11025, 0.0f), false);
  EXPECT_EQ(window.dcd.size(), texts);

  PskSignalOptions o = SignalFor(m);
  o.silenceSeconds = 0.0;
  std::vector<float> s = test::MakePskSignal(std::string(40, 'e'), o);
  const size_t half = s.size() / 2;
  Run(std::vector<float>(s.begin(), s.begin() + static_cast<ptrdiff_t>(half)), false);
  EXPECT_EQ(decoder.Locked, 1);
  EXPECT_EQ(window.dcd.back(), "*");

  decoder.SquelchOpen = 0;
  const size_t twelveSymbols = static_cast<size_t>(12 * decoder.SamplesPerSymbol);
  Run(std::vector<float>(s.begin() + static_cast<ptrdiff_t>(half),
                         s.begin() + static_cast<ptrdiff_t>(half + twelveSymbols)),
      false);
  EXPECT_EQ(decoder.Locked, 0);
  EXPECT_EQ(window.dcd.back(), " ");

  // A new rate blanks it at once.
  decoder.SquelchOpen = 1;
  Run(std::vector<float>(s.begin() + static_cast<ptrdiff_t>(half + twelveSymbols), s.end()), false);
  EXPECT_EQ(window.dcd.back(), "*");
  decoder.SetRate(63);
  EXPECT_EQ(window.dcd.back(), " ");
  EXPECT_EQ(decoder.Locked, 0);
}

// With the squelch closed the receiver still runs but passes no character.
TEST_F(PskDecoderTest, ClosedSquelchPassesNothing) {
  const std::string text = "nothing of this may show";
  for (const ModeCase& m : kModes) {
    SCOPED_TRACE(m.name);
    decoder.SquelchOpen = 0;
    EXPECT_EQ(Receive(m, test::MakePskSignal(text, SignalFor(m))), "");
    EXPECT_EQ(decoder.Locked, 0);
    EXPECT_GT(decoder.Decisions, 0u);
    decoder.SquelchOpen = 1;
  }
}

// The timing is set whether the receiver is enabled or not: started the program's way it runs
// at 31.25 Bd and a block of samples comes back.
TEST_F(PskDecoderTest, RateIsSetWhileDisabledAndStartRunsAt31Baud) {
  TPskDecoder fresh{sine, params, window, sink};
  EXPECT_EQ(fresh.Enabled, 0);
  EXPECT_EQ(fresh.SetRate(125), 125);
  EXPECT_DOUBLE_EQ(fresh.SamplesPerSymbol, 88.2);
  EXPECT_EQ(fresh.SymbolLag, 88);
  EXPECT_DOUBLE_EQ(fresh.SubStep, 88.2 / 22);
  EXPECT_EQ(fresh.SetRate(63), 63);
  EXPECT_EQ(fresh.SymbolLag, 176);
  fresh.Start();
  EXPECT_EQ(fresh.Enabled, 1);
  EXPECT_EQ(fresh.RateCode(), 31);
  EXPECT_EQ(fresh.SymbolLag, 353);
  EXPECT_DOUBLE_EQ(fresh.SubStep, 352.8 / 22);
  EXPECT_EQ(fresh.Step(), 6539);
  const std::vector<float> block(2048, 1000.0f);
  fresh.ProcessBpskBlock(block);
  EXPECT_GT(fresh.Decisions, 0u);
  // Disabled, it takes nothing.
  fresh.Enabled = 0;
  const uint32_t decisions = fresh.Decisions;
  fresh.ProcessQpskBlock(block);
  EXPECT_EQ(fresh.Decisions, decisions);
}

// The tuning displays get a level every 61 samples: BPSK the signed detector (negative at a
// reversal), QPSK the pair's size.
TEST_F(PskDecoderTest, LevelEverySixtyOneSamples) {
  LevelRing levels;
  int32_t index = 0;
  TPskDecoder withLevels{sine, params, window, sink, levels, index};
  withLevels.Start();
  withLevels.SetStep(HzToUnits(1000.0));
  const std::vector<float> s = test::MakePskSignal("eeee", SignalFor(kModes[0]));
  withLevels.ProcessBpskBlock(s);
  EXPECT_EQ(index, static_cast<int32_t>((s.size() / 61) & LevelRing::kMask));
  int negative = 0, positive = 0;
  for (double v : levels.Levels) {
    negative += v < 0.0;
    positive += v > 0.0;
  }
  EXPECT_GT(negative, 0);
  EXPECT_GT(positive, 0);
  levels.Levels.fill(0.0);
  withLevels.SetRate(31);
  withLevels.ProcessQpskBlock(s);
  for (double v : levels.Levels) EXPECT_GE(v, 0.0);
}

// The phase scope gets every decided pair: on the BPSK idle each points opposite the one
// before, on a steady carrier the same way, and all sit on the carrier's circle.
TEST_F(PskDecoderTest, PhaseScopeGetsEveryDecision) {
  const ModeCase& m = kModes[2];
  PskSignalOptions o = SignalFor(m);
  o.leadSymbols = 300;
  std::vector<int> steps(300, 2);
  steps.resize(600, 0);
  std::vector<float> s = test::MakePskStepSignal(steps, o);
  Tune(m, o.toneHz);
  const size_t idleEnd = static_cast<size_t>(o.silenceSeconds * 11025 + 290 * 88.2);
  Run(std::vector<float>(s.begin(), s.begin() + static_cast<ptrdiff_t>(idleEnd)), false);
  ASSERT_GT(decoder.Decisions, TPskDecoder::kScopeSize);
  const auto point = [&](uint32_t back) {
    return decoder.Scope[(decoder.Decisions - 1 - back) & TPskDecoder::kScopeMask];
  };
  EXPECT_EQ(decoder.LastDecided().I, point(0).I);
  const double radius = std::hypot(point(0).I, point(0).Q);
  for (uint32_t k = 0; k + 1 < TPskDecoder::kScopeSize; ++k) {
    EXPECT_LT(point(k).I * point(k + 1).I + point(k).Q * point(k + 1).Q, 0.0) << k;
    EXPECT_NEAR(std::hypot(point(k).I, point(k).Q), radius, 0.05 * radius) << k;
  }
  const size_t steadyEnd = static_cast<size_t>(o.silenceSeconds * 11025 + 580 * 88.2);
  Run(std::vector<float>(s.begin() + static_cast<ptrdiff_t>(idleEnd),
                         s.begin() + static_cast<ptrdiff_t>(steadyEnd)),
      false);
  for (uint32_t k = 0; k + 1 < TPskDecoder::kScopeSize; ++k)
    EXPECT_GT(point(k).I * point(k + 1).I + point(k).Q * point(k + 1).Q, 0.0) << k;
}

// --- Our transmitter into our receiver, through a channel ---

// A whole transmission of our own transmitter at 11025 samples/s: the preamble, two idles, the
// text, an idle and the tail, scaled by `scale`, synthesised on toneHz at outRate samples/s.
std::vector<float> OurTransmission(const ModeCase& m, const std::string& text, double toneHz, double outRate,
                                   float scale) {
  SineTable sine;
  TModemParams p;
  p.Mode = m.mode;
  p.TxTone[0] = p.TxTone[1] = HzToUnits(toneHz, outRate);
  TSampleRates rates;
  rates.OutSamplingFreq = outRate;
  TToneSynth synth(sine, p);
  TPskTxShaper shaper(sine, p, rates);
  shaper.SetPskRate(m.rateCode);
  synth.SetPskShaper(&shaper);
  std::vector<int16_t> buffer(synth.MaxSymbolSamples());
  std::vector<float> out;
  uint32_t phase = 0;
  auto add = [&](uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) out.push_back(buffer[i] * scale);
  };
  auto character = [&](int c) {
    add(m.qpsk ? synth.SynthQpskChar(c, buffer.data(), phase) : synth.SynthBpskChar(c, buffer.data(), phase));
  };
  add(synth.WriteTxPreamble(buffer.data(), phase));
  character(-1);
  character(-1);
  for (char c : text) character(static_cast<uint8_t>(c));
  character(-1);
  add(synth.WriteTxTail(buffer.data(), phase));
  out.resize(out.size() + 11025, 0.0f);
  return out;
}

TEST_F(PskDecoderTest, OurTransmitterRoundTripsEveryByte) {
  const std::string text = AllBytes();
  for (const ModeCase& m : kModes) {
    for (double rate : {11025.0, 11025.0 * 1.001, 11025.0 * 0.999}) {
      SCOPED_TRACE(testing::Message() << m.name << " synthesised for " << rate << " samples/s");
      // The tone is set for the calibrated rate; read at 11025 it is 0.1 % off, as the symbols.
      EXPECT_TRUE(test::FramedByKeyNoise(Receive(m, OurTransmission(m, text, 1000.0, rate, 0.25f)), text));
    }
  }
}

// The noise ladder. White Gaussian noise on our own transmission, with the tone 1 Hz off and
// the sender's clock 0.1 % fast. Eb is the keyed signal's power over the bit rate (QPSK carries
// one data bit per symbol); the noise has N0/2 per Hz over the 5512.5 Hz of the sample rate, so
// sigma^2 = P x 11025 / (2 baud Eb/N0). (SNR in 3 kHz = Eb/N0 - 10 log10(3000 / baud).)
//
// The text is 300 characters of letters, digits and spaces, 8.5 varicode bits a character with
// the separators. Each bit error costs at least one character, so the character error rate is
// at least 1 - (1 - BER)^8.5.
// - BPSK: differential detection errs in 0.5 exp(-Eb/N0) of the bits. At 4 dB that is 0.041,
//   so at least 30 % of the characters must be hit; the test asks for 20 %. At 9 dB it is
//   1.8e-4 (0.15 % of characters); the receiver's filters are not quite matched and lose some
//   2 dB, which puts it near theory's 7 dB: BER 3.3e-3, 2.8 % of characters; allowed 6 %. At
//   11 dB (theory's 9 dB then) allowed 1 %.
// - QPSK: the hard-decision Viterbi code (constraint 5, free distance 7) gains at most 3 dB
//   over differential BPSK, and differential QPSK gives some back. At 4 dB it cannot beat
//   differential BPSK at 7 dB: BER 3.3e-3, 2.8 % of characters; the test asks for 1.5 %. At
//   9 dB allowed 8 %, at 11 dB 1 %.
struct Rung {
  double ebN0Db;
  double low, high;  // bounds of the character error rate
};

TEST_F(PskDecoderTest, NoiseLadder) {
  std::mt19937 textRng(2024);
  const std::string alphabet = "abcdefghijklmnopqrstuvwxyz ETAOIN 0123456789";
  std::string text;
  for (int i = 0; i < 300; ++i) text.push_back(alphabet[textRng() % alphabet.size()]);
  double bits = 0;
  for (char c : text) bits += static_cast<double>(test::VaricodeBits(std::string(1, c)).size());
  ASSERT_NEAR(bits / text.size(), 8.5, 0.1);

  struct Ladder {
    const ModeCase* mode;
    std::vector<Rung> rungs;
  };
  // Measured character error rates at 4, 7, 9, 11 dB: BPSK31 .53 .09 .010 0, BPSK63 .50 .11 .013 0,
  // BPSK125 .47 .05 0 0, QPSK31 .73 .22 .013 0, QPSK63 .67 .13 .003 0.
  const Ladder ladders[] = {
      {&kModes[0], {{4, 0.20, 0.80}, {7, 0.0, 0.30}, {9, 0.0, 0.06}, {11, 0.0, 0.01}}},
      {&kModes[1], {{4, 0.20, 0.80}, {7, 0.0, 0.30}, {9, 0.0, 0.06}, {11, 0.0, 0.01}}},
      {&kModes[2], {{4, 0.20, 0.80}, {7, 0.0, 0.30}, {9, 0.0, 0.06}, {11, 0.0, 0.01}}},
      {&kModes[3], {{4, 0.015, 0.95}, {7, 0.0, 0.40}, {9, 0.0, 0.08}, {11, 0.0, 0.01}}},
      {&kModes[4], {{4, 0.015, 0.95}, {7, 0.0, 0.40}, {9, 0.0, 0.08}, {11, 0.0, 0.01}}},
  };
  constexpr double kToneHz = 1000.0, kOffsetHz = 1.0, kClock = 0.001;
  for (const Ladder& l : ladders) {
    const ModeCase& m = *l.mode;
    const double rate = 11025.0 * (1.0 + kClock);
    // Synthesised for the fast clock, so read at 11025 the tone is kToneHz + kOffsetHz.
    const std::vector<float> clean =
        OurTransmission(m, text, (kToneHz + kOffsetHz) * (1.0 + kClock), rate, 0.25f);
    // The keyed power: from the end of the preamble to the start of the tail.
    double power = 0.0;
    const size_t from = 3600 + 512, to = clean.size() - 11025 - 2100;
    for (size_t k = from; k < to; ++k) power += static_cast<double>(clean[k]) * clean[k];
    power /= static_cast<double>(to - from);
    for (const Rung& r : l.rungs) {
      SCOPED_TRACE(testing::Message() << m.name << " at " << r.ebN0Db << " dB");
      const double sigma = std::sqrt(power * 11025.0 / (2.0 * m.baud * std::pow(10.0, r.ebN0Db / 10.0)));
      std::mt19937 rng(static_cast<uint32_t>(100 * r.ebN0Db + m.mode));
      std::normal_distribution<double> noise(0.0, sigma);
      std::vector<float> noisy = clean;
      for (float& v : noisy) v = static_cast<float>(v + noise(rng));
      const double cer = test::CharacterErrorRateWithin(text, Receive(m, noisy, kToneHz));
      EXPECT_GE(cer, r.low);
      EXPECT_LE(cer, r.high);
      std::printf("%s %4.1f dB: character error rate %.3f\n", m.name, r.ebN0Db, cer);
    }
  }
}

// The squelch on the engine's own spine: our own transmission with 3 s of noise before and
// after it, the squelch at a level above what the noise alone leaves held in the signal's bins.
// Nothing decoded once the carrier has gone (nor before it came) reaches the window, and the
// text itself comes through as well as with the squelch off. SNR in 3 kHz: the keyed power
// against the noise's share of 3000 of the 5512.5 Hz, sigma^2 = P x 5512.5 / (3000 SNR).
class PskSquelchTest : public ::testing::TestWithParam<std::tuple<int, double>> {
 protected:
  static constexpr double kToneHz = 1000.0;
  // What the receive window gets, squelch on at `level` or off (level < 0); `peak` returns the
  // highest peak the spectrum held in the signal's bins.
  static std::string Receive(int mode, const std::vector<float>& x, double level, double* peak = nullptr) {
    test::FakeEngineWindow window;
    test::FakeRxSink sink;
    TEngine engine(window, sink);
    engine.Start();
    engine.modeSwitch.SetMode(mode);
    engine.freq.SetRxFrequency(kToneHz);
    engine.rxBlocks.IsSquelch = level >= 0.0 ? 1 : 0;
    engine.rxBlocks.SquelchLevel = level;
    const int reach = TRxBlockProcessor::PskSquelchBins(ModeRowOf(mode).symbolRate);
    double held = 0.0;
    for (size_t at = 0; at + TRxBlockProcessor::kBlockSize <= x.size(); at += TRxBlockProcessor::kBlockSize) {
      engine.rxBlocks.ProcessInputBlock(x.data() + at);
      for (int k = -reach; k <= reach; ++k)
        held = std::max<double>(held, engine.rxBlocks.Spectrum.SpectrumPeak[engine.params.RxToneBin[0] + k]);
    }
    if (peak) *peak = held;
    return sink.text;
  }
};

TEST_P(PskSquelchTest, KeepsNoiseOutBeforeAndAfterAnOver) {
  const auto [index, snrDb] = GetParam();
  const ModeCase& m = kModes[index];
  const std::string text = "CQ CQ DE TEST TEST the quick brown fox jumps over the lazy dog 0123456789 K";
  std::vector<float> clean(3 * 11025, 0.0f);
  const std::vector<float> over = OurTransmission(m, text, kToneHz, 11025.0, 0.25f);
  clean.insert(clean.end(), over.begin(), over.end());
  clean.resize(clean.size() + 2 * 11025, 0.0f);  // 3 s after the tail in all
  double power = 0.0;
  size_t keyed = 0;
  for (float v : clean) {
    power += static_cast<double>(v) * v;
    keyed += v != 0.0f ? 1 : 0;
  }
  power /= static_cast<double>(keyed);
  const double sigma = std::sqrt(power * 5512.5 / (3000.0 * std::pow(10.0, snrDb / 10.0)));
  double errorsOff = 0.0, errorsOn = 0.0;
  for (uint32_t seed = 1; seed <= 3; ++seed) {
    SCOPED_TRACE(testing::Message() << m.name << " at " << snrDb << " dB, seed " << seed);
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, sigma);
    std::vector<float> x = clean, quiet(clean.size());
    for (size_t k = 0; k < x.size(); ++k) {
      quiet[k] = static_cast<float>(noise(rng));
      x[k] += quiet[k];
    }
    // The noise alone sets the level.
    double noisePeak = 0.0;
    Receive(m.mode, quiet, -1.0, &noisePeak);
    const std::string off = Receive(m.mode, x, -1.0);
    const std::string on = Receive(m.mode, x, 1.5 * noisePeak);
    // Nothing before or after the text: the whole of what came is as near the text as the
    // best stretch of it. At +10 dB the noise leaves the text whole.
    const double within = test::CharacterErrorRateWithin(text, on);
    EXPECT_DOUBLE_EQ(test::CharacterErrorRate(text, on), within) << on;
    if (snrDb > 0.0) {
      EXPECT_EQ(on, text);
    }
    errorsOff += test::CharacterErrorRateWithin(text, off);
    errorsOn += within;
  }
  // The text itself comes through as well as without the squelch.
  EXPECT_LE(errorsOn, errorsOff);
}

// BPSK31, BPSK63, BPSK125 and QPSK31 (rows of kModes), strong and weak.
INSTANTIATE_TEST_SUITE_P(Modes, PskSquelchTest,
                         testing::Combine(testing::Values(0, 1, 2, 3), testing::Values(10.0, -5.0)));

}  // namespace
}  // namespace vestrel
