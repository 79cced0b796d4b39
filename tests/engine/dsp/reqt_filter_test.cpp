#include "engine/dsp/reqt_filter.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/filter_response.h"

namespace vestrel {
namespace {

// A constant c climbs by c / N per sample and is c exactly from the N-th sample on (c and k c
// are exact in binary for these values, so equality is the right test).
TEST(TReqtFilter, ConstantReachesItselfAfterNSamples) {
  for (int n : {1, 2, 7, 64, 243}) {
    TReqtFilter f(n);
    const double c = 3.0;
    for (int k = 1; k < n; ++k) EXPECT_DOUBLE_EQ(f.Step(c), c * k / n) << n << " " << k;
    for (int k = 0; k < 3 * n; ++k) ASSERT_EQ(f.Step(c), c) << n << " " << k;
  }
}

TEST(TReqtFilter, BadLengthsAreRefusedAndTheOldOneKept) {
  TReqtFilter none;
  EXPECT_EQ(none.Step(4.0), 0.0);  // no ring yet
  TReqtFilter bad(0);
  EXPECT_EQ(bad.Length(), 0);
  EXPECT_EQ(bad.Step(4.0), 0.0);
  TReqtFilter f(4);
  f.Step(8.0);
  EXPECT_FALSE(f.SetLength(0));
  EXPECT_FALSE(f.SetLength(-5));
  EXPECT_FALSE(f.SetLength(TReqtFilter::kMaxLength + 1));
  EXPECT_EQ(f.Length(), 4);
  EXPECT_EQ(f.Step(8.0), 4.0);  // the earlier sample is still in the ring
}

// Against the mean of the last N samples, summed afresh; then, after a long loud stretch,
// silence is exactly 0 once N samples of it have passed (the running sum is rebuilt per wrap,
// so no rounding residue survives).
TEST(TReqtFilter, TracksTheWindowMeanAndLeavesNoResidue) {
  const int n = 111;
  const std::vector<double> x = test::RandomSignal(50000, 9, 30000.0);
  TReqtFilter f(n);
  for (size_t k = 0; k < x.size(); ++k) {
    const double y = f.Step(x[k]);
    if (k % 997 != 0 || k < static_cast<size_t>(n)) continue;
    double s = 0.0;
    for (int i = 0; i < n; ++i) s += x[k - i];
    ASSERT_NEAR(y, s / n, 1e-9) << k;
  }
  for (int k = 0; k < n; ++k) f.Step(0.0);
  EXPECT_EQ(f.Step(0.0), 0.0);
  f.Step(5.0);
  f.Reset();
  EXPECT_EQ(f.Step(0.0), 0.0);
}

}  // namespace
}  // namespace vestrel
