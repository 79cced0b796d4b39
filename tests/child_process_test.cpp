// ctest-labels: integration
// The tests' own handle on outside programs: nothing it starts outlives it, and a look at the
// children through /proc holds while processes come and go.
#include "support/child_process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace vestrel::test {
namespace {

using namespace std::chrono_literals;

// True once pid is gone or a zombie (its parent, or init, has yet to reap it), waiting at most
// `limit` for it.
bool GoneWithin(pid_t pid, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const std::string stat = ReadProcFile("/proc/" + std::to_string(pid) + "/stat");
    const size_t close = stat.rfind(')');
    if (close == std::string::npos || stat.compare(close + 1, 3, " Z ") == 0) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(10ms);
  }
}

// The pid a shell prints of the program it started in the background.
pid_t BackgroundPid(ChildProcess& shell) {
  std::string line;
  while (line.find('\n') == std::string::npos) {
    const std::string more = shell.ReadSome(10s);
    if (more.empty()) return 0;
    line += more;
  }
  return static_cast<pid_t>(std::stol(line));
}

TEST(ChildProcess, KillTakesTheGrandchildrenAlong) {
  pid_t grandchild = 0;
  {
    ChildProcess shell({"sh", "-c", "sleep 300 & echo $!; wait"}, true);
    ASSERT_TRUE(shell.Started());
    grandchild = BackgroundPid(shell);
    ASSERT_GT(grandchild, 0);
    EXPECT_FALSE(GoneWithin(grandchild, 0ms));
  }
  EXPECT_TRUE(GoneWithin(grandchild, 10s)) << "sleep " << grandchild << " outlived the test's handle";
}

TEST(ChildProcess, WhatTheProgramLeavesInItsGroupEndsWithIt) {
  ChildProcess shell({"sh", "-c", "sleep 300 & echo $!"}, true);
  ASSERT_TRUE(shell.Started());
  const pid_t grandchild = BackgroundPid(shell);
  ASSERT_GT(grandchild, 0);
  EXPECT_EQ(shell.Wait(10s), 0);
  EXPECT_TRUE(GoneWithin(grandchild, 10s));
}

// A test process that dies without its destructors (a crash, a time-out's SIGKILL) takes its
// programs along.
TEST(ChildProcess, AProgramEndsWithTheTestThatStartedIt) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const pid_t test = fork();
  ASSERT_GE(test, 0);
  if (test == 0) {
    close(fds[0]);
    auto* sleeper = new ChildProcess({"sleep", "300"});
    const pid_t pid = sleeper->Pid();
    (void)!write(fds[1], &pid, sizeof pid);
    _exit(0);  // no destructor runs
  }
  close(fds[1]);
  pid_t sleeper = 0;
  ASSERT_EQ(read(fds[0], &sleeper, sizeof sleeper), static_cast<ssize_t>(sizeof sleeper));
  close(fds[0]);
  waitpid(test, nullptr, 0);
  ASSERT_GT(sleeper, 0);
  EXPECT_TRUE(GoneWithin(sleeper, 10s)) << "sleep " << sleeper << " outlived its test";
}

TEST(ChildProcess, AProgramThatCannotStartIsNotStarted) {
  ChildProcess none({"/nonexistent/vestrel-no-such-program"});
  EXPECT_FALSE(none.Started());
  EXPECT_EQ(none.Wait(1s), -1);
}

// Children come and go while the list is read: a process gone between the open of its stat
// file and the read makes that read fail with ESRCH, which a stream turns into an exception.
TEST(ChildrenNamed, HoldsWhileProcessesComeAndGo) {
  ChildProcess sleeper({"sleep", "300"});
  ASSERT_TRUE(sleeper.Started());
  std::atomic<bool> stop = false;
  std::vector<std::thread> churn;
  for (int t = 0; t < 4; ++t) {
    churn.emplace_back([&] {
      while (!stop) {
        const pid_t p = vfork();
        if (p == 0) _exit(0);
        if (p > 0) waitpid(p, nullptr, 0);
      }
    });
  }
  bool found = true;
  try {
    for (int i = 0; i < 1000 && found; ++i) found = ChildrenNamed(getpid(), "sleep").size() == 1;
  } catch (const std::exception& e) {
    ADD_FAILURE() << e.what();
  }
  stop = true;
  for (std::thread& t : churn) t.join();
  EXPECT_TRUE(found);
}

}  // namespace
}  // namespace vestrel::test
