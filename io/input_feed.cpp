#include "io/input_feed.h"

#include <span>

namespace vestrel {

void InputFeed::FeedInputBlock(const int16_t* samples, uint32_t count, int source) {
  processor_.FeedMode = source;  // 0 live audio, 1 or 2 a file being decoded
  processor_.PushCaptured(std::span<const int16_t>(samples, count));
}

}  // namespace vestrel
