#pragma once
#include <asm/termbits.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <semaphore>
#include <string>
#include <utility>
#include <vector>

#include "io/message_box.h"
#include "io/ptt_ports.h"
#include "platform/port_backend.h"
#include "platform/serial_port.h"

namespace vestrel::test {

// One log, in order, of everything the keying ports touch: lines, registers, hooks and boxes.
// The close of a port may come from a worker thread, so the log has a lock.
class KeyingLog {
 public:
  void Add(std::string entry) {
    std::lock_guard lock(mutex_);
    entries_.push_back(std::move(entry));
  }
  std::vector<std::string> Entries() const {
    std::lock_guard lock(mutex_);
    return entries_;
  }
  int Count(const std::string& entry) const {
    const auto all = Entries();
    return static_cast<int>(std::count(all.begin(), all.end(), entry));
  }
  bool Has(const std::string& entry) const { return Count(entry) > 0; }
  // Position of the first entry equal to `entry` at or after `from`; -1 when none.
  int IndexOf(const std::string& entry, int from = 0) const {
    const auto all = Entries();
    for (size_t i = static_cast<size_t>(std::max(from, 0)); i < all.size(); ++i) {
      if (all[i] == entry) return static_cast<int>(i);
    }
    return -1;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> entries_;
};

// The modem lines of the ports as a pty cannot have them: "RTS 1", "DTR 0", and "open PATH",
// "close PATH" around them. Every line exists. The line settings go to the device, and the
// formats they asked for (which a pty does not keep whole) are kept apart from the log.
class RecordingLines : public ModemLineControl {
 public:
  explicit RecordingLines(KeyingLog& log) : log_(log) {}
  bool SetTermios(int fd, const termios2& t) override {
    {
      std::lock_guard lock(mutex_);
      formats_.push_back(FormatFromTermios(t));
    }
    return ModemLineControl::SetTermios(fd, t);
  }
  // Every format asked for, in order; the last one, or the default when none was.
  std::vector<SerialFormat> formats() const {
    std::lock_guard lock(mutex_);
    return formats_;
  }
  SerialFormat lastFormat() const {
    std::lock_guard lock(mutex_);
    return formats_.empty() ? SerialFormat{} : formats_.back();
  }
  bool SetLine(int, SerialLine line, bool on) override {
    log_.Add(std::string(line == SerialLine::kRts ? "RTS " : "DTR ") + (on ? "1" : "0"));
    std::lock_guard lock(mutex_);
    (line == SerialLine::kRts ? rts_ : dtr_) = on;
    return true;
  }
  void PortOpened(const std::string& path) override { log_.Add("open " + path); }
  void PortClosed(const std::string& path) override { log_.Add("close " + path); }
  bool rts() const {
    std::lock_guard lock(mutex_);
    return rts_;
  }
  bool dtr() const {
    std::lock_guard lock(mutex_);
    return dtr_;
  }

 private:
  KeyingLog& log_;
  mutable std::mutex mutex_;
  bool rts_ = false, dtr_ = false;
  std::vector<SerialFormat> formats_;
};

// A register file standing in for ppdev: the table comes from a /proc tree (or is given), the
// three registers of each port are bytes; writes are logged as "D=5", "C=13", claims as
// "claim N" and "release".
class FakePortBackend : public PortBackend {
 public:
  explicit FakePortBackend(KeyingLog& log, std::string procRoot = {})
      : log_(log), procRoot_(std::move(procRoot)) {}
  std::vector<ParportEntry> Ports() override {
    return procRoot_.empty() ? table : ReadParportTable(procRoot_);
  }
  bool Open(int number) override {
    Close();
    if (!claimable) return false;
    open_ = number;
    log_.Add("claim " + std::to_string(number));
    return true;
  }
  void Close() override {
    if (open_ < 0) return;
    open_ = -1;
    log_.Add("release");
  }
  uint8_t Read(Register reg) override { return open_ < 0 ? 0xFF : regs[open_][reg]; }
  void Write(Register reg, uint8_t value) override {
    if (open_ < 0 || reg == kStatus) return;
    regs[open_][reg] = value;
    log_.Add(std::string(reg == kData ? "D=" : "C=") + std::to_string(value));
  }
  int openPort() const { return open_; }

  std::vector<ParportEntry> table;             // when no /proc tree is given
  std::map<int, std::array<uint8_t, 3>> regs;  // by port number: data, status, control
  bool claimable = true;

 private:
  KeyingLog& log_;
  std::string procRoot_;
  int open_ = -1;
};

// A /proc/sys/dev/parport tree in a directory of its own: parportN/base-addr for each entry.
inline void WriteParportTree(const std::filesystem::path& root, const std::vector<ParportEntry>& ports) {
  std::filesystem::create_directories(root);
  for (const ParportEntry& p : ports) {
    const auto dir = root / ("parport" + std::to_string(p.number));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "base-addr") << p.base << '\t' << (p.base + 0x400) << '\n';
  }
}

// The keying paths built apart, as names in the log; OpenExchangePort runs `onOpenExchange`.
class RecordingHooks : public KeyingPortHooks {
 public:
  explicit RecordingHooks(KeyingLog& log) : log_(log) {}
  void OpenPttRig() override { log_.Add("OpenPttRig"); }
  void RigSetPtt(bool on) override { log_.Add(std::string("RigSetPtt ") + (on ? "1" : "0")); }
  void WinKeyOpen() override { log_.Add("WinKeyOpen"); }
  void WinKeySetPtt(bool on) override { log_.Add(std::string("WinKeySetPtt ") + (on ? "1" : "0")); }
  void WinKeyClose() override { log_.Add("WinKeyClose"); }
  void OpenExchangePort() override {
    if (onOpenExchange) onOpenExchange();
  }
  std::function<void()> onOpenExchange;

 private:
  KeyingLog& log_;
};

// Exactly one count is free: what a port semaphore (maximum 1) holds when nobody has it.
inline bool Free(std::counting_semaphore<1>& s) {
  if (!s.try_acquire()) return false;
  const bool more = s.try_acquire();
  s.release();
  if (more) s.release();
  return !more;
}

// Message boxes as "box CAPTION|TEXT" and "beep".
class RecordingBoxes : public MessageBoxSink {
 public:
  explicit RecordingBoxes(KeyingLog& log) : log_(log) {}
  void ShowMessage(std::string_view caption, std::string_view text) override {
    log_.Add("box " + std::string(caption) + "|" + std::string(text));
    if (onBox) onBox();
  }
  void Beep() override { log_.Add("beep"); }
  // Runs while the box is shown, as the box's own message loop would run other work.
  std::function<void()> onBox;

 private:
  KeyingLog& log_;
};

}  // namespace vestrel::test
