#pragma once
#include <array>
#include <cstdint>
#include <span>

namespace vestrel {

// The receiving HDLC layer of AX.25: decoded bits in (after NRZI), frames out. Bits enter two
// shift registers from the top (the newest at bit 7): the flag register finds flags (0x7E),
// stuffed zeros (a 0 after five ones, dropped) and aborts (seven ones); the byte register
// collects the frame's bytes, least significant bit first. A flag closes the open frame and
// opens the next, so frames may share one flag. A frame is handed on only when it holds more
// than 14 bytes, ended on a byte boundary (the flag's first seven bits then stand in the byte
// register, bit count exactly 7) and its check sequence holds. A plain value.
class THdlcDeframer {
 public:
  static constexpr int kMaxBytes = 330;  // longer frames are dropped
  static constexpr int kMinBytes = 15;   // shorter ones are never handed on

  enum Result : uint8_t {
    kNothing = 0,
    kFlag = 1,   // a flag was seen (it may also have closed a frame)
    kFrame = 2,  // the flag closed a good frame: Frame() holds it, check bytes included
  };

  // One decoded bit (0 or 1, anything else counts as 1); returns a Result mask.
  int PutBit(int bit);
  // Back to hunting for a flag: nothing open, the flag register all ones.
  void Reset();

  // The frame just handed on (after kFrame), valid until the next PutBit.
  std::span<const uint8_t> Frame() const { return {buffer_.data(), static_cast<size_t>(frameLength_)}; }
  bool InFrame() const { return inFrame_; }
  int ByteCount() const { return byteCount_; }
  int BitCount() const { return bitCount_; }

 private:
  uint8_t flagReg_ = 0xFF;
  uint8_t byteReg_ = 0;
  bool inFrame_ = false;
  int byteCount_ = 0;
  int bitCount_ = 0;
  int frameLength_ = 0;
  // One more than kMaxBytes: the byte that makes a frame too long is stored before the frame
  // is dropped.
  std::array<uint8_t, kMaxBytes + 1> buffer_{};
};

}  // namespace vestrel
