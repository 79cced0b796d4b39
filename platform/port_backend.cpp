#include "platform/port_backend.h"

#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace vestrel {

std::vector<ParportEntry> ReadParportTable(const std::string& procRoot) {
  std::vector<ParportEntry> table;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(procRoot, ec)) {
    const std::string name = entry.path().filename().string();
    constexpr std::string_view kPrefix = "parport";
    if (name.size() <= kPrefix.size() || name.compare(0, kPrefix.size(), kPrefix) != 0) continue;
    const std::string digits = name.substr(kPrefix.size());
    if (digits.size() > 4 || !std::all_of(digits.begin(), digits.end(), [](char c) {
          return std::isdigit(static_cast<unsigned char>(c));
        })) {
      continue;
    }
    std::ifstream in(entry.path() / "base-addr");
    // "888\t1912": the base, then the base of the extended registers.
    long base = -1;
    if (!(in >> base) || base < 0 || base > 0xFFFF) continue;
    table.push_back({std::atoi(digits.c_str()), static_cast<uint16_t>(base)});
  }
  std::sort(table.begin(), table.end(),
            [](const ParportEntry& a, const ParportEntry& b) { return a.number < b.number; });
  return table;
}

// One claim, shared by the caller and the thread that makes it.
struct PpdevPortBackend::Claim {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  bool abandoned = false;
  int fd = -1;
};

PpdevPortBackend::PpdevPortBackend(std::string procRoot, std::string devicePrefix,
                                   std::chrono::milliseconds claimWait)
    : procRoot_(std::move(procRoot)), devicePrefix_(std::move(devicePrefix)), claimWait_(claimWait) {}

PpdevPortBackend::~PpdevPortBackend() {
  Close();
}

std::vector<ParportEntry> PpdevPortBackend::Ports() {
  return ReadParportTable(procRoot_);
}

bool PpdevPortBackend::Open(int number) {
  Close();
  auto claim = std::make_shared<Claim>();
  const std::string path = devicePrefix_ + std::to_string(number);
  try {
    std::thread([claim, path] {
      int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
      if (fd >= 0 && ioctl(fd, PPCLAIM) != 0) {
        close(fd);
        fd = -1;
      }
      std::lock_guard lock(claim->mutex);
      if (claim->abandoned && fd >= 0) {
        ioctl(fd, PPRELEASE);
        close(fd);
        fd = -1;
      }
      claim->fd = fd;
      claim->finished = true;
      claim->done.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    return false;
  }
  std::unique_lock lock(claim->mutex);
  if (!claim->done.wait_for(lock, claimWait_, [&] { return claim->finished; })) {
    claim->abandoned = true;
    return false;
  }
  fd_ = claim->fd;
  return fd_ >= 0;
}

void PpdevPortBackend::Close() {
  if (fd_ < 0) return;
  ioctl(fd_, PPRELEASE);
  close(fd_);
  fd_ = -1;
}

uint8_t PpdevPortBackend::Read(Register reg) {
  unsigned char value = 0xFF;
  if (fd_ < 0) return value;
  const unsigned long request = reg == kData ? PPRDATA : reg == kStatus ? PPRSTATUS : PPRCONTROL;
  if (ioctl(fd_, request, &value) != 0) return 0xFF;
  return value;
}

void PpdevPortBackend::Write(Register reg, uint8_t value) {
  if (fd_ < 0 || reg == kStatus) return;
  unsigned char v = value;
  ioctl(fd_, reg == kData ? PPWDATA : PPWCONTROL, &v);
}

}  // namespace vestrel
