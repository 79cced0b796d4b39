#include "engine/modes/packet/packet_frame_output.h"

#include <string>

#include "engine/modes/packet/packet_monitor_line.h"

namespace vestrel {

std::span<const uint8_t> TPacketFrameOutput::Encode(std::span<const uint8_t> frame) {
  if (frame.size() < 2) return {};
  frame = frame.first(frame.size() - 2);
  // Longer frames than the receiver delivers are cut to its limit rather than written past.
  if (frame.size() > THdlcDeframer::kMaxBytes) frame = frame.first(THdlcDeframer::kMaxBytes);
  const size_t n = EncodeKissFrame(frame, kiss_);
  return {kiss_.data(), n};
}

void TPacketFrameOutput::WriteKissToExchange(std::span<const uint8_t> frame) {
  if (!IsKISS) return;
  const std::span<const uint8_t> kiss = Encode(frame);
  if (kiss.empty()) return;
  for (KissOutput* out : exchange_)
    if (out) out->WriteKiss(kiss);
}

void TPacketFrameOutput::WriteKissToCapture(std::span<const uint8_t> frame) {
  if (capture_ == nullptr) return;
  const std::span<const uint8_t> kiss = Encode(frame);
  if (!kiss.empty()) capture_->WriteKiss(kiss);
}

void TPacketFrameOutput::ShowPacketMonitorLine(std::span<const uint8_t> frame) {
  const std::string line = FormatPacketMonitorLine(frame);
  if (!line.empty()) rx_.PutRxString(line);
}

void TPacketFrameOutput::PutAx25Frame(std::span<const uint8_t> frame) {
  WriteKissToExchange(frame);
  WriteKissToCapture(frame);
  ShowPacketMonitorLine(frame);
}

}  // namespace vestrel
