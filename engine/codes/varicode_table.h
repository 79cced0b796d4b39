#pragma once
#include <array>
#include <cstdint>

namespace vestrel {

// The 256 varicode words of the PSK modes, one per character byte. Each entry holds the two
// separator zero bits followed by the word, left-aligned in 16 bits, so shifting the entry out
// MSB first until only zeros remain sends "00" + word. 0..127 are the standard PSK31 words;
// 128..255 are the remaining valid words (starting and ending with 1, no "00") in order of
// length, then value. The PSK receiver decodes with the same table.
extern const std::array<uint16_t, 256> kVaricode;

// The receiver's inverse of kVaricode: indexed by a received word without its last 1 bit (the
// word shifted right by one; every word fits 12 bits, so the index fits 11), the character
// whose word that is, or 0 where no character's word is. NUL's word is left out: 0 means no
// character. Built from kVaricode on first use.
inline constexpr uint32_t kVaricodeDecodeSize = 2048;
const std::array<uint8_t, kVaricodeDecodeSize>& VaricodeDecodeTable();

}  // namespace vestrel
