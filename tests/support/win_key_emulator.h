#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/pty_pair.h"

namespace vestrel::test {

// A WinKey keyer as the program meets it on its serial port: a thread on the master end of a
// pty that reads the keyer's commands (each with its argument bytes) and answers as a keyer
// does in host mode: the echo request (00 04 c) with c, host open (00 02) with its version
// byte. Every byte it gets is recorded, with the line's speed and stop bits at that moment.
class WinKeyEmulator {
 public:
  enum class Behaviour {
    kKeyer,         // answers as described
    kSilent,        // answers nothing
    kWrongEcho,     // echoes "X" whatever was asked
    kNoHostAnswer,  // echoes, but never answers host open
    kGoneAtOpen,    // closes its end as soon as the program has set the line up
  };

  explicit WinKeyEmulator(Behaviour behaviour = Behaviour::kKeyer);
  ~WinKeyEmulator();
  WinKeyEmulator(const WinKeyEmulator&) = delete;
  WinKeyEmulator& operator=(const WinKeyEmulator&) = delete;

  bool ok() const { return !path_.empty(); }
  const std::string& path() const { return path_; }

  // What has arrived so far.
  std::vector<uint8_t> Bytes() const;
  // Waits (at most 10 s) until `n` bytes have arrived; returns what has.
  std::vector<uint8_t> WaitForBytes(size_t n) const;
  // True when every byte arrived on a line at 1200 Bd with one stop bit.
  bool AllAt1200With1Stop() const;
  // Waits (at most 10 s) until the program has closed the port; the bytes that came before
  // the close are then all in Bytes().
  bool WaitForClose() const;
  // Forgets the bytes so far.
  void Clear();

 private:
  void Run();
  void Take(uint8_t byte, std::vector<uint8_t>& answer);

  Behaviour behaviour_;
  PtyPair pty_;
  std::string path_;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<uint8_t> bytes_;
  bool allAt1200_ = true;
  bool opened_ = false;
  bool closed_ = false;
  // The command being read: its first byte and the argument bytes still to come.
  int command_ = -1;
  int admin_ = -1;
  int argsLeft_ = 0;
  std::thread thread_;
};

}  // namespace vestrel::test
