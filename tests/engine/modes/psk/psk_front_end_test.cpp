#include "engine/modes/psk/psk_front_end.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <numeric>
#include <random>
#include <vector>

#include "engine/dsp/decimator2_ex.h"
#include "engine/dsp/decimator3.h"
#include "engine/dsp/fir_filter.h"
#include "engine/dsp/fsk_detector.h"
#include "engine/frequency_unit.h"
#include "engine/modes/psk/psk_filters.h"

namespace vestrel {
namespace {

// The chain built plainly from the single filters, one per arm, every filter stepped on every
// input it gets: the reference the two-lane chain is held against.
class ReferenceFrontEnd {
 public:
  ReferenceFrontEnd(const SineTable& sine, int rateCode, int32_t step)
      : sine_(sine), rate_(rateCode), step_(step) {
    for (Decimator2Ex* d : {&preI_, &preQ_}) d->SetTaps(kPskPre);
    for (Decimator2Ex* d : {&pre49I_, &pre49Q_}) d->SetTaps(kPre49);
    const std::span<const double> mf = rateCode == 125 ? std::span<const double>(kMf85) : kMf79;
    mfI_.SetTaps(mf);
    mfQ_.SetTaps(mf);
  }

  bool Push(float x) {
    phase_ = (phase_ + static_cast<uint32_t>(step_)) & SineTable::kMask;
    double i = static_cast<double>(x) * sine_.Sin(phase_);
    double q = static_cast<double>(x) * sine_.Cos(phase_);
    if (rate_ != 63) {
      i = preI_.Step(i);
      q = preQ_.Step(q);
      if (n1_++ % 2 != 0) return false;
    }
    if (rate_ == 125) {
      i = pre49I_.Step(i);
      q = pre49Q_.Step(q);
      if (n2_++ % 2 != 0) return false;
    } else {
      i = d1I_.Step(i);
      q = d1Q_.Step(q);
      if (++n2_ % 3 != 0) return false;
      i = d2I_.Step(i);
      q = d2Q_.Step(q);
      if (++n3_ % 3 != 0) return false;
    }
    I = mfI_.Step(i);
    Q = mfQ_.Step(q);
    return true;
  }

  double I = 0.0, Q = 0.0;

 private:
  const SineTable& sine_;
  int rate_;
  int32_t step_;
  uint32_t phase_ = 0;
  uint64_t n1_ = 0, n2_ = 0, n3_ = 0;
  Decimator2Ex preI_, preQ_, pre49I_, pre49Q_;
  Decimator3 d1I_, d1Q_, d2I_, d2Q_;
  FirFilter mfI_, mfQ_;
};

std::vector<float> Noise(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> g(0.0, 6000.0);
  std::vector<float> x(n);
  for (float& v : x) v = static_cast<float>(g(rng));
  return x;
}

// The fast chain folds each symmetric table and sums in four parts, so it rounds differently
// from the plain one: the two agree to a few units in the last place of values around
// 16000 x 6000 (noise of rms 6000 through the mixer).
TEST(PskFrontEnd, MatchesTheSingleFilterChain) {
  constexpr double kTolerance = 1e-12 * 16000.0 * 6000.0;
  SineTable sine;
  const std::vector<float> input = Noise(40000, 3);
  for (int rate : {31, 63, 125}) {
    SCOPED_TRACE(rate);
    TPskFrontEnd fast(sine);
    ASSERT_EQ(fast.SetRate(rate), rate);
    ASSERT_TRUE(fast.SetStep(HzToUnits(1500.0)));
    ReferenceFrontEnd ref(sine, rate, HzToUnits(1500.0));
    int outputs = 0;
    for (size_t k = 0; k < input.size(); ++k) {
      const bool a = fast.Push(input[k]);
      ASSERT_EQ(a, ref.Push(input[k])) << k;
      if (a) {
        ++outputs;
        ASSERT_NEAR(fast.I, ref.I, kTolerance) << k;
        ASSERT_NEAR(fast.Q, ref.Q, kTolerance) << k;
      }
    }
    // 612.5, 1225 or 2756.25 updates a second; the first once each decimation by 3 has had its
    // third input.
    const int every = rate == 31 ? 18 : rate == 63 ? 9 : 4;
    const int first = rate == 31 ? 16 : rate == 63 ? 8 : 0;
    EXPECT_EQ(outputs, static_cast<int>((input.size() - first + every - 1) / every));
  }
}

// A settled carrier of amplitude A on the oscillator's tone gives |(I, Q)| = 16000 A times the
// chain's DC gain, and its phase: a sine carrier lies on I, a cosine one on Q.
TEST(PskFrontEnd, CarrierOnTheToneGivesItsPhaseAndSize) {
  SineTable sine;
  const auto sum = [](auto& t) { return std::accumulate(t.begin(), t.end(), 0.0); };
  const double c27 = sum(kC27);
  const double gains[3] = {sum(kPskPre) * c27 * c27 * sum(kMf79), c27 * c27 * sum(kMf79),
                           sum(kPskPre) * sum(kPre49) * sum(kMf85)};
  const int rates[3] = {31, 63, 125};
  for (int r = 0; r < 3; ++r) {
    for (bool cosine : {false, true}) {
      SCOPED_TRACE(testing::Message() << rates[r] << (cosine ? " cosine" : " sine"));
      TPskFrontEnd fe(sine);
      fe.SetRate(rates[r]);
      const int32_t step = 3000;
      ASSERT_TRUE(fe.SetStep(step));
      uint32_t phase = 0;
      for (int k = 0; k < 20000; ++k) {
        phase = (phase + step) & SineTable::kMask;
        fe.Push(static_cast<float>(1000.0 * (cosine ? sine.Cos(phase) : sine.Sin(phase)) / 32000.0));
      }
      const double expected = 16000.0 * 1000.0 * gains[r];
      EXPECT_NEAR(cosine ? fe.Q : fe.I, expected, 0.002 * expected);
      EXPECT_NEAR(cosine ? fe.I : fe.Q, 0.0, 0.002 * expected);
    }
  }
}

TEST(PskFrontEnd, RefusesStepsOutsideTheBand) {
  SineTable sine;
  TPskFrontEnd fe(sine);
  EXPECT_FALSE(fe.SetStep(0));
  EXPECT_FALSE(fe.SetStep(-5));
  EXPECT_FALSE(fe.SetStep(16384));
  EXPECT_EQ(fe.Step(), 6539);
  EXPECT_TRUE(fe.SetStep(16383));
  EXPECT_EQ(fe.SetRate(7), 31);
  EXPECT_EQ(fe.SetRate(63), 63);
}

// An ordinary value: a copy taken mid-stream runs on exactly as the original.
TEST(PskFrontEnd, CopiesRunOnIdentically) {
  SineTable sine;
  const std::vector<float> input = Noise(20000, 5);
  TPskFrontEnd a(sine);
  a.SetRate(125);
  for (size_t k = 0; k < 7001; ++k) a.Push(input[k]);
  TPskFrontEnd b = a;
  for (size_t k = 7001; k < input.size(); ++k) {
    ASSERT_EQ(a.Push(input[k]), b.Push(input[k]));
    ASSERT_EQ(a.I, b.I);
    ASSERT_EQ(a.Q, b.Q);
  }
}

}  // namespace
}  // namespace vestrel
