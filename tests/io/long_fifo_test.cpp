// ctest-labels: unit tsan
#include "io/long_fifo.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace vestrel {
namespace {

// One producer and one consumer thread: every byte arrives once and in order, across the
// chunk boundaries.
TEST(LongFifoTest, OrderAcrossChunksWithTwoThreads) {
  for (const size_t n : {size_t{2047}, size_t{2048}, size_t{2049}, size_t{10000}}) {
    SCOPED_TRACE(n);
    LongFifo q;
    std::thread producer([&] {
      for (size_t i = 0; i < n; ++i) ASSERT_EQ(q.Put(static_cast<uint8_t>(i * 7 + i / 256)), 0);
    });
    std::vector<uint8_t> got;
    while (got.size() < n) {
      const int b = q.Get();
      ASSERT_GE(b, -1);
      if (b < 0) {
        std::this_thread::yield();
        continue;
      }
      got.push_back(static_cast<uint8_t>(b));
    }
    producer.join();
    for (size_t i = 0; i < n; ++i) ASSERT_EQ(got[i], static_cast<uint8_t>(i * 7 + i / 256)) << i;
    EXPECT_EQ(q.Get(), -1);
    EXPECT_EQ(q.ByteCount(), 0u);
    // The emptied chunks were freed as they were passed.
    EXPECT_EQ(q.ChunkCount(), 1u);
  }
}

TEST(LongFifoTest, EmptyAndRefill) {
  LongFifo q;
  EXPECT_EQ(q.Get(), -1);
  for (int i = 0; i < 2048; ++i) q.Put(1);
  for (int i = 0; i < 2048; ++i) EXPECT_EQ(q.Get(), 1);
  // The head chunk is read to its end and has no successor yet.
  EXPECT_EQ(q.Get(), -1);
  q.Put(9);
  EXPECT_EQ(q.ChunkCount(), 2u);
  EXPECT_EQ(q.Get(), 9);
  EXPECT_EQ(q.ChunkCount(), 1u);
}

}  // namespace
}  // namespace vestrel
