#pragma once
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory_resource>
#include <mutex>
#include <span>
#include <vector>

namespace vestrel {

// The packet transmit queue: frames as packet item arrays (0..255 data bytes, HdlcFlagItem
// flags), put by the exchange channels and taken item by item by the packet transmitter.
// PutFrame runs on the GUI thread and on the exchange port's reader thread; every list
// operation runs under one mutex. A frame's copy is made before the lock is taken, so a put
// never holds the transmitter up for an allocation, and a copy that cannot be made refuses that
// frame alone. Frames are owned by the queue and freed as soon as their last item is taken.
class BufFifo {
 public:
  // memory: where the frame copies live (tests hand in one that can refuse).
  explicit BufFifo(std::pmr::memory_resource* memory = std::pmr::new_delete_resource());
  BufFifo(const BufFifo&) = delete;
  BufFifo& operator=(const BufFifo&) = delete;

  // 0 queued (an empty frame is nothing to queue and also gives 0); -1 when the memory for the
  // copy was refused: the frame is dropped and the queue goes on as before.
  int PutFrame(std::span<const int16_t> items);
  // The next item of the oldest frame, frames in the order they were put; -1 when none is left.
  int TakeSymbol();
  // Items wait to be taken.
  bool HasData() const;
  size_t FrameCount() const;
  void Clear();

 private:
  struct Frame {
    using allocator_type = std::pmr::polymorphic_allocator<int16_t>;
    Frame(std::span<const int16_t> src, const allocator_type& a) : items(src.begin(), src.end(), a) {}
    std::pmr::vector<int16_t> items;
    size_t read = 0;
  };

  std::pmr::memory_resource* memory_;
  mutable std::mutex mutex_;
  std::pmr::list<Frame> frames_;
};

}  // namespace vestrel
