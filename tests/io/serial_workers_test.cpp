// ctest-labels: unit tsan
#include "io/serial_workers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace vestrel {
namespace {

bool WaitUntilStopped(SerialWorkers& w) {
  for (int i = 0; i < 6000 && w.AnyRunning(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return !w.AnyRunning();
}

TEST(SerialWorkers, StartedThreadsAcknowledgeTheStop) {
  SerialWorkers w;
  ASSERT_TRUE(w.CreateComEvent());
  ASSERT_TRUE(w.StartRsThread());
  ASSERT_TRUE(w.CreateExTxEvent());
  w.StartExchangeThreads();
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(w.started(i));
  EXPECT_FALSE(w.AnyRunning());  // stop flags are clear while running
  w.RequestStop();
  EXPECT_TRUE(WaitUntilStopped(w));
  w.ReleaseThreads();
  EXPECT_FALSE(w.anyAbandoned());
  w.CloseEvents();
  EXPECT_EQ(w.shared()->comEvent, nullptr);
}

TEST(SerialWorkers, AThreadThatNeverStartedIsNotWaitedFor) {
  SerialWorkers w;
  w.RequestStop();  // no events: nothing to signal, nothing started
  EXPECT_FALSE(w.AnyRunning());
  ASSERT_TRUE(w.StartRsThread());  // without its event the body polls its stop flag
  w.RequestStop();
  EXPECT_TRUE(WaitUntilStopped(w));
  w.ReleaseThreads();
}

// A body that ignores its stop flag until the test lets it go.
class StuckBodies : public WorkerBodies {
 public:
  void RsThreadProc(WorkerShared& shared) override {
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    // Still uses its event after the shutdown gave up on it.
    if (shared.comEvent) shared.comEvent->Set();
  }
  std::atomic<bool> release{false};
};

TEST(SerialWorkers, AnAbandonedThreadKeepsItsEvents) {
  auto bodies = std::make_shared<StuckBodies>();
  std::weak_ptr<WorkerShared> shared;
  {
    SerialWorkers w(bodies);
    shared = w.shared();
    ASSERT_TRUE(w.CreateComEvent());
    ASSERT_TRUE(w.StartRsThread());
    w.RequestStop();
    EXPECT_TRUE(w.AnyRunning());
    w.ReleaseThreads();
    EXPECT_TRUE(w.anyAbandoned());
    w.CloseEvents();
    EXPECT_NE(w.shared()->comEvent, nullptr);
  }
  EXPECT_FALSE(shared.expired());  // the thread still holds what it uses
  bodies->release = true;
  for (int i = 0; i < 6000 && !shared.expired(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_TRUE(shared.expired());
}

}  // namespace
}  // namespace vestrel
