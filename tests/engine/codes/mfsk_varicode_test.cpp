#include "engine/codes/mfsk_varicode.h"

#include <gtest/gtest.h>

#include <bit>
#include <set>
#include <string>

namespace vestrel {
namespace {

std::string Bits(uint32_t v) {
  std::string s;
  for (int b = std::bit_width(v) - 1; b >= 0; --b) s.push_back(((v >> b) & 1u) ? '1' : '0');
  return s;
}

// The table as a code: 256 distinct words, each beginning with 1 and closed by its two zeros,
// with no 0,0,1 anywhere (which would end a word early), so every word is found again at the
// next 0,0,1.
TEST(MfskVaricode, IsAPrefixFreeCodeOfWordsClosedByTwoZeros) {
  std::set<uint32_t> seen;
  for (int c = 0; c < 256; ++c) {
    SCOPED_TRACE(c);
    const uint32_t v = MfskVaricode[c];
    const std::string bits = Bits(v);
    EXPECT_TRUE(seen.insert(v).second);
    ASSERT_GE(bits.size(), 3u);
    EXPECT_EQ(bits.front(), '1');
    EXPECT_EQ(bits.substr(bits.size() - 2), "00");
    EXPECT_EQ(bits.find("001"), std::string::npos) << bits;
    EXPECT_LE(static_cast<int>(bits.size()), kMfskVaricodeMaxBits);
    EXPECT_EQ(MfskVaricodeChar(v), c);
  }
}

TEST(MfskVaricode, KnownWords) {
  EXPECT_EQ(Bits(MfskVaricode[' ']), "100");
  EXPECT_EQ(Bits(MfskVaricode['e']), "1000");
  EXPECT_EQ(Bits(MfskVaricode['t']), "1100");
  EXPECT_EQ(Bits(MfskVaricode['r']), "100000");
  EXPECT_EQ(MfskVaricode[0], 0x75C);
  EXPECT_EQ(MfskVaricode[255], 0x758);
  EXPECT_EQ(MfskVaricode[148], 0xB40);
}

// Values that are no word: not in the table, and anything longer than the longest word, which
// a bit stream without 0,0,1 (noise, a stuck decoder) leaves in the receiver's register.
TEST(MfskVaricode, ValuesThatAreNoWordGiveNoCharacter) {
  for (uint32_t v : {0u, 1u, 2u, 3u, 0x7FFu, 0xB80u, 0xFFFu, 0x1000u, 0x10000u, 0xFFFFFFFFu, 0x8000075Cu})
    EXPECT_EQ(MfskVaricodeChar(v), -1) << std::hex << v;
}

}  // namespace
}  // namespace vestrel
