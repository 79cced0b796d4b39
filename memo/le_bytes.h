#pragma once
#include <cstdint>

namespace vestrel {

// Little-endian integers in the memo's byte formats (attribute records, undo streams, styled
// strings); each call moves the pointer past what it wrote or read.
inline void Put32(unsigned char*& p, uint32_t v) {
  for (int i = 0; i < 4; ++i) *p++ = static_cast<unsigned char>(v >> (8 * i));
}
inline void Put16(unsigned char*& p, uint16_t v) {
  *p++ = static_cast<unsigned char>(v);
  *p++ = static_cast<unsigned char>(v >> 8);
}
inline uint32_t Get32(const unsigned char*& p) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(*p++) << (8 * i);
  return v;
}
inline uint16_t Get16(const unsigned char*& p) {
  const uint16_t v = static_cast<uint16_t>(p[0] | (p[1] << 8));
  p += 2;
  return v;
}

}  // namespace vestrel
