#include "engine/modes/packet/hdlc_deframer.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "support/ax25_frames.h"
#include "support/hdlc_bits.h"

namespace vestrel {
namespace {

std::vector<std::vector<uint8_t>> Deframe(THdlcDeframer& d, const std::vector<int>& bits,
                                          int* flags = nullptr) {
  std::vector<std::vector<uint8_t>> frames;
  for (int b : bits) {
    const int r = d.PutBit(b);
    if (flags && (r & THdlcDeframer::kFlag)) ++*flags;
    if (r & THdlcDeframer::kFrame) frames.emplace_back(d.Frame().begin(), d.Frame().end());
  }
  return frames;
}

std::vector<uint8_t> Frame(size_t n, uint32_t seed = 5) {
  std::mt19937 rng(seed);
  return test::WithCheckBytes(test::RandomAx25Frame(n, rng));
}

TEST(HdlcDeframerTest, FramesOfEveryLengthAroundTheLimits) {
  // With check bytes: 14 is too short, 15 and 16 are delivered, 330 kept, 331 dropped.
  for (size_t total : {14u, 15u, 16u, 17u, 100u, 329u, 330u, 331u}) {
    SCOPED_TRACE(total);
    const std::vector<uint8_t> f = Frame(total - 2);
    test::HdlcBits line;
    line.Frame(f);
    THdlcDeframer d;
    const auto frames = Deframe(d, line.bits);
    if (total >= 15 && total <= 330) {
      ASSERT_EQ(frames.size(), 1u);
      EXPECT_EQ(frames[0], f);
    } else {
      EXPECT_TRUE(frames.empty());
    }
  }
}

TEST(HdlcDeframerTest, TooLongAFrameIsDroppedAndTheNextFlagStartsAfresh) {
  test::HdlcBits line;
  line.Flag();
  line.Bytes(std::vector<uint8_t>(331, 0x55));
  THdlcDeframer d;
  Deframe(d, line.bits);
  EXPECT_FALSE(d.InFrame());
  EXPECT_EQ(d.ByteCount(), 0);
  const std::vector<uint8_t> f = Frame(40);
  test::HdlcBits next;
  next.Bytes({0x12, 0x34});  // no frame is open: ignored
  next.Frame(f);
  const auto frames = Deframe(d, next.bits);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0], f);
}

TEST(HdlcDeframerTest, BackToBackFramesSharingOneFlagAreBothDelivered) {
  const std::vector<uint8_t> a = Frame(20, 1), b = Frame(60, 2);
  test::HdlcBits line;
  line.Frame(a);
  line.Bytes(b);
  line.Flag();
  THdlcDeframer d;
  int flags = 0;
  const auto frames = Deframe(d, line.bits, &flags);
  EXPECT_EQ(flags, 3);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0], a);
  EXPECT_EQ(frames[1], b);
}

TEST(HdlcDeframerTest, SevenOnesAbortTheFrameAndTheNextFlagOpensANewOne) {
  const std::vector<uint8_t> f = Frame(30);
  test::HdlcBits line;
  line.Flag();
  line.Bytes(std::vector<uint8_t>(f.begin(), f.begin() + 10));
  line.Raw({1, 1, 1, 1, 1, 1, 1});
  THdlcDeframer d;
  Deframe(d, line.bits);
  EXPECT_FALSE(d.InFrame());

  // Without the abort the flag would close a frame of the old bytes and the new ones.
  test::HdlcBits rest;
  rest.Frame(f);
  const auto frames = Deframe(d, rest.bits);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0], f);
}

TEST(HdlcDeframerTest, AClosingFlagOffTheByteBoundaryDropsTheFrame) {
  const std::vector<uint8_t> f = Frame(30);
  for (int extra = 1; extra < 8; ++extra) {
    SCOPED_TRACE(extra);
    test::HdlcBits line;
    line.Flag();
    line.Bytes(f);
    for (int i = 0; i < extra; ++i) line.Raw({i & 1});
    line.Flag();
    THdlcDeframer d;
    EXPECT_TRUE(Deframe(d, line.bits).empty());
  }
}

TEST(HdlcDeframerTest, ABadCheckSequenceIsDroppedSilently) {
  std::vector<uint8_t> f = Frame(30);
  f[20] ^= 0x01;
  test::HdlcBits line;
  line.Frame(f);
  THdlcDeframer d;
  int flags = 0;
  EXPECT_TRUE(Deframe(d, line.bits, &flags).empty());
  EXPECT_EQ(flags, 2);
}

TEST(HdlcDeframerTest, StuffedZerosAreRemoved) {
  // 0xFF 0xFF 0x7E: many stuffed zeros, and a flag pattern inside the data.
  std::vector<uint8_t> f = test::WithCheckBytes({0x82, 0xA0, 0xA4, 0xA6, 0x40, 0x40, 0x60, 0x9C, 0x60, 0x86,
                                                 0x82, 0x98, 0x98, 0x61, 0x03, 0xF0, 0xFF, 0xFF, 0x7E, 0x3E});
  test::HdlcBits line;
  line.Frame(f);
  THdlcDeframer d;
  const auto frames = Deframe(d, line.bits);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0], f);
}

}  // namespace
}  // namespace vestrel
