// ctest-link: fec
#include "engine/modes/mfsk/mfsk_viterbi.h"

#include <gtest/gtest.h>

extern "C" {
#include <fec.h>
}

#include <random>
#include <vector>

#include "engine/modes/mfsk/mfsk_code.h"

namespace vestrel {
namespace {

std::vector<uint8_t> RandomBits(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> bits(n);
  for (uint8_t& b : bits) b = rng() & 1u;
  return bits;
}

// Our encoder's code bits as soft bits (0 a certain 0, 255 a certain 1), in the order they go
// on the air: the 0x6D parity, then the 0x4F parity of each input bit.
std::vector<uint8_t> EncodeOurs(const std::vector<uint8_t>& bits) {
  TMfskEncoder e;
  std::vector<uint8_t> soft;
  for (uint8_t b : bits) {
    const uint32_t pair = e.Push(b);
    soft.push_back((pair >> 1) ? 255 : 0);
    soft.push_back((pair & 1u) ? 255 : 0);
  }
  return soft;
}

// An encoder written apart from ours, from the generators' tap lists: output bit k of a pair
// is the sum modulo 2 of the inputs d steps back for each tap d of its generator (0x6D: 0, 2,
// 3, 5, 6; 0x4F: 0, 1, 2, 3, 6).
std::vector<uint8_t> EncodeByTaps(const std::vector<uint8_t>& bits) {
  const int taps[2][5] = {{0, 2, 3, 5, 6}, {0, 1, 2, 3, 6}};
  std::vector<uint8_t> soft;
  for (size_t i = 0; i < bits.size(); ++i) {
    for (const auto& gen : taps) {
      int sum = 0;
      for (int d : gen) sum += (i >= static_cast<size_t>(d)) ? bits[i - d] : 0;
      soft.push_back((sum & 1) ? 255 : 0);
    }
  }
  return soft;
}

// The K = 7 decoder of libfec (Phil Karn's), whose pair order is its generators' order, set
// here to 0x6D then 0x4F, ours. Its input ends with 6 zero bits that bring it back to state 0.
std::vector<uint8_t> DecodeLibfec(std::vector<uint8_t> soft, size_t nbits) {
  int polys[2] = {V27POLYA, V27POLYB};  // 0x6d, 0x4f
  set_viterbi27_polynomial(polys);
  void* vp = create_viterbi27(static_cast<int>(nbits));
  init_viterbi27(vp, 0);
  update_viterbi27_blk(vp, soft.data(), static_cast<int>(nbits + 6));
  std::vector<uint8_t> packed((nbits + 7) / 8);
  chainback_viterbi27(vp, packed.data(), static_cast<unsigned>(nbits), 0);
  delete_viterbi27(vp);
  std::vector<uint8_t> bits(nbits);
  for (size_t i = 0; i < nbits; ++i) bits[i] = (packed[i / 8] >> (7 - i % 8)) & 1u;
  return bits;
}

// Our decoder's bit stream: every output byte, oldest bit (the most significant) first.
std::vector<uint8_t> DecodeOurs(TMfskViterbi& v, const std::vector<uint8_t>& soft) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 4 <= soft.size(); i += 4) {
    if (!v.Decode(soft.data() + i)) continue;
    for (int b = 7; b >= 0; --b) out.push_back((v.Output() >> b) & 1u);
  }
  return out;
}

TEST(MfskViterbi, LibfecDecodesOurEncoder) {
  std::vector<uint8_t> bits = RandomBits(2000, 1);
  std::vector<uint8_t> tail = bits;
  tail.insert(tail.end(), 6, 0);
  std::vector<uint8_t> soft = EncodeOurs(tail);
  EXPECT_EQ(DecodeLibfec(soft, bits.size()), bits);
  // And through errors the code corrects: one code bit in 20 turned over, singly.
  for (size_t i = 7; i < soft.size(); i += 20) soft[i] = 255 - soft[i];
  EXPECT_EQ(DecodeLibfec(soft, bits.size()), bits);
}

// Our decoder on a stream from the tap-list encoder: the first byte after a reset is skipped,
// then byte k (from 2) holds the input of steps 8k - 66 .. 8k - 59, so the output stream runs
// 50 bits behind the input (steps before the start decode as the zeros of state 0).
TEST(MfskViterbi, DecodesAnIndependentEncoder) {
  const std::vector<uint8_t> bits = RandomBits(4096, 2);
  std::vector<uint8_t> soft = EncodeByTaps(bits);
  EXPECT_EQ(soft, EncodeOurs(bits));
  // Noise of soft-decision size: every bit moved at random, one in 30 past the middle.
  std::mt19937 rng(3);
  std::normal_distribution<double> noise(0.0, 38.0);
  for (uint8_t& s : soft) {
    const double v = (s ? 200.0 : 56.0) + noise(rng);
    s = static_cast<uint8_t>(std::clamp(v, 0.0, 255.0));
  }
  TMfskViterbi v;
  const std::vector<uint8_t> out = DecodeOurs(v, soft);
  constexpr size_t kLag = 50;
  ASSERT_GT(out.size(), kLag + 3000);
  for (size_t m = 0; m < kLag; ++m) EXPECT_EQ(out[m], 0) << m;
  size_t errors = 0;
  for (size_t m = kLag; m < out.size(); ++m) errors += out[m] != bits[m - kLag];
  EXPECT_EQ(errors, 0u);
}

// A bit comes out between 59 and 66 trellis steps after it went in: the traceback skips 58
// steps and the byte is the 8 before them.
TEST(MfskViterbi, DecodingDelay) {
  for (int at = 100; at < 108; ++at) {
    std::vector<uint8_t> bits(400, 0);
    bits[at] = 1;
    const std::vector<uint8_t> soft = EncodeOurs(bits);
    TMfskViterbi v;
    int steps = 0;
    int seenAfter = -1;
    for (size_t i = 0; i + 4 <= soft.size() && seenAfter < 0; i += 4) {
      steps += 2;
      if (v.Decode(soft.data() + i) && v.Output() != 0) seenAfter = steps - (at + 1);
    }
    EXPECT_GE(seenAfter, 58) << at;
    EXPECT_LE(seenAfter, 66) << at;
  }
}

// Erasures score nothing: every path keeps the metric it had, so after six steps every state
// is reached from state 0 at its metric 0, and no output favours anything.
TEST(MfskViterbi, ErasuresScoreNothing) {
  TMfskViterbi v;
  const uint8_t erased[4] = {128, 128, 128, 128};
  for (int i = 0; i < 100; ++i) v.Decode(erased);
  for (int s = 0; s < TMfskViterbi::kStates; ++s) EXPECT_EQ(v.Metrics[s], 0) << s;
  EXPECT_EQ(v.Output(), 0);
}

// Path metrics grow by up to 254 a step, some days of signal to 2^31. Preset near that limit
// (and past it), the decoder decodes the same bits: its metrics are 64-bit and never
// renormalised.
TEST(MfskViterbi, MetricsPastTheInt32RangeDecodeAlike) {
  const std::vector<uint8_t> soft = EncodeOurs(RandomBits(3000, 4));
  TMfskViterbi fresh;
  const std::vector<uint8_t> expected = DecodeOurs(fresh, soft);
  for (int64_t offset : {int64_t{2147473000}, int64_t{2147483000}, int64_t{1} << 40}) {
    TMfskViterbi v;
    for (int64_t& m : v.Metrics) m += offset;
    EXPECT_EQ(DecodeOurs(v, soft), expected) << offset;
    EXPECT_GT(v.Metrics[0], offset);
  }
}

}  // namespace
}  // namespace vestrel
