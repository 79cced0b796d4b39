#pragma once
#include <cstdint>

#include "platform/wait_clock.h"

namespace vestrel::testing {

// Moves on `step` milliseconds each time it is read, so that whatever runs against a deadline
// gets a fixed amount of work done: a memo's 25 ms formatting slice lays out 25 paragraphs or so.
class TickingClock : public WaitClock {
 public:
  uint64_t NowMs() override { return now += step; }
  void SleepMs(uint32_t ms) override { now += ms; }
  uint64_t now = 1000;
  uint64_t step = 1;
};

}  // namespace vestrel::testing
