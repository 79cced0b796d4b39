#pragma once
#include <array>
#include <cstdint>

namespace vestrel {

// The Morse code of each character byte: the elements MSB first behind a leading 1 bit, a 1
// element a dah and a 0 a dit; 0 where a character has none (space included). International
// Morse for letters (either case), digits and the usual punctuation; Russian Morse for the
// Cyrillic letters of code page 1251 (192..255); a few stand-ins for signs without a code.
extern const std::array<uint8_t, 256> kMorseTable;

}  // namespace vestrel
