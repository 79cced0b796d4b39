#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace vestrel {

// The 8 playback buffers that the transmit pump fills and the playback device plays.
// The GUI thread fills and recycles; the device thread only raises `Completed` and then
// lowers `InFlight` when a buffer has played. That order matters: the pump reads InFlight and
// then Completed, and must never see a played buffer in neither count, or it would fill a
// ninth buffer over one that has not been recycled yet.
struct TxAudioBuffer {
  static constexpr uint32_t kCapacity = 131072;  // 16-bit samples (65536 stereo frames)
  std::vector<int16_t> samples = std::vector<int16_t>(kCapacity);
  uint32_t length = 0;   // samples written (interleaved when stereo)
  std::string text;      // the characters synthesised into this buffer, for the sent echo
  int32_t endMark = 0;   // 0, or -3 when the buffer carries the end of transmission
};

struct TxAudioBuffers {
  static constexpr uint32_t kCount = 8;
  static constexpr uint32_t kMask = kCount - 1;
  std::array<TxAudioBuffer, kCount> buffers;
  std::atomic<uint32_t> Completed{0};  // played, not yet recycled
  std::atomic<uint32_t> InFlight{0};   // written to the device, not yet played
  uint32_t FillIndex = 0;              // & kMask
  uint32_t RecycleIndex = 0;           // & kMask

  // Buffers written and not yet recycled. InFlight is read first (see the order above); the
  // two loads are separate statements because the operands of + have no fixed order.
  uint32_t Outstanding() const {
    const uint32_t inFlight = InFlight.load();
    return inFlight + Completed.load();
  }

  void ClearCounters() {
    Completed = 0;
    InFlight = 0;
    FillIndex = 0;
    RecycleIndex = 0;
  }
};

}  // namespace vestrel
