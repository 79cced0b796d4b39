#include "platform/clock.h"

#include <chrono>
#include <ctime>

namespace vestrel {

CivilTime BreakDownSeconds(int64_t seconds) {
  using namespace std::chrono;
  const sys_seconds t{std::chrono::seconds(seconds)};
  const sys_days day = floor<days>(t);
  const year_month_day ymd{day};
  const hh_mm_ss<std::chrono::seconds> hms{t - day};
  CivilTime c;
  c.year = static_cast<int>(ymd.year());
  c.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
  c.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
  c.hour = static_cast<int>(hms.hours().count());
  c.minute = static_cast<int>(hms.minutes().count());
  c.second = static_cast<int>(hms.seconds().count());
  return c;
}

int64_t SystemClock::UtcSeconds() {
  using namespace std::chrono;
  return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

int32_t SystemClock::LocalOffsetSeconds(int64_t utcSeconds) {
  const std::time_t t = static_cast<std::time_t>(utcSeconds);
  std::tm local{};
  if (localtime_r(&t, &local) == nullptr) return 0;
  return static_cast<int32_t>(local.tm_gmtoff);
}

}  // namespace vestrel
