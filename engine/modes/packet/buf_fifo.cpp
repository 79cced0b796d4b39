#include "engine/modes/packet/buf_fifo.h"

#include <new>

namespace vestrel {

BufFifo::BufFifo(std::pmr::memory_resource* memory) : memory_(memory), frames_(memory) {}

int BufFifo::PutFrame(std::span<const int16_t> items) {
  if (items.empty()) return 0;
  try {
    // The node and its items are allocated here, outside the lock, and spliced in under it.
    std::pmr::list<Frame> node(memory_);
    node.emplace_back(items);
    std::lock_guard lock(mutex_);
    frames_.splice(frames_.end(), node);
  } catch (const std::bad_alloc&) {
    return -1;
  }
  return 0;
}

int BufFifo::TakeSymbol() {
  std::lock_guard lock(mutex_);
  if (frames_.empty()) return -1;
  Frame& f = frames_.front();
  const int item = f.items[f.read++];
  if (f.read == f.items.size()) frames_.pop_front();
  return item;
}

bool BufFifo::HasData() const {
  std::lock_guard lock(mutex_);
  return !frames_.empty();
}

size_t BufFifo::FrameCount() const {
  std::lock_guard lock(mutex_);
  return frames_.size();
}

void BufFifo::Clear() {
  std::lock_guard lock(mutex_);
  frames_.clear();
}

}  // namespace vestrel
