#include "engine/modes/packet/packet_channel_access.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "engine/engine.h"
#include "engine/messages.h"
#include "engine/mode_number.h"
#include "support/ax25_frames.h"
#include "support/fake_engine_window.h"
#include "support/fake_rx_sink.h"
#include "support/fake_tx_links.h"
#include "support/packet_engine.h"

namespace vestrel {
namespace {

// Draws given by the test, in turn.
class ScriptedRandom : public PacketRandom {
 public:
  int32_t Draw() override {
    ++draws;
    return values.empty() ? 0 : values[(draws - 1) % values.size()];
  }
  std::vector<int32_t> values;
  size_t draws = 0;
};

class FakeSlotTimer : public SlotTimerControl {
 public:
  void SetSlotTimer(bool on, int32_t intervalMs) override {
    this->on = on;
    interval = intervalMs;
    ++calls;
  }
  bool on = false;
  int32_t interval = 0;
  int calls = 0;
};

class PacketChannelAccessTest : public ::testing::Test {
 protected:
  PacketChannelAccessTest() {
    engine->txPump.Connect(links.Links());
    engine->packetAccess.SetRandom(&random);
    engine->packetChannel.ConnectSlotTimer(&timer);
    engine->Start();
    test::SetPacketMode(*engine, kModeAx25Uhf);
  }

  void QueueFrame() { engine->bufFifo.PutFrame(test::ItemsOf(test::BuildUiFrame("N0CALL", "APRS", "x"))); }

  bool Tick() { return engine->packetAccess.Ax25SlotTimerTimer(); }

  test::FakeEngineWindow window;
  test::FakeRxSink sink;
  std::unique_ptr<TEngine> engine = std::make_unique<TEngine>(window, sink);
  test::FakeTxLinks links{engine->txBuffers};
  ScriptedRandom random;
  FakeSlotTimer timer;
};

TEST_F(PacketChannelAccessTest, NothingWithoutAFrameOutsideThePacketModesOrWhileSending) {
  engine->packetChannel.PacketPersistence = 255;
  EXPECT_FALSE(Tick());  // nothing queued
  QueueFrame();
  engine->tx.TxState = 3;
  EXPECT_FALSE(Tick());  // sending
  engine->tx.TxState = 0;
  engine->modeSwitch.SetMode(kModeRtty);
  EXPECT_FALSE(Tick());
  EXPECT_EQ(engine->tx.TxState, 0);
  engine->modeSwitch.SetMode(kModeAx25Hf);
  EXPECT_TRUE(Tick());
}

TEST_F(PacketChannelAccessTest, KeyingUp) {
  QueueFrame();
  engine->packetChannel.PacketPersistence = 255;
  links.sound.inputOpen = true;
  links.sound.outputOpen = false;
  links.text.txButton = false;
  ASSERT_TRUE(Tick());
  EXPECT_TRUE(links.text.txButton);
  EXPECT_FALSE(window.enabled["Mode"]);
  EXPECT_FALSE(links.sound.inputOpen);
  EXPECT_TRUE(links.sound.outputOpen);
  EXPECT_FALSE(engine->tx.SoundDevicesBusy);
  EXPECT_TRUE(links.ptt.ptt);
  EXPECT_EQ(engine->tx.TxState, 1);
  EXPECT_EQ(engine->tx.TxEnding, 0);
  EXPECT_EQ(window.PostCount(WM_WAVEOUT_DONE), 1);

  // With both devices kept open the input stays open.
  auto other = std::make_unique<TEngine>(window, sink);
  test::FakeTxLinks l{other->txBuffers};
  other->txPump.Connect(l.Links());
  other->Start();
  test::SetPacketMode(*other, kModeAx25Uhf);
  other->tx.UseDuplex = true;
  other->packetChannel.PacketPersistence = 255;
  other->bufFifo.PutFrame(test::ItemsOf(test::BuildUiFrame("N0CALL", "APRS", "x")));
  ASSERT_TRUE(other->packetAccess.Ax25SlotTimerTimer());
  EXPECT_TRUE(l.sound.inputOpen);
}

// p-persistence: a draw r keys up when p >= r mod 255.
TEST_F(PacketChannelAccessTest, Persistence) {
  struct Case {
    int p;
    int32_t r;
    bool keys;
  };
  const Case cases[] = {
      {255, 254, true}, {255, 2147483646, true}, {0, 0, true},    {0, 255, true},  {0, 1, false},
      {0, 256, false},  {63, 63, true},          {63, 64, false}, {63, 318, true}, {63, 319, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "p " << c.p << " r " << c.r);
    engine->tx.TxState = 0;
    engine->bufFifo.Clear();
    QueueFrame();
    engine->packetChannel.PacketPersistence = c.p;
    random.values = {c.r};
    EXPECT_EQ(Tick(), c.keys);
  }
}

// Persistence 255 keys up on every tick of a clear channel.
TEST_F(PacketChannelAccessTest, Persistence255KeysUpOnEveryClearTick) {
  engine->packetChannel.PacketPersistence = 255;
  random.values = {0, 17, 254, 255, 1000, 2147483647};
  for (int i = 0; i < 12; ++i) {
    engine->tx.TxState = 0;
    QueueFrame();
    EXPECT_TRUE(Tick()) << i;
  }
}

TEST_F(PacketChannelAccessTest, ACarrierHoldsTheTimerFullDuplexDoesNot) {
  // A transmission heard halfway: carrier detected.
  engine->ax25.SetTones(HzToUnits(1200.0), HzToUnits(2200.0));
  std::vector<float> tone;
  {
    TEngine sender(window, sink);
    test::FakeTxLinks l{sender.txBuffers};
    sender.txPump.Connect(l.Links());
    test::SetPacketMode(sender, kModeAx25Uhf);
    l.sound.OpenSoundOutput();
    sender.bufFifo.PutFrame(test::ItemsOf(test::BuildUiFrame("N0CALL", "APRS", std::string(100, 'x'))));
    sender.tx.TxState = 1;
    sender.txPump.PumpTxAudio();
    const std::vector<int16_t> s = l.sound.Stream();
    tone.assign(s.begin(), s.end());
  }
  engine->ax25.ProcessBlock(tone, true);
  ASSERT_TRUE(engine->ax25.Dcd());

  QueueFrame();
  engine->packetChannel.PacketPersistence = 255;
  EXPECT_FALSE(Tick());
  EXPECT_EQ(random.draws, 0u);  // no draw while the channel is busy
  engine->packetChannel.PacketFullDuplex = 1;
  EXPECT_TRUE(Tick());
}

TEST_F(PacketChannelAccessTest, TheModeSwitchDrivesTheSlotTimer) {
  EXPECT_TRUE(timer.on);
  EXPECT_EQ(timer.interval, 100);
  EXPECT_EQ(engine->ax25.Baud(), 1200);
  // KISS slot time 250 ms: the main timer's recomputation hands the timer its interval.
  engine->packetChannel.ApplyKissCommand(3, 25);
  ASSERT_EQ(engine->packetChannel.PacketTimingChanged.load(), 1);
  engine->packetChannel.UpdatePacketTiming(engine->params.Baud);
  EXPECT_EQ(timer.interval, 250);
  engine->modeSwitch.SetMode(kModeAx25Hf);
  EXPECT_TRUE(timer.on);
  EXPECT_EQ(engine->ax25.Baud(), 300);
  engine->modeSwitch.SetMode(kModeRtty);
  EXPECT_FALSE(timer.on);
  engine->modeSwitch.SetMode(kModeBpsk31);
  EXPECT_FALSE(timer.on);
  engine->modeSwitch.SetMode(kModeAx25Uhf);
  EXPECT_TRUE(timer.on);
}

TEST_F(PacketChannelAccessTest, EverySpeedChangeRetimesTheProgram) {
  // The 1200 Bd row of the timing table, then the 300 Bd one.
  EXPECT_EQ(engine->packetChannel.PacketSyncBytes, 27);
  EXPECT_EQ(engine->packetChannel.PacketLeadSilenceBlocks, 12);
  EXPECT_EQ(engine->packetChannel.PacketTailFlags, 13);
  test::SetPacketMode(*engine, kModeAx25Hf);
  EXPECT_EQ(engine->packetChannel.PacketSyncBytes, 6);
  EXPECT_EQ(engine->packetChannel.PacketLeadSilenceBlocks, 16);
  EXPECT_EQ(engine->packetChannel.PacketTailFlags, 3);
}

}  // namespace
}  // namespace vestrel
