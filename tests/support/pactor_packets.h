#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "support/bit_signal.h"

namespace vestrel::test {

// The HDLC frame check computed the plain way, bit by bit, least significant bit first
// (independent of the engine's table): register preset to 0xFFFF, polynomial 0x8408, the
// complement sent low byte first.
inline uint16_t BitwiseFcs16(const std::vector<uint8_t>& bytes) {
  uint16_t crc = 0xFFFF;
  for (uint8_t byte : bytes) {
    for (int b = 0; b < 8; ++b) {
      const bool feedback = ((crc ^ (byte >> b)) & 1u) != 0;
      crc = static_cast<uint16_t>(crc >> 1);
      if (feedback) crc ^= 0x8408;
    }
  }
  return static_cast<uint16_t>(~crc);
}

// A PACTOR-I FEC packet: header, the data (8 bytes at 100 Bd, 20 at 200 Bd), the status byte
// with the counter in its low two bits, the check of data and status. With invertData the bytes
// after the header go out complemented.
inline std::vector<uint8_t> PactorPacket(const std::string& data, int counter, bool invertData = false,
                                         uint8_t header = 0x55) {
  std::vector<uint8_t> body(data.begin(), data.end());
  body.push_back(static_cast<uint8_t>(counter & 3));
  const uint16_t fcs = BitwiseFcs16(body);
  body.push_back(static_cast<uint8_t>(fcs & 0xFF));
  body.push_back(static_cast<uint8_t>(fcs >> 8));
  std::vector<uint8_t> packet{header};
  for (uint8_t b : body) packet.push_back(invertData ? static_cast<uint8_t>(~b) : b);
  return packet;
}

// The bits of packets as PACTOR FEC sends them, least significant first: each packet followed
// by its repetition with every bit inverted, back to back.
inline std::vector<uint8_t> PactorBits(const std::vector<std::vector<uint8_t>>& packets, bool repeat = true) {
  std::vector<uint8_t> bits;
  for (const std::vector<uint8_t>& p : packets) {
    for (uint8_t b : p) AppendBits(bits, b, 8, false);
    if (repeat)
      for (uint8_t b : p) AppendBits(bits, static_cast<uint8_t>(~b), 8, false);
  }
  return bits;
}

}  // namespace vestrel::test
