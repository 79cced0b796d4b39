#pragma once
#include <asm/termbits.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vestrel::test {

// A pseudo-terminal: the master end held by the test, the slave's path for the code under
// test. The master reports the slave's line settings (termios ioctls on a master act on its
// slave). The master is closed with the object.
class PtyPair {
 public:
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool ok() const { return master_ >= 0; }
  int master() const { return master_; }
  const std::string& slavePath() const { return slave_; }

  // The slave's settings, read through the master.
  termios2 SlaveSettings() const;
  // Bytes that have arrived at the master, waiting up to timeoutMs for the first.
  std::vector<uint8_t> Read(int timeoutMs = 1000);
  void Write(const std::vector<uint8_t>& bytes);
  // True when the slave end is no longer open anywhere (the master sees a hang-up).
  bool SlaveClosed() const;
  // Closes the master end now: the slave hangs up (its writes fail with EIO) and its path goes.
  void CloseMaster();

 private:
  int master_ = -1;
  std::string slave_;
};

}  // namespace vestrel::test
