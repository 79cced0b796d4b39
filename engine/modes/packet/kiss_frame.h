#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace vestrel {

// KISS byte framing between the terminal and another program: FEND, a type byte (0: a data
// frame for port 0), the frame's bytes with FEND and FESC escaped, FEND.
inline constexpr uint8_t kKissFend = 0xC0;
inline constexpr uint8_t kKissFesc = 0xDB;
inline constexpr uint8_t kKissTfend = 0xDC;  // FESC TFEND stands for a 0xC0 byte
inline constexpr uint8_t kKissTfesc = 0xDD;  // FESC TFESC stands for a 0xDB byte

// Packet item arrays: 0..255 a data byte, HdlcFlagItem an HDLC flag sent without bit stuffing.
inline constexpr int16_t HdlcFlagItem = -20;

// The longest KISS frame of n frame bytes: FEND, type, every byte escaped, FEND.
constexpr size_t KissEncodedCapacity(size_t n) {
  return 3 + 2 * n;
}

// Writes the data frame of `frame` (without check bytes) into out and returns its length; 0
// when out is shorter than KissEncodedCapacity(frame.size()).
size_t EncodeKissFrame(std::span<const uint8_t> frame, std::span<uint8_t> out);

// The inward KISS parser: bytes in, data frames and parameter commands out. A FEND both ends
// the frame collected so far and opens the next; bytes outside a frame are ignored; FESC must
// be followed by TFEND or TFESC, otherwise the frame is dropped, and so is a frame of more than
// kMaxItems bytes (type byte included) and a data frame of the type byte alone. A plain value:
// any thread may own one.
class TKissDeframer {
 public:
  static constexpr int kMaxItems = 2044;
  // A frame handed on: its type byte and items, plus the flag, check and flag items added.
  static constexpr size_t kCapacity = kMaxItems + 3;

  enum class Kind : uint8_t { kNone, kData, kCommand };
  struct Event {
    Kind kind = Kind::kNone;
    // kData: [HdlcFlagItem, data bytes, check low, check high, HdlcFlagItem], valid until the
    // next PutByte.
    std::span<const int16_t> items;
    // kCommand: the type byte's low nibble (1 TXDELAY, 2 persistence, 3 slot time, 4 TXTAIL,
    // 5 full duplex, others unknown) and the byte after it.
    int command = 0;
    uint8_t value = 0;
  };

  // byte: 0..255; negative values (the exchange library's "nothing") are ignored.
  Event PutByte(int byte);
  void Reset();

  bool InFrame() const { return inFrame_; }
  int Length() const { return length_; }

 private:
  Event CloseFrame();
  void Drop();

  bool inFrame_ = false;
  bool escape_ = false;
  int length_ = 0;
  std::array<int16_t, kCapacity> items_{};
};

}  // namespace vestrel
