#include "memo/style_codes.h"

#include <gtest/gtest.h>

namespace vestrel {
namespace {

TEST(StyleCodes, XorAndStrip) {
  uint8_t state = 0;
  EXPECT_TRUE(XORStyleCode(state, 2));
  EXPECT_TRUE(XORStyleCode(state, 21));
  EXPECT_TRUE(XORStyleCode(state, 4));
  EXPECT_EQ(state, kStyleBold | kStyleUnderline | kStyleAltFont);
  for (int c = 0; c < 256; ++c) {
    if (c == 1 || c == 2 || c == 3 || c == 4 || c == 21) continue;
    uint8_t s = 0x55;
    EXPECT_FALSE(XORStyleCode(s, static_cast<unsigned char>(c))) << c;
    EXPECT_EQ(s, 0x55);
  }
  TByteString all;
  for (int c = 0; c < 30; ++c) all.push_back(static_cast<unsigned char>(c));
  const TByteString stripped = StripCodes(all);
  EXPECT_EQ(stripped.size(), 25u);
  EXPECT_EQ(stripped.find(21), TByteString::npos);
  EXPECT_NE(stripped.find(5), TByteString::npos);
  EXPECT_NE(stripped.find(20), TByteString::npos);
}

TEST(StyleCodes, RestoringCodesComeInTheirOrder) {
  EXPECT_EQ(CodesForToggles(kStyleBold | kStyleItalic | kStyleUnderline | kStyleHighlight | kStyleAltFont),
            (TByteString{21, 1, 2, 3, 4}));
  EXPECT_EQ(CodesForToggles(0), TByteString());
}

TEST(StyleCodes, PairCancelling) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"x\x02\x02y", "xy"},       {"x\x02\x01\x02y", "x\x01y"}, {"x\x02y\x02", "x\x02y\x02"},
      {"\x02\x01\x01\x02", ""},   {"\x02\x01\x02\x01", ""},     {"\x02\x02\x02", "\x02"},
      {"a\x05\x05", "a\x05\x05"},  // 5 is not a code
  };
  for (const auto& c : cases) {
    TByteString s = ToBytes(c.in);
    CancelCodePairs(s);
    EXPECT_EQ(ToChars(s), c.out) << ::testing::PrintToString(c.in);
  }
}

}  // namespace
}  // namespace vestrel
