#include "engine/dsp/decimator2.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/filter_response.h"

namespace vestrel {
namespace {

TEST(Decimator2, C45MatchesItsResponse) {
  // Half amplitude at 0.2057 of 5512.5 samples/s: 1134 Hz.
  test::ExpectTapTable("C45", kC45, {0.98643, 0.2057, 0.98642503602000, 1.82513393922000});
}

// 0 until the 2nd call, then each output held for two calls; each output is the plain
// convolution of the input so far with C45, computed on the 2nd, 4th, ... call.
TEST(Decimator2, OutputsEverySecondCallAndHolds) {
  const std::vector<double> x = test::RandomSignal(300, 1, 1000.0);
  Decimator2 d;
  std::vector<double> y(x.size());
  ASSERT_EQ(d.Process(x, y), x.size());
  EXPECT_EQ(y[0], 0.0);
  for (size_t n = 1; n < x.size(); ++n) {
    const size_t computedAt = n % 2 == 1 ? n : n - 1;
    EXPECT_DOUBLE_EQ(y[n], test::DirectFir(kC45, x, computedAt)) << n;
  }
  for (size_t n = 1; n + 1 < x.size(); n += 2) EXPECT_EQ(y[n], y[n + 1]) << n;
}

TEST(Decimator2, ResetAndCopyRestartAndContinue) {
  const std::vector<double> x = test::RandomSignal(200, 2);
  Decimator2 a;
  for (size_t n = 0; n < 77; ++n) a.Step(x[n]);
  Decimator2 b = a;
  for (size_t n = 77; n < x.size(); ++n) ASSERT_EQ(a.Step(x[n]), b.Step(x[n]));
  a.Reset();
  Decimator2 fresh;
  for (size_t n = 0; n < x.size(); ++n) ASSERT_EQ(a.Step(x[n]), fresh.Step(x[n]));
}

}  // namespace
}  // namespace vestrel
