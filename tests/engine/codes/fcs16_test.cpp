#include "engine/codes/fcs16.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace vestrel {
namespace {

std::vector<uint8_t> Bytes(std::string_view text) {
  return {text.begin(), text.end()};
}

std::vector<uint8_t> FromHex(std::string_view hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  return out;
}

TEST(Fcs16Test, TableEntries) {
  EXPECT_EQ(Fcs16Table[0], 0x0000);
  EXPECT_EQ(Fcs16Table[1], 0x1189);
  EXPECT_EQ(Fcs16Table[128], 0x8408);
  EXPECT_EQ(Fcs16Table[255], 0x0F78);
}

TEST(Fcs16Test, CheckValueOfTheNineDigits) {
  const std::vector<uint8_t> digits = Bytes("123456789");
  EXPECT_EQ(CalcFcs16(digits), 0x906E);

  std::vector<int16_t> items(digits.begin(), digits.end());
  items.resize(items.size() + 2, -1);
  ASSERT_TRUE(AppendFcs16(items, digits.size()));
  EXPECT_EQ(items[9], 0x6E);
  EXPECT_EQ(items[10], 0x90);
}

TEST(Fcs16Test, AFrameWithItsCheckBytesLeavesTheGoodResidue) {
  std::vector<uint8_t> frame = Bytes("123456789");
  frame.push_back(0x6E);
  frame.push_back(0x90);
  uint16_t crc = kFcs16Preset;
  for (uint8_t b : frame) crc = Fcs16Step(b, crc);
  EXPECT_EQ(crc, 0xF0B8);
  EXPECT_TRUE(CheckFcs16(frame));
  frame[3] ^= 0x10;
  EXPECT_FALSE(CheckFcs16(frame));
}

TEST(Fcs16Test, EmptyInputs) {
  EXPECT_FALSE(CheckFcs16({}));
  int16_t items[2] = {-1, -1};
  ASSERT_TRUE(AppendFcs16(items, 0));
  EXPECT_EQ(items[0], 0x00);
  EXPECT_EQ(items[1], 0x00);
}

TEST(Fcs16Test, AppendWithoutRoomIsRefused) {
  int16_t items[4] = {1, 2, 3, 4};
  EXPECT_FALSE(AppendFcs16(items, 3));
  EXPECT_FALSE(AppendFcs16(items, 5));
  EXPECT_EQ(items[3], 4);
  EXPECT_TRUE(AppendFcs16(items, 2));
}

// Check values from python3-crcmod's "x-25" function (tests/engine/codes/fcs16_vectors.py).
struct Vector {
  std::string_view hex;
  uint16_t fcs;
};
constexpr Vector kVectors[] = {
    {"D9", 0xBB34},
    {"FFA4", 0x13A9},
    {"3E0884", 0x5C95},
    {"F93DF1AA1F65D8", 0xCC1C},
    {"86E4DF0D18F6A56099D5608365E477", 0x6D4D},
    {"CD15BDB130F5FDF738D46DBA56890C95", 0x4FD0},
    {"E0291A8AE5F9D58B9E82AACA222A061305", 0x17F8},
    {"772BAFCCE425BDDE3DEE34AF9F405D23DC7A765B4F0A9B8914287EE39EB461045698C4ACE1FDDFF9", 0x0A5D},
};

TEST(Fcs16Test, RandomFramesAgreeWithAnIndependentImplementation) {
  for (const Vector& v : kVectors) {
    SCOPED_TRACE(v.hex);
    std::vector<uint8_t> frame = FromHex(v.hex);
    EXPECT_EQ(CalcFcs16(frame), v.fcs);
    const size_t n = frame.size();
    std::vector<int16_t> items(frame.begin(), frame.end());
    items.resize(n + 2);
    ASSERT_TRUE(AppendFcs16(items, n));
    EXPECT_EQ(items[n] | (items[n + 1] << 8), v.fcs);
    frame.push_back(static_cast<uint8_t>(items[n]));
    frame.push_back(static_cast<uint8_t>(items[n + 1]));
    EXPECT_TRUE(CheckFcs16(frame));
  }
  std::vector<uint8_t> longFrame(330);
  for (size_t i = 0; i < longFrame.size(); ++i) longFrame[i] = static_cast<uint8_t>((i * 37 + 11) & 0xFF);
  EXPECT_EQ(CalcFcs16(longFrame), 0x730F);
}

}  // namespace
}  // namespace vestrel
