#pragma once
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vestrel {

// One parallel port the system knows: N of /dev/parportN and its base I/O address.
struct ParportEntry {
  int number = 0;
  uint16_t base = 0;
  bool operator==(const ParportEntry&) const = default;
};

// The system's table of parallel ports: every <procRoot>/parportN whose "base-addr" file
// starts with a number, in order of N.
std::vector<ParportEntry> ReadParportTable(const std::string& procRoot = "/proc/sys/dev/parport");

// The three registers of one parallel port, reached through a kernel driver.
class PortBackend {
 public:
  enum Register { kData = 0, kStatus = 1, kControl = 2 };  // at base, base + 1, base + 2

  virtual ~PortBackend() = default;
  virtual std::vector<ParportEntry> Ports() = 0;
  // Opens and claims port N, closing any other first; false when it cannot be had.
  virtual bool Open(int number) = 0;
  virtual void Close() = 0;
  // A closed port reads 0xFF and ignores writes; the status register is read-only.
  virtual uint8_t Read(Register reg) = 0;
  virtual void Write(Register reg, uint8_t value) = 0;
};

// Linux ppdev: /dev/parportN, claimed with PPCLAIM. The claim waits while another driver (a
// print job) holds the port, so it runs on a thread of its own and is given up after
// `claimWait`; a claim that comes later is released again at once.
class PpdevPortBackend final : public PortBackend {
 public:
  explicit PpdevPortBackend(std::string procRoot = "/proc/sys/dev/parport",
                            std::string devicePrefix = "/dev/parport",
                            std::chrono::milliseconds claimWait = std::chrono::milliseconds(2000));
  ~PpdevPortBackend() override;

  std::vector<ParportEntry> Ports() override;
  bool Open(int number) override;
  void Close() override;
  uint8_t Read(Register reg) override;
  void Write(Register reg, uint8_t value) override;

 private:
  struct Claim;
  std::string procRoot_;
  std::string devicePrefix_;
  std::chrono::milliseconds claimWait_;
  int fd_ = -1;
};

}  // namespace vestrel
