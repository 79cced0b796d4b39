#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "support/child_process.h"

namespace vestrel::test {

// Polls until `done` holds; false after the deadline. Every wait of the rig tests is bounded.
bool Eventually(const std::function<bool()>& done,
                std::chrono::milliseconds limit = std::chrono::seconds(20));

// A loopback port nothing listens on at the time of the call.
uint16_t FreeLoopbackPort();

// rigctld with the dummy rig (hamlib model 1) on `port`, PTT by CAT command so that the
// daemon keeps the PTT state (without `pttByCat` it has no PTT, and refuses to key); null when
// it did not come up (the port was taken meanwhile).
std::unique_ptr<ChildProcess> StartRigctld(uint16_t port, bool vfoMode = false, bool pttByCat = true);

// Relays connections from its own loopback port to a daemon's. Cut() drops every connection
// and refuses new ones until Restore(): a link lost and back, with the daemon running on.
class LinkProxy {
 public:
  explicit LinkProxy(uint16_t daemonPort);
  ~LinkProxy();
  LinkProxy(const LinkProxy&) = delete;
  LinkProxy& operator=(const LinkProxy&) = delete;

  uint16_t Port() const { return port_; }
  void Cut() { cut_ = true; }
  void Restore() { cut_ = false; }

 private:
  void Serve();

  const uint16_t daemonPort_;
  int listen_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false}, cut_{false};
  std::thread thread_;
};

}  // namespace vestrel::test
