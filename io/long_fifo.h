#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace vestrel {

// The bytes on their way to the data-exchange port: an unbounded first-in first-out queue of
// linked 2048-byte chunks. The GUI thread puts, the exchange writer thread gets; one mutex
// guards the chunk links, the positions and the counts, so the two never see a chunk half
// linked or half read. A queue whose first chunk could not be made refuses every byte.
class LongFifo {
 public:
  static constexpr size_t kChunkSize = 2048;

  LongFifo();
  ~LongFifo();
  LongFifo(const LongFifo&) = delete;
  LongFifo& operator=(const LongFifo&) = delete;

  // 0 stored; -1 when a new chunk was needed and could not be made; -2 when the queue has no
  // chunk at all.
  int Put(uint8_t byte);
  // The oldest byte (0..255); -1 when none waits (or the next chunk is missing), -2 when the
  // next chunk was not a fresh one.
  int Get();

  size_t ByteCount() const;
  size_t ChunkCount() const;

 private:
  struct Chunk {
    size_t read = 0;
    size_t length = 0;
    Chunk* next = nullptr;
    std::array<uint8_t, kChunkSize> data;
  };

  mutable std::mutex mutex_;
  Chunk* head_ = nullptr;
  Chunk* tail_ = nullptr;
  size_t chunks_ = 0;
  size_t bytes_ = 0;
};

}  // namespace vestrel
