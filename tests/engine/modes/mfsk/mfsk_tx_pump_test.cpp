#include "engine/modes/mfsk/mfsk_tx_pump.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bench/harness/tx_setup.h"
#include "engine/engine.h"
#include "support/fake_engine_window.h"
#include "support/fake_rx_sink.h"
#include "support/fake_tx_links.h"

namespace vestrel {
namespace {

constexpr size_t kPreamble = 3600 + 512 + 5000;
constexpr size_t kPostamble = 5000 + 512;

size_t Symbols(size_t m, double length) {
  return static_cast<size_t>(std::ceil(m * length - 1e-9));
}

// A PSK shaper that writes each symbol as 100 samples of 1000 + symbol and remembers it.
class FakeShaper final : public PskTxShaper {
 public:
  uint32_t PskTxSymbol(int symbol, int16_t* out, uint32_t&) override {
    symbols.push_back(symbol);
    for (int i = 0; i < 100; ++i) out[i] = static_cast<int16_t>(1000 + symbol);
    return 100;
  }
  uint32_t PskTxCarrier(int, int16_t*, uint32_t&) override { return 0; }
  uint32_t PskTxQpskBit(int, int16_t*, uint32_t&) override { return 0; }
  uint32_t PskSymbolLen() const override { return 100; }
  std::vector<int> symbols;
};

class MfskTxPumpTest : public ::testing::Test {
 protected:
  void SetUp(int32_t mode, double outRate = 11025.0, int channel = 0) {
    engine->Start();
    engine->rates.OutSamplingFreq = outRate;
    SetTxModeForHarness(*engine, mode, 45.0, 1500.0, 170, false);
    engine->tx.OutputCardChannel = channel;
    engine->txPump.Connect(links.Links());
    links.sound.OpenSoundOutput();
  }

  void Queue(std::initializer_list<TxSymbol> symbols) {
    for (TxSymbol s : symbols) engine->TxQueue.PostTxSymbol(s);
  }

  bool PlayToEnd(size_t limit = 10000) {
    engine->txPump.PumpTxAudio();
    while (engine->tx.TxState != 0) {
      if (!links.sound.Complete() || links.sound.completed > limit) return false;
      engine->txPump.PumpTxAudio();
    }
    return true;
  }

  std::string Echo() const {
    std::string all;
    for (const auto& w : links.sound.written) all += w.text;
    return all;
  }

  test::FakeEngineWindow window;
  test::FakeRxSink sink;
  std::unique_ptr<TEngine> engine = std::make_unique<TEngine>(window, sink);
  test::FakeTxLinks links{engine->txBuffers};
};

// A transmission of "e": the preamble, 8 symbols on the first tone, the character (4 bits, 8 code
// bits, 2 symbols), then at the end a -23 (a 1 and 16 zeros: 34 code bits) and 9 x 16 zero code
// bits, which push the last word through the interleaver and the receiver's decoder, and the
// postamble. The transmit switch's -1 codes sound nothing. The end mark comes back, PTT drops.
TEST_F(MfskTxPumpTest, TransmissionFromPreambleToPostamble) {
  SetUp(12);
  engine->tx.TxState = 1;
  engine->tx.TxActive = true;
  links.ptt.SetPtt(true);
  Queue({kTxLtrs, kTxLtrs, 'e', kTxLtrs, kTxEnd});
  ASSERT_TRUE(PlayToEnd());
  const std::vector<int16_t> s = links.sound.Stream();
  // 8 + 2 + 8 + 36 symbols (8 code bits, 34, then 2 left over + 144 = 146: 36, 2 left).
  EXPECT_EQ(s.size(), kPreamble + Symbols(54, 705.6) + kPostamble);
  for (size_t i = 0; i < 3600; ++i) ASSERT_EQ(s[i], 0) << i;
  EXPECT_EQ(Echo(), "e");
  EXPECT_EQ(links.sound.written.back().endMark, kTxEnd);
  EXPECT_FALSE(links.ptt.ptt);
  EXPECT_EQ(engine->tx.TxEnding, 0);
  EXPECT_EQ(links.logger.commands, std::vector<int>{110});
  for (const auto& w : links.sound.written) EXPECT_GE(w.samples.size(), TTxAudioPump::kBufferTarget);
}

// Nothing to send: the pump idles with NUL characters, each closed by a -23 (11 + 17 bits: 56
// code bits, 14 symbols a round), and stays on the air.
TEST_F(MfskTxPumpTest, IdlesWithNulClosedByTheFlushCode) {
  SetUp(12);
  engine->tx.TxState = 1;
  for (int i = 0; i < 40; ++i) {
    engine->txPump.PumpTxAudio();
    links.sound.Complete();
  }
  EXPECT_NE(engine->tx.TxState, 0);
  EXPECT_EQ(Echo(), "");
}

// With RxAtFreeBuffer and all typed text sent, the fifth idle round ends the transmission.
TEST_F(MfskTxPumpTest, EndsAfterFourIdleRoundsWithRxAtFreeBuffer) {
  SetUp(12);
  engine->tx.RxAtFreeBuffer = true;
  engine->tx.TxState = 1;
  ASSERT_TRUE(PlayToEnd(100));
  // 8 pad symbols, 4 rounds of 14, then 34 + 144 code bits (44 symbols, 2 left).
  EXPECT_EQ(links.sound.Stream().size(), kPreamble + Symbols(8 + 56 + 44, 705.6) + kPostamble);
}

// A pause point switches Pause on and sends the -23 that shows the last word.
TEST_F(MfskTxPumpTest, PausePointSwitchesPauseOn) {
  SetUp(16);
  engine->tx.TxState = 1;
  Queue({'a', kTxPausePoint, 'b'});
  engine->txPump.PumpTxAudio();
  EXPECT_EQ(links.text.pauses, std::vector<bool>{true});
}

// CW identification after MFSK text: the -6 closes the text (the -23 and the zero bits) and stops
// the carrier with the postamble; the elements go through the PSK shaper (a dit 5, 0, 4, 4; a
// dah with four carrier symbols; a gap four off); the end is then silence with the end mark,
// and the line state is back to normal.
TEST_F(MfskTxPumpTest, CwIdentificationAfterText) {
  FakeShaper shaper;
  SetUp(12);
  engine->synth.SetPskShaper(&shaper);
  engine->tx.TxState = 1;
  Queue({'e', kTxStopCarrier, kTxCwDit, kTxCwDah, kTxCwGap, kTxEnd});
  ASSERT_TRUE(PlayToEnd());
  EXPECT_EQ(shaper.symbols, (std::vector<int>{5, 0, 4, 4, 5, 0, 0, 0, 0, 4, 4, 4, 4, 4, 4}));
  const std::vector<int16_t> s = links.sound.Stream();
  const size_t text = kPreamble + Symbols(54, 705.6);
  const size_t cw = 15 * 100;
  ASSERT_EQ(s.size(), text + kPostamble + cw + TToneSynth::kSilenceLength);
  EXPECT_LT(std::abs(s[text + kPostamble - 1]), 200);  // the carrier has fallen
  EXPECT_EQ(s[text + kPostamble], 1005);               // then the first CW symbol
  for (size_t i = s.size() - TToneSynth::kSilenceLength; i < s.size(); ++i) ASSERT_EQ(s[i], 0);
  EXPECT_EQ(engine->params.TxLineState, 0);
  EXPECT_EQ(links.sound.written.back().endMark, kTxEnd);
}

// A CW identification asked for from receive: no preamble, the carrier stays off until the CW,
// and stopping it is silence.
TEST_F(MfskTxPumpTest, CwFromReceiveKeepsTheCarrierOff) {
  FakeShaper shaper;
  SetUp(16);
  engine->synth.SetPskShaper(&shaper);
  engine->params.TxLineState = 1;
  engine->tx.TxState = 1;
  Queue({kTxStopCarrier, kTxLtrs, kTxCwDit, kTxEnd});
  ASSERT_TRUE(PlayToEnd());
  const std::vector<int16_t> s = links.sound.Stream();
  const size_t silence = TToneSynth::kSilenceLength;
  ASSERT_EQ(s.size(), 3 * silence + 400 + silence);  // start, stop, -1, the dit, end
  for (size_t i = 0; i < 3 * silence; ++i) ASSERT_EQ(s[i], 0) << i;
  EXPECT_EQ(s[3 * silence], 1005);
  for (size_t i = 3 * silence + 400; i < s.size(); ++i) ASSERT_EQ(s[i], 0) << i;
  EXPECT_EQ(shaper.symbols, (std::vector<int>{5, 0, 4, 4}));
  EXPECT_EQ(engine->params.TxLineState, 0);
}

// The CW identification through the program's PSK shaper is keyed on the band's first tone: the
// lowest, or the highest under Reverse, in both modes. A dah's steady middle (four symbols at
// 31.25 Bd) crosses zero twice a cycle of that tone.
TEST(MfskTxPumpCw, KeyedOnTheFirstTone) {
  for (int32_t mode : {12, 16}) {
    for (bool reverse : {false, true}) {
      SCOPED_TRACE(testing::Message() << "mode " << mode << " reverse " << reverse);
      test::FakeEngineWindow window;
      test::FakeRxSink sink;
      auto engine = std::make_unique<TEngine>(window, sink);
      test::FakeTxLinks links{engine->txBuffers};
      engine->Start();
      SetTxModeForHarness(*engine, mode, 45.0, 1500.0, 170, reverse);
      engine->txPump.Connect(links.Links());
      links.sound.OpenSoundOutput();
      engine->params.TxLineState = 1;  // asked for from receive: only the CW sounds
      engine->tx.TxState = 1;
      engine->TxQueue.PostTxSymbol(kTxStopCarrier);
      engine->TxQueue.PostTxSymbol(kTxCwDah);
      engine->TxQueue.PostTxSymbol(kTxEnd);
      engine->txPump.PumpTxAudio();
      for (int i = 0; i < 100 && engine->tx.TxState != 0 && links.sound.Complete(); ++i)
        engine->txPump.PumpTxAudio();
      ASSERT_EQ(engine->tx.TxState, 0);
      const std::vector<int16_t> s = links.sound.Stream();
      size_t first = 0;
      while (first < s.size() && s[first] == 0) ++first;
      const size_t from = first + 2 * 353, to = from + 3 * 353;  // past the ramp, inside the dah
      ASSERT_LT(to, s.size());
      int crossings = 0;
      for (size_t i = from + 1; i < to; ++i) crossings += (s[i - 1] < 0) != (s[i] < 0);
      const double hz = crossings / 2.0 * 11025.0 / static_cast<double>(to - from);
      const TModemParams& p = engine->params;
      const double firstTone = UnitsToHz(p.TxTone[reverse ? 1 : 0], 11025.0);
      EXPECT_NEAR(hz, firstTone, 6.0);
      EXPECT_NEAR(firstTone, reverse ? 1500.0 + (mode == 12 ? 117.2 : 121.1) : 1500.0 - (mode == 12 ? 117.2 : 121.1),
                  3.0);
    }
  }
}

// MFSK8 at 48000 samples/s into the left channel of stereo buffers: the preamble (9112 samples),
// the 8 pad symbols and three tune codes (7 symbols each) of 6144 samples and the closing bits
// are written through the pump's scratch and carried from buffer to buffer, every sample once
// and none past a buffer (the AddressSanitizer build runs this too).
TEST_F(MfskTxPumpTest, LongPiecesAtHighRatesInStereo) {
  SetUp(16, 48000.0, 1);
  engine->tx.TxState = 1;
  Queue({kTxMfskTuneB, kTxMfskTuneB, kTxMfskTuneB, kTxEnd});
  ASSERT_TRUE(PlayToEnd());
  // 8 + 21 symbols, then 34 code bits (6 symbols, 4 left) and 148 (29 symbols, 3 left).
  const size_t mono = kPreamble + (8 + 21 + 6 + 29) * 6144 + kPostamble;
  const std::vector<int16_t> s = links.sound.Stream();
  ASSERT_EQ(s.size(), 2 * mono);
  for (size_t i = 1; i < s.size(); i += 2) ASSERT_EQ(s[i], 0) << i;
  for (const auto& w : links.sound.written) EXPECT_LE(w.samples.size(), TxAudioBuffer::kCapacity);
}

}  // namespace
}  // namespace vestrel
