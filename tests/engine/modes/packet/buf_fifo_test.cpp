// ctest-labels: unit tsan
#include "engine/modes/packet/buf_fifo.h"

#include <gtest/gtest.h>

#include <memory_resource>
#include <new>
#include <thread>
#include <vector>

namespace vestrel {
namespace {

std::vector<int> TakeAll(BufFifo& q) {
  std::vector<int> out;
  for (int s; (s = q.TakeSymbol()) != -1;) out.push_back(s);
  return out;
}

TEST(BufFifoTest, FramesComeOutInOrderItemByItem) {
  BufFifo q;
  EXPECT_FALSE(q.HasData());
  EXPECT_EQ(q.TakeSymbol(), -1);
  const std::vector<int16_t> a = {-20, 1, 2, -20}, b = {-20, 255, 0, -20};
  EXPECT_EQ(q.PutFrame(a), 0);
  EXPECT_EQ(q.PutFrame(b), 0);
  EXPECT_EQ(q.FrameCount(), 2u);
  EXPECT_TRUE(q.HasData());
  EXPECT_EQ(TakeAll(q), (std::vector<int>{-20, 1, 2, -20, -20, 255, 0, -20}));
  EXPECT_FALSE(q.HasData());
  EXPECT_EQ(q.FrameCount(), 0u);
  // A frame put after the queue ran dry is sent as well.
  EXPECT_EQ(q.PutFrame(a), 0);
  EXPECT_EQ(TakeAll(q), (std::vector<int>{-20, 1, 2, -20}));
}

TEST(BufFifoTest, AnEmptyFrameQueuesNothing) {
  BufFifo q;
  EXPECT_EQ(q.PutFrame({}), 0);
  EXPECT_FALSE(q.HasData());
}

TEST(BufFifoTest, HasDataWhileTheLastFrameHasItemsLeft) {
  BufFifo q;
  const std::vector<int16_t> a = {1, 2};
  q.PutFrame(a);
  EXPECT_EQ(q.TakeSymbol(), 1);
  EXPECT_TRUE(q.HasData());
  EXPECT_EQ(q.TakeSymbol(), 2);
  EXPECT_FALSE(q.HasData());
}

// Memory that can be told to refuse.
class RefusingMemory : public std::pmr::memory_resource {
 public:
  bool refuse = false;

 private:
  void* do_allocate(size_t bytes, size_t align) override {
    if (refuse) throw std::bad_alloc();
    return std::pmr::new_delete_resource()->allocate(bytes, align);
  }
  void do_deallocate(void* p, size_t bytes, size_t align) override {
    std::pmr::new_delete_resource()->deallocate(p, bytes, align);
  }
  bool do_is_equal(const std::pmr::memory_resource& o) const noexcept override { return this == &o; }
};

TEST(BufFifoTest, ARefusedFrameIsDroppedAndLaterFramesAreSent) {
  RefusingMemory memory;
  BufFifo q(&memory);
  const std::vector<int16_t> a = {1, 2}, b = {3, 4}, c = {5, 6};
  EXPECT_EQ(q.PutFrame(a), 0);
  memory.refuse = true;
  EXPECT_EQ(q.PutFrame(b), -1);
  memory.refuse = false;
  EXPECT_EQ(q.FrameCount(), 1u);
  EXPECT_EQ(q.PutFrame(c), 0);
  EXPECT_EQ(TakeAll(q), (std::vector<int>{1, 2, 5, 6}));
  // And after the queue ran dry through a refusal, the next frame still goes out.
  memory.refuse = true;
  EXPECT_EQ(q.PutFrame(a), -1);
  memory.refuse = false;
  EXPECT_EQ(q.TakeSymbol(), -1);
  EXPECT_EQ(q.PutFrame(c), 0);
  EXPECT_EQ(TakeAll(q), (std::vector<int>{5, 6}));
}

// The exchange port's reader and the GUI thread put frames while the transmitter takes them:
// every frame arrives whole, and each producer's frames keep their order.
TEST(BufFifoTest, TwoProducersAndATaker) {
  constexpr int kFrames = 2000;
  BufFifo q;
  auto producer = [&q](int16_t tag) {
    for (int i = 0; i < kFrames; ++i) {
      const std::vector<int16_t> f = {-20, tag, static_cast<int16_t>(i & 0xFF), static_cast<int16_t>(i >> 8),
                                      -20};
      while (q.PutFrame(f) != 0) {
      }
    }
  };
  std::thread p1(producer, int16_t{1});
  std::thread p2(producer, int16_t{2});
  int next[3] = {0, 0, 0};
  int received = 0;
  std::vector<int> frame;
  while (received < 2 * kFrames) {
    const int s = q.TakeSymbol();
    if (s == -1) {
      std::this_thread::yield();
      continue;
    }
    frame.push_back(s);
    if (frame.size() == 5) {
      ASSERT_EQ(frame[0], -20);
      ASSERT_EQ(frame[4], -20);
      const int tag = frame[1];
      ASSERT_TRUE(tag == 1 || tag == 2);
      EXPECT_EQ(frame[2] | (frame[3] << 8), next[tag]);
      ++next[tag];
      ++received;
      frame.clear();
    }
    (void)q.HasData();
  }
  p1.join();
  p2.join();
  EXPECT_FALSE(q.HasData());
}

}  // namespace
}  // namespace vestrel
