#include "engine/dsp/uni_resample.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace vestrel {
namespace {

void Collect(void* context, double y) {
  static_cast<std::vector<double>*>(context)->push_back(y);
}

TEST(TUniResample, EqualRatesPassEverySampleAndReportCoincidence) {
  for (double rate : {8000.0, 11025.0, 44100.0, 48000.0}) {
    TUniResample r;
    std::vector<double> out;
    ASSERT_TRUE(r.Setup(rate, rate, Collect, &out));
    for (int i = 0; i < 1000; ++i) {
      const double x = std::sin(i * 0.37) * 1000.0;
      ASSERT_EQ(r.Push(x), 1) << rate << " " << i;
      ASSERT_EQ(out.size(), static_cast<size_t>(i + 1));
      ASSERT_EQ(out.back(), x);
    }
  }
}

// A block through PushBlockTo gives what the same samples give one by one (equal rates take a
// shortcut), and the converter goes on from the same state.
TEST(TUniResample, BlockPushEqualsSamplePush) {
  for (double in : {11025.0, 12000.0}) {
    for (double outRate : {11025.0, 12800.0}) {
      SCOPED_TRACE(std::to_string(in) + " -> " + std::to_string(outRate));
      TUniResample a;
      TUniResample b;
      ASSERT_TRUE(a.Setup(in, outRate));
      ASSERT_TRUE(b.Setup(in, outRate));
      std::vector<double> one;
      std::vector<double> block;
      for (int part = 0; part < 3; ++part) {
        std::vector<int16_t> x(700);
        for (size_t i = 0; i < x.size(); ++i)
          x[i] = static_cast<int16_t>(3000 * std::sin((part * 700 + i) * 0.21));
        for (int16_t v : x) a.PushTo(v, [&](double y) { one.push_back(y); });
        b.PushBlockTo(std::span<const int16_t>(x), [&](double y) { block.push_back(y); });
        ASSERT_EQ(one, block);
        EXPECT_EQ(a.Elapsed(), b.Elapsed());
      }
    }
  }
}

// Upsampling 11025 -> 12800: one second in gives one second out, 12800 samples, +/- 1 for
// where the last output instant falls. Downsampling 44100 -> 11025 gives one output per 4 inputs.
TEST(TUniResample, OneSecondInGivesOneSecondOut) {
  struct Case {
    double in, out;
  } cases[] = {{11025.0, 12800.0}, {44100.0, 11025.0}, {48000.0, 11025.0},
               {11025.0, 11025.0}, {8000.0, 11025.0},  {11000.0, 11025.0}};
  for (const Case& c : cases) {
    TUniResample r;
    int outputs = 0;
    ASSERT_TRUE(r.Setup(c.in, c.out));
    for (int i = 0; i < static_cast<int>(c.in); ++i) r.PushTo(1.0, [&](double) { ++outputs; });
    EXPECT_NEAR(outputs, c.out, 1.0) << c.in << " -> " << c.out;
  }
}

// A ramp x(t) = t / Tin is reproduced at every output instant m x Tout; the first output after
// Setup interpolates from the silence before the first input. 8000 -> 16000 has exact periods
// (125 and 62.5 us), so the interpolation is exact; the others are exact to rounding. The
// capture rates down to 11025 place each output between two inputs and carry the remainder
// from one output to the next: an error there shows as a drift of the ramp, which reaches
// 10 s x 48000 = 480000 at the end, so 1e-6 relative holds the instants to 1e-6 of a period.
TEST(TUniResample, RampIsReproduced) {
  struct Case {
    double in, out;
  } cases[] = {{48000.0, 11025.0}, {44100.0, 11025.0}, {22050.0, 11025.0},
               {8000.0, 11025.0},  {11000.0, 11025.0}, {11025.0, 12800.0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.in) + " -> " + std::to_string(c.out));
    TUniResample r;
    std::vector<double> out;
    ASSERT_TRUE(r.Setup(c.in, c.out, Collect, &out));
    const int n = static_cast<int>(10 * c.in);
    for (int i = 1; i <= n; ++i) r.Push(i);
    ASSERT_NEAR(static_cast<double>(out.size()), 10 * c.out, 1.0);
    for (size_t m = 0; m < out.size(); ++m) {
      const double want = (m + 1) * c.in / c.out;
      ASSERT_NEAR(out[m], want, want * 1e-6) << m;
    }
  }
  {
    TUniResample r;
    std::vector<double> out;
    ASSERT_TRUE(r.Setup(8000.0, 16000.0, Collect, &out));
    for (int n = 1; n <= 1000; ++n) r.Push(n);
    ASSERT_EQ(out.size(), 2000u);
    for (size_t m = 0; m < out.size(); ++m) ASSERT_EQ(out[m], (m + 1) * 0.5) << m;
  }
  {
    TUniResample r;
    std::vector<double> out;
    ASSERT_TRUE(r.Setup(11025.0, 12800.0, Collect, &out));
    for (int n = 1; n <= 11025; ++n) r.Push(n);
    ASSERT_GE(out.size(), 12799u);
    EXPECT_NEAR(out[0], 11025.0 / 12800.0, 1e-12);  // from 0 towards the first sample
    for (size_t m = 0; m < out.size(); ++m) ASSERT_NEAR(out[m], (m + 1) * 11025.0 / 12800.0, 1e-8) << m;
  }
}

TEST(TUniResample, WithoutCallbackPushChangesNothing) {
  TUniResample r;
  ASSERT_TRUE(r.Setup(11025.0, 12800.0));
  std::vector<double> out;
  EXPECT_EQ(r.Push(1.0), -1);
  EXPECT_EQ(r.Elapsed(), 0.0);
  // The state is untouched: a copy given a callback starts from silence.
  ASSERT_TRUE(r.Setup(8000.0, 16000.0, Collect, &out));
  r.Push(2.0);
  EXPECT_EQ(out, (std::vector<double>{1.0, 2.0}));
}

// A rate that is not finite and positive would make Push loop for ever (NaN periods never
// compare) or produce an unbounded burst: Setup refuses it and keeps the old set-up.
TEST(TUniResample, RefusesRatesThatWouldNeverFinish) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double bad : {0.0, -11025.0, nan, inf, -inf, 0.5, 1e12}) {
    TUniResample r;
    std::vector<double> out;
    ASSERT_TRUE(r.Setup(8000.0, 16000.0, Collect, &out));
    EXPECT_FALSE(r.Setup(bad, 11025.0, Collect, &out)) << bad;
    EXPECT_FALSE(r.Setup(11025.0, bad, Collect, &out)) << bad;
    EXPECT_EQ(r.InputRate(), 8000.0);
    EXPECT_EQ(r.OutputRate(), 16000.0);
    r.Push(2.0);
    EXPECT_EQ(out, (std::vector<double>{1.0, 2.0}));
  }
  TUniResample fresh;  // construction: 8000 -> 44100
  EXPECT_EQ(fresh.InputRate(), 8000.0);
  EXPECT_EQ(fresh.OutputRate(), 44100.0);
  EXPECT_FALSE(fresh.HasCallback());
}

// The converter is a plain value: a copy taken mid-stream continues exactly like the original.
TEST(TUniResample, CopyContinuesAlike) {
  TUniResample a;
  ASSERT_TRUE(a.Setup(11025.0, 12800.0));
  for (int i = 0; i < 77; ++i) a.PushTo(std::sin(i * 0.1), [](double) {});
  TUniResample b = a;
  std::vector<double> outA, outB;
  for (int i = 77; i < 500; ++i) {
    a.PushTo(std::sin(i * 0.1), [&](double y) { outA.push_back(y); });
    b.PushTo(std::sin(i * 0.1), [&](double y) { outB.push_back(y); });
  }
  EXPECT_EQ(outA, outB);
  // PushBlockTo is PushTo sample by sample.
  TUniResample c;
  ASSERT_TRUE(c.Setup(11025.0, 12800.0));
  const std::vector<float> block(300, 0.25f);
  int n = 0;
  c.PushBlockTo(std::span<const float>(block), [&](double y) { n += (y >= 0.0) ? 1 : 0; });
  EXPECT_NEAR(n, 300 * 12800.0 / 11025.0, 1.0);
}

}  // namespace
}  // namespace vestrel
