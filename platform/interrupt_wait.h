#pragma once
#include <atomic>
#include <chrono>

namespace vestrel {

// Waits for a descriptor to become ready, bounded by a deadline, and lets any other thread cut
// every wait short for good: once Interrupt has been called, each wait in progress and each
// later one returns kInterrupted at once. Used by the layers whose calls must never hold up a
// shutdown (serial ports, TCP lines).
class InterruptWait {
 public:
  enum Result { kReady, kTimeout, kInterrupted, kError };

  InterruptWait();
  ~InterruptWait();
  InterruptWait(const InterruptWait&) = delete;
  InterruptWait& operator=(const InterruptWait&) = delete;

  // Any thread.
  void Interrupt();
  bool interrupted() const { return interrupted_.load(); }

  // Waits for `events` (poll flags) on fd until the deadline. Hang-up and error conditions
  // count as ready: the call that follows reports them. revents: what poll reported.
  Result Wait(int fd, short events, std::chrono::steady_clock::time_point deadline,
              short* revents = nullptr) const;

 private:
  int wakeFd_ = -1;  // eventfd; readable once Interrupt was called
  std::atomic<bool> interrupted_{false};
};

}  // namespace vestrel
