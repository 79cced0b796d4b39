#include "io/zozariri/exchange_segment.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace vestrel {
namespace {

using Side = ExchangeSegment::Side;

// Each test process gets channels of its own, so parallel runs never share a segment.
class ExchangeSegmentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string prefix = "vestrel-segtest-" + std::to_string(getpid());
    setenv("VESTREL_ZOZARIRI_PREFIX", prefix.c_str(), 1);
  }
  void TearDown() override {
    for (int ch = ExchangeSegment::kFirstChannel; ch <= ExchangeSegment::kLastChannel; ++ch)
      shm_unlink(ExchangeSegment::SegmentName(ch).c_str());
    unsetenv("VESTREL_ZOZARIRI_PREFIX");
  }
};

TEST_F(ExchangeSegmentTest, EveryByteValuePassesBothWays) {
  ExchangeSegment terminal, peer;
  ASSERT_TRUE(terminal.Open(5, Side::kTerminal));
  ASSERT_TRUE(peer.Open(5, Side::kPeer));
  for (int v = 0; v < 256; ++v) ASSERT_TRUE(terminal.Put(static_cast<uint8_t>(v)));
  for (int v = 255; v >= 0; --v) ASSERT_TRUE(peer.Put(static_cast<uint8_t>(v)));
  for (int v = 0; v < 256; ++v) ASSERT_EQ(peer.Get(), v);
  for (int v = 255; v >= 0; --v) ASSERT_EQ(terminal.Get(), v);
  EXPECT_EQ(peer.Get(), -1);
  EXPECT_EQ(terminal.Get(), -1);
}

TEST_F(ExchangeSegmentTest, OnlyChannelsOneToNineOpen) {
  ExchangeSegment s;
  for (int ch : {0, 10, -1, 1000}) {
    EXPECT_FALSE(s.Open(ch, Side::kTerminal)) << ch;
    EXPECT_FALSE(s.IsOpen());
    EXPECT_FALSE(s.Put(1));
    EXPECT_EQ(s.Get(), -1);
  }
  for (int ch : {1, 9}) EXPECT_TRUE(s.Open(ch, Side::kTerminal)) << ch;
}

TEST_F(ExchangeSegmentTest, FullRingDropsNewBytesAndKeepsOldOnes) {
  ExchangeSegment terminal, peer;
  ASSERT_TRUE(terminal.Open(2, Side::kTerminal));
  ASSERT_TRUE(peer.Open(2, Side::kPeer));
  int accepted = 0;
  for (int i = 0; i < static_cast<int>(ExchangeRing::kRingSize) + 100; ++i)
    accepted += terminal.Put(static_cast<uint8_t>(i)) ? 1 : 0;
  EXPECT_EQ(accepted, static_cast<int>(ExchangeRing::kRingSize));
  for (int i = 0; i < static_cast<int>(ExchangeRing::kRingSize); ++i) ASSERT_EQ(peer.Get(), i & 0xFF);
  EXPECT_EQ(peer.Get(), -1);
  EXPECT_TRUE(terminal.Put(7));  // room again
  EXPECT_EQ(peer.Get(), 7);
}

TEST_F(ExchangeSegmentTest, ReopeningSwitchesTheChannel) {
  ExchangeSegment terminal, peer3, peer4;
  ASSERT_TRUE(peer3.Open(3, Side::kPeer));
  ASSERT_TRUE(peer4.Open(4, Side::kPeer));
  ASSERT_TRUE(terminal.Open(3, Side::kTerminal));
  ASSERT_TRUE(peer3.Put('x'));
  ASSERT_TRUE(terminal.Open(4, Side::kTerminal));
  EXPECT_EQ(terminal.Channel(), 4);
  EXPECT_EQ(terminal.Get(), -1);  // channel 3's byte stays on channel 3
  terminal.Put('y');
  EXPECT_EQ(peer4.Get(), 'y');
  EXPECT_EQ(peer3.Get(), -1);
}

// The segment outlives the programs: the terminal's open starts both rings afresh, and says
// how much a peer had queued; a peer's open leaves the rings of a running terminal as they are.
TEST_F(ExchangeSegmentTest, TheTerminalsOpenStartsBothRingsAfresh) {
  ExchangeSegment early, earlierRun;
  ASSERT_TRUE(earlierRun.Open(2, Side::kTerminal));
  for (char c : std::string("old text")) ASSERT_TRUE(earlierRun.Put(static_cast<uint8_t>(c)));
  earlierRun.Close();
  ASSERT_TRUE(early.Open(2, Side::kPeer));
  for (char c : std::string("~[tx]")) ASSERT_TRUE(early.Put(static_cast<uint8_t>(c)));

  ExchangeSegment terminal;
  ASSERT_TRUE(terminal.Open(2, Side::kTerminal));
  EXPECT_EQ(terminal.DiscardedOnOpen(), 5u);
  EXPECT_EQ(terminal.Get(), -1);
  EXPECT_EQ(early.Get(), -1);

  // Both ways work as before, for the peer that waited and for one that comes now.
  ASSERT_TRUE(terminal.Put('r'));
  ExchangeSegment late;
  ASSERT_TRUE(late.Open(2, Side::kPeer));
  EXPECT_EQ(late.DiscardedOnOpen(), 0u);
  EXPECT_EQ(late.Get(), 'r');
  ASSERT_TRUE(early.Put('t'));
  EXPECT_EQ(terminal.Get(), 't');

  // A full ring of received text is emptied too, and nothing counts as discarded.
  for (uint32_t i = 0; i < ExchangeRing::kRingSize; ++i) ASSERT_TRUE(terminal.Put('z'));
  ASSERT_TRUE(terminal.Open(2, Side::kTerminal));
  EXPECT_EQ(terminal.DiscardedOnOpen(), 0u);
  EXPECT_EQ(late.Get(), -1);
  ASSERT_TRUE(terminal.Put('n'));
  EXPECT_EQ(late.Get(), 'n');
}

// Another process may leave any indexes in the segment: reads stay inside the ring, and
// the ring works again after the reader has resynchronised.
TEST_F(ExchangeSegmentTest, CorruptedIndexesNeitherCrashNorWedge) {
  struct Case {
    uint32_t head, tail;
  };
  const std::vector<Case> cases = {
      {0xFFFFFFF0u, 5},                  // count far above the ring size
      {5, 0xFFFFFFF0u},                  // head "behind" tail
      {0x7FFFFFFFu, 0x7FFFE000u},        // count of 8192: twice the ring
      {123456789u, 123456789u - 4096u},  // exactly full, unaligned
  };
  for (const Case& c : cases) {
    ExchangeSegment terminal, peer;
    ASSERT_TRUE(terminal.Open(6, Side::kTerminal));
    ASSERT_TRUE(peer.Open(6, Side::kPeer));
    ExchangeRing& ring = peer.Layout()->fromPeer;  // the ring the terminal reads
    ring.head = c.head;
    ring.tail = c.tail;
    for (int i = 0; i < 2 * static_cast<int>(ExchangeRing::kRingSize) + 10; ++i) {
      const int b = terminal.Get();
      ASSERT_GE(b, -1);
      ASSERT_LE(b, 255);
      if (b < 0) break;
    }
    EXPECT_EQ(terminal.Get(), -1) << c.head << " " << c.tail;
    ASSERT_TRUE(peer.Put('k'));
    EXPECT_EQ(terminal.Get(), 'k');
    shm_unlink(ExchangeSegment::SegmentName(6).c_str());
  }
}

// A long stream through a ring far smaller than it, written by another process as fast as
// the ring lets it: every byte arrives once, in order.
TEST_F(ExchangeSegmentTest, StreamFromAnotherProcessKeepsOrder) {
  constexpr int kBytes = 200'000;
  ExchangeSegment terminal;
  ASSERT_TRUE(terminal.Open(8, Side::kTerminal));
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ExchangeSegment peer;
    if (!peer.Open(8, Side::kPeer)) _exit(2);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (int i = 0; i < kBytes;) {
      if (peer.Put(static_cast<uint8_t>(i * 7))) {
        ++i;
      } else if (std::chrono::steady_clock::now() > deadline) {
        _exit(3);
      } else {
        std::this_thread::yield();
      }
    }
    _exit(0);
  }
  int got = 0;
  bool inOrder = true;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (got < kBytes && std::chrono::steady_clock::now() < deadline) {
    const int b = terminal.Get();
    if (b < 0) {
      std::this_thread::yield();
      continue;
    }
    inOrder &= b == static_cast<uint8_t>(got * 7);
    ++got;
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(got, kBytes);
  EXPECT_TRUE(inOrder);
  EXPECT_EQ(terminal.Get(), -1);
}

// Another process shrinks the segment under the mapping. Touching a page past the new end
// raises SIGBUS; the end that meets it sees a closed channel instead of crashing. Pages the
// file still covers keep working, so only the shrink to nothing closes every call at once.
// A segment shorter than the layout is refused at open.
TEST_F(ExchangeSegmentTest, ShrunkSegmentNeitherCrashesNorHangs) {
  for (const off_t size : {off_t{0}, off_t{8}, off_t{sizeof(ExchangeSegmentLayout) / 2},
                           off_t{sizeof(ExchangeSegmentLayout) - 1}}) {
    ExchangeSegment terminal, peer;
    ASSERT_TRUE(terminal.Open(1, Side::kTerminal));
    ASSERT_TRUE(peer.Open(1, Side::kPeer));
    ASSERT_TRUE(peer.Put('a'));
    const int fd = shm_open(ExchangeSegment::SegmentName(1).c_str(), O_RDWR, 0);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, size), 0);
    close(fd);
    for (int i = 0; i < 2 * static_cast<int>(ExchangeRing::kRingSize); ++i) {
      for (ExchangeSegment* s : {&terminal, &peer}) {
        s->Put(static_cast<uint8_t>(i));
        const int b = s->Get();
        ASSERT_GE(b, -1) << size;
        ASSERT_LE(b, 255) << size;
      }
    }
    if (size == 0) {
      EXPECT_FALSE(terminal.IsOpen());
      EXPECT_FALSE(peer.IsOpen());
      EXPECT_FALSE(terminal.Put('b'));
      EXPECT_EQ(terminal.Get(), -1);
    }
    ExchangeSegment late;
    EXPECT_FALSE(late.Open(1, Side::kTerminal)) << size;
    shm_unlink(ExchangeSegment::SegmentName(1).c_str());
  }
}

TEST_F(ExchangeSegmentTest, SegmentOfAnotherLayoutIsRefused) {
  ExchangeSegment first;
  ASSERT_TRUE(first.Open(7, Side::kPeer));
  first.Layout()->version = 99;
  ExchangeSegment second;
  EXPECT_FALSE(second.Open(7, Side::kTerminal));
  first.Layout()->version = ExchangeSegmentLayout::kVersion;
  first.Layout()->magic = 0x12345678;
  EXPECT_FALSE(second.Open(7, Side::kTerminal));
}

}  // namespace
}  // namespace vestrel
