#include "support/pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>

namespace vestrel::test {

PtyPair::PtyPair() {
  const int fd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return;
  char name[128];
  if (grantpt(fd) != 0 || unlockpt(fd) != 0 || ptsname_r(fd, name, sizeof name) != 0) {
    close(fd);
    return;
  }
  master_ = fd;
  slave_ = name;
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
}

PtyPair::~PtyPair() {
  if (master_ >= 0) close(master_);
}

termios2 PtyPair::SlaveSettings() const {
  termios2 t{};
  ioctl(master_, TCGETS2, &t);
  return t;
}

std::vector<uint8_t> PtyPair::Read(int timeoutMs) {
  std::vector<uint8_t> out;
  pollfd p{master_, POLLIN, 0};
  if (poll(&p, 1, timeoutMs) <= 0) return out;
  uint8_t buf[4096];
  for (;;) {
    const ssize_t n = read(master_, buf, sizeof buf);
    if (n <= 0) break;
    out.insert(out.end(), buf, buf + n);
  }
  return out;
}

void PtyPair::Write(const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
}

void PtyPair::CloseMaster() {
  if (master_ >= 0) close(master_);
  master_ = -1;
}

bool PtyPair::SlaveClosed() const {
  // Once every slave descriptor has gone, the master polls as hung up.
  pollfd p{master_, POLLIN, 0};
  return poll(&p, 1, 0) > 0 && (p.revents & POLLHUP) != 0;
}

}  // namespace vestrel::test
