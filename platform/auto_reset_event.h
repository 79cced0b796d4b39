#pragma once
#include <condition_variable>
#include <mutex>

namespace vestrel {

// An event that lets one waiter through per Set and then resets itself. A Set with no
// waiter is kept until the next Wait.
class AutoResetEvent {
 public:
  void Set();
  // Waits at most timeoutMs milliseconds; true when the event was set.
  bool Wait(int timeoutMs);
  // Waits until the event is set.
  void Wait();

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool signalled_ = false;
};

}  // namespace vestrel
