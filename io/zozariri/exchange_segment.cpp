#include "io/zozariri/exchange_segment.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace vestrel {
namespace {

using Index = std::atomic_ref<uint32_t>;
static_assert(Index::is_always_lock_free, "ring indexes must be lock-free across processes");
static_assert((ExchangeRing::kRingSize & (ExchangeRing::kRingSize - 1)) == 0);
constexpr uint32_t kMask = ExchangeRing::kRingSize - 1;
constexpr size_t kSegmentSize = sizeof(ExchangeSegmentLayout);

// A second program that opens a channel while the first is creating it waits this long for
// the segment to be sized and its header stored; a creator that died in between leaves a
// header of zeros, which the waiter then sets up itself.
constexpr auto kCreatorWait = std::chrono::milliseconds(200);

bool WaitFor(auto condition) {
  const auto deadline = std::chrono::steady_clock::now() + kCreatorWait;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace

ExchangeSegment::~ExchangeSegment() {
  Close();
}

std::string ExchangeSegment::SegmentName(int channel) {
  std::string prefix = "vestrel-zozariri";
  if (const char* env = std::getenv("VESTREL_ZOZARIRI_PREFIX"); env != nullptr && *env != '\0') {
    prefix = env;
    for (char& c : prefix)
      if (c == '/') c = '_';
  }
  return "/" + prefix + "-" + std::to_string(channel);
}

bool ExchangeSegment::Open(int channel, Side side) {
  Close();
  if (channel < kFirstChannel || channel > kLastChannel) return false;
  const std::string name = SegmentName(channel);

  bool created = false;
  int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
  if (fd >= 0) {
    created = true;
    if (ftruncate(fd, kSegmentSize) != 0) {
      close(fd);
      shm_unlink(name.c_str());
      return false;
    }
  } else if (errno == EEXIST) {
    fd = shm_open(name.c_str(), O_RDWR, 0);
    if (fd < 0) return false;
    const bool sized = WaitFor([fd] {
      struct stat st {};
      return fstat(fd, &st) == 0 && static_cast<size_t>(st.st_size) >= kSegmentSize;
    });
    if (!sized) {
      close(fd);
      return false;
    }
  } else {
    return false;
  }

  void* p = mmap(nullptr, kSegmentSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  close(fd);
  if (p == MAP_FAILED) return false;
  auto* seg = static_cast<ExchangeSegmentLayout*>(p);

  // ftruncate zero-fills, so a new segment has empty rings; the magic goes in last.
  if (!created && !WaitFor([seg] { return Index(seg->magic).load(std::memory_order_acquire) != 0; })) {
    seg->version = ExchangeSegmentLayout::kVersion;
    Index(seg->magic).store(ExchangeSegmentLayout::kMagic, std::memory_order_release);
  }
  if (created) {
    seg->version = ExchangeSegmentLayout::kVersion;
    Index(seg->magic).store(ExchangeSegmentLayout::kMagic, std::memory_order_release);
  }
  if (Index(seg->magic).load(std::memory_order_acquire) != ExchangeSegmentLayout::kMagic ||
      seg->version != ExchangeSegmentLayout::kVersion) {
    munmap(p, kSegmentSize);
    return false;
  }
  seg_ = seg;
  channel_ = channel;
  side_ = side;
  return true;
}

void ExchangeSegment::Close() {
  if (seg_ != nullptr) munmap(seg_, kSegmentSize);
  seg_ = nullptr;
  channel_ = 0;
}

bool ExchangeSegment::Put(uint8_t byte) {
  if (seg_ == nullptr) return false;
  ExchangeRing& ring = side_ == Side::kTerminal ? seg_->toPeer : seg_->fromPeer;
  const uint32_t head = Index(ring.head).load(std::memory_order_relaxed);
  const uint32_t tail = Index(ring.tail).load(std::memory_order_acquire);
  // Full, or a count no ring can hold: the consumer resynchronises on its next get.
  if (head - tail >= ExchangeRing::kRingSize) return false;
  ring.data[head & kMask] = byte;
  Index(ring.head).store(head + 1, std::memory_order_release);
  return true;
}

int ExchangeSegment::Get() {
  if (seg_ == nullptr) return -1;
  ExchangeRing& ring = side_ == Side::kTerminal ? seg_->fromPeer : seg_->toPeer;
  const uint32_t tail = Index(ring.tail).load(std::memory_order_relaxed);
  const uint32_t head = Index(ring.head).load(std::memory_order_acquire);
  const uint32_t count = head - tail;
  if (count == 0) return -1;
  if (count > ExchangeRing::kRingSize) {
    // Indexes no producer could have left: drop what the ring claims to hold.
    Index(ring.tail).store(head, std::memory_order_release);
    return -1;
  }
  const uint8_t byte = ring.data[tail & kMask];
  Index(ring.tail).store(tail + 1, std::memory_order_release);
  return byte;
}

}  // namespace vestrel
