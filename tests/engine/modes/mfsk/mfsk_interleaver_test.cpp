#include "engine/modes/mfsk/mfsk_interleaver.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace vestrel {
namespace {

struct Shape {
  int bits;
  int stages;
};
constexpr Shape kShapes[] = {{4, 10}, {5, 5}};

// A single 1 in bit j of one symbol (j = 0 the most significant, as the receiver numbers its
// soft bits): the interleaver numbers it D - 1 - j from the least significant end and delays
// it D - 1 - (D - 1 - j) = j symbols a stage, the deinterleaver D - 1 - j, so through both it
// comes out D - 1 symbols a stage later in its own place.
TEST(MfskInterleaver, DelaysEachBitByItsDiagonal) {
  for (const Shape& s : kShapes) {
    for (int j = 0; j < s.bits; ++j) {
      SCOPED_TRACE(testing::Message() << s.bits << " bits, bit " << j);
      TMfskInterleaver il;
      il.SetBits(s.bits);
      const int lsbIndex = s.bits - 1 - j;
      int seenAt = -1;
      for (int t = 0; t < 60; ++t) {
        const uint32_t out = il.Interleave(t == 0 ? 1u << lsbIndex : 0u);
        if (out != 0) {
          EXPECT_EQ(out, 1u << lsbIndex);
          seenAt = t;
        }
      }
      EXPECT_EQ(seenAt, s.stages * j);

      TMfskDeinterleaver de;
      de.SetBits(s.bits);
      seenAt = -1;
      for (int t = 0; t < 60; ++t) {
        uint8_t soft[5] = {10, 10, 10, 10, 10};
        if (t == 0) soft[j] = 200;
        de.Deinterleave(soft);
        for (int b = 0; b < s.bits; ++b) {
          if (soft[b] == 200) {
            EXPECT_EQ(b, j);
            seenAt = t;
          }
        }
      }
      EXPECT_EQ(seenAt, s.stages * (s.bits - 1 - j));
    }
  }
}

// The pair in cascade: every value comes back D - 1 symbols a stage later.
TEST(MfskInterleaver, DeinterleaverUndoesTheInterleaver) {
  std::mt19937 rng(7);
  for (const Shape& s : kShapes) {
    TMfskInterleaver il;
    il.SetBits(s.bits);
    TMfskDeinterleaver de;
    de.SetBits(s.bits);
    const int delay = s.stages * (s.bits - 1);
    std::vector<uint32_t> sent;
    for (int t = 0; t < 200; ++t) {
      const uint32_t v = rng() & ((1u << s.bits) - 1);
      sent.push_back(v);
      const uint32_t onAir = il.Interleave(v);
      uint8_t soft[5];
      for (int b = 0; b < s.bits; ++b) soft[b] = ((onAir >> (s.bits - 1 - b)) & 1u) ? 255 : 0;
      de.Deinterleave(soft);
      uint32_t back = 0;
      for (int b = 0; b < s.bits; ++b) back = (back << 1) | (soft[b] > 128 ? 1u : 0u);
      if (t >= delay) {
        ASSERT_EQ(back, sent[t - delay]) << t;
      }
    }
  }
}

}  // namespace
}  // namespace vestrel
