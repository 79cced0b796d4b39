#pragma once
#include <cstdint>

namespace vestrel {

// Milliseconds for bounded waits (closing a device polls until its buffers are back). Tests
// inject a clock whose sleep advances time at once.
class WaitClock {
 public:
  virtual uint64_t NowMs() = 0;
  virtual void SleepMs(uint32_t ms) = 0;

 protected:
  ~WaitClock() = default;
};

class SteadyWaitClock final : public WaitClock {
 public:
  uint64_t NowMs() override;
  void SleepMs(uint32_t ms) override;
};

}  // namespace vestrel
