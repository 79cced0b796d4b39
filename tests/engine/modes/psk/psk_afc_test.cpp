// ctest-labels: integration
// The PSK AFC through the whole receive chain (block processor, frequency control, receiver),
// on our own transmitter's signal from the encoder harness and on the textbook signal: it
// costs nothing in noise, still pulls a signal in and follows a drift, settles after a click,
// and leaves the tone alone on noise.
#include "engine/modes/psk/psk_afc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/frequency_unit.h"
#include "engine/mode_number.h"
#include "support/encoder_audio.h"
#include "support/fake_engine_window.h"
#include "support/fake_rx_sink.h"
#include "support/fsk_signal.h"
#include "support/psk_signal.h"

namespace vestrel {
namespace {

struct PskMode {
  const char* name;
  int32_t mode;
  double baud;
  bool qpsk;
};
const PskMode kBpsk31{"BPSK31", kModeBpsk31, 31.25, false};
const PskMode kBpsk63{"BPSK63", kModeBpsk63, 62.5, false};
const PskMode kBpsk125{"BPSK125", kModeBpsk125, 125.0, false};
const PskMode kQpsk31{"QPSK31", kModeQpsk31, 31.25, true};
const PskMode kQpsk63{"QPSK63", kModeQpsk63, 62.5, true};
const PskMode* const kModes[] = {&kBpsk31, &kBpsk63, &kBpsk125, &kQpsk31, &kQpsk63};

constexpr double kRxHz = 1500.0;

// How near the tone must settle: a hertz, or 6 degrees a symbol at the faster rates, where
// the receiver's estimate spreads wider and such an error costs nothing.
double SettledWithinHz(const PskMode& m) {
  return std::max(1.0, m.baud / 60.0);
}
constexpr double kInf = std::numeric_limits<double>::infinity();

// English-like text of `length` characters: lower-case words and spaces.
std::string Words(size_t length, uint32_t seed) {
  static const char* const kWords[] = {
      "the",   "of",   "and",   "to",    "in",    "is",   "you",   "that",   "it",     "he",    "was",
      "for",   "on",   "are",   "as",    "with",  "his",  "they",  "at",     "be",     "this",  "have",
      "from",  "or",   "one",   "had",   "by",    "word", "but",   "not",    "what",   "all",   "were",
      "when",  "your", "can",   "said",  "there", "use",  "each",  "which",  "she",    "do",    "how",
      "their", "will", "other", "about", "out",   "many", "then",  "them",   "these",  "some",  "would",
      "make",  "like", "time",  "look",  "two",   "more", "write", "number", "people", "water", "called",
      "first", "long", "down",  "day",   "did",   "get",  "come",  "made",   "may",    "part",  "over"};
  std::mt19937 rng(seed);
  std::string text;
  while (text.size() < length) {
    text += kWords[rng() % std::size(kWords)];
    text += ' ';
  }
  text.resize(length);
  return text;
}

// White Gaussian noise at an SNR in 3 kHz: the signal's power over its keyed part (from the
// first to the last sample that is not 0) against the noise's share of 3000 of the 5512.5 Hz.
// snrDb of infinity adds nothing.
template <class Sample>
std::vector<float> WithNoiseIn3k(const std::vector<Sample>& clean, double snrDb, uint32_t seed) {
  std::vector<float> x(clean.begin(), clean.end());
  if (std::isinf(snrDb)) return x;
  size_t from = 0, to = x.size();
  while (from < to && x[from] == 0.0f) ++from;
  while (to > from && x[to - 1] == 0.0f) --to;
  double power = 0.0;
  for (size_t i = from; i < to; ++i) power += static_cast<double>(x[i]) * x[i];
  power /= static_cast<double>(std::max<size_t>(to - from, 1));
  const double sigma = std::sqrt(power / std::pow(10.0, snrDb / 10.0) * 5512.5 / 3000.0);
  std::mt19937 rng(seed);
  std::normal_distribution<double> noise(0.0, sigma);
  for (float& v : x) v = static_cast<float>(v + noise(rng));
  return x;
}

// Our transmitter's whole transmission of `text` with its carrier on toneHz.
std::vector<int16_t> Transmission(const PskMode& m, const std::string& text, double toneHz) {
  return test::EncodeWithHarness(m.name, text, "--tx-hz " + std::to_string(toneHz));
}

// A receiving engine in one PSK mode, as the headless decoder sets it up: the receive tone,
// the AFC button, then blocks of samples at 11025 samples/s and silence for the decoder's lag.
class PskReceiver {
 public:
  PskReceiver(const PskMode& m, double rxHz, bool afc) : mode_(m) {
    engine.Start();
    engine.modeSwitch.SetMode(m.mode);
    engine.freq.SetRxFrequency(rxHz);
    engine.rxBlocks.AfcOn = afc ? 1 : 0;
  }
  // Whole blocks of x; after each block `each` sees the engine.
  template <class Each>
  void Feed(const std::vector<float>& x, Each each) {
    constexpr size_t kBlock = TRxBlockProcessor::kBlockSize;
    for (size_t i = 0; i + kBlock <= x.size(); i += kBlock) {
      engine.rxBlocks.ProcessInputBlock(&x[i]);
      each(engine);
    }
  }
  void Feed(const std::vector<float>& x) {
    Feed(x, [](TEngine&) {});
  }
  // 40 symbols and two blocks of silence: QPSK's Viterbi decoder lags 20 symbols.
  const std::string& Finish() {
    Feed(std::vector<float>(static_cast<size_t>(40 * 11025.0 / mode_.baud) + 4 * 2048, 0.0f));
    return sink.text;
  }
  double ToneHz() const { return UnitsToHz(engine.params.RxTone[0]); }

  test::FakeEngineWindow window;
  test::FakeRxSink sink;
  TEngine engine{window, sink};

 private:
  const PskMode& mode_;
};

double Cer(const std::string& text, const std::vector<float>& x, const PskMode& m, double rxHz, bool afc) {
  PskReceiver r(m, rxHz, afc);
  r.Feed(x);
  return test::CharacterErrorRateWithin(text, r.Finish());
}

// The noise ladder with AFC on and off. Our transmission of a 700-character text on the
// receive tone, white Gaussian noise at each SNR (in 3 kHz), three noise seeds. The bounds are
// those of the receiver with AFC off (measured: the ranges over the seeds in the comments), so
// the ladder reaches from clean copy into heavy errors; at every rung where AFC off gives
// fewer than 20 % errors, AFC on gives at most half a point more. (The AFC that put the tone
// on the best place of the spectrum each block gave 25 to 60 % on the middle rungs.)
struct Rung {
  double snrDb;
  double low, high;  // bounds of the character error rate with AFC off
};

TEST(PskAfcLadder, AfcOnCostsAtMostHalfAPointWhereAfcOffReads) {
  const std::string text = Words(700, 2026);
  struct Ladder {
    const PskMode* mode;
    std::vector<Rung> rungs;
  };
  const Ladder ladders[] = {
      // 0, .02-.03, .06-.07, .13-.14
      {&kBpsk31, {{-10, 0.0, 0.01}, {-12, 0.005, 0.06}, {-13, 0.02, 0.12}, {-14, 0.07, 0.25}}},
      // 0-.007, .05-.06, .12-.13, .24-.26
      {&kBpsk63, {{-8, 0.0, 0.02}, {-10, 0.02, 0.10}, {-11, 0.06, 0.20}, {-12, 0.15, 0.40}}},
      // 0-.001, .02-.03, .05-.07, .09-.16
      {&kBpsk125, {{-4, 0.0, 0.01}, {-6, 0.005, 0.05}, {-7, 0.02, 0.11}, {-8, 0.05, 0.25}}},
      // .003-.017, .07-.09, .16-.22, .30-.35
      {&kQpsk31, {{-10, 0.0, 0.03}, {-12, 0.03, 0.14}, {-13, 0.08, 0.30}, {-14, 0.18, 0.50}}},
      // .003-.006, .05-.07, .13-.18, .27-.32
      {&kQpsk63, {{-7, 0.0, 0.02}, {-9, 0.02, 0.12}, {-10, 0.07, 0.26}, {-11, 0.15, 0.45}}},
  };
  for (const Ladder& l : ladders) {
    const PskMode& m = *l.mode;
    const std::vector<int16_t> clean = Transmission(m, text, kRxHz);
    if (clean.empty()) GTEST_SKIP() << "the encoder harness is not built";
    for (const Rung& r : l.rungs) {
      for (uint32_t seed = 1; seed <= 3; ++seed) {
        SCOPED_TRACE(testing::Message() << m.name << " at " << r.snrDb << " dB, seed " << seed);
        const std::vector<float> noisy = WithNoiseIn3k(clean, r.snrDb, seed);
        const double off = Cer(text, noisy, m, kRxHz, false);
        const double on = Cer(text, noisy, m, kRxHz, true);
        EXPECT_GE(off, r.low);
        EXPECT_LE(off, r.high);
        if (off < 0.20) {
          EXPECT_LE(on, off + 0.005);
        }
        std::printf("%s %5.1f dB seed %u: AFC off %.4f, on %.4f\n", m.name, r.snrDb, seed, off, on);
      }
    }
  }
}

// A signal 40 Hz above or below the receive tone, clean and at -6 dB, is pulled in (the tone
// ends on it) and the text then reads as well as on frequency without AFC. A
// lead of filler words gives the AFC the time to capture and settle.
TEST(PskAfcPullIn, FortyHertzOffIsPulledInAndReadsAsOnFrequency) {
  for (const PskMode* mp : kModes) {
    const PskMode& m = *mp;
    const std::string lead = Words(static_cast<size_t>(m.baud), 7);  // some 8 seconds
    const std::string text = Words(200, 11);
    for (double offsetHz : {40.0, -40.0}) {
      const std::vector<int16_t> clean = Transmission(m, lead + text, kRxHz + offsetHz);
      if (clean.empty()) GTEST_SKIP() << "the encoder harness is not built";
      for (double snrDb : {kInf, -6.0}) {
        SCOPED_TRACE(testing::Message() << m.name << " " << offsetHz << " Hz off at " << snrDb << " dB");
        const std::vector<float> x = WithNoiseIn3k(clean, snrDb, 5);
        PskReceiver pulled(m, kRxHz, true);
        pulled.Feed(x);
        const double cerPulled = test::CharacterErrorRateWithin(text, pulled.Finish());
        EXPECT_NEAR(pulled.ToneHz(), kRxHz + offsetHz, SettledWithinHz(m));
        EXPECT_EQ(pulled.engine.params.AfcRefBin[0], HzToBins(kRxHz));
        const double cerOnFrequency = Cer(text, x, m, kRxHz + offsetHz, false);
        EXPECT_LE(cerPulled, cerOnFrequency + 0.005);
      }
    }
  }
}

// The textbook signal drifting 0.5 Hz/s for two minutes (60 Hz in all) at -6 dB is followed:
// no more errors than the same signal steady, and the tone ends on the carrier (behind it by
// less than half a hertz more than a steady one settles).
TEST(PskAfcDrift, HalfAHertzASecondForTwoMinutesIsFollowed) {
  for (const PskMode* mp : kModes) {
    const PskMode& m = *mp;
    SCOPED_TRACE(m.name);
    // Some 6 bits a character of these words with the gaps: over two minutes of them.
    const std::string text = Words(static_cast<size_t>(125.0 * m.baud / 6.0), 3);
    test::PskSignalOptions o;
    o.baud = m.baud;
    o.qpsk = m.qpsk;
    o.toneHz = kRxHz;
    o.leadSymbols = static_cast<int>(2 * m.baud);
    const std::vector<float> steady = WithNoiseIn3k(test::MakePskSignal(text, o), -6.0, 9);
    o.driftHzPerSecond = 0.5;
    const std::vector<float> drifting = MakePskSignal(text, o);
    const double seconds = static_cast<double>(drifting.size()) / 11025.0;
    ASSERT_GT(seconds, 120.0);
    PskReceiver follows(m, kRxHz, true);
    follows.Feed(WithNoiseIn3k(drifting, -6.0, 9));
    const double cerDrifting = test::CharacterErrorRateWithin(text, follows.Finish());
    const double cerSteady = Cer(text, steady, m, kRxHz, true);
    EXPECT_LE(cerDrifting, cerSteady + 0.005);
    // The carrier stops with the signal, some 0.3 s of silence before the end of the recording.
    EXPECT_NEAR(follows.ToneHz(), kRxHz + 0.5 * (seconds - 2 * o.silenceSeconds), 0.5 + SettledWithinHz(m));
  }
}

// A click 10 Hz beside a signal, clean and at -6 dB: the six passes after it put the tone
// nearer the signal at once, the AFC then settles it, and the rest of the text reads as on
// frequency.
TEST(PskAfcClick, TenHertzBesideSettlesOnTheSignal) {
  for (const PskMode* mp : kModes) {
    const PskMode& m = *mp;
    const std::string lead = Words(static_cast<size_t>(m.baud / 4), 5);  // some 2 seconds
    const std::string text = Words(150, 13);
    constexpr double kSignalHz = 1510.0;
    const std::vector<int16_t> clean = Transmission(m, lead + text, kSignalHz);
    if (clean.empty()) GTEST_SKIP() << "the encoder harness is not built";
    for (double snrDb : {kInf, -6.0}) {
      SCOPED_TRACE(testing::Message() << m.name << " at " << snrDb << " dB");
      const std::vector<float> x = WithNoiseIn3k(clean, snrDb, 3);
      // Listening far off (the signal outside the AFC's window) while the spectrum shows the
      // signal; the click comes after a second and a half.
      PskReceiver r(m, 1700.0, true);
      size_t blocks = 0;
      r.Feed(x, [&](TEngine& e) {
        if (++blocks != 8) return;
        e.freq.SetRxPosition(HzToUnits(kSignalHz - 10.0));
        e.freq.AfterClick(true, false);
        EXPECT_NEAR(r.ToneHz(), kSignalHz, 5.0);
      });
      const double cerClicked = test::CharacterErrorRateWithin(text, r.Finish());
      EXPECT_NEAR(r.ToneHz(), kSignalHz, SettledWithinHz(m));
      EXPECT_LE(cerClicked, Cer(text, x, m, kSignalHz, false) + 0.005);
    }
  }
}

// Five minutes of noise alone: the tone stays within a few hertz of where it was (the AFC
// that followed the spectrum's best place wandered off to the local and global limits).
TEST(PskAfcNoise, FiveMinutesOfNoiseLeaveTheToneAlone) {
  std::mt19937 rng(77);
  std::normal_distribution<float> gauss(0.0f, 2000.0f);
  std::vector<float> x(static_cast<size_t>(300 * 11025));
  for (float& v : x) v = gauss(rng);
  for (const PskMode* mp : kModes) {
    const PskMode& m = *mp;
    SCOPED_TRACE(m.name);
    PskReceiver r(m, kRxHz, true);
    const double start = r.ToneHz();
    double farthest = 0.0;
    r.Feed(x, [&](TEngine&) { farthest = std::max(farthest, std::abs(r.ToneHz() - start)); });
    EXPECT_LE(farthest, 3.0);
  }
}

// The loop alone: a steady error moves the tone in steps much smaller than a bin, and the
// estimate turned with each step leaves no overshoot; an incoherent estimate moves nothing.
TEST(PskAfcLoop, StepsSmallAndOnlyOnACoherentEstimate) {
  TPskAfc afc;
  const int32_t start = HzToUnits(kRxHz);
  afc.Restart(start);
  TPskAfc::Spectrum flat;  // nothing stands out: no capture
  flat.carrierUnits = start;
  flat.level = flat.floor = 1.0;
  // Blocks of 6 BPSK31 decisions from a signal 2 Hz above the tone, at full coherence.
  double signalHz = kRxHz + 2.0;
  int32_t tone = start;
  for (int block = 0; block < 60; ++block) {
    TPskFrequencyError error;
    const double turn = 2.0 * std::numbers::pi * (signalHz - UnitsToHz(tone)) / 31.25;
    for (int k = 0; k < 6; ++k) error.Add(std::cos(turn), std::sin(turn), 1.0, 0.0, 2);
    bool captured = true;
    const double wanted = afc.Pass(error.Take(), flat, 31.25, 2, false, captured);
    EXPECT_FALSE(captured);
    const int32_t next = RoundToInt32(wanted);
    EXPECT_LE(std::abs(UnitsToHz(next) - UnitsToHz(tone)), TPskAfc::kMaxStepHz + UnitsToHz(1)) << block;
    afc.Placed(next, false);
    tone = next;
  }
  EXPECT_NEAR(UnitsToHz(tone), signalHz, UnitsToHz(1));

  // The same sums, but the mode is now QPSK31: they belong to BPSK31 and move nothing.
  {
    TPskFrequencyError error;
    const double turn = 2.0 * std::numbers::pi * 3.0 / 31.25;
    for (int k = 0; k < 60; ++k) error.Add(std::cos(turn), std::sin(turn), 1.0, 0.0, 4);
    bool captured = true;
    EXPECT_EQ(RoundToInt32(afc.Pass(error.Take(), flat, 31.25, 4, false, captured)), tone);
    EXPECT_EQ(afc.Coherence(), 0.0);
    afc.Placed(tone, false);
  }

  // Decisions that turn every way: coherence near 0, nothing moves.
  afc.Restart(start);
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> angle(-std::numbers::pi, std::numbers::pi);
  for (int block = 0; block < 200; ++block) {
    TPskFrequencyError error;
    for (int k = 0; k < 6; ++k) {
      const double a = angle(rng);
      error.Add(std::cos(a), std::sin(a), 1.0, 0.0, 2);
    }
    bool captured = true;
    EXPECT_EQ(RoundToInt32(afc.Pass(error.Take(), flat, 31.25, 2, false, captured)), start);
    afc.Placed(start, false);
  }
}

}  // namespace
}  // namespace vestrel
