// ctest-labels: unit tsan
#include "platform/auto_reset_event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace vestrel {
namespace {

TEST(AutoResetEvent, ASetIsKeptUntilOneWaitTakesIt) {
  AutoResetEvent e;
  EXPECT_FALSE(e.Wait(0));
  e.Set();
  e.Set();  // two sets before a wait still let one waiter through
  EXPECT_TRUE(e.Wait(0));
  EXPECT_FALSE(e.Wait(1));
}

TEST(AutoResetEvent, WakesAWaiterOnAnotherThread) {
  AutoResetEvent e;
  std::atomic<bool> woke{false};
  std::thread t([&] { woke = e.Wait(60000); });
  e.Set();
  t.join();
  EXPECT_TRUE(woke);
  // The untimed wait, for a set made before it and one made while it waits.
  e.Set();
  e.Wait();
  std::atomic<bool> through{false};
  std::thread u([&] {
    e.Wait();
    through = true;
  });
  e.Set();
  u.join();
  EXPECT_TRUE(through);
}

}  // namespace
}  // namespace vestrel
