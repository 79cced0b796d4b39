#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

#include "engine/messages.h"
#include "io/serial_workers.h"

namespace vestrel::test {

// Messages posted from any thread, taken in order by the test thread (the GUI thread there).
class QueuePoster final : public Poster {
 public:
  void Post(uint32_t message) override {
    std::lock_guard lock(mutex_);
    messages_.push_back(message);
    cv_.notify_all();
  }
  // The next message, or 0 once `limit` has passed without one.
  uint32_t Next(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    if (!cv_.wait_for(lock, limit, [&] { return !messages_.empty(); })) return 0;
    const uint32_t m = messages_.front();
    messages_.pop_front();
    return m;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<uint32_t> messages_;
};

// Stops the serial workers as the shutdown does, waiting up to 4 s for them.
inline void StopWorkers(SerialWorkers& workers) {
  workers.RequestStop();
  for (int i = 0; i < 400 && workers.AnyRunning(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  workers.ReleaseThreads();
}

}  // namespace vestrel::test
