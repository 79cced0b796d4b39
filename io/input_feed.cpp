#include "io/input_feed.h"

namespace vestrel {

void InputFeed::FeedInputBlock(const int16_t* samples, uint32_t count, int source) {
  source_ = source;
  for (uint32_t i = 0; i < count; ++i) converter_.Push(static_cast<double>(samples[i]));
}

void InputFeed::ClearPeakHold() {
  if (clearPeakHold_ != nullptr) clearPeakHold_(context_);
}

}  // namespace vestrel
