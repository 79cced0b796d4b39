#pragma once
#include <cstdint>

namespace vestrel {

// Where captured audio enters the receive chain: the input rate converter with the block
// processor behind it, and the peak-hold spectrum that a new capture device starts from.
// GUI thread only.
class ReceiveInput {
 public:
  // `source`: 0 live audio, 1 or 2 a file being decoded (paced or not).
  virtual void FeedInputBlock(const int16_t* samples, uint32_t count, int source) = 0;
  virtual void ClearPeakHold() = 0;
  // Capture buffers still waiting behind this block: with a backlog the display is skipped.
  virtual void SetCaptureBuffersWaiting(uint32_t /*waiting*/) {}

 protected:
  ~ReceiveInput() = default;
};

}  // namespace vestrel
