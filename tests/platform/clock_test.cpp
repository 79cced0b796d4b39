#include "platform/clock.h"

#include <gtest/gtest.h>

#include <ctime>

namespace vestrel {
namespace {

TEST(Clock, SecondsBreakDownIntoCalendarTime) {
  struct Case {
    int64_t seconds;
    CivilTime t;
  };
  const Case cases[] = {
      {0, {1970, 1, 1, 0, 0, 0}},
      {-1, {1969, 12, 31, 23, 59, 59}},
      {951782400, {2000, 2, 29, 0, 0, 0}},  // a leap day of a century year
      {1709596830, {2024, 3, 5, 0, 0, 30}},
      {4102444799, {2099, 12, 31, 23, 59, 59}},
      {4294967296, {2106, 2, 7, 6, 28, 16}},  // past 32 bits
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.seconds);
    const CivilTime t = BreakDownSeconds(c.seconds);
    EXPECT_EQ(t.year, c.t.year);
    EXPECT_EQ(t.month, c.t.month);
    EXPECT_EQ(t.day, c.t.day);
    EXPECT_EQ(t.hour, c.t.hour);
    EXPECT_EQ(t.minute, c.t.minute);
    EXPECT_EQ(t.second, c.t.second);
  }
}

TEST(Clock, SystemClockAgreesWithTheCLibrary) {
  SystemClock clock;
  const int64_t before = std::time(nullptr);
  const int64_t now = clock.UtcSeconds();
  EXPECT_GE(now, before);
  EXPECT_LE(now, std::time(nullptr));
  std::tm local{};
  const std::time_t t = static_cast<std::time_t>(now);
  ASSERT_NE(localtime_r(&t, &local), nullptr);
  EXPECT_EQ(clock.LocalOffsetSeconds(now), local.tm_gmtoff);
  const uint64_t start = clock.NowMs();
  clock.SleepMs(20);
  EXPECT_GE(clock.NowMs() - start, 20u);
}

}  // namespace
}  // namespace vestrel
