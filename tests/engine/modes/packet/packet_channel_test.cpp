#include "engine/modes/packet/packet_channel.h"

#include <gtest/gtest.h>

namespace vestrel {
namespace {

struct TimingCase {
  double baud;
  int txDelay, txTail;
  int silence, sync, lead, tail;
};

// c = 8000 / baud ms a byte. Defaults at 1200 Bd (c = 6.667): d = 480, sync 0.375 d / c = 27,
// silence (480 - 2c 27 + 5) / 10 = 12, tail (100 - 11.6) / c + 0.5 = 13 (14 sent). At 300 Bd
// (c = 26.667): 6, 6, 16 and 3 (4 sent). TXDELAY 50 at 300 Bd: 2c + 20 > 50. The largest KISS
// values (2550 ms) give the longest program the transmitter's list must hold.
const TimingCase kCases[] = {
    {1200, 500, 100, 12, 27, 27, 13},      {300, 500, 100, 16, 6, 6, 3},      {300, 50, 100, 0, 1, 1, 3},
    {1200, 2550, 2550, 64, 142, 142, 381}, {300, 2550, 2550, 66, 35, 35, 95}, {1200, 0, 0, 0, 1, 1, 1},
    {12.5, 2550, 2550, 125, 1, 1, 4},
};

TEST(PacketChannelTest, TimingTable) {
  for (const TimingCase& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.baud << " Bd, TXDELAY " << c.txDelay << ", TXTAIL " << c.txTail);
    TPacketChannel ch;
    ch.PacketTxDelay = c.txDelay;
    ch.PacketTxTail = c.txTail;
    ch.PacketTimingChanged = 1;
    ch.UpdatePacketTiming(c.baud);
    EXPECT_EQ(ch.PacketLeadSilenceBlocks, c.silence);
    EXPECT_EQ(ch.PacketSyncBytes, c.sync);
    EXPECT_EQ(ch.PacketLeadFlags, c.lead);
    EXPECT_EQ(ch.PacketTailFlags, c.tail);
    EXPECT_EQ(ch.PacketTimingChanged.load(), 0);
  }
}

TEST(PacketChannelTest, ValuesOutsideTheirRangeAreTakenAtTheNearerEnd) {
  TPacketChannel big, max;
  big.PacketTxDelay = 1 << 30;
  big.PacketTxTail = 1 << 30;
  max.PacketTxDelay = TPacketChannel::kMaxMs;
  max.PacketTxTail = TPacketChannel::kMaxMs;
  big.UpdatePacketTiming(1e9);
  max.UpdatePacketTiming(1200);
  EXPECT_EQ(big.PacketSyncBytes, max.PacketSyncBytes);
  EXPECT_EQ(big.PacketTailFlags, max.PacketTailFlags);

  TPacketChannel negative;
  negative.PacketTxDelay = -5;
  negative.PacketTxTail = -5;
  negative.UpdatePacketTiming(0.0);
  EXPECT_EQ(negative.PacketLeadSilenceBlocks, 0);
  EXPECT_EQ(negative.PacketSyncBytes, 1);
  EXPECT_EQ(negative.PacketTailFlags, 1);
}

TEST(PacketChannelTest, SlotTimerIntervalIsAtLeast30Ms) {
  TPacketChannel ch;
  ch.UpdatePacketTiming(1200);
  EXPECT_EQ(ch.SlotTimerInterval, 100);
  ch.PacketSlotTime = 10;
  ch.UpdatePacketTiming(1200);
  EXPECT_EQ(ch.SlotTimerInterval, 30);
}

TEST(PacketChannelTest, KissCommands) {
  TPacketChannel ch;
  EXPECT_TRUE(ch.ApplyKissCommand(2, 255));
  EXPECT_EQ(ch.PacketPersistence.load(), 255);
  EXPECT_EQ(ch.PacketTimingChanged.load(), 0);
  EXPECT_TRUE(ch.ApplyKissCommand(5, 7));
  EXPECT_EQ(ch.PacketFullDuplex.load(), 1);
  EXPECT_TRUE(ch.ApplyKissCommand(5, 0));
  EXPECT_EQ(ch.PacketFullDuplex.load(), 0);

  EXPECT_TRUE(ch.ApplyKissCommand(1, 5));
  EXPECT_EQ(ch.PacketTxDelay.load(), 50);
  EXPECT_EQ(ch.PacketTimingChanged.load(), 1);
  ch.UpdatePacketTiming(300);
  EXPECT_TRUE(ch.ApplyKissCommand(3, 255));
  EXPECT_EQ(ch.PacketSlotTime.load(), 2550);
  EXPECT_EQ(ch.PacketTimingChanged.load(), 1);
  ch.UpdatePacketTiming(300);
  EXPECT_TRUE(ch.ApplyKissCommand(4, 3));
  EXPECT_EQ(ch.PacketTxTail.load(), 30);
  EXPECT_EQ(ch.PacketTimingChanged.load(), 1);

  const int before = ch.PacketTxDelay.load();
  EXPECT_FALSE(ch.ApplyKissCommand(6, 1));
  EXPECT_FALSE(ch.ApplyKissCommand(15, 1));
  EXPECT_EQ(ch.PacketTxDelay.load(), before);
}

}  // namespace
}  // namespace vestrel
