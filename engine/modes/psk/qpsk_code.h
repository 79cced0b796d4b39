#pragma once
#include <array>
#include <cstdint>

namespace vestrel {

// The rate-1/2 convolutional code of QPSK (constraint length 5). The encoder shifts each bit
// into a 5-bit register, newest in bit 0; the register selects a phase step 0..3 (quarter
// turns): 2 x parity(r & 0x19) + parity(r & 0x17).
constexpr int QpskEncoderOutput(uint32_t r) {
  auto parity = [](uint32_t v) {
    int p = 0;
    for (; v != 0; v &= v - 1) p ^= 1;
    return p;
  };
  return 2 * parity(r & 0x19) + parity(r & 0x17);
}

inline constexpr std::array<uint8_t, 32> kQpskEncoder = [] {
  std::array<uint8_t, 32> t{};
  for (uint32_t r = 0; r < 32; ++r) t[r] = static_cast<uint8_t>(QpskEncoderOutput(r));
  return t;
}();

// Hard-decision Viterbi decoder of that code over the received phase steps. 16 states (the
// register's older four bits), path metrics in quarter-turn distances, 32-bit path histories.
// Each step decodes the bit that entered the encoder 20 steps earlier, by a majority over all
// states; the transmitter inverts the bits it encodes, so the vote is inverted too. Histories
// shift out of their top and wrap; only bit 20 is read. A plain value.
class TQpskViterbi {
 public:
  static constexpr int kStates = 16;
  static constexpr int kLag = 20;  // steps between a bit entering the encoder and its decision

  TQpskViterbi() { Reset(); }

  // Metrics to their starting values, which favour the all-ones register of an idle
  // transmitter (state 15); histories to 0.
  void Reset();

  // step: the received phase step, 0..3 (taken modulo 4). Returns the decoded bit, 0 or 1.
  int Decode(int step);

  std::array<int32_t, kStates> Metrics{};
  // What the best path's metric grew by in the last step: 0 while the steps fit the code, about
  // 1 a step on noise.
  int32_t Growth = 0;
  std::array<uint32_t, kStates> Histories{};
};

}  // namespace vestrel
