#include "engine/modes/packet/hdlc_deframer.h"

#include "engine/codes/fcs16.h"

namespace vestrel {

void THdlcDeframer::Reset() {
  flagReg_ = 0xFF;
  byteReg_ = 0;
  inFrame_ = false;
  byteCount_ = 0;
  bitCount_ = 0;
  frameLength_ = 0;
}

int THdlcDeframer::PutBit(int bit) {
  const uint8_t top = bit == 0 ? 0 : 0x80;
  flagReg_ = static_cast<uint8_t>(top | (flagReg_ >> 1));
  if ((flagReg_ & 0xFE) == 0x7C) return kNothing;  // a 0 after five ones: stuffed
  if ((flagReg_ & 0xFE) == 0xFE) {                 // seven ones: abort
    inFrame_ = false;
    byteCount_ = 0;
    bitCount_ = 0;
    return kNothing;
  }
  if (flagReg_ == 0x7E) {
    int result = kFlag;
    if (inFrame_ && byteCount_ >= kMinBytes && bitCount_ == 7 &&
        CheckFcs16(std::span<const uint8_t>(buffer_.data(), static_cast<size_t>(byteCount_)))) {
      frameLength_ = byteCount_;
      result |= kFrame;
    }
    inFrame_ = true;
    byteCount_ = 0;
    bitCount_ = 0;
    return result;
  }
  if (!inFrame_) return kNothing;
  byteReg_ = static_cast<uint8_t>(top | (byteReg_ >> 1));
  if (++bitCount_ == 8) {
    bitCount_ = 0;
    buffer_[static_cast<size_t>(byteCount_++)] = byteReg_;
    if (byteCount_ > kMaxBytes) {
      inFrame_ = false;
      byteCount_ = 0;
    }
  }
  return kNothing;
}

}  // namespace vestrel
