#include "memo/style_codes.h"

namespace vestrel {

bool XORStyleCode(uint8_t& state, unsigned char c) {
  const uint8_t bit = StyleCodeBit(c);
  state ^= bit;
  return bit != 0;
}

TByteString StripCodes(TByteView s) {
  TByteString out;
  out.reserve(s.size());
  for (unsigned char c : s)
    if (!IsStyleCode(c)) out.push_back(c);
  return out;
}

uint8_t StyleToggles(TByteView s) {
  uint8_t state = 0;
  for (unsigned char c : s) state ^= StyleCodeBit(c);
  return state;
}

TByteString CodesForToggles(uint8_t toggles) {
  TByteString out;
  for (unsigned char c : {kCodeUnderline, kCodeItalic, kCodeBold, kCodeHighlight, kCodeAltFont})
    if (toggles & StyleCodeBit(c)) out.push_back(c);
  return out;
}

void CancelCodePairs(TByteString& s) {
  size_t i = 0;
  while (i < s.size()) {
    bool cancelled = false;
    if (IsStyleCode(s[i])) {
      for (size_t j = i + 1; j < s.size() && IsStyleCode(s[j]); ++j) {
        if (s[j] == s[i]) {
          s.erase(j, 1);
          s.erase(i, 1);
          cancelled = true;
          break;
        }
      }
    }
    if (!cancelled) ++i;
  }
}

}  // namespace vestrel
