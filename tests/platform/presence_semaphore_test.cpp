#include "platform/presence_semaphore.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace vestrel {
namespace {

std::string Name() { return "/vestrel_presence_test_" + std::to_string(getpid()); }

TEST(PresenceSemaphore, EachInstanceAddsThreeAndTakesThemBack) {
  const std::string name = Name();
  sem_unlink(name.c_str());
  PresenceSemaphore a(name), b(name);
  EXPECT_EQ(a.Value(), -1);
  ASSERT_TRUE(a.Announce());
  EXPECT_EQ(a.Value(), 3);
  ASSERT_TRUE(b.Announce());
  EXPECT_EQ(a.Value(), 6);
  b.Withdraw();
  EXPECT_FALSE(b.IsOpen());
  EXPECT_EQ(a.Value(), 3);
  b.Withdraw();  // not open: nothing
  EXPECT_EQ(a.Value(), 3);
  a.Withdraw();
  PresenceSemaphore c(name);
  ASSERT_TRUE(c.Announce());
  EXPECT_EQ(c.Value(), 3);  // a and b left nothing behind
  c.Withdraw();
  sem_unlink(name.c_str());
}

TEST(PresenceSemaphore, NeverPassesTheMaximum) {
  const std::string name = Name() + "_max";
  sem_unlink(name.c_str());
  PresenceSemaphore s(name);
  for (int i = 0; i < 400; ++i) ASSERT_TRUE(s.Announce());
  EXPECT_EQ(s.Value(), 999);  // 333 releases of 3; a 334th would reach 1002
  sem_unlink(name.c_str());
}

TEST(PresenceSemaphore, ABadNameIsNotObtained) {
  PresenceSemaphore s("/no/slashes/inside");
  EXPECT_FALSE(s.Announce());
  EXPECT_EQ(s.Value(), -1);
  s.Withdraw();
}

}  // namespace
}  // namespace vestrel
