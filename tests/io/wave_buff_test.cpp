#include "io/wave_buff.h"

#include <gtest/gtest.h>

#include <cmath>

#include "io/wave_read.h"
#include "support/fifo_sink.h"
#include "support/temp_dir.h"
#include "support/wave_bytes.h"

namespace vestrel {
namespace {

// Block n holds the value n in every sample.
std::vector<int16_t> Block(int n) {
  return std::vector<int16_t>(TWaveBuff::kBlockSamples, int16_t(n));
}

// The value of every block of a saved file, in order.
std::vector<int> SavedBlocks(const std::string& name) {
  TWaveRead r;
  EXPECT_EQ(r.Open(name), 0);
  EXPECT_EQ(r.Format().SamplesPerSec, 11025u);
  EXPECT_EQ(r.Format().Channels, 1);
  std::vector<int> blocks;
  while (r.FramesRemaining() > 0) {
    const int first = r.ReadRawSample();
    for (uint32_t i = 1; i < TWaveBuff::kBlockSamples; ++i) EXPECT_EQ(r.ReadRawSample(), first);
    blocks.push_back(first);
  }
  return blocks;
}

TEST(WaveBuff, SlotsForTheLengthAsked) {
  struct Case {
    int seconds;
    double rate;
    uint32_t slots;
    int length;
  };
  // 60 x 11025 / 2048 = 322.998, + 3 = 325.998: 325 slots.
  for (Case c : {Case{60, 11025.0, 325, 60}, Case{1, 11025.0, 8, 1}, Case{0, 11025.0, 8, 1},
                 Case{-5, 11025.0, 8, 1}, Case{10, 48000.0, 237, 10}}) {
    SCOPED_TRACE(c.seconds);
    TWaveBuff h;
    EXPECT_EQ(h.SetLength(c.seconds, c.rate), 0);
    EXPECT_EQ(h.SlotCount(), c.slots);
    EXPECT_EQ(h.GetSeconds(), c.length);
  }
  TWaveBuff h;
  EXPECT_EQ(h.SetLength(60, std::nan("")), 1);
  EXPECT_EQ(h.SetLength(2000000000, 11025.0), 1);  // far beyond memory: refused, history empty
  EXPECT_EQ(h.SlotCount(), 0u);
  EXPECT_EQ(h.GetSeconds(), 0);
  EXPECT_EQ(h.Push(Block(1).data()), 1);
  EXPECT_EQ(h.SaveLast("unused.wav", 10), 1);
}

TEST(WaveBuff, SavesTheLastBlocksOldestFirstAcrossTheWrap) {
  test::TempDir dir;
  TWaveBuff h;
  ASSERT_EQ(h.SetLength(1, 11025.0), 0);  // 8 slots
  // Right after start the history holds silence.
  ASSERT_EQ(h.SaveLast(dir / "silence.wav", 1), 0);
  EXPECT_EQ(SavedBlocks(dir / "silence.wav"), (std::vector<int>{0, 0, 0, 0, 0, 0}));
  for (int n = 1; n <= 11; ++n) ASSERT_EQ(h.Push(Block(n).data()), 0);
  // 1 s is 11025 / 2048 + 1 = 6 blocks, truncated; more seconds than the history holds give 1 s.
  ASSERT_EQ(h.SaveLast(dir / "a.wav", 1), 0);
  EXPECT_EQ(SavedBlocks(dir / "a.wav"), (std::vector<int>{6, 7, 8, 9, 10, 11}));
  ASSERT_EQ(h.SaveLast(dir / "b.wav", 30), 0);
  EXPECT_EQ(SavedBlocks(dir / "b.wav"), (std::vector<int>{6, 7, 8, 9, 10, 11}));
  ASSERT_EQ(h.SaveLast(dir / "c.wav", 0), 0);  // 1 block
  EXPECT_EQ(SavedBlocks(dir / "c.wav"), (std::vector<int>{11}));
}

TEST(WaveBuff, ASaveThatCannotOpenOrWriteFails) {
  test::TempDir dir;
  TWaveBuff h;
  ASSERT_EQ(h.SetLength(60, 11025.0), 0);
  EXPECT_EQ(h.SaveLast(dir / "missing-dir" / "x.wav", 60), 1);
  EXPECT_EQ(h.SaveLast("/dev/full", 60), 2);
}

// The blocks all reach the file, but its closing header rewrite fails (a pipe has no
// position): no saved file, whatever was written.
TEST(WaveBuff, ASaveWhoseCloseFailsIsAFailure) {
  test::TempDir dir;
  test::FifoSink fifo(dir / "pipe.wav");
  ASSERT_TRUE(fifo.ok());
  TWaveBuff h;
  ASSERT_EQ(h.SetLength(10, 11025.0), 0);
  EXPECT_EQ(h.SaveLast(fifo.path(), 10), 2);
  EXPECT_EQ(fifo.Join(), 44u + (10 * 11025 / 2048 + 1) * 4096);
}

}  // namespace
}  // namespace vestrel
