#include "engine/modes/ps2x5/block_tx_pump.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/mode_number.h"
#include "engine/modes/ps2x5/block_message.h"
#include "engine/modes/ps2x5/fsk2x5_transmitter.h"
#include "engine/modes/ps33x5/fsk33x5_transmitter.h"
#include "support/block_mode_signal.h"
#include "support/fake_engine_window.h"
#include "support/fake_rx_sink.h"
#include "support/fake_tx_links.h"

namespace vestrel {
namespace {

// Records the codes the pump hands its modulator; each becomes 10 samples of its own value.
class RecordingModulator final : public TBlockModulator {
 public:
  explicit RecordingModulator(const SineTable& sine) : TBlockModulator(sine) {}
  uint32_t EncodeSymbol(int code, int16_t* out) override {
    codes.push_back(code);
    std::fill_n(out, 10, static_cast<int16_t>(code));
    return 10;
  }
  uint32_t MaxSymbolSamples() const override { return 10; }
  std::vector<int> codes;
};

class TestPump final : public TBlockTxPump {
 public:
  using TBlockTxPump::TBlockTxPump;
  bool SetSpeed(double) override { return true; }
  bool SetTones(int32_t, int32_t) override { return true; }
};

class BlockTxPumpTest : public ::testing::Test {
 protected:
  BlockTxPumpTest() {
    engine->Start();
    engine->modeSwitch.SetMode(kModePs2x5);
    engine->modes.SetTransmitter(TxFamily::kPs2x5, &pump);
    engine->txPump.Connect(links.Links());
    links.sound.OpenSoundOutput();
  }

  void Queue(const std::string& text, std::initializer_list<TxSymbol> after = {kTxBlockPad, kTxEnd}) {
    for (unsigned char c : text) engine->TxQueue.PostTxSymbol(c);
    for (TxSymbol s : after) engine->TxQueue.PostTxSymbol(s);
  }

  bool PlayToEnd() {
    engine->txPump.PumpTxAudio();
    while (engine->tx.TxState != 0) {
      if (!links.sound.Complete() || links.sound.completed > 10000) return false;
      engine->txPump.PumpTxAudio();
    }
    return true;
  }

  std::string Echo() const {
    std::string s;
    for (const auto& w : links.sound.written) s += w.text;
    return s;
  }

  // The blocks among the codes from `from` on: 31 codes each, read back.
  std::vector<BlockContent> Blocks(size_t from, size_t count) const {
    std::vector<BlockContent> out;
    for (size_t b = 0; b < count; ++b) {
      BlockSymbols s{};
      for (int i = 0; i < kBlockSymbols; ++i) s[i] = static_cast<uint8_t>(modulator.codes.at(from + 31 * b + i));
      out.push_back(ReadBlock(s));
    }
    return out;
  }

  test::FakeEngineWindow window;
  test::FakeRxSink sink;
  std::unique_ptr<TEngine> engine = std::make_unique<TEngine>(window, sink);
  RecordingModulator modulator{engine->sine};
  TestPump pump{engine->txPump, modulator, engine->ps2x5.Message()};
  test::FakeTxLinks links{engine->txBuffers};
};

TEST_F(BlockTxPumpTest, FiveCharactersAndTheEndGiveOneEndBlock) {
  engine->tx.TxState = 1;
  Queue("HELLO");
  ASSERT_TRUE(PlayToEnd());
  ASSERT_EQ(modulator.codes.size(), 33u);
  EXPECT_EQ(modulator.codes.front(), kTxPreamble);
  EXPECT_EQ(modulator.codes.back(), kTxEnd);
  const BlockContent b = Blocks(1, 1)[0];
  EXPECT_EQ(b.kind, BlockContent::kEnd);
  EXPECT_EQ(b.counter, 8);
  EXPECT_EQ(b.length, 5);
  EXPECT_EQ(b.bytes, (BlockBytes{'H', 'E', 'L', 'L', 'O', 0x04, 0x00}));
  EXPECT_EQ(Echo(), "HELLO");
  EXPECT_EQ(links.sound.written.back().endMark, kTxEnd);
  EXPECT_EQ(engine->tx.TxEnding, 0);
}

// Seven characters make a data block at once; the rest goes in the end block; the next
// transmission counts from 8 again.
TEST_F(BlockTxPumpTest, FullBlocksGoAsDataAndCountersRestartEachTransmission) {
  for (int round = 0; round < 2; ++round) {
    modulator.codes.clear();
    links.sound.OpenSoundOutput();  // the end of the first closed it
    engine->tx.TxState = 1;
    Queue("ABCDEFGHI");
    ASSERT_TRUE(PlayToEnd());
    ASSERT_EQ(modulator.codes.size(), 1u + 62u + 1u);
    const std::vector<BlockContent> b = Blocks(1, 2);
    EXPECT_EQ(b[0].kind, BlockContent::kData);
    EXPECT_EQ(b[0].counter, 8);
    EXPECT_EQ(std::string(b[0].bytes.begin(), b[0].bytes.end()), "ABCDEFG");
    EXPECT_EQ(b[1].kind, BlockContent::kEnd);
    EXPECT_EQ(b[1].counter, 9);
    EXPECT_EQ(std::string(b[1].bytes.begin(), b[1].bytes.begin() + b[1].length), "HI");
  }
}

// Any other control code closes a started block as a data block padded with zeros; an empty
// block is not sent for it.
TEST_F(BlockTxPumpTest, AControlCodeClosesAStartedBlockAsData) {
  engine->tx.TxState = 1;
  engine->TxQueue.PostTxSymbol(kTxLtrs);
  Queue("AB", {kTxLtrs, kTxLtrs});
  Queue("C");
  ASSERT_TRUE(PlayToEnd());
  ASSERT_EQ(modulator.codes.size(), 1u + 62u + 1u);
  const std::vector<BlockContent> b = Blocks(1, 2);
  EXPECT_EQ(b[0].kind, BlockContent::kData);
  EXPECT_EQ(b[0].bytes, (BlockBytes{'A', 'B', 0, 0, 0, 0, 0}));
  EXPECT_EQ(b[1].kind, BlockContent::kEnd);
  EXPECT_EQ(b[1].length, 1);
  EXPECT_EQ(Echo(), "ABC");
}

// The receiver cannot hear its own transmission: its open message ends with a lost block.
TEST_F(BlockTxPumpTest, StartEndsTheReceiversOpenMessage) {
  BlockContent got;
  got.kind = BlockContent::kData;
  got.counter = 8;
  got.bytes = {'R', 'X', 'T', 'E', 'X', 'T', '.'};
  got.length = 7;
  engine->ps2x5.Message().Output(got, 0);
  ASSERT_TRUE(engine->ps2x5.Message().Open());
  engine->tx.TxState = 1;
  Queue("X");
  ASSERT_TRUE(PlayToEnd());
  EXPECT_FALSE(engine->ps2x5.Message().Open());
  EXPECT_EQ(sink.text, "\r\nRXTEXT._______{ER=50.0%}");
}

// Nothing queued: idle symbols (0). With RxAtFreeBuffer and everything typed sent, the fourth
// idle round closes the transmission with an end block.
TEST_F(BlockTxPumpTest, IdleSendsSymbolZeroAndMayEndTheTransmission) {
  engine->tx.TxState = 1;
  engine->tx.RxAtFreeBuffer = true;
  links.text.allSent = false;
  engine->txPump.PumpTxAudio();
  ASSERT_GT(modulator.codes.size(), 10u);
  for (size_t i = 1; i < modulator.codes.size(); ++i) ASSERT_EQ(modulator.codes[i], 0) << i;
  EXPECT_EQ(engine->tx.TxState, 3);

  links.text.allSent = true;
  modulator.codes.clear();
  while (links.sound.Complete()) {
  }
  ASSERT_TRUE(PlayToEnd());
  ASSERT_EQ(modulator.codes.size(), 3u + 31u + 1u);
  EXPECT_EQ(modulator.codes[0], 0);
  EXPECT_EQ(modulator.codes[2], 0);
  const BlockContent b = Blocks(3, 1)[0];
  EXPECT_EQ(b.kind, BlockContent::kEnd);
  EXPECT_EQ(b.length, 0);
  EXPECT_EQ(modulator.codes.back(), kTxEnd);
}

// Characters gathered when the idle rule ends the transmission go out in its end block.
TEST_F(BlockTxPumpTest, TheIdleEndKeepsTheGatheredCharacters) {
  engine->tx.TxState = 1;
  engine->tx.RxAtFreeBuffer = true;
  Queue("AB", {});
  ASSERT_TRUE(PlayToEnd());
  ASSERT_EQ(modulator.codes.size(), 1u + 3u + 31u + 1u);  // start, 3 idle symbols, the end block, end
  const BlockContent b = Blocks(4, 1)[0];
  EXPECT_EQ(b.kind, BlockContent::kEnd);
  EXPECT_EQ(b.bytes, (BlockBytes{'A', 'B', 0x04, 0, 0, 0, 0}));
  EXPECT_EQ(Echo(), "AB");
}

// CW identification: the carrier is stopped with the end ramp after the started block, the
// line stays silent (idle included) until the line reset, and a start with CW requested is
// silent too.
TEST_F(BlockTxPumpTest, CarrierStopsAndLineStates) {
  engine->tx.TxState = 1;
  Queue("AB", {kTxStopCarrier});
  engine->txPump.PumpTxAudio();
  ASSERT_GE(modulator.codes.size(), 33u);
  EXPECT_EQ(Blocks(1, 1)[0].kind, BlockContent::kData);
  EXPECT_EQ(modulator.codes[32], kTxEnd);  // the ramp down
  EXPECT_EQ(modulator.codes.size(), 33u);  // then silence, no idle symbols
  EXPECT_EQ(engine->params.TxLineState, 2);
  EXPECT_EQ(engine->tx.TxState, 3);

  // A new transmission with the carrier still stopped: silence, not the start.
  while (links.sound.Complete()) {
  }
  engine->tx.TxState = 1;
  modulator.codes.clear();
  Queue("Z", {kTxLineReset, kTxBlockPad, kTxEnd});
  ASSERT_TRUE(PlayToEnd());
  // No start: the block with Z (closed by the line reset), the block end's empty end block, the
  // end.
  ASSERT_EQ(modulator.codes.size(), 31u + 31u + 1u);
  const std::vector<BlockContent> b = Blocks(0, 2);
  EXPECT_EQ(b[0].kind, BlockContent::kData);
  EXPECT_EQ(b[0].bytes[0], 'Z');
  EXPECT_EQ(b[1].kind, BlockContent::kEnd);
  EXPECT_EQ(b[1].length, 0);
  EXPECT_EQ(engine->params.TxLineState, 0);
}

TEST_F(BlockTxPumpTest, APausePointSwitchesPauseOn) {
  engine->tx.TxState = 1;
  Queue("AB", {kTxPausePoint});
  engine->txPump.PumpTxAudio();
  ASSERT_EQ(links.text.pauses, std::vector<bool>{true});
  EXPECT_EQ(Blocks(1, 1)[0].kind, BlockContent::kData);
}

// The longest pieces through the real pump at 48000 samples/s on one stereo channel, where a
// buffer holds 65536 samples: PS2X5 at 2 Bd (the start 24002 samples, a symbol 120000) and
// PS33X5 at step 1 (the start 61442, a symbol 30720). The left channel carries exactly
// what the modulator writes on its own, every sample once; the right stays silent.
TEST(BlockTxPumpLongPieces, PlayWholeAtFortyEightKiloHertzInStereo) {
  struct Case {
    int mode;
    double baud;
  };
  for (const Case c : {Case{kModePs2x5, 2.0}, Case{kModePs33x5, 1.5625}}) {
    SCOPED_TRACE(c.mode);
    test::FakeEngineWindow window;
    test::FakeRxSink sink;
    auto engine = std::make_unique<TEngine>(window, sink);
    engine->rates.OutSamplingFreq = 48000.0;
    engine->tx.OutputCardChannel = 1;
    const std::vector<int16_t> stereo =
        test::PumpTransmission(*engine, c.mode, c.baud, 1500.0, 50, false, "OK");
    ASSERT_EQ(engine->tx.TxState, 0);

    std::vector<int16_t> alone;
    SineTable sine;
    if (c.mode == kModePs2x5) {
      TSampleRates rates;
      rates.OutSamplingFreq = 48000.0;
      TFsk2x5Transmitter tx(sine, engine->params, rates);
      ASSERT_TRUE(tx.SetSpeed(2.0));
      alone = test::ModulateBlocks(tx, "OK");
      EXPECT_EQ(alone.size(), 2u + 24000u + 31u * 120000u + 120000u + 24000u + 2u);
    } else {
      TFsk33x5Transmitter tx(sine, engine->params);
      ASSERT_TRUE(tx.SetSpeed(1, engine->ps33x5Tx.CentreHz(), 48000.0));
      alone = test::ModulateBlocks(tx, "OK");
      EXPECT_EQ(alone.size(), 2u + 30720u + 30720u + 31u * 30720u + 30720u + 30720u + 2u);
    }
    ASSERT_EQ(stereo.size(), 2 * alone.size());
    size_t differ = 0;
    for (size_t i = 0; i < alone.size(); ++i)
      differ += stereo[2 * i] != alone[i] || stereo[2 * i + 1] != 0;
    EXPECT_EQ(differ, 0u);
  }
}

}  // namespace
}  // namespace vestrel
