#include "engine/level_ring.h"

#include <gtest/gtest.h>

namespace vestrel {
namespace {

// The index advances before the store and wraps from 2047 to 0; an index that arrives out of
// range (a settings file, slot 3) is masked, never used as it is.
TEST(LevelRing, AdvancesThenStoresAndWraps) {
  LevelRing ring;
  int32_t index = 2046;
  ring.Write(index, 1.5);
  EXPECT_EQ(index, 2047);
  EXPECT_EQ(ring.Levels[2047], 1.5);
  EXPECT_EQ(ring.LevelRingFresh, 1);
  ring.Write(index, 2.5);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(ring.Levels[0], 2.5);
  for (int32_t bad : {-1, -7000, 5000, 2147483647}) {
    int32_t i = bad;
    ring.Write(i, 3.0);
    EXPECT_GE(i, 0);
    EXPECT_LT(i, 2048);
    EXPECT_EQ(ring.Levels[i], 3.0);
  }
}

}  // namespace
}  // namespace vestrel
