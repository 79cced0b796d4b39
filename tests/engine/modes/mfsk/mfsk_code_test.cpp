#include "engine/modes/mfsk/mfsk_code.h"

#include <gtest/gtest.h>

namespace vestrel {
namespace {

TEST(MfskCode, GrayInverseInvertsTheGrayCode) {
  for (uint32_t v = 0; v < 32; ++v) {
    EXPECT_EQ(MfskGray(MfskGrayInverse[v]), v);
    EXPECT_EQ(MfskGrayInverse[MfskGray(v)], v);
  }
  // Neighbouring tones differ in one bit of their value.
  for (uint32_t t = 0; t + 1 < 32; ++t) EXPECT_EQ(std::popcount(MfskGray(t) ^ MfskGray(t + 1)), 1);
}

// The encoder's register holds the last 7 input bits; the first code bit is the 0x6D parity.
TEST(MfskCode, EncoderGivesTheParitiesOfItsRegister) {
  TMfskEncoder e;
  EXPECT_EQ(e.Push(1), 3u);  // register 0000001: both generators tap bit 0
  EXPECT_EQ(e.Push(0), MfskCodeBits(0b10));
  EXPECT_EQ(e.Push(1), MfskCodeBits(0b101));
  for (int i = 0; i < 10; ++i) e.Push(1);
  EXPECT_EQ(e.Register, 0x7Fu);
  EXPECT_EQ(e.Push(0), MfskCodeBits(0x7E));
  // 0x6D = 1101101 has five taps, 0x4F = 1001111 five: an all-ones register gives 1, 1.
  EXPECT_EQ(MfskCodeBits(0x7F), 3u);
  EXPECT_EQ(MfskCodeBits(0x40), 3u);
  EXPECT_EQ(MfskCodeBits(0x20), 2u);  // only 0x6D taps bit 5
  EXPECT_EQ(MfskCodeBits(0x02), 1u);  // only 0x4F taps bit 1
}

}  // namespace
}  // namespace vestrel
