#include "engine/dsp/tap_ring.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/filter_response.h"

namespace vestrel {
namespace {

// The contiguous-window kernel against a plain loop over the history, for one and four lanes,
// at every window length up to 130 and over several wraps of the ring. Each lane sums in the
// same order as the plain loop, so the results are equal, not merely close.
template <int Lanes>
void CheckAgainstPlainLoop() {
  const std::vector<double> x = test::RandomSignal(400 * Lanes, 12, 500.0);
  for (int n = 1; n <= 130; ++n) {
    const std::vector<double> taps = test::RandomSignal(static_cast<size_t>(n), 13 + n);
    TapRing<Lanes> ring;
    ASSERT_TRUE(ring.SetLength(n));
    for (size_t t = 0; t < 400; ++t) {
      ring.Push(&x[t * Lanes]);
      double out[Lanes];
      ConvolveLanes<Lanes>(ring.Newest(), taps.data(), n, out);
      for (int l = 0; l < Lanes; ++l) {
        double want = 0.0;
        for (int i = 0; i < n && static_cast<size_t>(i) <= t; ++i) want += x[(t - i) * Lanes + l] * taps[i];
        ASSERT_EQ(out[l], want) << "n " << n << " t " << t << " lane " << l;
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
