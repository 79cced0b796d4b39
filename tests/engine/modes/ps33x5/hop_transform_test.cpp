#include "engine/modes/ps33x5/hop_transform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "engine/dsp/fft.h"

namespace vestrel {
namespace {

// Against the plain RealFft of the zero-padded window, for every (n, window) the receiver uses
// and a few more, on noise and on a tone: every bin of the asked range within float rounding of
// the transform's size. Some bins also against the exact sum in double: the plain transform
// turns its twiddles by a running product, whose error grows with n (3e-5 of the peak at
// 16384), this one takes them from a table and stays within 3e-6.
TEST(Ps33x5HopTransform, MatchesThePlainRealTransform) {
  struct Case {
    int n, window;
  };
  const Case cases[] = {{16384, 8192}, {8192, 4096}, {4096, 2048}, {4096, 1024}, {2048, 512},
                        {1024, 256},   {16, 8},      {8, 2},       {64, 64},     {256, 100}};
  std::mt19937 rng(3);
  std::normal_distribution<float> noise(0.0f, 1000.0f);
  for (const Case& c : cases) {
    for (int signal = 0; signal < 2; ++signal) {
      SCOPED_TRACE(testing::Message() << c.n << " " << c.window << (signal ? " tone" : " noise"));
      std::vector<float> x(c.window);
      for (int i = 0; i < c.window; ++i)
        x[i] = signal ? static_cast<float>(8000 * std::sin(0.37 * i + 0.2)) : noise(rng);
      std::vector<float> padded(c.n, 0.0f), re(c.n), im(c.n);
      std::copy(x.begin(), x.end(), padded.begin());
      ASSERT_EQ(RealFft(c.n, padded.data(), re.data(), im.data()), 1);
      TPs33x5HopTransform t;
      ASSERT_TRUE(t.Setup(c.n, c.window));
      std::vector<float> r2(c.n, 7.0f), i2(c.n, 7.0f);
      const int first = c.n / 8, last = c.n / 2 - 1;
      // Twice: the second run must not depend on what the first left behind.
      t.Run(x.data(), first, last, r2.data(), i2.data());
      t.Run(x.data(), first, last, r2.data(), i2.data());
      double peak = 0.0;
      for (int k = 0; k < c.n / 2; ++k) peak = std::max(peak, std::hypot(double(re[k]), double(im[k])));
      auto off = [&](int k) { return std::hypot(double(re[k]) - r2[k], double(im[k]) - i2[k]); };
      double worst = 0.0;
      for (int k = first; k <= last; ++k) worst = std::max(worst, off(k));
      EXPECT_LT(worst, 5e-5 * peak);
      EXPECT_EQ(r2[first - 1], 7.0f);  // outside the range: untouched
      // The whole lower half as well, bin 0 included.
      t.Run(x.data(), 0, c.n / 2 - 1, r2.data(), i2.data());
      for (int k = 0; k < c.n / 2; ++k) ASSERT_LT(off(k), 5e-5 * peak) << k;
      for (int k = 0; k < c.n / 2; k += 1 + c.n / 64) {
        double sr = 0.0, si = 0.0;
        for (int j = 0; j < c.window; ++j) {
          sr += x[j] * std::cos(2 * M_PI * double(j) * k / c.n);
          si -= x[j] * std::sin(2 * M_PI * double(j) * k / c.n);
        }
        EXPECT_LT(std::hypot(sr - r2[k], si - i2[k]), 3e-6 * peak) << k;
      }
    }
  }
}

TEST(Ps33x5HopTransform, RefusesSizesItCannotDo) {
  TPs33x5HopTransform t;
  EXPECT_FALSE(t.Setup(4, 2));
  EXPECT_FALSE(t.Setup(32768, 16384));
  EXPECT_FALSE(t.Setup(1000, 500));
  EXPECT_FALSE(t.Setup(1024, 1025));
  EXPECT_FALSE(t.Setup(1024, 3));
  EXPECT_TRUE(t.Setup(1024, 256));
  EXPECT_EQ(t.Size(), 1024);
}

}  // namespace
}  // namespace vestrel
