#include "engine/modes/ps2x5/ps2x5_block.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/codes/fcs16.h"
#include "engine/codes/reed_solomon31.h"

namespace vestrel {
namespace {

BlockBytes Bytes(const std::string& s) {
  BlockBytes b{};
  for (size_t i = 0; i < s.size() && i < b.size(); ++i) b[i] = static_cast<uint8_t>(s[i]);
  return b;
}

TEST(Ps2x5Block, CountersRunFromEightAndWrapAfterSevenAndFifteen) {
  int c = kFirstBlockCounter;
  std::string seen;
  for (int i = 0; i < 18; ++i) {
    seen += std::to_string(c) + " ";
    c = NextBlockCounter(c);
  }
  EXPECT_EQ(seen, "8 9 10 11 12 13 14 15 0 1 2 3 4 5 6 7 0 1 ");
}

// The layout by hand for "ABCDEFG" and counter 9: 56 bits of text, then 1001; the check is the
// frame check register over the 12 symbols, XOR the data mask, in 15 bits.
TEST(Ps2x5Block, InformationSymbolsHoldTheBitsMostSignificantFirst) {
  TReedSolomon31 rs;
  const BlockSymbols s = BuildBlockSymbols(rs, Bytes("ABCDEFG"), false, 9);
  uint64_t bits = 0;
  for (char ch : std::string("ABCDEFG")) bits = (bits << 8) | static_cast<uint8_t>(ch);
  bits = (bits << 4) | 9;
  for (int i = 0; i < 12; ++i) EXPECT_EQ(s[16 + i], (bits >> (5 * (11 - i))) & 31) << i;
  EXPECT_EQ(s[27], ((uint8_t('G') & 1) << 4) | 9);  // the lowest bit of byte 6, then the counter
  uint16_t crc = 0xFFFF;
  for (int i = 0; i < 12; ++i) crc = Fcs16Step(s[16 + i], crc);
  const uint16_t check = (crc ^ 0x357A) & 0x7FFF;
  EXPECT_EQ(s[28], check >> 10);
  EXPECT_EQ(s[29], (check >> 5) & 31);
  EXPECT_EQ(s[30], check & 31);
  EXPECT_EQ(BlockCheck(s.data() + 16, false), check);
  // The parity makes it a code word.
  BlockSymbols out{};
  EXPECT_EQ(rs.BlockDecode(s.data(), out.data()), 0);
}

TEST(Ps2x5Block, DataAndEndBlocksOfTheSameContentDifferOnlyInTheirCheck) {
  TReedSolomon31 rs;
  const BlockBytes b = Bytes(std::string("HELLO\x04", 6));
  const BlockSymbols data = BuildBlockSymbols(rs, b, false, 8);
  const BlockSymbols end = BuildBlockSymbols(rs, b, true, 8);
  for (int i = 16; i < 28; ++i) EXPECT_EQ(data[i], end[i]);
  EXPECT_NE(BlockCheck(data.data() + 16, false), BlockCheck(data.data() + 16, true));
  EXPECT_TRUE(data[28] != end[28] || data[29] != end[29] || data[30] != end[30]);
  EXPECT_EQ(ReadBlock(data).kind, BlockContent::kData);
  EXPECT_EQ(ReadBlock(end).kind, BlockContent::kEnd);
}

TEST(Ps2x5Block, ReadsBackWhatWasBuilt) {
  TReedSolomon31 rs;
  const BlockContent data = ReadBlock(BuildBlockSymbols(rs, Bytes("7 bytes"), false, 13));
  EXPECT_EQ(data.kind, BlockContent::kData);
  EXPECT_EQ(data.counter, 13);
  EXPECT_EQ(data.length, 7);
  EXPECT_EQ(std::string(data.bytes.begin(), data.bytes.end()), "7 bytes");

  // A data block carries its 7 bytes whatever they are, zeros included.
  const BlockContent padded = ReadBlock(BuildBlockSymbols(rs, Bytes("AB"), false, 0));
  EXPECT_EQ(padded.kind, BlockContent::kData);
  EXPECT_EQ(padded.length, 7);
}

// An end block: its text, 0x04, zeros. Six characters fill it up to byte 6; no 0x04, or a
// non-zero byte after it, and the block is ignored. The text itself may hold a 0x04.
TEST(Ps2x5Block, EndBlocksCountTheirCharacters) {
  TReedSolomon31 rs;
  struct Case {
    std::string bytes;
    BlockContent::Kind kind;
    int length;
  };
  const Case cases[] = {
      {std::string("ABCDE\x04", 6), BlockContent::kEnd, 5},
      {std::string("ABCDEF\x04", 7), BlockContent::kEnd, 6},
      {std::string("\x04", 1), BlockContent::kEnd, 0},
      {std::string("A\x04" "B\x04", 4), BlockContent::kEnd, 3},
      {std::string("ABCDEFG", 7), BlockContent::kNone, 0},
      {std::string("AB\x04\x00X", 5), BlockContent::kNone, 0},
      {std::string("", 0), BlockContent::kNone, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    const BlockContent b = ReadBlock(BuildBlockSymbols(rs, Bytes(c.bytes), true, 3));
    EXPECT_EQ(b.kind, c.kind);
    if (c.kind == BlockContent::kEnd) {
      EXPECT_EQ(b.length, c.length);
      EXPECT_EQ(b.counter, 3);
    }
  }
}

TEST(Ps2x5Block, ACheckThatFitsNeitherIsNoBlock) {
  TReedSolomon31 rs;
  BlockSymbols s = BuildBlockSymbols(rs, Bytes("ABCDEFG"), false, 8);
  s[30] ^= 1;
  EXPECT_EQ(ReadBlock(s).kind, BlockContent::kNone);
  BlockSymbols idle{};  // the idle fill: a code word, but its check fits neither mask
  EXPECT_EQ(ReadBlock(idle).kind, BlockContent::kNone);
}

}  // namespace
}  // namespace vestrel
