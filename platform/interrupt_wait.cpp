#include "platform/interrupt_wait.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace vestrel {

InterruptWait::InterruptWait() : wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

InterruptWait::~InterruptWait() {
  if (wakeFd_ >= 0) close(wakeFd_);
}

void InterruptWait::Interrupt() {
  interrupted_.store(true);
  if (wakeFd_ >= 0) {
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(wakeFd_, &one, sizeof one);
  }
}

InterruptWait::Result InterruptWait::Wait(int fd, short events,
                                          std::chrono::steady_clock::time_point deadline,
                                          short* revents) const {
  for (;;) {
    if (interrupted_.load()) return kInterrupted;
    // Rounded up, so that a wait never ends before its deadline.
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return kTimeout;
    pollfd fds[2] = {{fd, events, 0}, {wakeFd_, POLLIN, 0}};
    const int r = poll(fds, wakeFd_ >= 0 ? 2 : 1, static_cast<int>(left.count()));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return kError;
    if (r == 0) continue;  // the deadline is checked above
    if (wakeFd_ >= 0 && (fds[1].revents & POLLIN)) return kInterrupted;
    if (revents != nullptr) *revents = fds[0].revents;
    if (fds[0].revents & POLLNVAL) return kError;
    if (fds[0].revents & (events | POLLHUP | POLLERR)) return kReady;
  }
}

}  // namespace vestrel
