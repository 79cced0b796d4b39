#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "platform/wave_device.h"

namespace vestrel {

// The 16 rotating capture buffers of 2048 frames. The capture callback raises `full` and
// lowers `queued`; the GUI thread does the reverse and owns both indexes.
struct CaptureRing {
  static constexpr uint32_t kCount = 16;
  static constexpr uint32_t kMask = kCount - 1;
  static constexpr uint32_t kFrames = 2048;
  static constexpr uint32_t kSlotBytes = 8192;  // 2048 stereo frames
  static constexpr uint32_t kSlotSamples = kSlotBytes / 2;

  // One shared block, 16 slots at 8192-byte steps; allocated once, headers only point into it.
  std::vector<int16_t> block = std::vector<int16_t>(kCount * kSlotSamples);
  std::array<WaveHeader, kCount> headers{};
  std::atomic<uint32_t> full{0};    // returned by the device, not yet processed
  std::atomic<uint32_t> queued{0};  // handed to the device, not yet returned
  uint32_t readIndex = 0;           // next full buffer to process, & kMask
  uint32_t requeueIndex = 0;        // next header to give back to the device, & kMask

  int16_t* Slot(uint32_t index) { return block.data() + (index & kMask) * kSlotSamples; }

  void ClearCounters() {
    full = 0;
    queued = 0;
    readIndex = 0;
    requeueIndex = 0;
  }
};

}  // namespace vestrel
