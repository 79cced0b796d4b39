#include "engine/dsp/fsk_detector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <span>
#include <vector>

#include "engine/dsp/fsk_detector_reference.h"
#include "engine/frequency_unit.h"
#include "support/filter_response.h"

namespace vestrel {
namespace {

using test::DcGain;
using test::HalfAmplitudePoint;
using test::WindowedSinc;

TEST(FskDetectorTaps, PreFiltersMatchTheirResponse) {
  test::ExpectTapTable("PRE919", kPre919, {0.99995, 0.1025, 0.99995231329700, 1.39774900439980});  // 1130 Hz
  test::ExpectTapTable("PRE49", kPre49, {0.99998, 0.1769, 0.99997546496300, 1.61369822017500});    // 1950 Hz
}

// Any short table works for the cadence; its values do not matter.
const std::vector<double> kShortFir = WindowedSinc(9, 0.1);

std::vector<int> OutputSamples(TFskDetector& d, int count) {
  std::vector<int> at;
  for (int n = 1; n <= count; ++n)
    if (d.Step(1000.0f)) at.push_back(n);
  return at;
}

TEST(FskDetector, OutputCadencePerPath) {
  SineTable sine;
  struct Case {
    int path, first, every;
  };
  for (Case c : {Case{919, 9, 12}, Case{2756, 1, 4}, Case{11025, 1, 1}}) {
    for (int average : {0, 5}) {
      TFskDetector d(sine);
      d.SetTones(4800, 5305);
      ASSERT_TRUE(d.SetupWithAverage(c.path, kShortFir, average));
      EXPECT_EQ(d.PathRate(), c.path);
      // Twice through: once after the set-up, once after Reset mid-stream.
      for (int pass = 0; pass < 2; ++pass) {
        const std::vector<int> at = OutputSamples(d, 200);
        ASSERT_FALSE(at.empty());
        EXPECT_EQ(at.front(), c.first) << c.path;
        for (size_t i = 1; i < at.size(); ++i) EXPECT_EQ(at[i] - at[i - 1], c.every) << c.path << " #" << i;
        d.Step(1.0f);
        d.Reset();
      }
    }
  }
}

// On the full-rate path every n-th output is the every-sample detector's output on that sample;
// other paths and counts outside 1..4 are refused, and a new set-up computes every sample again.
TEST(FskDetector, OutputsOnEveryNthSampleAreTheFullRateOnes) {
  SineTable sine;
  std::mt19937 rng(7);
  std::normal_distribution<float> noise(0.0f, 3000.0f);
  std::vector<float> x(3000);
  for (float& v : x) v = noise(rng);
  for (int n : {2, 3, 4}) {
    SCOPED_TRACE(n);
    TFskDetector all(sine), some(sine);
    for (TFskDetector* d : {&all, &some}) {
      d->SetTones(4800, 5305);
      ASSERT_TRUE(d->Setup(11025, kShortFir));
    }
    ASSERT_TRUE(some.SetOutputEvery(n));
    EXPECT_EQ(some.OutputEvery(), n);
    int outputs = 0;
    for (size_t i = 0; i < x.size(); ++i) {
      ASSERT_TRUE(all.Step(x[i]));
      const bool out = some.Step(x[i]);
      EXPECT_EQ(out, (i + 1) % n == 0) << i;
      if (!out) continue;
      ++outputs;
      EXPECT_EQ(some.OutASin, all.OutASin);
      EXPECT_EQ(some.OutBCos, all.OutBCos);
      EXPECT_EQ(some.ToneDifference(), all.ToneDifference());
    }
    EXPECT_EQ(outputs, static_cast<int>(x.size()) / n);
    ASSERT_TRUE(some.Setup(11025, kShortFir));
    EXPECT_EQ(some.OutputEvery(), 1);
  }
  TFskDetector d(sine);
  ASSERT_TRUE(d.Setup(11025, kShortFir));
  EXPECT_FALSE(d.SetOutputEvery(0));
  EXPECT_FALSE(d.SetOutputEvery(5));
  ASSERT_TRUE(d.Setup(2756, kShortFir));
  EXPECT_FALSE(d.SetOutputEvery(2));
  EXPECT_EQ(d.OutputEvery(), 1);
}

TEST(FskDetector, WithoutSetupStepDoesNothing) {
  SineTable sine;
  TFskDetector d(sine);
  d.SetTones(4800, 5305);
  for (int n = 0; n < 100; ++n) EXPECT_FALSE(d.Step(5000.0f));
  EXPECT_EQ(d.PathRate(), 0);
  EXPECT_EQ(d.OutASin, 0.0);
  EXPECT_EQ(d.OutBCos, 0.0);
  int calls = 0;
  std::vector<float> block(64, 100.0f);
  d.Process(block, [&](size_t) { ++calls; });
  EXPECT_EQ(calls, 0);
}

TEST(FskDetector, BadSetupsAreRefusedAndTheOldOneKept) {
  SineTable sine;
  TFskDetector d(sine);
  ASSERT_TRUE(d.SetupWithAverage(2756, kShortFir, 7));
  const double* none = nullptr;
  EXPECT_FALSE(d.Setup(0, kShortFir));
  EXPECT_FALSE(d.Setup(1000, kShortFir));
  EXPECT_FALSE(d.Setup(919, std::span<const double>()));
  EXPECT_FALSE(d.Setup(919, 5, none));
  EXPECT_FALSE(d.Setup(919, -3, kShortFir.data()));
  EXPECT_FALSE(d.SetupWithAverage(919, kShortFir, -1));
  EXPECT_FALSE(d.SetupWithAverage(919, kShortFir, TFskDetector::kMaxAverageLength + 1));
  std::vector<double> huge(FirFilter::kMaxTaps + 1, 0.0);
  EXPECT_FALSE(d.Setup(11025, huge));
  EXPECT_EQ(d.PathRate(), 2756);
  EXPECT_EQ(d.AverageLength(), 7);
  EXPECT_TRUE(d.Step(1.0f));  // still the 2756 cadence, first sample passes
}

// Random input on random tones, every path, with and without the moving average: the
// interleaved chain, which computes only the pre-filter outputs it uses, gives the values of
// the plain chain. Both sum every lane in the same order, so they agree to rounding of the
// last bit; 1e-12 relative is generous.
TEST(FskDetector, MatchesReferenceChain) {
  SineTable sine;
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> sample(-20000.0f, 20000.0f);
  std::uniform_int_distribution<int32_t> tone(kMinToneUnits, kMaxToneUnits);
  const std::vector<double> fir = WindowedSinc(113, 0.03);
  for (int path : {919, 2756, 11025}) {
    for (int average : {0, 1, 243}) {
      TFskDetector fast(sine);
      TFskDetectorReference ref(sine);
      const int32_t a = tone(rng), b = tone(rng);
      fast.SetTones(a, b);
      ref.SetTones(a, b);
      ASSERT_TRUE(fast.SetupWithAverage(path, fir, average));
      ASSERT_TRUE(ref.SetupWithAverage(path, fir, average));
      int outputs = 0;
      for (int n = 0; n < 6000; ++n) {
        const float x = sample(rng);
        const bool f = fast.Step(x);
        ASSERT_EQ(f, ref.Step(x)) << path << " at " << n;
        if (!f) continue;
        ++outputs;
        const double tol = 1e-12 * (std::fabs(ref.OutASin) + std::fabs(ref.OutBSin) + std::fabs(ref.OutACos) +
                                    std::fabs(ref.OutBCos) + 1.0);
        ASSERT_NEAR(fast.OutASin, ref.OutASin, tol) << path << " " << average << " at " << n;
        ASSERT_NEAR(fast.OutBSin, ref.OutBSin, tol);
        ASSERT_NEAR(fast.OutACos, ref.OutACos, tol);
        ASSERT_NEAR(fast.OutBCos, ref.OutBCos, tol);
      }
      EXPECT_GT(outputs, 400);
    }
  }
}

TEST(FskDetector, EqualTonesGiveEqualArms) {
  SineTable sine;
  std::mt19937 rng(3);
  std::normal_distribution<float> noise(0.0f, 3000.0f);
  for (int path : {919, 2756, 11025}) {
    TFskDetector d(sine);
    d.SetTones(5053, 5053);
    ASSERT_TRUE(d.SetupWithAverage(path, WindowedSinc(43, 0.05), path == 919 ? 0 : 11));
    for (int n = 0; n < 3000; ++n) {
      if (!d.Step(noise(rng))) continue;
      ASSERT_EQ(d.OutASin, d.OutBSin) << path;
      ASSERT_EQ(d.OutACos, d.OutBCos) << path;
    }
  }
}

// The output scale decoders rely on: a steady tone of amplitude A on tone A settles to
// |(OutASin, OutACos)| = 16000 A (table amplitude 32000, half of it in the difference term)
// times the chain's DC gain, 0.99995 x 0.98643 x 1.00005 on the 919 path, 0.99998 x 0.98643
// on the 2756 path, the unit-gain FIR alone on the 11025 path. Tone B, 170 Hz away, is far
// outside the 30 Hz final filter. 0.1% covers the table's rounding.
TEST(FskDetector, SettledToneGivesItsScaledAmplitude) {
  SineTable sine;
  struct Case {
    int path;
    double gain;
  };
  for (Case c : {Case{919, 0.99995 * 0.98643 * 1.00005}, Case{2756, 0.99998 * 0.98643}, Case{11025, 1.0}}) {
    TFskDetector d(sine);
    const int32_t a = 6286, b = 6791;  // 2115 and 2285 Hz
    d.SetTones(a, b);
    ASSERT_TRUE(d.Setup(c.path, WindowedSinc(c.path == 11025 ? 301 : 113, 30.0 / c.path)));
    for (int n = 1; n <= 11025; ++n)
      d.Step(static_cast<float>(100.0 * std::sin(2.0 * std::numbers::pi * a * n / 32768.0)));
    EXPECT_NEAR(std::hypot(d.OutASin, d.OutACos), 16000.0 * 100.0 * c.gain, 16000.0 * 100.0 * 1e-3) << c.path;
    EXPECT_LT(std::hypot(d.OutBSin, d.OutBCos), 16000.0 * 100.0 * 0.01) << c.path;
  }
}

// Copy mid-stream: both copies continue identically.
TEST(FskDetector, CopiesContinueIdentically) {
  SineTable sine;
  TFskDetector a(sine);
  a.SetTones(4800, 5305);
  ASSERT_TRUE(a.SetupWithAverage(919, WindowedSinc(113, 0.03), 9));
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> sample(-1000.0f, 1000.0f);
  for (int n = 0; n < 777; ++n) a.Step(sample(rng));
  TFskDetector b = a;
  for (int n = 0; n < 2000; ++n) {
    const float x = sample(rng);
    ASSERT_EQ(a.Step(x), b.Step(x));
    ASSERT_EQ(a.OutASin, b.OutASin);
    ASSERT_EQ(a.OutBCos, b.OutBCos);
  }
}

// The block call reports the same samples and values as stepping one at a time.
TEST(FskDetector, ProcessMatchesStep) {
  SineTable sine;
  std::vector<float> in(5000);
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> sample(-1000.0f, 1000.0f);
  for (float& x : in) x = sample(rng);
  for (int path : {919, 2756, 11025}) {
    TFskDetector a(sine), b(sine);
    for (TFskDetector* d : {&a, &b}) {
      d->SetTones(6286, 6791);
      ASSERT_TRUE(d->Setup(path, WindowedSinc(53, 0.05)));
    }
    std::vector<size_t> stepAt, blockAt;
    std::vector<double> stepOut, blockOut;
    for (size_t i = 0; i < in.size(); ++i)
      if (a.Step(in[i])) {
        stepAt.push_back(i);
        stepOut.push_back(a.OutBSin);
      }
    b.Process(std::span<const float>(in).first(1234), [&](size_t i) {
      blockAt.push_back(i);
      blockOut.push_back(b.OutBSin);
    });
    b.Process(std::span<const float>(in).subspan(1234), [&](size_t i) {
      blockAt.push_back(i + 1234);
      blockOut.push_back(b.OutBSin);
    });
    EXPECT_EQ(stepAt, blockAt) << path;
    EXPECT_EQ(stepOut, blockOut) << path;
  }
}

// Continuous-phase two-tone FSK: bit 1 sends the upper tone, bit 0 the lower; Gaussian noise
// of the given standard deviation added.
std::vector<float> FskSignal(const std::vector<int>& bits, double samplesPerBit, double lowHz, double highHz,
                             double amplitude, double noise, unsigned seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> gauss(0.0, noise);
  std::vector<float> out;
  double phase = 0.0, t = 0.0;
  for (int bit : bits) {
    const double w = 2.0 * std::numbers::pi * (bit ? highHz : lowHz) / kRxRate;
    for (t += samplesPerBit; t >= 1.0; t -= 1.0) {
      phase = std::fmod(phase + w, 2.0 * std::numbers::pi);
      out.push_back(static_cast<float>(amplitude * std::sin(phase) + gauss(rng)));
    }
  }
  return out;
}

// Every path turns mark and space into the right sign of |B| - |A| at the middle of each bit,
// clean and with noise and a mistuning. Tones, speed and final low-pass per path are those of
// a typical mode on it; the chain's delay is (n - 1) / 2 samples of each stage at its rate.
// Noise: amplitude 10000 against sigma 2000 is 11 dB over the whole 5.5 kHz band, so at least
// 20 dB in the widest final filter (744 Hz); a 10 Hz mistuning costs at most a third of the
// narrowest filter's passband. No bit may come out wrong.
TEST(FskDetector, TwoToneSignalGivesDiscriminatorSign) {
  SineTable sine;
  struct Case {
    int path;
    double baud, lowHz, highHz;
    int firTaps;
    double firCut;  // cycles per sample at the path rate
    double delay;   // samples at 11025
  };
  const Case cases[] = {
      // 45.45 Bd, 170 Hz shift; 30 Hz low-pass at 918.75 samples/s.
      {919, 45.45, 2125.0, 2295.0, 113, 30.0 / 918.75, 25 + 2 * 22 + 4 * 13 + 12 * 56},
      // 200 Bd, 850 Hz shift; 150 Hz at 2756.25 samples/s.
      {2756, 200.0, 1275.0, 2125.0, 53, 150.0 / 2756.25, 24 + 2 * 22 + 4 * 26},
      // 1200 Bd, 1200/2200 Hz; 744 Hz at 11025 samples/s.
      {11025, 1200.0, 1200.0, 2200.0, 43, 744.0 / 11025.0, 21},
  };
  std::mt19937 rng(1);
  std::vector<int> bits(200);
  for (int& b : bits) b = static_cast<int>(rng() & 1u);
  for (const Case& c : cases) {
    for (double offset : {0.0, 10.0}) {
      const double noise = offset == 0.0 ? 0.0 : 2000.0;
      TFskDetector d(sine);
      d.SetTones(HzToUnits(c.lowHz), HzToUnits(c.highHz));
      ASSERT_TRUE(d.Setup(c.path, WindowedSinc(c.firTaps, c.firCut)));
      const double spb = kRxRate / c.baud;
      const std::vector<float> x =
          FskSignal(bits, spb, c.lowHz + offset, c.highHz + offset, 10000.0, noise, 2);
      std::vector<double> disc(x.size(), 0.0);
      double last = 0.0;
      for (size_t n = 0; n < x.size(); ++n) {
        if (d.Step(x[n])) last = std::hypot(d.OutBSin, d.OutBCos) - std::hypot(d.OutASin, d.OutACos);
        disc[n] = last;
      }
      int checked = 0;
      for (size_t k = 0; k < bits.size(); ++k) {
        const double mid = (k + 0.5) * spb + c.delay;
        if (mid >= x.size()) break;
        const double v = disc[static_cast<size_t>(mid)];
        ASSERT_EQ(v > 0.0, bits[k] == 1) << c.path << " offset " << offset << " bit " << k << " disc " << v;
        ++checked;
      }
      EXPECT_GT(checked, 150) << c.path;
    }
  }
}

}  // namespace
}  // namespace vestrel
