#include "engine/codes/fcs16.h"

namespace vestrel {

namespace {
uint16_t Register(std::span<const uint8_t> bytes) {
  uint16_t crc = kFcs16Preset;
  for (uint8_t b : bytes) crc = Fcs16Step(b, crc);
  return crc;
}
}  // namespace

uint16_t CalcFcs16(std::span<const uint8_t> bytes) {
  return static_cast<uint16_t>(~Register(bytes));
}

bool CheckFcs16(std::span<const uint8_t> bytes) {
  return Register(bytes) == kFcs16Good;
}

bool AppendFcs16(std::span<int16_t> items, size_t n) {
  if (n > items.size() || items.size() - n < 2) return false;
  uint16_t crc = kFcs16Preset;
  for (size_t i = 0; i < n; ++i) crc = Fcs16Step(static_cast<uint8_t>(items[i] & 0xFF), crc);
  crc = static_cast<uint16_t>(~crc);
  items[n] = static_cast<int16_t>(crc & 0xFF);
  items[n + 1] = static_cast<int16_t>(crc >> 8);
  return true;
}

}  // namespace vestrel
