#pragma once
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

namespace vestrel::bench {

// The master end of a pty, holding its slave's path: a serial port for the benchmarks.
struct PtyMaster {
  PtyMaster() {
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128];
    if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0 &&
        ptsname_r(master, name, sizeof name) == 0) {
      slave = name;
    }
  }
  ~PtyMaster() {
    if (master >= 0) close(master);
  }
  PtyMaster(const PtyMaster&) = delete;
  PtyMaster& operator=(const PtyMaster&) = delete;
  int master = -1;
  std::string slave;
};

}  // namespace vestrel::bench
