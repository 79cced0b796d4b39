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

}  // namespace vestrel
