#include "io/long_fifo.h"

#include <new>
#include <utility>

namespace vestrel {

LongFifo::LongFifo() {
  head_ = new (std::nothrow) Chunk;
  tail_ = head_;
  chunks_ = head_ != nullptr ? 1 : 0;
}

LongFifo::~LongFifo() {
  while (head_ != nullptr) delete std::exchange(head_, head_->next);
}

int LongFifo::Put(uint8_t byte) {
  std::lock_guard lock(mutex_);
  if (tail_ == nullptr) return -2;
  if (tail_->length == kChunkSize) {
    Chunk* fresh = new (std::nothrow) Chunk;
    if (fresh == nullptr) return -1;
    tail_->next = fresh;
    tail_ = fresh;
    ++chunks_;
  }
  tail_->data[tail_->length++] = byte;
  ++bytes_;
  return 0;
}

int LongFifo::Get() {
  std::lock_guard lock(mutex_);
  if (head_ == nullptr) return -1;
  if (head_->read == kChunkSize) {
    Chunk* next = head_->next;
    if (next == nullptr) return -1;
    if (next->read != 0) return -2;
    delete head_;
    head_ = next;
    --chunks_;
  }
  if (head_->read == head_->length) return -1;
  --bytes_;
  return head_->data[head_->read++];
}

size_t LongFifo::ByteCount() const {
  std::lock_guard lock(mutex_);
  return bytes_;
}

size_t LongFifo::ChunkCount() const {
  std::lock_guard lock(mutex_);
  return chunks_;
}

}  // namespace vestrel
