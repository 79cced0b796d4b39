#pragma once
#include <cstdint>
#include <span>

namespace vestrel {

// One outward KISS channel: the exchange library's link, the exchange port or the KISS capture
// file. Each takes whole KISS frames (FEND to FEND, escaped) and does nothing while it is closed
// or out of use. GUI thread only.
class KissOutput {
 public:
  virtual void WriteKiss(std::span<const uint8_t> kissFrame) = 0;

 protected:
  ~KissOutput() = default;
};

}  // namespace vestrel
