#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/interrupt_wait.h"

struct addrinfo;

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

  struct Lookup;
  // Runs one lookup on a detached thread; throws std::system_error when none can start.
  static void StartLookup(std::shared_ptr<Lookup> lookup, std::string host, std::string service);
  // The host's addresses (freeaddrinfo them), or nullptr when unknown, past the deadline or
  // interrupted.
  addrinfo* Resolve(const std::string& host, uint16_t port, std::chrono::steady_clock::time_point deadline);

  std::shared_ptr<Lookup> lookup_;  // the last name lookup; shared with its thread
  int fd_ = -1;
  InterruptWait wait_;
  std::string buffer_;
};

}  // namespace vestrel
