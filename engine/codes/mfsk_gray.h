#pragma once
#include <array>
#include <cstdint>

namespace vestrel {

// Gray coding of the tone numbers of the multi-tone modes (MFSK, and the tone steps of PS33X5).

// The Gray code of a tone number: neighbouring tones differ in one bit, so the most likely
// error (the tone beside the sent one) costs one bit.
constexpr uint32_t MfskGray(uint32_t t) {
  return t ^ (t >> 1);
}

// The tone number of a symbol value v: the t with MfskGray(t) = v, for 5-bit values.
inline constexpr std::array<uint8_t, 32> MfskGrayInverse = {
    0,  1,  3,  2,  7,  6,  4,  5,  15, 14, 12, 13, 8,  9,  11, 10,
    31, 30, 28, 29, 24, 25, 27, 26, 16, 17, 19, 18, 23, 22, 20, 21,
};

}  // namespace vestrel
