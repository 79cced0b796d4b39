#include "io/zozariri/exchange_segment.h"

#include <fcntl.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <mutex>
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

// The other program may shrink the segment while it is mapped; touching a page past the new
// end raises SIGBUS. Every access to the mapping runs inside a guard that turns that signal,
// on this thread and inside the mapping, into a return; any other SIGBUS goes on to the
// handler that was there before.
struct Guard {
  sigjmp_buf jump;
  const char* begin;
  const char* end;
};
thread_local Guard* tGuard = nullptr;
struct sigaction gPreviousBus;

void OnBus(int sig, siginfo_t* info, void* context) {
  Guard* g = tGuard;
  const auto* addr = static_cast<const char*>(info->si_addr);
  if (g != nullptr && addr >= g->begin && addr < g->end) {
    tGuard = nullptr;
    siglongjmp(g->jump, 1);
  }
  if (gPreviousBus.sa_flags & SA_SIGINFO) {
    gPreviousBus.sa_sigaction(sig, info, context);
  } else if (gPreviousBus.sa_handler != SIG_DFL && gPreviousBus.sa_handler != SIG_IGN) {
    gPreviousBus.sa_handler(sig);
  } else {
    // Returning re-runs the faulting access, which now ends the process as it would have.
    signal(SIGBUS, SIG_DFL);
  }
}

void InstallBusHandler() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction sa {};
    sa.sa_sigaction = OnBus;
    // SA_NODEFER: SIGBUS stays unblocked after the jump, so no signal mask need be saved.
    sa.sa_flags = SA_SIGINFO | SA_NODEFER | SA_ONSTACK;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGBUS, &sa, &gPreviousBus);
  });
}

// Runs access() on the mapping at seg; false, with nothing returned, when the mapping
// turned out shorter than the layout.
template <class F>
bool Guarded(ExchangeSegmentLayout* seg, F&& access) {
  Guard guard;
  guard.begin = reinterpret_cast<const char*>(seg);
  guard.end = guard.begin + kSegmentSize;
  if (sigsetjmp(guard.jump, 0) != 0) return false;
  tGuard = &guard;
  access();
  tGuard = nullptr;
  return true;
}

// The terminal's rings emptied at its open: it consumes fromPeer, so it moves that tail up
// to the head; it produces toPeer, so it moves that head back to the tail. A peer reading
// toPeer meanwhile may leave its tail one past the head, which its next get resynchronises.
// Returns how many bytes fromPeer held (a count no ring can hold counts as a full ring).
uint32_t StartAfresh(ExchangeSegmentLayout& seg) {
  const uint32_t head = Index(seg.fromPeer.head).load(std::memory_order_acquire);
  const uint32_t count = head - Index(seg.fromPeer.tail).load(std::memory_order_relaxed);
  Index(seg.fromPeer.tail).store(head, std::memory_order_release);
  Index(seg.toPeer.head)
      .store(Index(seg.toPeer.tail).load(std::memory_order_acquire), std::memory_order_release);
  return std::min(count, ExchangeRing::kRingSize);
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
  discarded_ = 0;
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

  InstallBusHandler();
  bool valid = false;
  uint32_t discarded = 0;
  const bool mapped = Guarded(seg, [&] {
    // ftruncate zero-fills, so a new segment has empty rings; the magic goes in last.
    if (!created && !WaitFor([seg] { return Index(seg->magic).load(std::memory_order_acquire) != 0; })) {
      seg->version = ExchangeSegmentLayout::kVersion;
      Index(seg->magic).store(ExchangeSegmentLayout::kMagic, std::memory_order_release);
    }
    if (created) {
      seg->version = ExchangeSegmentLayout::kVersion;
      Index(seg->magic).store(ExchangeSegmentLayout::kMagic, std::memory_order_release);
    }
    valid = Index(seg->magic).load(std::memory_order_acquire) == ExchangeSegmentLayout::kMagic &&
            seg->version == ExchangeSegmentLayout::kVersion;
    if (valid && side == Side::kTerminal) discarded = StartAfresh(*seg);
  });
  if (!mapped || !valid) {
    munmap(p, kSegmentSize);
    return false;
  }
  seg_ = seg;
  channel_ = channel;
  side_ = side;
  discarded_ = discarded;
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
  bool put = false;
  const bool mapped = Guarded(seg_, [&] {
    const uint32_t head = Index(ring.head).load(std::memory_order_relaxed);
    const uint32_t tail = Index(ring.tail).load(std::memory_order_acquire);
    // Full, or a count no ring can hold: the consumer resynchronises on its next get.
    if (head - tail >= ExchangeRing::kRingSize) return;
    ring.data[head & kMask] = byte;
    Index(ring.head).store(head + 1, std::memory_order_release);
    put = true;
  });
  if (!mapped) Close();  // the segment was cut short under us: the channel is gone
  return mapped && put;
}

int ExchangeSegment::Get() {
  if (seg_ == nullptr) return -1;
  ExchangeRing& ring = side_ == Side::kTerminal ? seg_->fromPeer : seg_->toPeer;
  int result = -1;
  const bool mapped = Guarded(seg_, [&] {
    const uint32_t tail = Index(ring.tail).load(std::memory_order_relaxed);
    const uint32_t head = Index(ring.head).load(std::memory_order_acquire);
    const uint32_t count = head - tail;
    if (count == 0) return;
    if (count > ExchangeRing::kRingSize) {
      // Indexes no producer could have left: drop what the ring claims to hold.
      Index(ring.tail).store(head, std::memory_order_release);
      return;
    }
    result = ring.data[tail & kMask];
    Index(ring.tail).store(tail + 1, std::memory_order_release);
  });
  if (!mapped) {
    Close();
    return -1;
  }
  return result;
}

}  // namespace vestrel
