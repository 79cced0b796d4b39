#include "engine/engine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "engine/frequency_unit.h"
#include "engine/mode_number.h"
#include "support/fake_clock.h"
#include "support/fake_engine_window.h"
#include "support/fake_rx_sink.h"
#include "support/temp_dir.h"
#include "support/tool_runner.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;

class EngineTest : public ::testing::Test {
 protected:
  test::FakeEngineWindow window;
  test::FakeRxSink sink;
  TEngine engine{window, sink};
};

// The start order: PS2X5 receiving at 50 Bd and sending at 25 Bd, PS33X5 both at step 4
// around 1500 Hz.
TEST_F(EngineTest, StartSetsUpTheBlockModes) {
  engine.Start();
  EXPECT_TRUE(engine.ps2x5.Enabled());
  EXPECT_EQ(engine.ps2x5.Speed(), 50);
  EXPECT_TRUE(engine.ps2x5Tx.Enabled());
  EXPECT_DOUBLE_EQ(engine.ps2x5Tx.Speed(), 25.0);
  EXPECT_EQ(engine.ps33x5.Step(), 4);
  EXPECT_DOUBLE_EQ(engine.ps33x5.CentreHz(), 1500.0);
  EXPECT_EQ(engine.ps33x5Tx.Step(), 4);
  EXPECT_DOUBLE_EQ(engine.ps33x5Tx.CentreHz(), 1500.0);
}

// The mode switch hands both block modes their speeds and tones; PS33X5 takes only its steps,
// and both of its objects keep their step when handed another.
TEST_F(EngineTest, ModeSwitchReachesTheBlockModes) {
  engine.Start();
  TModemParams& p = engine.params;
  p.RxTone[0] = p.RxTone[1] = HzToUnits(1200.0);
  p.TxTone[0] = p.TxTone[1] = HzToUnits(1300.0);
  p.Ps33x5SpeedX = 8;
  engine.modeSwitch.SetMode(kModePs33x5);
  EXPECT_EQ(engine.ps33x5.Step(), 8);
  EXPECT_EQ(engine.ps33x5Tx.Step(), 8);
  EXPECT_NEAR(engine.ps33x5.CentreHz(), 1200.0, 0.2);
  EXPECT_NEAR(engine.ps33x5Tx.CentreHz(), 1300.0, 0.2);
  EXPECT_EQ(p.TxTone[0], engine.ps33x5Tx.ToneStep(0));
  EXPECT_EQ(p.TxTone[1], engine.ps33x5Tx.ToneStep(32));
  engine.modeSwitch.SetBaudRate(1.5625);
  EXPECT_EQ(engine.ps33x5.Step(), 1);
  EXPECT_EQ(engine.ps33x5Tx.Step(), 1);
  engine.modeSwitch.SetBaudRate(100);  // no step: 6.25 Bd in this mode
  EXPECT_EQ(engine.ps33x5.Step(), 4);
  EXPECT_EQ(p.Ps33x5SpeedX, 4);

  p.Baud = 100;
  p.ShiftHz = 200;
  engine.modeSwitch.SetMode(kModePs2x5);
  EXPECT_EQ(engine.ps2x5.Speed(), 100);
  EXPECT_DOUBLE_EQ(engine.ps2x5Tx.Speed(), 100.0);
  EXPECT_EQ(engine.ps2x5.ToneBStep() - engine.ps2x5.ToneAStep(), HzToUnits(200.0) / 2 * 2);
  EXPECT_EQ(engine.ps33x5.Step(), 4);  // 100 Bd is no step: PS33X5 kept its own
}

// Shutdown ends the open messages: their reports printed, their files under their final names.
TEST_F(EngineTest, ShutdownFinishesOpenBlockMessages) {
  test::TempDir dir;
  test::FakeClock clock;
  clock.utcSeconds = 42;
  engine.blockCapture.directory = dir.path();
  engine.blockCapture.save = true;
  engine.blockCapture.clock = &clock;
  engine.Start();
  BlockContent block;
  block.kind = BlockContent::kData;
  block.counter = 8;
  block.bytes = {'O', 'P', 'E', 'N', ' ', 'A', 'T'};
  block.length = 7;
  engine.ps2x5.Message().Output(block, 1);
  engine.ps33x5.Message().Output(block, 0);
  ASSERT_TRUE(fs::exists(dir.path() / "~~~00000000042.tmp"));
  engine.Shutdown();
  EXPECT_FALSE(engine.ps2x5.Message().Open());
  EXPECT_FALSE(engine.ps33x5.Message().Open());
  EXPECT_EQ(sink.text, "\r\nOPEN AT\r\nOPEN AT{ER=3.2%}{ER=0.0%}");
  EXPECT_EQ(test::ReadWholeFile((dir.path() / "00000000042-RO-0032.TXT").string()), "OPEN AT");
  EXPECT_EQ(test::ReadWholeFile((dir.path() / "00000000042-RO-0000.TXT").string()), "OPEN AT");
  EXPECT_FALSE(fs::exists(dir.path() / "~~~00000000042.tmp"));
  EXPECT_FALSE(fs::exists(dir.path() / "~~~00000000042-2.tmp"));
}

}  // namespace
}  // namespace vestrel
