#pragma once
#include <array>
#include <cstdint>

namespace vestrel {

// Soft-decision Viterbi decoder of the MFSK code (64 states, generators 0x6D and 0x4F,
// maximising the path metric). Soft bits are 0 (a certain 0) .. 255 (a certain 1), 128 an
// erasure; a code bit b expected against a soft bit s scores s - 128 for b = 1, 128 - s for
// b = 0. Each Decode takes two code-bit pairs; after every eighth trellis step it traces back
// from state 0 over kTraceback steps and the 8 steps before them give one byte, the oldest bit
// in the most significant place. A decoded bit therefore comes out 58 to 66 steps after it
// went in.
//
// Path metrics are 64-bit: a step adds at most 254, some 8000 a second in MFSK16, so no run
// comes near the limit and the metrics are never renormalised. The metrics of two decoders fed
// the same signal can so be compared as they are.
class TMfskViterbi {
 public:
  static constexpr int kStates = 64;
  static constexpr uint32_t kRingSize = 128;  // decision ring, steps (power of two)
  static constexpr uint32_t kRingMask = kRingSize - 1;
  static constexpr int kTraceback = 58;
  static constexpr int kStepsPerByte = 8;
  static constexpr int64_t kUnreached = -99999;  // start metric of every state but 0

  TMfskViterbi() { Reset(); }

  // State 0 at metric 0, the others unreached; decision ring cleared. The first traceback
  // after a reset is skipped: it would reach back before the start.
  void Reset();

  // soft: two code-bit pairs, the first code bit (the 0x6D parity) of a pair first. True when
  // the call produced a byte (Output, TracebackMetric).
  bool Decode(const uint8_t* soft);

  uint8_t Output() const { return output_; }
  int OutputCount() const { return outputCount_; }
  // The path metric of state 0 where the last traceback started, and what it gained since the
  // traceback before: how well the code fitted the signal over the last 8 steps.
  int64_t TracebackMetric() const { return tracebackMetric_; }
  int64_t TracebackGain() const { return tracebackGain_; }

  // Adds delta to every path metric and to the traceback metric: what a longer run would have
  // summed. Decoding and the gains stay as they are.
  void Rebase(int64_t delta);

  // Path metrics by state; open so that a test can preset them.
  std::array<int64_t, kStates> Metrics{};

 private:
  void Step(uint8_t s1, uint8_t s2);
  void Traceback();

  std::array<uint64_t, kRingSize> decisions_{};  // bit s: state s came from its upper predecessor
  uint32_t ringPos_ = 0;                         // steps done, & kRingMask
  bool skipOnce_ = true;
  uint8_t output_ = 0;
  int outputCount_ = 0;
  int64_t tracebackMetric_ = 0;
  int64_t tracebackGain_ = 0;
};

}  // namespace vestrel
