#pragma once
#include <semaphore.h>

#include <string>

namespace vestrel {

// The named semaphore that tells other programs that a terminal runs: each running instance
// holds 3 counts of it. Count 0 at creation, at most 1000.
class PresenceSemaphore {
 public:
  static constexpr const char* kDefaultName = "/VESTREL_IS_RUNNING_SEMAPHORE";
  static constexpr int kMaximum = 1000;
  static constexpr int kCountPerInstance = 3;

  explicit PresenceSemaphore(std::string name = kDefaultName) : name_(std::move(name)) {}
  PresenceSemaphore(const PresenceSemaphore&) = delete;
  PresenceSemaphore& operator=(const PresenceSemaphore&) = delete;
  ~PresenceSemaphore() { Close(); }

  // Creates or opens the semaphore and releases it by 3 (none of them when that would pass
  // the maximum). False when it could not be obtained.
  bool Announce();
  // Takes back the 3 counts (10 ms each at most) and closes the handle. Safe when not open.
  void Withdraw();
  bool IsOpen() const { return sem_ != nullptr; }
  // The current count, or -1 when the semaphore is not open.
  int Value() const;
  const std::string& name() const { return name_; }

 private:
  void Close();

  std::string name_;
  sem_t* sem_ = nullptr;
};

}  // namespace vestrel
