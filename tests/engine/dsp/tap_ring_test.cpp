#include "engine/dsp/tap_ring.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/filter_response.h"

namespace vestrel {
namespace {

// The contiguous-window kernels against a plain loop over the history, for one and four lanes,
// at every window length up to 130 and over several wraps of the ring. ConvolveInOrder sums
// each lane in the same order as the plain loop, so the results are equal, not merely close;
// the fast kernels (four partial sums; symmetric tables folded) agree to rounding: within
// 1e-14 of the sum of the products' magnitudes, some fifty units in the last place.
template <int Lanes>
void CheckAgainstPlainLoop() {
  const std::vector<double> x = test::RandomSignal(400 * Lanes, 12, 500.0);
  for (int n = 1; n <= 130; ++n) {
    const std::vector<double> taps = test::RandomSignal(static_cast<size_t>(n), 13 + n);
    std::vector<double> symmetric = taps;
    for (int i = 0; i < n / 2; ++i) symmetric[n - 1 - i] = symmetric[i];
    ASSERT_TRUE(IsSymmetric(symmetric.data(), n));
    if (n > 1) {
      ASSERT_FALSE(IsSymmetric(taps.data(), n));  // random taps
    }
    TapRing<Lanes> ring;
    ASSERT_TRUE(ring.SetLength(n));
    for (size_t t = 0; t < 400; ++t) {
      ring.Push(&x[t * Lanes]);
      double out[Lanes];
      double fast[Lanes];
      double folded[Lanes];
      ConvolveInOrder<Lanes>(ring.Newest(), taps.data(), n, out);
      ConvolveLanes<Lanes>(ring.Newest(), taps.data(), n, fast);
      ConvolveLanesSymmetric<Lanes>(ring.Newest(), symmetric.data(), n, folded);
      for (int l = 0; l < Lanes; ++l) {
        double want = 0.0;
        double wantSymmetric = 0.0;
        double size = 0.0;
        for (int i = 0; i < n && static_cast<size_t>(i) <= t; ++i) {
          want += x[(t - i) * Lanes + l] * taps[i];
          wantSymmetric += x[(t - i) * Lanes + l] * symmetric[i];
          size += std::fabs(x[(t - i) * Lanes + l]) * (std::fabs(taps[i]) + std::fabs(symmetric[i]));
        }
        ASSERT_EQ(out[l], want) << "n " << n << " t " << t << " lane " << l;
        ASSERT_NEAR(fast[l], want, 1e-14 * size) << "n " << n << " t " << t << " lane " << l;
        ASSERT_NEAR(folded[l], wantSymmetric, 1e-14 * size) << "n " << n << " t " << t << " lane " << l;
      }
    }
  }
}

TEST(TapRing, OneLaneEqualsPlainLoop) {
  CheckAgainstPlainLoop<1>();
}
TEST(TapRing, FourLanesEqualPlainLoop) {
  CheckAgainstPlainLoop<4>();
}

TEST(TapRing, RefusesBadLengths) {
  TapRing<4> r;
  EXPECT_FALSE(r.SetLength(0));
  EXPECT_FALSE(r.SetLength(TapRing<4>::kMaxLength + 1));
  EXPECT_TRUE(r.Empty());
  ASSERT_TRUE(r.SetLength(5));
  EXPECT_FALSE(r.SetLength(-1));
  EXPECT_EQ(r.Length(), 5);
}

TEST(TapRing, MirrorTapsBuildsSymmetricTable) {
  constexpr double half[] = {1.0, 2.0, 3.0};
  constexpr auto t = MirrorTaps<5>(half);
  EXPECT_EQ(t, (std::array<double, 5>{1.0, 2.0, 3.0, 2.0, 1.0}));
}

}  // namespace
}  // namespace vestrel
