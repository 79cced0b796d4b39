#pragma once
#include <cstdint>

#include "memo/byte_string.h"

namespace vestrel {

// Inline static style codes: each byte toggles one bit of the 8-bit style state.
inline constexpr unsigned char kCodeBold = 2;        // bit 0
inline constexpr unsigned char kCodeItalic = 1;      // bit 1
inline constexpr unsigned char kCodeUnderline = 21;  // bit 2
inline constexpr unsigned char kCodeHighlight = 3;   // bit 4
inline constexpr unsigned char kCodeAltFont = 4;     // bit 5

inline constexpr uint8_t kStyleBold = 0x01;
inline constexpr uint8_t kStyleItalic = 0x02;
inline constexpr uint8_t kStyleUnderline = 0x04;
inline constexpr uint8_t kStyleHighlight = 0x10;
inline constexpr uint8_t kStyleAltFont = 0x20;

// The state bit a code toggles, 0 for any byte that is not one of the five codes.
constexpr uint8_t StyleCodeBit(unsigned char c) {
  switch (c) {
    case kCodeBold:
      return kStyleBold;
    case kCodeItalic:
      return kStyleItalic;
    case kCodeUnderline:
      return kStyleUnderline;
    case kCodeHighlight:
      return kStyleHighlight;
    case kCodeAltFont:
      return kStyleAltFont;
    default:
      return 0;
  }
}
constexpr bool IsStyleCode(unsigned char c) {
  return StyleCodeBit(c) != 0;
}

// Flips the bit of a known code; reports whether c was one.
bool XORStyleCode(uint8_t& state, unsigned char c);

// S without the five code bytes.
TByteString StripCodes(TByteView s);

// The combined toggle of every code in s.
uint8_t StyleToggles(TByteView s);

// The codes that turn a style toggle back, in the order underline, italic, bold, highlight,
// alternate font.
TByteString CodesForToggles(uint8_t toggles);

// Removes a code that is followed, with only other codes between, by the same code, together
// with that second code; scanning resumes at the same place. x,2,1,2,y becomes x,1,y.
void CancelCodePairs(TByteString& s);

}  // namespace vestrel
