#include "engine/modes/psk/qpsk_code.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace vestrel {
namespace {

// The steps a transmitter sends for these bits, the bits entering inverted, from an idle
// (all ones) register.
std::vector<int> Encode(const std::vector<int>& bits) {
  std::vector<int> steps;
  uint32_t reg = 31;
  for (int b : bits) {
    reg = ((reg << 1) | (b ? 0u : 1u)) & 31u;
    steps.push_back(kQpskEncoder[reg]);
  }
  return steps;
}

// Known outputs of the PSK31 QPSK code (generators 0x19 and 0x17, octal 31 and 27): the idle
// (zero bits, all ones in the register) sends half turns, like BPSK's reversals, and a run of
// one bits (all zeros in the register) keeps the phase. The newest bit is in both generators,
// so flipping it turns the output by a half turn: the two branches into a state always differ.
TEST(QpskEncoder, KnownOutputs) {
  EXPECT_EQ(kQpskEncoder[31], 2);
  EXPECT_EQ(kQpskEncoder[0], 0);
  for (uint32_t r = 0; r < 16; ++r) EXPECT_EQ(kQpskEncoder[r] ^ kQpskEncoder[r + 16], 3) << r;
  for (uint32_t r = 0; r < 32; r += 2) EXPECT_EQ(kQpskEncoder[r] ^ kQpskEncoder[r + 1], 3) << r;
}

// The decoder hands out each bit 20 steps after the step that carried it into the encoder.
// Before that it reads its empty histories, as ones (too many in a row to make a character).
TEST(QpskViterbi, DecodesCleanStepsTwentyStepsLate) {
  std::mt19937 rng(7);
  std::vector<int> bits(2000);
  for (int& b : bits) b = static_cast<int>(rng() & 1u);
  const std::vector<int> steps = Encode(bits);
  TQpskViterbi v;
  std::vector<int> out;
  for (int s : steps) out.push_back(v.Decode(s));
  for (int k = 0; k < TQpskViterbi::kLag; ++k) EXPECT_EQ(out[k], 1) << k;
  for (size_t k = TQpskViterbi::kLag; k < out.size(); ++k)
    ASSERT_EQ(out[k], bits[k - TQpskViterbi::kLag]) << k;
}

// Isolated channel errors, a quarter or a half turn off, one in every 12 steps, are corrected.
TEST(QpskViterbi, CorrectsIsolatedErrors) {
  std::mt19937 rng(11);
  std::vector<int> bits(3000);
  for (int& b : bits) b = static_cast<int>(rng() & 1u);
  std::vector<int> steps = Encode(bits);
  for (size_t k = 30; k < steps.size(); k += 12) steps[k] = (steps[k] + 1 + static_cast<int>(rng() % 3)) & 3;
  TQpskViterbi v;
  int errors = 0;
  for (size_t k = 0; k < steps.size(); ++k) {
    const int bit = v.Decode(steps[k]);
    if (k >= TQpskViterbi::kLag && bit != bits[k - TQpskViterbi::kLag]) ++errors;
  }
  EXPECT_EQ(errors, 0);
}

// Equal candidate metrics go to the later candidate, s + 16 (the predecessor (s >> 1) + 8).
// With the older half of the states 2 behind, a received 0 ties every state whose s branch
// expects 0 (0 + 2 against 2 + 0) and favours s + 16 everywhere else.
TEST(QpskViterbi, TiesGoToTheLaterCandidate) {
  TQpskViterbi v;
  for (uint32_t p = 0; p < TQpskViterbi::kStates; ++p) {
    v.Metrics[p] = p < 8 ? 2 : 0;
    v.Histories[p] = p;
  }
  int ties = 0;
  for (uint32_t s = 0; s < TQpskViterbi::kStates; ++s) ties += kQpskEncoder[s] == 0;
  ASSERT_GT(ties, 0);
  v.Decode(0);
  for (uint32_t s = 0; s < TQpskViterbi::kStates; ++s) {
    EXPECT_EQ(v.Histories[s] >> 1, (s >> 1) + 8) << s;
    EXPECT_EQ(v.Histories[s] & 1u, s & 1u) << s;
  }
}

// A long run (a steady carrier decodes as endless ones) shifts the histories out of their top
// bit without trouble: the decoder keeps decoding.
TEST(QpskViterbi, HistoriesWrapOnLongRuns) {
  TQpskViterbi v;
  for (int k = 0; k < 100000; ++k) v.Decode(0);
  EXPECT_EQ(v.Decode(0), 1);
  for (int32_t m : v.Metrics) EXPECT_LE(m, 64);
}

}  // namespace
}  // namespace vestrel
