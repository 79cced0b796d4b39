#pragma once
#include <memory>
#include <mutex>

#include "platform/serial_port.h"

namespace vestrel {

// The handle of an open COM port as the port code and the serial workers share it: a
// reference to the port object, empty when closed ("-1"). Two handles may name one port (a
// PTT port that also carries the data exchange). A user takes its own reference with Get and
// keeps the port alive until it lets go; the handle itself is only ever held for the copy.
//
// A keying port opened as a COM port (PTT type 1) is marked as a TxD line: only such a port
// may carry the start-stop codes of the COM writer. The WinKey keyer's port is not one, since
// codes 0..31 are the keyer's commands.
class ComHandle {
 public:
  std::shared_ptr<SerialPort> Get() const {
    std::lock_guard lock(mutex_);
    return port_;
  }
  // The port when it is a TxD line, else null.
  std::shared_ptr<SerialPort> GetTxdLine() const {
    std::lock_guard lock(mutex_);
    return txdLine_ ? port_ : nullptr;
  }
  void Set(std::shared_ptr<SerialPort> port, bool txdLine = false) {
    std::lock_guard lock(mutex_);
    port_ = std::move(port);
    txdLine_ = port_ != nullptr && txdLine;
  }
  // Empties the handle and hands over what it held.
  std::shared_ptr<SerialPort> Take() {
    std::lock_guard lock(mutex_);
    txdLine_ = false;
    return std::move(port_);
  }
  // Empties the handle when it names `port`; true when it did.
  bool Forget(const std::shared_ptr<SerialPort>& port) {
    std::lock_guard lock(mutex_);
    if (port_ == nullptr || port_ != port) return false;
    port_.reset();
    txdLine_ = false;
    return true;
  }
  bool IsOpen() const { return Get() != nullptr; }

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<SerialPort> port_;
  bool txdLine_ = false;
};

}  // namespace vestrel
