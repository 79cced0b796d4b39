#include "engine/modes/mfsk/mfsk_tone_bank.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "engine/dsp/quad_detector.h"

namespace vestrel {
namespace {

using Kernel = TMfskToneBank::Kernel;

// The bank against the plain detectors, sample by sample, with each kernel this processor
// runs: the same magnitudes to the bit, across the rebuilds of the running sums, a retune in
// the middle, a reset and silence after a signal (where the floor gives exactly 0).
TEST(MfskToneBank, MatchesPlainDetectorsBitForBit) {
  const SineTable sine;
  struct Case {
    int tones;
    int length;
    Kernel kernel;
  };
  std::vector<Case> cases;
  for (Kernel k : {Kernel::kPlain, Kernel::kAvx2, Kernel::kAvx512}) {
    if (!TMfskToneBank::Supported(k)) continue;
    cases.push_back({16, 705, k});
    cases.push_back({32, 1411, k});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.tones << " tones, kernel " << static_cast<int>(c.kernel));
    TMfskToneBank bank(sine);
    ASSERT_TRUE(bank.SetKernel(c.kernel));
    ASSERT_TRUE(bank.SetLength(c.tones, c.length));
    std::vector<TQuadDetector> plain(c.tones, TQuadDetector(sine));
    auto tune = [&](int32_t base) {
      for (int i = 0; i < c.tones; ++i) {
        const int32_t step = base + 47 * i;
        bank.SetStep(i, step);
        plain[i].SetStep(step);
      }
    };
    for (TQuadDetector& d : plain) ASSERT_TRUE(d.SetLength(c.length));
    tune(2972);

    std::mt19937 rng(5);
    std::normal_distribution<double> noise(0.0, 3000.0);
    const int total = 5 * c.length + 333;
    std::vector<double> m(c.tones);
    size_t compared = 0;
    for (int n = 0; n < total; ++n) {
      if (n == 2 * c.length + 17) tune(3100);
      if (n == 3 * c.length) {
        bank.Reset();
        for (TQuadDetector& d : plain) d.Reset();
      }
      const float x = n < 4 * c.length ? std::round(12000.0 * std::sin(n * 0.31) + noise(rng)) : 0.0;
      bank.Process(std::span<const float>(&x, 1));
      std::vector<double> expected(c.tones);
      for (int i = 0; i < c.tones; ++i) expected[i] = plain[i].Step(x);
      bank.Magnitudes(m.data());
      for (int i = 0; i < c.tones; ++i) {
        ASSERT_EQ(m[i], expected[i]) << "sample " << n << " tone " << i;
        ++compared;
      }
    }
    EXPECT_EQ(compared, static_cast<size_t>(total) * c.tones);
    EXPECT_EQ(m[0], 0.0);  // silence for more than a length
  }
}

// The sums the receiver takes once a symbol: the one-pass SumsAt gives what HalfSums and
// SumAt give, wherever the ring stands, and a detector SumAt forms at a
// tone's own step has the magnitude of that tone's two halves together (to the rounding of
// the table entries it meets at another phase).
TEST(MfskToneBank, SymbolSumsMatchTheirReference) {
  const SineTable sine;
  for (const auto& [tones, length] : {std::pair{16, 705}, std::pair{32, 1411}}) {
    TMfskToneBank bank(sine);
    ASSERT_TRUE(bank.SetLength(tones, length));
    for (int d = 0; d < tones; ++d) bank.SetStep(d, 2972 + 46 * d);
    std::mt19937 rng(static_cast<uint32_t>(tones));
    std::normal_distribution<double> noise(0.0, 3000.0);
    const uint32_t half = static_cast<uint32_t>(length / 2);
    for (int n = 0; n < 5 * length; ++n) {
      bank.Step(std::round(8000.0 * std::sin(0.7 * n) + noise(rng)));
      if (n % 331 != 0 || n < length) continue;
      const int tone = n % tones;
      std::complex<double> older, newer;
      bank.HalfSums(tone, half, older, newer);
      const TMfskToneBank::SymbolSums z = bank.SumsAt(tone, half, 2900, 5100);
      EXPECT_EQ(z.older, older);
      EXPECT_EQ(z.newer, newer);
      EXPECT_NEAR(std::abs(z.below), std::abs(bank.SumAt(2900, 2 * half)), 1e-6 * std::abs(z.below) + 1e-9);
      EXPECT_NEAR(std::abs(z.above), std::abs(bank.SumAt(5100, 2 * half)), 1e-6 * std::abs(z.above) + 1e-9);
      EXPECT_NEAR(std::abs(bank.SumAt(bank.StepOf(tone), 2 * half)), std::abs(older + newer),
                  1e-3 * std::abs(older + newer));
    }
  }
}

TEST(MfskToneBank, RefusesBadShapes) {
  const SineTable sine;
  TMfskToneBank bank(sine);
  EXPECT_FALSE(bank.SetLength(0, 705));
  EXPECT_FALSE(bank.SetLength(15, 705));
  EXPECT_FALSE(bank.SetLength(33, 705));
  EXPECT_FALSE(bank.SetLength(16, 0));
  EXPECT_FALSE(bank.SetLength(16, 70000));
  EXPECT_TRUE(bank.SetLength(16, 705));
  EXPECT_EQ(bank.Tones(), 16);
  EXPECT_EQ(bank.Length(), 705);
}

}  // namespace
}  // namespace vestrel
