#include "platform/presence_semaphore.h"

#include <fcntl.h>

#include <cerrno>
#include <ctime>

namespace vestrel {

bool PresenceSemaphore::Announce() {
  if (sem_ == nullptr) {
    sem_t* s = sem_open(name_.c_str(), O_CREAT, 0666, 0);
    if (s == SEM_FAILED) return false;
    sem_ = s;
  }
  // A release that would pass the maximum releases nothing, as a counting semaphore with a
  // ceiling does.
  int value = 0;
  if (sem_getvalue(sem_, &value) == 0 && value + kCountPerInstance <= kMaximum) {
    for (int i = 0; i < kCountPerInstance; ++i) sem_post(sem_);
  }
  return true;
}

void PresenceSemaphore::Withdraw() {
  if (sem_ == nullptr) return;
  for (int i = 0; i < kCountPerInstance; ++i) {
    timespec until{};
    clock_gettime(CLOCK_REALTIME, &until);
    until.tv_nsec += 10'000'000;
    if (until.tv_nsec >= 1'000'000'000) {
      until.tv_nsec -= 1'000'000'000;
      ++until.tv_sec;
    }
    while (sem_timedwait(sem_, &until) != 0 && errno == EINTR) {
    }
  }
  Close();
}

int PresenceSemaphore::Value() const {
  int value = -1;
  if (sem_ == nullptr || sem_getvalue(sem_, &value) != 0) return -1;
  return value;
}

void PresenceSemaphore::Close() {
  if (sem_ == nullptr) return;
  sem_close(sem_);
  sem_ = nullptr;
}

}  // namespace vestrel
