#include "engine/codes/varicode_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace vestrel {
namespace {

// The word of an entry: the bits after the two separator zeros, up to the last 1.
std::string Word(uint16_t entry) {
  std::string bits;
  for (int b = 15; b >= 0; --b) bits.push_back(((entry >> b) & 1) ? '1' : '0');
  return bits.substr(0, bits.find_last_of('1') + 1);
}

TEST(VaricodeTable, HoldsTwoHundredFiftySixDistinctValidWords) {
  std::set<std::string> words;
  for (int c = 0; c < 256; ++c) {
    const std::string w = Word(kVaricode[c]);
    ASSERT_GE(w.size(), 3u) << c;
    EXPECT_EQ(w.substr(0, 2), "00") << c;
    const std::string word = w.substr(2);
    EXPECT_EQ(word.front(), '1') << c;
    EXPECT_EQ(word.back(), '1') << c;
    EXPECT_EQ(word.find("00"), std::string::npos) << c;
    words.insert(word);
  }
  EXPECT_EQ(words.size(), 256u);
}

TEST(VaricodeTable, KnownWords) {
  EXPECT_EQ(Word(kVaricode[' ']), "001");
  EXPECT_EQ(Word(kVaricode['e']), "0011");
  EXPECT_EQ(Word(kVaricode['a']), "001011");
  EXPECT_EQ(Word(kVaricode['\n']), "0011101");
  EXPECT_EQ(Word(kVaricode['\r']), "0011111");
  EXPECT_EQ(Word(kVaricode['A']), "001111101");
  EXPECT_EQ(Word(kVaricode[128]), "001110111101");
  EXPECT_EQ(Word(kVaricode[129]), "001110111111");
  EXPECT_EQ(Word(kVaricode[255]), "00101101011011");
}

TEST(VaricodeTable, UpperHalfRunsInOrderOfLengthThenValue) {
  for (int c = 129; c < 256; ++c) {
    const std::string a = Word(kVaricode[c - 1]), b = Word(kVaricode[c]);
    EXPECT_TRUE(a.size() < b.size() || (a.size() == b.size() && a < b)) << c;
  }
}

// The receiver's table is the exact inverse: each character but NUL at its word without the
// last 1 bit, and nothing anywhere else.
TEST(VaricodeTable, DecodeTableIsTheExactInverse) {
  const auto& decode = VaricodeDecodeTable();
  std::set<uint32_t> used;
  for (int c = 1; c < 256; ++c) {
    const std::string word = Word(kVaricode[c]).substr(2);
    const uint32_t index = static_cast<uint32_t>(std::stoul(word, nullptr, 2)) >> 1;
    ASSERT_LT(index, kVaricodeDecodeSize) << c;
    EXPECT_EQ(decode[index], c) << c;
    used.insert(index);
  }
  for (uint32_t i = 0; i < kVaricodeDecodeSize; ++i) {
    if (!used.count(i)) {
      EXPECT_EQ(decode[i], 0) << i;
    }
  }
  // Known words: space "1", e "11", NUL "1010101011" (no character).
  EXPECT_EQ(decode[0], ' ');
  EXPECT_EQ(decode[1], 'e');
  EXPECT_EQ(decode[0b101010101], 0);
}

}  // namespace
}  // namespace vestrel
