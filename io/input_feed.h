#pragma once
#include <cstdint>

#include "engine/rx_block_processor.h"
#include "io/receive_input.h"

namespace vestrel {

// The receive chain as the capture side sees it: each sample, as a double, into the block
// processor's input converter (card rate SamplingFreq to 11025 samples/s), whose output the
// processor gathers into its 2048-sample blocks. GUI thread only.
class InputFeed final : public ReceiveInput {
 public:
  explicit InputFeed(TRxBlockProcessor& processor) : processor_(processor) {}

  void FeedInputBlock(const int16_t* samples, uint32_t count, int source) override;
  void ClearPeakHold() override { processor_.Spectrum.ClearPeaks(); }
  void SetCaptureBuffersWaiting(uint32_t waiting) override {
    processor_.CaptureBuffersWaiting.store(static_cast<int>(waiting), std::memory_order_relaxed);
  }

 private:
  TRxBlockProcessor& processor_;
};

}  // namespace vestrel
