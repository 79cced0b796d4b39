#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace vestrel {

// The 16-bit frame check sequence of every framed mode (AX.25 packet, PACTOR-I FEC, the block
// modes): the HDLC CRC (CRC-16/X.25), polynomial x^16 + x^12 + x^5 + 1 taken least significant
// bit first (reflected constant 0x8408), register preset to 0xFFFF, the complement of the
// register sent low byte first. A good frame run through the register with its two check bytes
// leaves it at kFcs16Good.
inline constexpr uint16_t kFcs16Preset = 0xFFFF;
inline constexpr uint16_t kFcs16Good = 0xF0B8;

namespace fcs16_detail {
constexpr std::array<uint16_t, 256> MakeTable() {
  std::array<uint16_t, 256> t{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned r = i;
    for (int k = 0; k < 8; ++k) r = (r & 1u) ? (r >> 1) ^ 0x8408u : r >> 1;
    t[i] = static_cast<uint16_t>(r);
  }
  return t;
}
}  // namespace fcs16_detail

// Entry i: the register after shifting the byte value i through the polynomial eight times.
inline constexpr std::array<uint16_t, 256> Fcs16Table = fcs16_detail::MakeTable();

// One byte through the register (the block modes feed it with their own preset).
constexpr uint16_t Fcs16Step(uint8_t byte, uint16_t crc) {
  return static_cast<uint16_t>((crc >> 8) ^ Fcs16Table[(crc ^ byte) & 0xFFu]);
}

// The check value of the bytes: the complemented register after them, from the preset.
uint16_t CalcFcs16(std::span<const uint8_t> bytes);

// True when the bytes, data followed by their two received check bytes, leave the register at
// kFcs16Good. No bytes at all leave the preset and fail.
bool CheckFcs16(std::span<const uint8_t> bytes);

// A frame held as 16-bit items, one byte value in the low byte of each: runs the register over
// the low bytes of items 0..n-1 and stores the check value in items n (low byte) and n+1 (high
// byte), each as 0..255. Refused (false, nothing written) when the items have no room for both.
bool AppendFcs16(std::span<int16_t> items, size_t n);

}  // namespace vestrel
