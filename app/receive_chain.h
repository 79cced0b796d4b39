#pragma once
#include <array>
#include <cstdint>

#include "engine/dsp/uni_resample.h"
#include "io/receive_input.h"

namespace vestrel {

// Captured audio at the card's calibrated rate, converted to 11025 samples/s and cut into the
// 2048-sample blocks that the block processor takes. GUI thread only.
class ReceiveChain final : public ReceiveInput {
 public:
  static constexpr uint32_t kBlock = 2048;
  // Called once per full block (no allocation, no virtual call per sample).
  using BlockSink = void (*)(void* context, const double* block, uint32_t count, int source);

  ReceiveChain();
  // cardRate: samples/s of the capture device; a rate the converter refuses keeps the old one.
  void SetInputRate(double cardRate);
  void SetBlockSink(BlockSink sink, void* context) {
    sink_ = sink;
    context_ = context;
  }

  // ReceiveInput
  void FeedInputBlock(const int16_t* samples, uint32_t count, int source) override;
  void ClearPeakHold() override { ++peakHoldClears; }

  uint64_t blocksOut = 0;  // blocks handed on since start
  int peakHoldClears = 0;

 private:
  TUniResample resample_;
  std::array<double, kBlock> block_{};
  uint32_t fill_ = 0;
  int source_ = 0;
  BlockSink sink_ = nullptr;
  void* context_ = nullptr;
};

}  // namespace vestrel
