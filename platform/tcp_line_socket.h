#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace vestrel {

// A TCP client connection that speaks in text lines ending in '\n'. Every call is bounded by
// a time-out, and Interrupt (from any other thread) makes a blocked call return at once, so
// the thread that owns the socket can always be stopped. Not otherwise thread-safe.
class TcpLineSocket {
 public:
  TcpLineSocket();
  ~TcpLineSocket();
  TcpLineSocket(const TcpLineSocket&) = delete;
  TcpLineSocket& operator=(const TcpLineSocket&) = delete;

  // Closes any earlier connection first. host is a name or a numeric address.
  bool Connect(const std::string& host, uint16_t port, std::chrono::milliseconds timeout);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

  bool WriteAll(std::string_view data, std::chrono::milliseconds timeout);
  // One line without its '\n' (and without a '\r' before it). False on time-out, end of
  // stream, error, interruption, or a line longer than kMaxLine bytes.
  bool ReadLine(std::string& line, std::chrono::milliseconds timeout);

  // Wakes any call in progress and makes every later call fail; for shutdown.
  void Interrupt();

  static constexpr size_t kMaxLine = 65536;

 private:
  // Waits for `events` on the socket; false on time-out, error or interruption.
  bool WaitFor(short events, std::chrono::steady_clock::time_point deadline);

  int fd_ = -1;
  int wakeFd_ = -1;  // eventfd; readable once Interrupt was called
  std::atomic<bool> interrupted_{false};
  std::string buffer_;
};

}  // namespace vestrel
