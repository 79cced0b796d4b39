#pragma once
#include <chrono>
#include <cstdint>
#include <vector>

#include "platform/clock.h"

namespace vestrel::test {

// Time that moves only when someone sleeps or the test sets it; a fixed local zone.
class FakeClock : public Clock {
 public:
  uint64_t NowMs() override { return nowMs; }
  void SleepMs(uint32_t ms) override {
    sleeps.push_back(ms);
    nowMs += ms;
  }
  int64_t UtcSeconds() override { return utcSeconds; }
  int32_t LocalOffsetSeconds(int64_t) override { return localOffset; }

  uint64_t nowMs = 5000;
  int64_t utcSeconds = 1700000000;
  int32_t localOffset = 0;
  std::vector<uint32_t> sleeps;
};

// Seconds since 1970 of a UTC calendar time.
inline int64_t UtcOf(int year, unsigned month, unsigned day, int hour, int minute, int second) {
  using namespace std::chrono;
  const sys_days d =
      year_month_day{std::chrono::year{year}, std::chrono::month{month}, std::chrono::day{day}};
  return d.time_since_epoch().count() * 86400LL + hour * 3600 + minute * 60 + second;
}

}  // namespace vestrel::test
