#include "engine/dsp/decimator2_ex.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/dsp/fsk_detector.h"
#include "support/filter_response.h"

namespace vestrel {
namespace {

TEST(Decimator2Ex, InvalidUntilTapsAreSet) {
  Decimator2Ex d;
  EXPECT_FALSE(d.Valid());
  EXPECT_EQ(d.Step(3.0), 0.0);
  EXPECT_FALSE(d.SetTaps(0, kPre49.data()));
  EXPECT_FALSE(d.SetTaps(49, nullptr));
  EXPECT_FALSE(d.Valid());
  ASSERT_TRUE(d.SetTaps(49, kPre49.data()));
  EXPECT_TRUE(d.Valid());
  EXPECT_FALSE(d.SetTaps(-2, kPre49.data()));
  EXPECT_TRUE(d.Valid());
}

// Step computes every sample; a decimating user that Pushes the samples it drops and Steps the
// ones it keeps gets the same kept values.
TEST(Decimator2Ex, PushingSkippedSamplesGivesTheSameKeptOutputs) {
  const std::vector<double> x = test::RandomSignal(500, 6, 2000.0);
  Decimator2Ex every, kept;
  ASSERT_TRUE(every.SetTaps(kPre919));
  ASSERT_TRUE(kept.SetTaps(kPre919));
  for (size_t n = 0; n < x.size(); ++n) {
    const double y = every.Step(x[n]);
    ASSERT_DOUBLE_EQ(y, test::DirectFir(kPre919, x, n)) << n;
    if (n % 2 == 0) {
      ASSERT_EQ(kept.Step(x[n]), y) << n;
    } else {
      kept.Push(x[n]);
    }
  }
  every.Reset();
  EXPECT_EQ(every.Output(), 0.0);
  EXPECT_EQ(every.Step(1.0), kPre919[0]);
}

}  // namespace
}  // namespace vestrel
