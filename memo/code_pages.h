#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "memo/byte_string.h"

namespace vestrel {

// 8-bit text and Unicode meet through the code page of a font's character set: 204 (Russian)
// is windows-1251, any other windows-1252.
int CodePageOfCharset(int charset);

// Bytes of code page 1251 or 1252 (any other number counts as 1252) as UTF-16. Positions the
// code page leaves unused stand for the C1 control characters of the same number.
std::u16string ToUtf16(TByteView text, int codePage);

// UTF-16 as bytes of the code page; what it cannot hold becomes '?' (a surrogate pair once),
// or is left out with dropUnmapped.
TByteString FromUtf16(std::u16string_view text, int codePage, bool dropUnmapped = false);

}  // namespace vestrel
