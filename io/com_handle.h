#pragma once
#include <memory>
#include <mutex>

#include "platform/serial_port.h"

namespace vestrel {

// The handle of an open COM port as the port code and the serial workers share it: a
// reference to the port object, empty when closed ("-1"). Two handles may name one port (a
// PTT port that also carries the data exchange). A user takes its own reference with Get and
// keeps the port alive until it lets go; the handle itself is only ever held for the copy.
class ComHandle {
 public:
  std::shared_ptr<SerialPort> Get() const {
    std::lock_guard lock(mutex_);
    return port_;
  }
  void Set(std::shared_ptr<SerialPort> port) {
    std::lock_guard lock(mutex_);
    port_ = std::move(port);
  }
  // Empties the handle and hands over what it held.
  std::shared_ptr<SerialPort> Take() {
    std::lock_guard lock(mutex_);
    return std::move(port_);
  }
  bool IsOpen() const { return Get() != nullptr; }

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<SerialPort> port_;
};

}  // namespace vestrel
