#include "engine/modes/mfsk/mfsk_viterbi.h"

#include "engine/modes/mfsk/mfsk_code.h"

namespace vestrel {

namespace {

// The expected code bits of the transition into each state s from its lower predecessor
// (register s) and its upper one (register s | 64): bit 1 the 0x6D parity, bit 0 the 0x4F.
struct Expected {
  std::array<uint8_t, TMfskViterbi::kStates> lower{};
  std::array<uint8_t, TMfskViterbi::kStates> upper{};
  constexpr Expected() {
    for (uint32_t s = 0; s < TMfskViterbi::kStates; ++s) {
      lower[s] = static_cast<uint8_t>(MfskCodeBits(s));
      upper[s] = static_cast<uint8_t>(MfskCodeBits(s | 64u));
    }
  }
};
constexpr Expected kExpected;

// Score of the four possible code-bit pairs against two soft bits.
struct PairScores {
  int64_t score[4];
  PairScores(uint8_t s1, uint8_t s2) {
    const int64_t a = int64_t{s1} - 128;
    const int64_t b = int64_t{s2} - 128;
    score[0] = -a - b;
    score[1] = -a + b;
    score[2] = a - b;
    score[3] = a + b;
  }
};

}  // namespace

void TMfskViterbi::Reset() {
  Metrics.fill(kUnreached);
  Metrics[0] = 0;
  decisions_.fill(0);
  ringPos_ = 0;
  skipOnce_ = true;
  output_ = 0;
  outputCount_ = 0;
  tracebackMetric_ = 0;
  tracebackGain_ = 0;
}

void TMfskViterbi::Rebase(int64_t delta) {
  for (int64_t& m : Metrics) m += delta;
  tracebackMetric_ += delta;
}

// One trellis step: state s (6 bits, newest input in bit 0) is reached from s >> 1 or from
// (s >> 1) | 32 with input s & 1; the better path survives, ties to the lower predecessor.
void TMfskViterbi::Step(uint8_t s1, uint8_t s2) {
  const PairScores pair(s1, s2);
  std::array<int64_t, kStates> next;
  uint64_t decision = 0;
  for (uint32_t s = 0; s < kStates; ++s) {
    const int64_t lower = Metrics[s >> 1] + pair.score[kExpected.lower[s]];
    const int64_t upper = Metrics[(s >> 1) | 32u] + pair.score[kExpected.upper[s]];
    if (upper > lower) {
      next[s] = upper;
      decision |= uint64_t{1} << s;
    } else {
      next[s] = lower;
    }
  }
  Metrics = next;
  decisions_[ringPos_] = decision;
  ringPos_ = (ringPos_ + 1) & kRingMask;
}

void TMfskViterbi::Traceback() {
  uint32_t p = (ringPos_ - 1) & kRingMask;  // the newest step
  uint32_t s = 0;
  tracebackGain_ = Metrics[0] - tracebackMetric_;
  tracebackMetric_ = Metrics[0];
  auto back = [&] {
    const uint32_t upper = static_cast<uint32_t>(decisions_[p] >> s) & 1u;
    s = (s >> 1) | (upper << 5);
    p = (p - 1) & kRingMask;
  };
  for (int i = 0; i < kTraceback; ++i) back();
  uint32_t byte = 0;
  for (int i = 0; i < kStepsPerByte; ++i) {
    byte |= (s & 1u) << i;
    back();
  }
  output_ = static_cast<uint8_t>(byte);
}

bool TMfskViterbi::Decode(const uint8_t* soft) {
  outputCount_ = 0;
  for (int k = 0; k < 2; ++k) {
    Step(soft[2 * k], soft[2 * k + 1]);
    if ((ringPos_ & (kStepsPerByte - 1)) != 0) continue;
    if (skipOnce_) {
      skipOnce_ = false;
      continue;
    }
    Traceback();
    outputCount_ = 1;
  }
  return outputCount_ != 0;
}

}  // namespace vestrel
