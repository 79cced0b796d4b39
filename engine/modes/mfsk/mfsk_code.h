#pragma once
#include <array>
#include <bit>
#include <cstdint>

namespace vestrel {

// The code both MFSK modes share: Gray-coded tone numbers and the rate-1/2 convolutional code
// of constraint length 7.

// The Gray code of a tone number: neighbouring tones differ in one bit, so the most likely
// error (the tone beside the sent one) costs one code bit.
constexpr uint32_t MfskGray(uint32_t t) {
  return t ^ (t >> 1);
}

// The tone number of a symbol value v: the t with MfskGray(t) = v, for 5-bit values.
inline constexpr std::array<uint8_t, 32> MfskGrayInverse = {
    0,  1,  3,  2,  7,  6,  4,  5,  15, 14, 12, 13, 8,  9,  11, 10,
    31, 30, 28, 29, 24, 25, 27, 26, 16, 17, 19, 18, 23, 22, 20, 21,
};

// Generators of the convolutional code, over the 7-bit encoder register (newest bit in bit 0).
inline constexpr uint32_t kMfskPolyA = 0x6D;  // its parity is sent first
inline constexpr uint32_t kMfskPolyB = 0x4F;

// The two code bits of a 7-bit register, the 0x6D parity in bit 1 and the 0x4F parity in bit 0.
constexpr uint32_t MfskCodeBits(uint32_t reg) {
  return (static_cast<uint32_t>(std::popcount(reg & kMfskPolyA) & 1) << 1) |
         static_cast<uint32_t>(std::popcount(reg & kMfskPolyB) & 1);
}

// The convolutional encoder: each input bit u shifts into the register and yields the two code
// bits of the new register, the 0x6D parity first.
struct TMfskEncoder {
  uint32_t Register = 0;
  // Returns the pair as MfskCodeBits does.
  uint32_t Push(uint32_t u) {
    Register = ((Register << 1) | (u & 1u)) & 0x7Fu;
    return MfskCodeBits(Register);
  }
};

}  // namespace vestrel
