#include "engine/dsp/decimator3.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/filter_response.h"

namespace vestrel {
namespace {

TEST(Decimator3, C27MatchesItsResponse) {
  // Half amplitude at 0.0810 of 2756.25 samples/s: 223 Hz.
  test::ExpectTapTable("C27", kC27, {1.00005, 0.0810, 1.00004871046000, 1.16957984354000});
}

// 0 for two calls, then a new output on the 3rd, 6th, ... call, held for three calls.
TEST(Decimator3, OutputsEveryThirdCallAndHolds) {
  const std::vector<double> x = test::RandomSignal(300, 3, 1000.0);
  Decimator3 d;
  std::vector<double> y(x.size());
  ASSERT_EQ(d.Process(x, y), x.size());
  EXPECT_EQ(y[0], 0.0);
  EXPECT_EQ(y[1], 0.0);
  for (size_t n = 2; n < x.size(); ++n)
    EXPECT_DOUBLE_EQ(y[n], test::DirectFir(kC27, x, n - (n + 1) % 3)) << n;
}

TEST(Decimator3, ResetRestarts) {
  const std::vector<double> x = test::RandomSignal(100, 4);
  Decimator3 a, fresh;
  for (size_t n = 0; n < 50; ++n) a.Step(x[n]);
  a.Reset();
  for (double v : x) ASSERT_EQ(a.Step(v), fresh.Step(v));
}

}  // namespace
}  // namespace vestrel
