#include "engine/modes/amtor/amtor_fec_tx_pump.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bench/harness/tx_setup.h"
#include "engine/codes/baudot.h"
#include "engine/engine.h"
#include "engine/mode_number.h"
#include "support/fake_engine_window.h"
#include "support/fake_rx_sink.h"
#include "support/fake_tx_links.h"
#include "support/tone_reference.h"

namespace vestrel {
namespace {

constexpr int kPhasing = 0x33;
constexpr int kIdle = 0x78;
constexpr uint32_t kPreamble = 3600 + 512;
constexpr uint32_t kTail = 2012;

class AmtorFecTxPumpTest : public ::testing::Test {
 protected:
  AmtorFecTxPumpTest() {
    // 100 Bd, tones 1000 and 2000 Hz: a bit is 110.25 samples, ten times the 1000 Hz spacing's
    // resolution, so every bit reads back without doubt.
    SetTxModeForHarness(*engine, kModeAmtorFec, 100, 1500, 1000, false);
    EXPECT_EQ(engine->params.TxSamplesPerBitMilli, 110250);
    engine->txPump.Connect(links.Links());
    links.sound.OpenSoundOutput();
  }

  void Start(std::string_view text, bool end = true) {
    test::StartTransmission(*engine, text, end);
  }

  bool PlayToEnd() {
    engine->txPump.PumpTxAudio();
    while (engine->tx.TxState != 0) {
      if (!links.sound.Complete() || links.sound.completed > 10000) return false;
      engine->txPump.PumpTxAudio();
    }
    return true;
  }

  // The 7-bit codes of the characters from sample `from` up to `to`: the bit accumulator
  // starts with the first character, so bit t ends at ceil((t + 1) x 110.25) samples.
  std::vector<int> Codes(const std::vector<int16_t>& s, size_t from, size_t to) {
    std::vector<int> codes;
    const int64_t S = engine->params.TxSamplesPerBitMilli;
    for (int64_t c = 0;; ++c) {
      int code = 0;
      for (int b = 0; b < 7; ++b) {
        const int64_t t = 7 * c + b;
        const size_t begin = from + static_cast<size_t>((t * S + 999) / 1000);
        const size_t end = from + static_cast<size_t>(((t + 1) * S + 999) / 1000);
        if (end > to) return codes;
        const std::span<const int16_t> bit(s.data() + begin + 10, end - begin - 20);
        const bool mark = test::ToneEnergy(bit, 2000, 11025) > test::ToneEnergy(bit, 1000, 11025);
        code = code * 2 + (mark ? 1 : 0);
      }
      codes.push_back(code);
    }
  }

  test::FakeEngineWindow window;
  test::FakeRxSink sink;
  std::unique_ptr<TEngine> engine = std::make_unique<TEngine>(window, sink);
  test::FakeTxLinks links{engine->txBuffers};
};

TEST_F(AmtorFecTxPumpTest, TransmissionIsPhasedRepeatedTwoSlotsApartAndEnded) {
  const std::string text = "CQ DE TEST 73";
  Start(text);
  ASSERT_TRUE(PlayToEnd());
  const std::vector<int16_t> s = links.sound.Stream();
  for (uint32_t i = 0; i < 3600; ++i) ASSERT_EQ(s[i], 0);
  const std::vector<int> codes = Codes(s, kPreamble, s.size() - kTail);
  ASSERT_EQ(codes.size() % 2, 0u);
  std::vector<int> dx, rx;
  for (size_t i = 0; i < codes.size(); i += 2) dx.push_back(codes[i]), rx.push_back(codes[i + 1]);

  // Six phasing signals, then CR, LF, LTRS.
  ASSERT_GT(dx.size(), 9u);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(dx[i], kPhasing) << i;
  EXPECT_EQ(dx[6], BaudotToCcir476(13, 0));
  EXPECT_EQ(dx[7], BaudotToCcir476(10, 0));
  EXPECT_EQ(dx[8], BaudotToCcir476(kTxLtrs, 0));
  // Each RX repeats the DX two pairs earlier; a phasing signal repeats as 0x78.
  for (size_t k = 0; k < dx.size(); ++k) {
    const int expected = k < 2 ? kIdle : (dx[k - 2] == kPhasing ? kIdle : dx[k - 2]);
    EXPECT_EQ(rx[k], expected) << k;
  }
  // Five idle signals before the tail.
  for (size_t k = dx.size() - 5; k < dx.size(); ++k) EXPECT_EQ(dx[k], kIdle) << k;
  EXPECT_NE(dx[dx.size() - 6], kIdle);

  // The DX codes read back as the text.
  TBaudotDecoder decoder(engine->params, sink);
  for (int code : dx) {
    for (int b = 0; b < 32; ++b) {
      if (kCcir476[b] == code) decoder.PutBaudotChar(b);
    }
  }
  EXPECT_EQ(sink.text, "\r\n" + text);
  // The tail ends the transmission when its buffer comes back.
  EXPECT_EQ(links.sound.written.back().endMark, kTxAmtorEnd);
  EXPECT_EQ(engine->tx.TxState, 0);
  EXPECT_EQ(links.logger.commands, std::vector<int>{110});
}

TEST_F(AmtorFecTxPumpTest, ALineEndAfterFiftyFiveCharactersBringsAPhasingRun) {
  const std::string line(60, 'E');
  Start(line + "\r");
  ASSERT_TRUE(PlayToEnd());
  const std::vector<int16_t> s = links.sound.Stream();
  const std::vector<int> codes = Codes(s, kPreamble, s.size() - kTail);
  std::vector<int> dx;
  for (size_t i = 0; i < codes.size(); i += 2) dx.push_back(codes[i]);
  const int cr = BaudotToCcir476(13, 0);
  size_t at = 0;
  for (size_t k = 9; k < dx.size(); ++k) {
    if (dx[k] == cr) at = k;
  }
  ASSERT_GE(at, 7u);
  EXPECT_EQ(dx[at - 7], BaudotToCcir476(kTxLtrs, 0));
  for (size_t k = at - 6; k < at; ++k) EXPECT_EQ(dx[k], kPhasing) << k;
}

TEST_F(AmtorFecTxPumpTest, WithTheCarrierStoppedForCwStartAndEndAreSilences) {
  // CW identification requested before the start: no preamble, no tail, and the end resets the
  // line; the characters between still go out as pairs.
  engine->params.TxLineState = 1;
  Start("E");
  ASSERT_TRUE(PlayToEnd());
  const std::vector<int16_t> s = links.sound.Stream();
  ASSERT_GT(s.size(), 2u * 2002);
  for (size_t i = 0; i < 2002; ++i) ASSERT_EQ(s[i], 0) << i;
  for (size_t i = s.size() - 2002; i < s.size(); ++i) ASSERT_EQ(s[i], 0) << i;
  EXPECT_EQ(engine->params.TxLineState, 0);
  EXPECT_EQ(links.sound.written.back().endMark, kTxAmtorEnd);
  EXPECT_EQ(engine->tx.TxState, 0);
}

TEST_F(AmtorFecTxPumpTest, IdlePhasingKeepsOnlyFourBuffersInFlight) {
  // The phasing runs of the idle are the pump's own filler, not queued text: with nothing
  // queued only 4 buffers stay ahead of the air, so typed text waits 4 buffers, not 8.
  Start("", false);
  engine->txPump.PumpTxAudio();
  for (int i = 0; i < 8; ++i) {  // the opening LTRS wait behind the start's nine inserts
    links.sound.Complete();
    engine->txPump.PumpTxAudio();
  }
  ASSERT_TRUE(engine->TxQueue.Empty());
  for (int i = 0; i < 40; ++i) {
    if (i % 2 == 0) links.sound.Complete();
    engine->txPump.PumpTxAudio();
    EXPECT_EQ(engine->txBuffers.InFlight.load(), 4u) << i;
  }
  engine->TxQueue.PostTxSymbol('E');
  engine->txPump.PumpTxAudio();
  EXPECT_GT(engine->txBuffers.InFlight.load(), 4u);
}

TEST_F(AmtorFecTxPumpTest, IdleSendsPhasingAndRxAtFreeBufferEndsTheTransmission) {
  Start("", false);
  engine->txPump.PumpTxAudio();
  for (int i = 0; i < 6; ++i) {
    links.sound.Complete();
    engine->txPump.PumpTxAudio();
  }
  EXPECT_NE(engine->tx.TxState, 0);  // idles with phasing for as long as nothing is sent
  engine->tx.RxAtFreeBuffer = true;
  ASSERT_TRUE(PlayToEnd());
  const std::vector<int16_t> s = links.sound.Stream();
  const std::vector<int> codes = Codes(s, kPreamble, s.size() - kTail);
  std::vector<int> dx;
  for (size_t i = 0; i < codes.size(); i += 2) dx.push_back(codes[i]);
  // The ending idle: six 0x78 (one sent at once, five inserted), then the tail.
  for (size_t k = dx.size() - 6; k < dx.size(); ++k) EXPECT_EQ(dx[k], kIdle) << k;
  for (size_t k = 9; k + 6 < dx.size(); ++k) {
    EXPECT_TRUE(dx[k] == kPhasing || dx[k] == BaudotToCcir476(kTxLtrs, 0)) << k;
  }
}

}  // namespace
}  // namespace vestrel
