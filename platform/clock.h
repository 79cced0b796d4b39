#pragma once
#include <cstdint>

#include "platform/wait_clock.h"

namespace vestrel {

// A calendar time broken down the way file names and time stamps need it.
struct CivilTime {
  int year = 1970, month = 1, day = 1;  // month 1..12, day 1..31
  int hour = 0, minute = 0, second = 0;
};

// Seconds since 1970-01-01 00:00:00 (no leap seconds) as a calendar time, for any instant,
// negative ones included.
CivilTime BreakDownSeconds(int64_t seconds);

// Tick counts, sleeps, and the wall-clock time in UTC and in the local zone. Tests inject a
// fake whose time moves only when they move it.
class Clock : public WaitClock {
 public:
  // Seconds since 1970 in UTC.
  virtual int64_t UtcSeconds() = 0;
  // How far the local zone is ahead of UTC at the given instant, in seconds.
  virtual int32_t LocalOffsetSeconds(int64_t utcSeconds) = 0;

 protected:
  ~Clock() = default;
};

class SystemClock final : public Clock {
 public:
  uint64_t NowMs() override { return steady_.NowMs(); }
  void SleepMs(uint32_t ms) override { steady_.SleepMs(ms); }
  int64_t UtcSeconds() override;
  int32_t LocalOffsetSeconds(int64_t utcSeconds) override;

 private:
  SteadyWaitClock steady_;
};

}  // namespace vestrel
