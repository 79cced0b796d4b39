#include "engine/modes/packet/kiss_frame.h"

#include "engine/codes/fcs16.h"

namespace vestrel {

size_t EncodeKissFrame(std::span<const uint8_t> frame, std::span<uint8_t> out) {
  if (out.size() < KissEncodedCapacity(frame.size())) return 0;
  size_t n = 0;
  out[n++] = kKissFend;
  out[n++] = 0x00;
  for (uint8_t b : frame) {
    if (b == kKissFend) {
      out[n++] = kKissFesc;
      out[n++] = kKissTfend;
    } else if (b == kKissFesc) {
      out[n++] = kKissFesc;
      out[n++] = kKissTfesc;
    } else {
      out[n++] = b;
    }
  }
  out[n++] = kKissFend;
  return n;
}

void TKissDeframer::Reset() {
  inFrame_ = false;
  escape_ = false;
  length_ = 0;
}

void TKissDeframer::Drop() {
  inFrame_ = false;
  escape_ = false;
  length_ = 0;
}

TKissDeframer::Event TKissDeframer::CloseFrame() {
  Event e;
  if (length_ == 0) return e;
  const int type = items_[0];
  // A data frame: low nibble 0 and bit 7 clear; bits 4..6 (the port) are not looked at.
  if ((type & 0x0F) == 0 && (type & 0x80) == 0) {
    // A type byte alone carries nothing to send: keying up for it would waste the channel.
    if (escape_ || length_ == 1) return e;
    items_[0] = HdlcFlagItem;
    const size_t n = static_cast<size_t>(length_);
    // The check runs over the data items only: the flag item at 0 is not part of the frame.
    AppendFcs16(std::span<int16_t>(items_).subspan(1), n - 1);
    items_[n + 2] = HdlcFlagItem;
    e.kind = Kind::kData;
    e.items = std::span<const int16_t>(items_.data(), n + 3);
    return e;
  }
  if (length_ >= 2) {
    e.kind = Kind::kCommand;
    e.command = type & 0x0F;
    e.value = static_cast<uint8_t>(items_[1]);
  }
  return e;
}

TKissDeframer::Event TKissDeframer::PutByte(int byte) {
  if (byte < 0) return {};
  const uint8_t b = static_cast<uint8_t>(byte);
  if (b == kKissFend) {
    const Event e = inFrame_ ? CloseFrame() : Event{};
    inFrame_ = true;
    escape_ = false;
    length_ = 0;
    return e;
  }
  if (!inFrame_) return {};
  if (b == kKissFesc) {
    if (escape_) {
      Drop();
    } else {
      escape_ = true;
    }
    return {};
  }
  uint8_t item = b;
  if (escape_) {
    if (b == kKissTfend) {
      item = kKissFend;
    } else if (b == kKissTfesc) {
      item = kKissFesc;
    } else {
      Drop();
      return {};
    }
    escape_ = false;
  }
  if (length_ >= kMaxItems) {
    Drop();
    return {};
  }
  items_[static_cast<size_t>(length_++)] = item;
  return {};
}

}  // namespace vestrel
