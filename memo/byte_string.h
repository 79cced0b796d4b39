#pragma once
#include <string>
#include <string_view>

namespace vestrel {

// 8-bit text of the memo: bytes, never chars, so that codes above 127 compare and index as
// 0..255 on every platform.
using TByteString = std::basic_string<unsigned char>;
using TByteView = std::basic_string_view<unsigned char>;

inline TByteString ToBytes(std::string_view s) {
  return TByteString(reinterpret_cast<const unsigned char*>(s.data()), s.size());
}
inline std::string ToChars(TByteView s) {
  return std::string(reinterpret_cast<const char*>(s.data()), s.size());
}

}  // namespace vestrel
