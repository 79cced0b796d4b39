#pragma once
#include <array>
#include <cstdint>

namespace vestrel {

// Gray coding of the tone numbers of the multi-tone modes (MFSK, and the tone steps of PS33X5).
// MfskGrayInverse[v]: the tone number for symbol value v, the inverse Gray code of v (the v'
// with v' XOR (v' >> 1) = v).
extern const std::array<uint8_t, 32> MfskGrayInverse;

// The Gray code of a tone number 0..31: the symbol value it carries.
constexpr uint8_t MfskGray(int tone) {
  return static_cast<uint8_t>((tone ^ (tone >> 1)) & 31);
}

}  // namespace vestrel
