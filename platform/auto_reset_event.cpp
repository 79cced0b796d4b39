#include "platform/auto_reset_event.h"

#include <chrono>

namespace vestrel {

void AutoResetEvent::Set() {
  {
    std::lock_guard lock(mutex_);
    signalled_ = true;
  }
  cv_.notify_one();
}

bool AutoResetEvent::Wait(int timeoutMs) {
  std::unique_lock lock(mutex_);
  if (!cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return signalled_; })) return false;
  signalled_ = false;
  return true;
}

void AutoResetEvent::Wait() {
  std::unique_lock lock(mutex_);
  cv_.wait(lock, [this] { return signalled_; });
  signalled_ = false;
}

}  // namespace vestrel
