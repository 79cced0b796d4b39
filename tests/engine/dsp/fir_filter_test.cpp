#include "engine/dsp/fir_filter.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/filter_response.h"

namespace vestrel {
namespace {

TEST(FirFilter, WithoutTapsReturnsZero) {
  FirFilter f;
  EXPECT_EQ(f.Step(5.0), 0.0);
  const double t[] = {1.0, 2.0};
  ASSERT_TRUE(f.SetTaps(2, t));
  ASSERT_TRUE(f.SetTaps(0, nullptr));  // n = 0 disables
  EXPECT_EQ(f.Taps(), 0);
  EXPECT_EQ(f.Step(5.0), 0.0);
}

TEST(FirFilter, BadTablesAreRefusedAndTheOldOneKept) {
  FirFilter f;
  const double t[] = {0.5, 0.25, 0.125};
  ASSERT_TRUE(f.SetTaps(3, t));
  EXPECT_FALSE(f.SetTaps(-1, t));
  EXPECT_FALSE(f.SetTaps(4, nullptr));
  std::vector<double> huge(FirFilter::kMaxTaps + 1, 1.0);
  EXPECT_FALSE(f.SetTaps(huge));
  ASSERT_EQ(f.Taps(), 3);
  EXPECT_EQ(f.Step(8.0), 4.0);
}

// Plain convolution at every length around the ring's power-of-two sizes, over many wraps;
// the impulse response is the table, and Push then Compute equals Step.
TEST(FirFilter, MatchesPlainConvolutionAtEveryLength) {
  const std::vector<double> x = test::RandomSignal(700, 5, 100.0);
  for (int n : {1, 2, 3, 7, 8, 9, 31, 32, 33, 43, 64, 65, 113, 128, 129, 257}) {
    const std::vector<double> taps = test::RandomSignal(static_cast<size_t>(n), 100 + n);
    FirFilter f, g;
    ASSERT_TRUE(f.SetTaps(taps));
    ASSERT_TRUE(g.SetTaps(taps));
    for (size_t k = 0; k < x.size(); ++k) {
      const double want = test::DirectFir(taps, x, k);
      ASSERT_DOUBLE_EQ(f.Step(x[k]), want) << n << " at " << k;
      g.Push(x[k]);
      if (k % 3 == 0) {
        ASSERT_DOUBLE_EQ(g.Compute(), want);
      }
    }
    f.Reset();
    EXPECT_EQ(f.Step(1.0), taps[0]);
    for (int i = 1; i < n; ++i) EXPECT_EQ(f.Step(0.0), taps[i]);
  }
}

TEST(FirFilter, KeepsItsOwnTaps) {
  std::vector<double> taps = {1.0, -1.0};
  FirFilter f;
  ASSERT_TRUE(f.SetTaps(taps));
  taps.assign(2, 99.0);
  f.Step(3.0);
  EXPECT_EQ(f.Step(5.0), 2.0);
}

}  // namespace
}  // namespace vestrel
