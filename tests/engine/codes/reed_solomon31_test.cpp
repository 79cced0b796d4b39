// ctest-link: fec
#include "engine/codes/reed_solomon31.h"

extern "C" {
#include <fec.h>
}
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <numeric>
#include <random>

namespace vestrel {
namespace {

using Block = std::array<uint8_t, 31>;

// libfec (Debian's libfec-dev) as an independent reference: symbol size 5, the same field
// polynomial 0x29, first root alpha^1, primitive element alpha, 16 roots, no shortening. It
// keeps a code word highest power first: data[0] is the coefficient of x^30. Our block keeps
// the coefficient of x^i in symbol i, so the two read each other in reverse order.
struct Libfec {
  Libfec() : rs(init_rs_char(5, 0x29, 1, 1, 16, 0), free_rs_char) {}
  std::unique_ptr<void, void (*)(void*)> rs;

  // Our block (parity 0..15, information 0..14) as libfec's code word and back.
  static Block ToLib(const Block& b) {
    Block r;
    std::reverse_copy(b.begin(), b.end(), r.begin());
    return r;
  }
  Block Encode(const std::array<uint8_t, 15>& info) const {
    Block word{};
    for (int j = 0; j < 15; ++j) word[j] = info[14 - j];
    encode_rs_char(rs.get(), word.data(), word.data() + 15);
    return ToLib(word);  // reversed back into our order
  }
  // -1 when refused, else the corrections; `b` in our order, corrected in place.
  int Decode(Block& b) const {
    Block word = ToLib(b);
    const int n = decode_rs_char(rs.get(), word.data(), nullptr, 0);
    if (n >= 0) b = ToLib(word);
    return n;
  }
};

std::array<uint8_t, 15> RandomInfo(std::mt19937& rng) {
  std::array<uint8_t, 15> info;
  for (uint8_t& s : info) s = static_cast<uint8_t>(rng() & 31);
  return info;
}

Block Encoded(const TReedSolomon31& rs, const std::array<uint8_t, 15>& info) {
  Block b{};
  rs.Encode(info.data(), b.data());
  std::copy(info.begin(), info.end(), b.begin() + 16);
  return b;
}

// `count` distinct positions, each changed to another value.
Block WithErrors(Block b, int count, std::mt19937& rng) {
  std::array<int, 31> pos;
  std::iota(pos.begin(), pos.end(), 0);
  std::shuffle(pos.begin(), pos.end(), rng);
  for (int i = 0; i < count; ++i) b[pos[i]] ^= static_cast<uint8_t>(1 + rng() % 31);
  return b;
}

TEST(ReedSolomon31, FieldFromXToTheFivePlusXCubedPlusOne) {
  TReedSolomon31 rs;
  EXPECT_EQ(rs.Power(0), 1);
  EXPECT_EQ(rs.Power(4), 16);
  EXPECT_EQ(rs.Power(5), 9);  // x^5 = x^3 + 1
  EXPECT_EQ(rs.Power(6), 18);
  EXPECT_EQ(rs.Log(0), -1);
  for (int i = 0; i < 31; ++i) EXPECT_EQ(rs.Log(rs.Power(i)), i);
  EXPECT_EQ(rs.InfoCount(), 15);
  EXPECT_EQ(rs.ParityCount(), 16);
}

TEST(ReedSolomon31, InitRefusesPowersWithoutInformation) {
  TReedSolomon31 rs;
  EXPECT_FALSE(rs.Init(0));
  EXPECT_FALSE(rs.Init(16));
  EXPECT_EQ(rs.T(), 8);
  EXPECT_TRUE(rs.Init(3));
  EXPECT_EQ(rs.InfoCount(), 25);
}

TEST(ReedSolomon31, ParityEqualsLibfecs) {
  TReedSolomon31 rs;
  Libfec lib;
  std::mt19937 rng(31);
  for (int n = 0; n < 2000; ++n) {
    const std::array<uint8_t, 15> info = RandomInfo(rng);
    ASSERT_EQ(Encoded(rs, info), lib.Encode(info)) << n;
  }
}

TEST(ReedSolomon31, CleanBlockDecodesWithNoChange) {
  TReedSolomon31 rs;
  std::mt19937 rng(1);
  const Block sent = Encoded(rs, RandomInfo(rng));
  Block out{};
  EXPECT_EQ(rs.Decode(sent.data(), out.data()), 0);
  EXPECT_EQ(out, sent);
  EXPECT_EQ(rs.BlockDecode(sent.data(), out.data()), 0);
  Block zero{};
  EXPECT_EQ(rs.BlockDecode(zero.data(), out.data()), 0);  // the idle fill is a code word
}

TEST(ReedSolomon31, UpToEightErrorsComeBackAndAreCounted) {
  TReedSolomon31 rs;
  Libfec lib;
  std::mt19937 rng(8);
  for (int errors = 1; errors <= 8; ++errors) {
    for (int n = 0; n < 300; ++n) {
      const Block sent = Encoded(rs, RandomInfo(rng));
      const Block received = WithErrors(sent, errors, rng);
      Block out{};
      ASSERT_EQ(rs.BlockDecode(received.data(), out.data()), errors) << errors << " " << n;
      ASSERT_EQ(out, sent);
      Block theirs = received;
      ASSERT_EQ(lib.Decode(theirs), errors);
      ASSERT_EQ(theirs, sent);
      // In place as well.
      Block inPlace = received;
      ASSERT_EQ(rs.Decode(inPlace.data(), inPlace.data()), 0);
      ASSERT_EQ(inPlace, sent);
    }
  }
}

// Beyond the correcting power a bounded-distance decoder either refuses or lands on another
// code word within 8 symbols; both decoders must do the same thing. Random errors almost never
// come within 8 symbols of another code word (about 6e-6 of the blocks), so the second half
// builds such blocks: another code word with up to 8 errors is at least 9 symbols from the
// sent one.
TEST(ReedSolomon31, NineToSixteenErrorsAgreeWithLibfec) {
  TReedSolomon31 rs;
  Libfec lib;
  std::mt19937 rng(16);
  auto agree = [&](const Block& received) {
    Block ours{};
    const int e = rs.BlockDecode(received.data(), ours.data());
    Block theirs = received;
    const int f = lib.Decode(theirs);
    if (f < 0) {
      EXPECT_EQ(e, 31);
      return false;
    }
    EXPECT_EQ(e, f);
    EXPECT_EQ(ours, theirs);
    return true;
  };
  int refused = 0;
  for (int errors = 9; errors <= 16; ++errors) {
    for (int n = 0; n < 1000; ++n) {
      if (!agree(WithErrors(Encoded(rs, RandomInfo(rng)), errors, rng))) ++refused;
      ASSERT_FALSE(testing::Test::HasFailure()) << errors << " " << n;
    }
  }
  EXPECT_GT(refused, 7900);

  for (int n = 0; n < 500; ++n) {
    const Block sent = Encoded(rs, RandomInfo(rng));
    const Block other = Encoded(rs, RandomInfo(rng));
    const Block received = WithErrors(other, 1 + n % 8, rng);
    int distance = 0;
    for (int i = 0; i < 31; ++i) distance += received[i] != sent[i];
    ASSERT_GE(distance, 9);
    Block ours{};
    ASSERT_EQ(rs.BlockDecode(received.data(), ours.data()), 1 + n % 8);
    ASSERT_EQ(ours, other);
    ASSERT_TRUE(agree(received)) << n;
  }
}

TEST(ReedSolomon31, BitsAboveFiveAreIgnored) {
  TReedSolomon31 rs;
  std::mt19937 rng(5);
  const Block sent = Encoded(rs, RandomInfo(rng));
  Block dirty = sent;
  for (uint8_t& s : dirty) s |= 0xE0;
  Block out{};
  EXPECT_EQ(rs.BlockDecode(dirty.data(), out.data()), 0);
  EXPECT_EQ(out, sent);
}

}  // namespace
}  // namespace vestrel
