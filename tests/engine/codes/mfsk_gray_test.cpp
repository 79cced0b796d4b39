#include "engine/codes/mfsk_gray.h"

#include <gtest/gtest.h>

namespace vestrel {
namespace {

TEST(MfskGray, InverseUndoesTheGrayCode) {
  for (uint32_t v = 0; v < 32; ++v) {
    const uint32_t t = MfskGrayInverse[v];
    EXPECT_EQ(t ^ (t >> 1), v) << v;
    EXPECT_EQ(MfskGray(t), v);
    EXPECT_EQ(MfskGrayInverse[MfskGray(v)], v);
  }
}

// Neighbouring tones differ in one bit of the symbol: a tone read one place off costs one bit.
TEST(MfskGray, NeighbouringTonesDifferInOneBit) {
  for (uint32_t t = 1; t < 32; ++t) EXPECT_EQ(__builtin_popcount(MfskGray(t) ^ MfskGray(t - 1)), 1) << t;
}

TEST(MfskGray, KnownEntries) {
  EXPECT_EQ(MfskGrayInverse[3], 2);
  EXPECT_EQ(MfskGrayInverse[8], 15);
  EXPECT_EQ(MfskGrayInverse[16], 31);
  EXPECT_EQ(MfskGrayInverse[31], 21);
}

}  // namespace
}  // namespace vestrel
