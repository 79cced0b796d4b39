#include "engine/modes/psk/psk_tx_source.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "bench/harness/tx_setup.h"
#include "engine/engine.h"
#include "engine/frequency_unit.h"
#include "engine/modes/psk/cw_ident.h"
#include "support/fake_engine_window.h"
#include "support/fake_rx_sink.h"
#include "support/fake_tx_links.h"

namespace vestrel {
namespace {

// A transmitting engine with every fake connected.
struct Transmitter {
  Transmitter() {
    engine->txPump.Connect(links.Links());
    links.sound.OpenSoundOutput();
  }
  // Plays buffer after buffer to the end of the transmission; the samples, or none if it never
  // ends.
  std::vector<int16_t> PlayToEnd() {
    engine->txPump.PumpTxAudio();
    while (engine->tx.TxState != 0) {
      if (!links.sound.Complete() || links.sound.completed > 100000) return {};
      engine->txPump.PumpTxAudio();
    }
    return links.sound.Stream();
  }
  test::FakeEngineWindow window;
  test::FakeRxSink sink;
  std::unique_ptr<TEngine> engine = std::make_unique<TEngine>(window, sink);
  test::FakeTxLinks links{engine->txBuffers};
};

// A PSK mode switch sets both sides to the mode's rate: the receiver's timing and BPSK or QPSK,
// its oscillator on the lower receive tone, and the shaper's symbol length at the output rate.
TEST(PskTxSource, ModeSwitchSetsReceiverAndShaperRates) {
  test::FakeEngineWindow window;
  test::FakeRxSink sink;
  TEngine engine(window, sink);
  engine.rates.OutSamplingFreq = 48000.0;
  engine.Start();
  struct Case {
    int32_t mode;
    int code;
    double baud;
    bool qpsk;
  };
  const Case cases[] = {{kModeBpsk31, 31, 31.25, false},
                        {kModeQpsk31, 31, 31.25, true},
                        {kModeBpsk63, 63, 62.5, false},
                        {kModeBpsk125, 125, 125.0, false},
                        {kModeQpsk63, 63, 62.5, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    engine.modeSwitch.SetMode(kModeRtty);
    engine.modeSwitch.SetMode(c.mode);
    EXPECT_EQ(engine.psk.RateCode(), c.code);
    EXPECT_EQ(engine.psk.Quadrature, c.qpsk);
    EXPECT_EQ(engine.psk.Step(), engine.params.RxTone[0]);
    EXPECT_EQ(engine.pskShaper.PskTxBaud, c.baud);
    EXPECT_DOUBLE_EQ(engine.pskShaper.PskCarrierLen, 48000.0 / c.baud);
    EXPECT_EQ(window.panels[9], " ");  // DCD blank after the new rate
  }
  // Another family's row is refused and changes nothing.
  EXPECT_FALSE(engine.pskTx.SelectMode(ModeRowOf(kModeRtty)));
  EXPECT_EQ(engine.pskShaper.PskTxBaud, 62.5);
  EXPECT_FALSE(engine.psk.SelectMode(ModeRowOf(kModeMfsk16)));
  EXPECT_EQ(engine.psk.RateCode(), 63);
}

// The text, then the CW identification as the macro queues it while transmitting: the carrier
// stopped, the Morse characters, the end.
void QueueTextAndCw(TEngine& engine, const std::string& text, const std::string& cw) {
  test::StartTransmission(engine, text, false);
  engine.TxQueue.PostTxSymbol(kTxLtrs);
  engine.TxQueue.PostTxSymbol(kTxStopCarrier);
  for (char c : cw) SendMorseChar(engine.TxQueue, static_cast<uint8_t>(c));
  engine.TxQueue.PostTxSymbol(kTxEnd);
}

// BPSK31 and QPSK31 with a CW identification, synthesised for cards at 22050 and 48000
// samples/s: every symbol is shaped over its whole length (705.6 and 1536 samples; the shaping
// arrays of 512 entries would be overrun there, AddressSanitizer watches), and a receiving
// engine whose card runs at the same rate reads the text back through its input converter.
TEST(PskTxSource, HighOutputRatesWithCwIdentification) {
  const std::string text = "the quick brown fox 0123456789";
  for (double rate : {22050.0, 48000.0}) {
    for (int32_t mode : {kModeBpsk31, kModeQpsk31}) {
      SCOPED_TRACE(testing::Message() << "mode " << mode << " at " << rate);
      Transmitter tx;
      tx.engine->rates.OutSamplingFreq = rate;
      SetTxModeForHarness(*tx.engine, mode, 45, 1500, 170, false);
      QueueTextAndCw(*tx.engine, text, "DE VESTREL");
      const std::vector<int16_t> sent = tx.PlayToEnd();
      ASSERT_FALSE(sent.empty());

      test::FakeEngineWindow window;
      test::FakeRxSink sink;
      TEngine rx(window, sink);
      rx.Start();
      ASSERT_TRUE(rx.rxBlocks.InputResampler.Setup(rate, 11025.0));
      rx.params.RxTone[0] = rx.params.RxTone[1] = HzToUnits(1500.0);
      rx.modeSwitch.SetMode(mode);
      rx.rxBlocks.PushCaptured(std::span<const int16_t>(sent));
      rx.rxBlocks.PushCaptured(std::span<const int16_t>(std::vector<int16_t>(static_cast<size_t>(rate), 0)));
      EXPECT_NE(sink.text.find(text), std::string::npos) << sink.text;
    }
  }
}

// The CW elements through the pump, as half-symbol stretches at 31.25 Bd: a dit is one symbol
// of full carrier between two half-symbol ramps, a dah four, each followed by a symbol and a
// half of silence; the gap after a character is four silent symbols, a space two gaps, eight.
TEST(PskTxSource, CwElementsAreKeyedCarrierOfTheSymbolLength) {
  Transmitter tx;
  TEngine& e = *tx.engine;
  SetTxModeForHarness(e, kModeBpsk31, 45, 1000, 170, false);
  e.tx.TxState = 3;          // running, past the preamble
  e.params.TxLineState = 2;  // the carrier stopped for CW
  for (char c : std::string("ET ")) SendMorseChar(e.TxQueue, static_cast<uint8_t>(c));
  e.TxQueue.PostTxSymbol(kTxEnd);
  const std::vector<int16_t> s = tx.PlayToEnd();
  ASSERT_FALSE(s.empty());
  // Each half symbol (176.4 samples) by its rms: 0 silent, R a ramp, F full carrier (0.7 in I
  // and Q: 31678 peak, 22400 rms).
  std::string halves;
  const double half = 11025.0 / 31.25 / 2;
  const int count = 8 + 8 + 14 + 8 + 16;
  for (int k = 0; k < count; ++k) {
    const size_t from = static_cast<size_t>(std::ceil(k * half)) + 4;
    const size_t to = static_cast<size_t>((k + 1) * half) - 4;
    double sum = 0.0;
    for (size_t i = from; i < to; ++i) sum += static_cast<double>(s[i]) * s[i];
    const double rms = std::sqrt(sum / static_cast<double>(to - from));
    halves.push_back(rms < 500 ? '0' : rms > 21000 ? 'F' : rms > 8000 ? 'R' : '?');
  }
  EXPECT_EQ(halves,
            std::string("0RFFR000") + "00000000" + "0RFFFFFFFFR000" + "00000000" + "0000000000000000");
}

}  // namespace
}  // namespace vestrel
