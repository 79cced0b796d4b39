#include "support/win_key_emulator.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>

namespace vestrel::test {

namespace {

using namespace std::chrono_literals;

constexpr uint8_t kVersion = 23;  // what the keyer answers host open with
constexpr auto kLongest = 10s;

// Argument bytes that follow each command the program sends (admin 00 takes its sub-command).
int ArgumentsOf(uint8_t command) {
  switch (command) {
    case 0x00:
    case 0x09:
    case 0x0E:
    case 0x18:
      return 1;
    case 0x05:
      return 3;
    default:
      return 0;
  }
}

}  // namespace

WinKeyEmulator::WinKeyEmulator(Behaviour behaviour) : behaviour_(behaviour) {
  if (!pty_.ok()) return;
  path_ = pty_.slavePath();
  thread_ = std::thread([this] { Run(); });
}

WinKeyEmulator::~WinKeyEmulator() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

void WinKeyEmulator::Run() {
  while (!stop_) {
    const int master = pty_.master();
    if (master < 0) {
      std::this_thread::sleep_for(2ms);
      continue;
    }
    termios2 t{};
    ioctl(master, TCGETS2, &t);
    // The program sets its line up (any rate through BOTHER) as soon as it has opened it.
    const bool setUp = (t.c_cflag & CBAUD) == BOTHER;
    if (setUp && behaviour_ == Behaviour::kGoneAtOpen) {
      // Gone once the program has read its settings back and waits for the keyer to settle.
      std::this_thread::sleep_for(50ms);
      pty_.CloseMaster();
      std::lock_guard lock(mutex_);
      closed_ = true;
      changed_.notify_all();
      continue;
    }
    pollfd p{master, POLLIN, 0};
    if (poll(&p, 1, 2) <= 0) continue;
    uint8_t buf[256];
    const ssize_t n = (p.revents & POLLIN) ? read(master, buf, sizeof buf) : 0;
    if (n <= 0) {
      // Hung up: every descriptor of the slave has gone.
      if (p.revents & POLLHUP) {
        std::lock_guard lock(mutex_);
        if (opened_) closed_ = true;
        opened_ = false;
        changed_.notify_all();
        std::this_thread::sleep_for(2ms);
      }
      continue;
    }
    const bool at1200 = t.c_ospeed == 1200 && (t.c_cflag & CSTOPB) == 0;
    std::vector<uint8_t> answer;
    {
      std::lock_guard lock(mutex_);
      opened_ = true;
      for (ssize_t i = 0; i < n; ++i) {
        bytes_.push_back(buf[i]);
        allAt1200_ = allAt1200_ && at1200;
        Take(buf[i], answer);
      }
      changed_.notify_all();
    }
    if (!answer.empty() && behaviour_ != Behaviour::kSilent) pty_.Write(answer);
  }
}

void WinKeyEmulator::Take(uint8_t byte, std::vector<uint8_t>& answer) {
  if (command_ < 0) {
    command_ = byte;
    argsLeft_ = ArgumentsOf(byte);
  } else {
    --argsLeft_;
    if (command_ == 0x00 && admin_ < 0) {
      admin_ = byte;
      if (byte == 0x04) argsLeft_ = 1;  // the character to echo
      if (byte == 0x02 && behaviour_ != Behaviour::kNoHostAnswer) answer.push_back(kVersion);
    } else if (command_ == 0x00 && admin_ == 0x04) {
      answer.push_back(behaviour_ == Behaviour::kWrongEcho ? 'X' : byte);
    }
  }
  if (argsLeft_ == 0) {
    command_ = -1;
    admin_ = -1;
  }
}

std::vector<uint8_t> WinKeyEmulator::Bytes() const {
  std::lock_guard lock(mutex_);
  return bytes_;
}

std::vector<uint8_t> WinKeyEmulator::WaitForBytes(size_t n) const {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, kLongest, [&] { return bytes_.size() >= n; });
  return bytes_;
}

bool WinKeyEmulator::AllAt1200With1Stop() const {
  std::lock_guard lock(mutex_);
  return allAt1200_;
}

bool WinKeyEmulator::WaitForClose() const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, kLongest, [&] { return closed_; });
}

void WinKeyEmulator::Clear() {
  std::lock_guard lock(mutex_);
  bytes_.clear();
  closed_ = false;
}

}  // namespace vestrel::test
