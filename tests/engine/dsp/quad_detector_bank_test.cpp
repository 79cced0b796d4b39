#include "engine/dsp/quad_detector_bank.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "engine/dsp/quad_detector.h"
#include "engine/frequency_unit.h"

namespace vestrel {
namespace {

constexpr int kLanes = 8;
const std::array<double, kLanes> kHz = {697, 770, 852, 941, 1209, 1336, 1477, 1633};

// Each lane against a TQuadDetector of the same set-up on the same input, through several
// rebuilds of the running sums: the same to within a rounding (the bank multiplies by the
// inverse of the length where the detector divides), zeros exactly zero. Both the one-sample
// call and the block call.
TEST(TQuadDetectorBank, EachLaneIsATQuadDetector) {
  SineTable sine;
  std::array<TQuadDetector, kLanes> reference;
  TQuadDetectorBank<kLanes> bank(sine), blocks(sine);
  ASSERT_TRUE(bank.SetLength(275));
  ASSERT_TRUE(blocks.SetLength(275));
  for (int l = 0; l < kLanes; ++l) {
    reference[l].SetTable(sine);
    ASSERT_TRUE(reference[l].SetLength(275));
    reference[l].SetStep(HzToUnits(kHz[l]));
    bank.SetStep(l, HzToUnits(kHz[l]));
    blocks.SetStep(l, HzToUnits(kHz[l]));
  }
  // Tones and noise, then digital silence.
  std::mt19937 rng(5);
  std::normal_distribution<double> noise(0.0, 2000.0);
  std::vector<float> x(4000, 0.0f);
  for (size_t n = 0; n < 3000; ++n)
    x[n] = static_cast<float>(8000 * std::sin(0.4 * n) + 5000 * std::sin(0.77 * n + 1) + noise(rng));
  std::vector<double> fromBlocks;
  blocks.Process(x.data(), x.size(), [&](size_t, const double* p) {
    for (int l = 0; l < kLanes; ++l) fromBlocks.push_back(p[l]);
  }, 1.0 / 32768);
  for (size_t n = 0; n < x.size(); ++n) {
    const double v = x[n] * (1.0 / 32768);
    double power[kLanes];
    bank.StepPower(v, power);
    for (int l = 0; l < kLanes; ++l) {
      const double m = reference[l].Step(v);
      ASSERT_NEAR(std::sqrt(power[l]), m, 1e-14 + 1e-12 * m) << n << " " << l;
      ASSERT_EQ(power[l], fromBlocks[n * kLanes + l]) << n << " " << l;
      if (n >= 3300) {
        ASSERT_EQ(power[l], 0.0);
      }
    }
  }
  double m[kLanes];
  bank.Step(0.0, m);
  EXPECT_EQ(m[0], 0.0);
  EXPECT_EQ(bank.PhaseStep(3), HzToUnits(941));
  EXPECT_FALSE(bank.SetLength(0));
}

}  // namespace
}  // namespace vestrel
