#pragma once
#include <array>
#include <cstdint>

namespace vestrel {

// The character code of the MFSK modes: one word per character byte 0..255, stored with the
// two zero bits that end it, so the highest set bit of an entry is the word's first bit and
// every entry ends in binary 00 (space is 1,0,0 = 0x4; "e" 1,0,0,0 = 0x8). A word begins with
// 1 and holds no 0,0,1, so a receiver finds the end of a word at the next 0,0,1: the two
// zeros end it and the 1 begins the next one.
extern const std::array<uint16_t, 256> MfskVaricode;

// Bits of the longest stored word (the entries reach 0xB7C).
inline constexpr int kMfskVaricodeMaxBits = 12;

// The character of a stored word (as MfskVaricode holds it, trailing zeros included), or -1
// for a value that is no word of the table, among them every value of more than
// kMfskVaricodeMaxBits bits.
int MfskVaricodeChar(uint32_t word);

}  // namespace vestrel
