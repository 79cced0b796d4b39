#pragma once
#include <array>
#include <cstdint>
#include <span>

#include "engine/modes/packet/ax25_decoder.h"
#include "engine/modes/packet/kiss_frame.h"
#include "engine/modes/packet/kiss_output.h"
#include "engine/rx_text_sink.h"

namespace vestrel {

// Where a good received frame goes: with IsKISS on, as a KISS frame to the exchange outputs
// (the exchange library's link and the exchange port); as a KISS frame into the KISS capture
// file; then as a monitor line into the receive window. The KISS frame leaves the two check
// bytes out. GUI thread only.
class TPacketFrameOutput final : public Ax25FrameSink {
 public:
  explicit TPacketFrameOutput(RxTextSink& rx) : rx_(rx) {}

  // Unset (null) outputs are skipped.
  void SetExchangeOutputs(KissOutput* library, KissOutput* port) { exchange_ = {library, port}; }
  void SetCaptureOutput(KissOutput* capture) { capture_ = capture; }

  void PutAx25Frame(std::span<const uint8_t> frame) override;

  // frame: received bytes with their two check bytes.
  void WriteKissToExchange(std::span<const uint8_t> frame);
  void WriteKissToCapture(std::span<const uint8_t> frame);
  void ShowPacketMonitorLine(std::span<const uint8_t> frame);

  bool IsKISS = true;  // setting "AX25": received frames go to the exchange channels as KISS

 private:
  // The KISS frame of `frame` without its check bytes, in kiss_; its length.
  std::span<const uint8_t> Encode(std::span<const uint8_t> frame);

  RxTextSink& rx_;
  std::array<KissOutput*, 2> exchange_{};
  KissOutput* capture_ = nullptr;
  // The longest frame the receiver delivers, every byte escaped.
  std::array<uint8_t, KissEncodedCapacity(THdlcDeframer::kMaxBytes)> kiss_{};
};

}  // namespace vestrel
