#include "engine/modes/ps33x5/ps33x5_input.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vestrel {
namespace {

// Keeps what reaches the receiver behind the converter.
class Collecting final : public TPs33x5Input {
 public:
  bool SelectMode(const ModeRow&) override { return true; }
  bool SetTones(int32_t, int32_t) override { return true; }
  bool SetSpeed(double, int) override { return true; }
  std::vector<double> samples;
  std::vector<std::string> calls;

 protected:
  void ProcessConverted(std::span<const double> s, bool open) override {
    calls.push_back(std::to_string(s.size()) + (open ? " 1" : " 0"));
    samples.insert(samples.end(), s.begin(), s.end());
  }
};

constexpr int kN = 2048;

// Every sample through the 11025 -> 12800 converter; 10 blocks give 20480 x 12800 / 11025 =
// 23777.4 samples at 12800/s, handed on in order, in parts of at most 1024, each with its
// block's squelch decision.
TEST(Ps33x5Input, GoesThroughTheSecondConverter) {
  Collecting input;
  std::vector<float> ramp(kN);
  for (int b = 0; b < 10; ++b) {
    for (int j = 0; j < kN; ++j) ramp[j] = static_cast<float>(b * kN + j + 1);
    input.ProcessBlock(ramp, b != 3);
  }
  EXPECT_NEAR(static_cast<double>(input.samples.size()), 10 * kN * 12800.0 / 11025.0, 1.0);
  for (size_t m = 0; m < input.samples.size(); ++m)
    ASSERT_NEAR(input.samples[m], (m + 1) * 11025.0 / 12800.0, 1e-6) << m;
  int shut = 0;
  for (const std::string& call : input.calls) {
    EXPECT_LE(std::stoi(call), TPs33x5Input::kChunk) << call;
    shut += call.back() == '0' ? 1 : 0;
  }
  EXPECT_EQ(shut, 3);  // block 3 in three parts: 1024, 1024 and the rest

  // Reset restarts from silence: the first output interpolates from 0 again.
  input.samples.clear();
  input.Reset();
  std::vector<float> ones(kN, 1.0f);
  input.ProcessBlock(ones, true);
  ASSERT_FALSE(input.samples.empty());
  EXPECT_NEAR(input.samples[0], 11025.0 / 12800.0, 1e-9);
}

}  // namespace
}  // namespace vestrel
