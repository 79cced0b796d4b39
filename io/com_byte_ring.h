#pragma once
#include <array>
#include <atomic>
#include <cstdint>

namespace vestrel {

// The bytes on their way to the TxD line of the keying port: one producer (the transmit pump
// on the GUI thread) and one consumer (the COM writer thread). The producer moves only the
// write index and the consumer only the read index; both are free-running unsigned counters,
// masked into the ring, so their difference is the number pending even across the wrap. A
// byte is stored before the write index that publishes it moves on.
class ComByteRing {
 public:
  static constexpr uint32_t kSize = 1024;
  static constexpr uint32_t kMask = kSize - 1;
  // At most this many wait: three places of the ring stay free.
  static constexpr uint32_t kMaxPending = kSize - 3;

  // Producer: false (nothing stored) once kMaxPending bytes wait.
  bool Put(uint8_t byte) {
    const uint32_t w = write_.load(std::memory_order_relaxed);
    if (w - read_.load(std::memory_order_acquire) >= kMaxPending) return false;
    bytes_[w & kMask] = byte;
    write_.store(w + 1, std::memory_order_release);
    return true;
  }

  // Consumer: the oldest byte without taking it, -1 when none waits.
  int Peek() const {
    const uint32_t r = read_.load(std::memory_order_relaxed);
    if (write_.load(std::memory_order_acquire) == r) return -1;
    return bytes_[r & kMask];
  }
  // Consumer: lets go of the byte Peek gave.
  void Drop() { read_.store(read_.load(std::memory_order_relaxed) + 1, std::memory_order_release); }
  // Consumer: the oldest byte, taken; -1 when none waits.
  int Take() {
    const int b = Peek();
    if (b >= 0) Drop();
    return b;
  }

  // Either side: bytes waiting (a snapshot).
  uint32_t Pending() const {
    return write_.load(std::memory_order_acquire) - read_.load(std::memory_order_acquire);
  }

 private:
  std::array<uint8_t, kSize> bytes_{};
  std::atomic<uint32_t> write_{0};
  std::atomic<uint32_t> read_{0};
};

}  // namespace vestrel
