#pragma once
#include <cstdint>

#include "engine/dsp/uni_resample.h"
#include "io/receive_input.h"

namespace vestrel {

// The receive chain as the capture side sees it: each sample, as a double, into the input
// rate converter (card rate SamplingFreq to 11025 samples/s), whose callback gathers the
// block processor's 2048-sample blocks. The converter and the peak-hold spectrum belong to
// the engine; this only feeds them. GUI thread only.
class InputFeed final : public ReceiveInput {
 public:
  using ClearFunction = void (*)(void* context);

  explicit InputFeed(TUniResample& converter, ClearFunction clearPeakHold = nullptr, void* context = nullptr)
      : converter_(converter), clearPeakHold_(clearPeakHold), context_(context) {}

  void FeedInputBlock(const int16_t* samples, uint32_t count, int source) override;
  void ClearPeakHold() override;

  // 0 live audio, 1 or 2 a file being decoded: what the block processor is working on.
  int InputSource() const { return source_; }

 private:
  TUniResample& converter_;
  ClearFunction clearPeakHold_;
  void* context_;
  int source_ = 0;
};

}  // namespace vestrel
