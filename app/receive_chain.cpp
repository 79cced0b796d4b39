#include "app/receive_chain.h"

#include <span>

namespace vestrel {

ReceiveChain::ReceiveChain() { SetInputRate(11025.0); }

void ReceiveChain::SetInputRate(double cardRate) { resample_.Setup(cardRate, 11025.0); }

void ReceiveChain::FeedInputBlock(const int16_t* samples, uint32_t count, int source) {
  source_ = source;
  resample_.PushBlockTo(std::span<const int16_t>(samples, count), [this](double y) {
    block_[fill_++] = y;
    if (fill_ == kBlock) {
      fill_ = 0;
      ++blocksOut;
      if (sink_ != nullptr) sink_(context_, block_.data(), kBlock, source_);
    }
  });
}

}  // namespace vestrel
