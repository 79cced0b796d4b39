// ctest-labels: unit tsan
#include "engine/tx_audio_pump.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "bench/harness/tx_setup.h"
#include "engine/codes/baudot.h"
#include "engine/engine.h"
#include "engine/frequency_unit.h"
#include "engine/mode_number.h"
#include "engine/modes/rtty/rtty_decoder.h"
#include "support/fake_engine_window.h"
#include "support/fake_rx_sink.h"
#include "support/fake_tx_links.h"
#include "support/tone_reference.h"

namespace vestrel {
namespace {

using test::FirstPhaseBreak;

// An engine of its own with every fake connected, for a test that runs a table of cases.
struct FreshEngine {
  FreshEngine() { engine->txPump.Connect(links.Links()); }
  test::FakeEngineWindow window;
  test::FakeRxSink sink;
  std::unique_ptr<TEngine> engine = std::make_unique<TEngine>(window, sink);
  test::FakeTxLinks links{engine->txBuffers};
};

class TxAudioPumpTest : public ::testing::Test {
 protected:
  TxAudioPumpTest() {
    engine->txPump.Connect(links.Links());
    links.sound.OpenSoundOutput();
    links.ptt.SetPtt(true);
    engine->tx.TxActive = true;
  }

  // What the transmit switch queues: two LTRS, the text, LTRS and the end code.
  void Start(std::string_view text, bool end = true) {
    test::StartTransmission(*engine, text, end);
  }

  void Pump() { engine->txPump.PumpTxAudio(); }

  // Plays buffer after buffer until the transmission has ended; false if it never does.
  bool PlayToEnd(size_t maxBuffers = 100000) {
    Pump();
    while (engine->tx.TxState != 0) {
      if (!links.sound.Complete() || links.sound.completed > maxBuffers) return false;
      Pump();
    }
    return true;
  }

  std::string Echo() {
    std::string s;
    int32_t c;
    while (engine->SentEcho.Take(c)) s.push_back(static_cast<char>(c));
    return s;
  }

  test::FakeEngineWindow window;
  test::FakeRxSink sink;
  std::unique_ptr<TEngine> engine = std::make_unique<TEngine>(window, sink);
  test::FakeTxLinks links{engine->txBuffers};
};

TEST_F(TxAudioPumpTest, RttySendsTheShiftFirstButEchoesOnlyTheCharacters) {
  engine->tx.UseTxD = true;
  Start("ab1");
  ASSERT_TRUE(PlayToEnd());
  // LTRS LTRS, a b, FIGS before the figure 1, the closing LTRS; then the tail.
  const std::vector<uint8_t> codes = {31, 31, 3, 25, 27, 23, 31};
  EXPECT_EQ(links.keying.codes, codes);
  EXPECT_EQ(Echo(), "ab1");
}

// The shifts the pump puts before each character, read back by our Baudot decoder with the
// same code set: every register change (letters, figures, the third register of the extended
// sets) must arrive before the character that needs it, or the text comes back wrong.
TEST_F(TxAudioPumpTest, RegisterShiftsReadBackAsTheTextInEveryCodeSet) {
  struct Case {
    int32_t codeSet;
    bool extended;
    std::string text;
  };
  const std::vector<Case> cases = {
      {0, false, "AB1 2-? CQ 73\r\nDE X/Y"},
      {0, true, "Hello World_<> {a}|b\r\nUP low 12"},
      {1, false, "\xCF\xD0\xC8\xC2\xC5\xD2 \xDE\xDD 1"},      // ПРИВЕТ ЮЭ 1
      {1, true, "\xCF\xF0\xE8\xE2\xE5\xF2 \xCC\xE8\xF0 73"},  // Привет Мир 73
      {2, false, "HEJ \xC5\xC4\xD6 1"},                       // HEJ ÅÄÖ 1
      {3, false, "CQ \xCC\xC8\xD0 DE \xC4\xC0 \xDE 5"},       // CQ МИР DE ДА Ю 5
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    FreshEngine f;
    TEngine* e = f.engine.get();
    test::FakeTxLinks& l = f.links;
    l.sound.OpenSoundOutput();
    e->params.BaudotCodeSet = c.codeSet;
    e->tx.ExtendedBaudot = c.extended;
    e->tx.UseTxD = true;
    e->tx.TxState = 1;
    for (TxSymbol sym : {kTxLtrs, kTxLtrs}) e->TxQueue.PostTxSymbol(sym);
    for (unsigned char ch : c.text) e->TxQueue.PostTxSymbol(ch);
    for (TxSymbol sym : {kTxLtrs, kTxEnd}) e->TxQueue.PostTxSymbol(sym);
    e->txPump.PumpTxAudio();
    while (e->tx.TxState != 0 && l.sound.Complete()) e->txPump.PumpTxAudio();
    ASSERT_EQ(e->tx.TxState, 0);

    test::FakeRxSink rx;
    TBaudotDecoder decoder(e->params, rx);
    decoder.ExtendedBaudot = c.extended ? 1 : 0;
    for (uint8_t code : l.keying.codes) decoder.PutBaudotChar(code);
    EXPECT_EQ(rx.text, c.text);
  }
}

TEST_F(TxAudioPumpTest, NoDittleIdlesOnSteadyMarkAndShiftsAfresh) {
  engine->tx.UseTxD = true;
  engine->tx.NoDittle = true;
  Start("", false);
  Pump();
  for (int i = 0; i < 4; ++i) {
    links.sound.Complete();
    Pump();
  }
  const size_t idleEnd = links.sound.Stream().size();
  engine->TxQueue.PostTxSymbol('A');
  engine->TxQueue.PostTxSymbol(kTxEnd);
  ASSERT_TRUE(PlayToEnd());
  // The two opening LTRS, no code while idling, then a fresh LTRS: the register is unknown
  // after steady mark.
  EXPECT_EQ(links.keying.codes, (std::vector<uint8_t>{31, 31, 31, 3}));
  // After the preamble and the two LTRS the idle is one unbroken mark tone.
  TToneSynth& synth = engine->synth;
  std::vector<int16_t> piece(synth.MaxSymbolSamples());
  uint32_t phase = 0;
  size_t lead = synth.WriteTxPreamble(piece.data(), phase);
  for (int k = 0; k < 2; ++k) lead += synth.SynthFskChar(31, piece.data(), phase);
  const std::vector<int16_t> stream = links.sound.Stream();
  ASSERT_GT(idleEnd, lead + 4 * 1820);
  const std::span<const int16_t> idle(stream.data() + lead, idleEnd - lead);
  const std::array<int32_t, 1> mark = {engine->params.TxTone[1]};
  EXPECT_EQ(FirstPhaseBreak(engine->sine, idle, phase, mark), idle.size());
}

TEST_F(TxAudioPumpTest, PttDropsOnlyWhenTheBufferWithTheEndComesBack) {
  Start("CQ CQ DE TEST TEST K");
  Pump();
  size_t endBuffer = SIZE_MAX;
  while (endBuffer == SIZE_MAX || links.sound.completed <= endBuffer) {
    for (size_t i = 0; i < links.sound.written.size(); ++i) {
      if (links.sound.written[i].endMark == kTxEnd) endBuffer = i;
    }
    EXPECT_TRUE(links.ptt.ptt) << "after " << links.sound.completed << " buffers";
    ASSERT_TRUE(links.sound.Complete());
    Pump();
  }
  ASSERT_EQ(endBuffer + 1, links.sound.written.size()) << "the end buffer is the last written";
  EXPECT_FALSE(links.ptt.ptt);
  EXPECT_EQ(engine->tx.TxState, 0);
  EXPECT_EQ(engine->tx.TxEnding, 0);
  EXPECT_FALSE(engine->tx.TxActive);
  EXPECT_EQ(engine->txPump.Phase, 0u);
  EXPECT_FALSE(links.text.txButton);
  EXPECT_EQ(links.logger.commands, std::vector<int>{110});
  EXPECT_FALSE(links.sound.outputOpen);  // half duplex: back to receive
  EXPECT_TRUE(links.sound.inputOpen);
  EXPECT_TRUE(window.enabled["Mode"]);
  EXPECT_EQ(Echo(), "CQ CQ DE TEST TEST K");
}

TEST_F(TxAudioPumpTest, FullDuplexKeepsThePlaybackDeviceOpen) {
  engine->tx.UseDuplex = true;
  Start("E");
  ASSERT_TRUE(PlayToEnd());
  EXPECT_TRUE(links.sound.outputOpen);
  EXPECT_FALSE(links.ptt.ptt);
}

TEST_F(TxAudioPumpTest, NeverMoreThanEightBuffersOutstandingAndFourWhenIdle) {
  Start(std::string(3000, 'R'));
  for (int i = 0; i < 5; ++i) Pump();
  EXPECT_EQ(links.sound.written.size(), 8u);
  for (int round = 0; round < 50; ++round) {
    for (int k = 0; k < 1 + round % 3; ++k) links.sound.Complete();
    Pump();
    Pump();
    EXPECT_EQ(engine->txBuffers.InFlight.load() + engine->txBuffers.Completed.load(), 8u);
  }
  EXPECT_EQ(links.sound.maxOutstanding, 8u);
  for (const auto& w : links.sound.written) {
    EXPECT_GE(w.samples.size(), TTxAudioPump::kBufferTarget);
    // A buffer is complete once it holds 2000; one more symbol (the 4112-sample preamble at
    // most) can take it past that.
    EXPECT_LT(w.samples.size(), TTxAudioPump::kBufferTarget + 4112);
  }
}

TEST_F(TxAudioPumpTest, WithNothingQueuedOnlyFourBuffersAreKeptInFlight) {
  Start("", false);
  for (int i = 0; i < 5; ++i) Pump();
  EXPECT_EQ(engine->txBuffers.InFlight.load(), 4u);
  links.sound.Complete();
  Pump();
  EXPECT_EQ(engine->txBuffers.InFlight.load(), 4u);
  // Fresh text goes out at once, filling the ring again.
  engine->TxQueue.PostTxSymbol('X');
  Pump();
  EXPECT_GE(engine->txBuffers.InFlight.load(), 5u);
}

TEST_F(TxAudioPumpTest, RxAtFreeBufferEndsOnTheFourthIdleSymbol) {
  engine->tx.UseTxD = true;
  engine->tx.RxAtFreeBuffer = true;
  Start("", false);
  ASSERT_TRUE(PlayToEnd());
  // The two queued LTRS, three idle LTRS, then the end in place of the fourth idle.
  EXPECT_EQ(links.keying.codes, std::vector<uint8_t>(5, 31));
  EXPECT_EQ(links.sound.written.back().endMark, kTxEnd);
}

TEST_F(TxAudioPumpTest, RxAtFreeBufferWaitsWhileTypedTextIsUnsent) {
  engine->tx.RxAtFreeBuffer = true;
  links.text.allSent = false;
  Start("", false);
  for (int i = 0; i < 20; ++i) {
    links.sound.Complete();
    Pump();
  }
  EXPECT_NE(engine->tx.TxState, 0);
  EXPECT_EQ(engine->tx.TxEnding, 0);
}

TEST_F(TxAudioPumpTest, EndWhileTheCarrierIsStoppedIsSilenceAndResetsTheLine) {
  engine->params.TxLineState = 2;
  Start("A");
  ASSERT_TRUE(PlayToEnd());
  EXPECT_EQ(engine->params.TxLineState, 0);
  const std::vector<int16_t> stream = links.sound.Stream();
  // Preamble and every shift are silences; the A itself is still keyed; the end is a silence.
  ASSERT_GE(stream.size(), 2002u);
  for (size_t i = stream.size() - 2002; i < stream.size(); ++i) ASSERT_EQ(stream[i], 0) << i;
  for (size_t i = 0; i < 2002 * 3; ++i) ASSERT_EQ(stream[i], 0) << i;
}

// What each control code sounds like at the head of a buffer, and what it leaves of the line
// state: with the carrier stopped for CW the shift codes are silences, characters still key.
TEST(TxAudioPumpCodes, EachControlCodeSoundsAsItsSynthesiser) {
  enum class Sound { kZeros, kTail, kSteadyMark, kCharE };
  struct Case {
    TxSymbol code;
    int32_t lineBefore;
    Sound sound;
    int32_t lineAfter;
  };
  const std::vector<Case> cases = {
      {kTxSilence, 0, Sound::kZeros, 0},
      {kTxLineReset, 2, Sound::kZeros, 0},
      {kTxStopCarrier, 0, Sound::kTail, 2},
      {kTxStopCarrier, 1, Sound::kTail, 2},
      {kTxStopCarrier, 2, Sound::kZeros, 2},
      {kTxLtrs, 2, Sound::kZeros, 2},
      {kTxFigs, 2, Sound::kZeros, 2},
      {kTxThird, 2, Sound::kZeros, 2},
      {kTxSteadyMark, 0, Sound::kSteadyMark, 0},
      {TxSymbol{'E'}, 2, Sound::kCharE, 2},
      {TxSymbol{'E'}, 0, Sound::kCharE, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "code " << c.code << " line " << c.lineBefore);
    FreshEngine f;
    TEngine& e = *f.engine;
    f.links.sound.OpenSoundOutput();
    e.tx.TxState = 3;  // running, past the preamble
    e.txPump.Shift = TTxAudioPump::kShiftLetters;
    e.params.TxLineState = c.lineBefore;
    e.TxQueue.PostTxSymbol(c.code);
    e.txPump.PumpTxAudio();
    ASSERT_FALSE(f.links.sound.written.empty());
    EXPECT_EQ(e.params.TxLineState, c.lineAfter);

    std::vector<int16_t> expected(e.synth.MaxSymbolSamples());
    uint32_t phase = 0;
    uint32_t n = 0;
    switch (c.sound) {
      case Sound::kZeros:
        n = e.synth.WriteTxSilence(expected.data(), phase);
        break;
      case Sound::kTail:
        n = e.synth.WriteTxTail(expected.data(), phase);
        break;
      case Sound::kSteadyMark:
        n = e.synth.SynthSteadyMark(expected.data(), phase);
        break;
      case Sound::kCharE:
        n = e.synth.SynthFskChar(1, expected.data(), phase);
        break;
    }
    expected.resize(n);
    const std::vector<int16_t>& got = f.links.sound.written[0].samples;
    ASSERT_GE(got.size(), n);
    EXPECT_EQ(std::vector<int16_t>(got.begin(), got.begin() + n), expected);
  }
}

TEST_F(TxAudioPumpTest, PausePointSwitchesPauseOnAndSendsLtrs) {
  engine->tx.UseTxD = true;
  Start("", false);
  engine->TxQueue.PostTxSymbol(kTxPausePoint);
  Pump();
  EXPECT_EQ(links.text.pauses, std::vector<bool>{true});
  // Only LTRS codes: the queued two, the one in place of the pause point, then idle.
  ASSERT_GE(links.keying.codes.size(), 3u);
  EXPECT_EQ(links.keying.codes, std::vector<uint8_t>(links.keying.codes.size(), 31));
}

TEST_F(TxAudioPumpTest, PhaseIsContinuousAcrossCharactersAndBuffers) {
  Start("RYRYRYRYRY THE QUICK BROWN FOX 0123456789");
  ASSERT_TRUE(PlayToEnd());
  const std::vector<int16_t> stream = links.sound.Stream();
  ASSERT_GT(links.sound.written.size(), 3u);
  // Between the 3600 + 512 samples of preamble and the 2012 of tail only mark and space sound.
  const TModemParams& p = engine->params;
  const uint32_t start = (512u * static_cast<uint32_t>(p.TxTone[1])) & SineTable::kMask;
  const std::array<int32_t, 2> steps = {p.TxTone[0], p.TxTone[1]};
  const std::span<const int16_t> body(stream.data() + 4112, stream.size() - 4112 - 2012);
  EXPECT_EQ(FirstPhaseBreak(engine->sine, body, start, steps), body.size());
}

TEST(SpreadToOutputChannel, PlacesTheSignalInTheChosenChannel) {
  struct Case {
    int channel;
    int count;
    int result;
    std::vector<int16_t> after;
  };
  const std::vector<Case> cases = {
      {0, 3, 3, {1, 2, 3, 0, 0, 0}},  {1, 3, 6, {1, 0, 2, 0, 3, 0}},  {2, 3, 6, {0, 1, 0, 2, 0, 3}},
      {3, 3, 0, {1, 2, 3, 0, 0, 0}},  {-1, 3, 0, {1, 2, 3, 0, 0, 0}}, {1, 0, 0, {1, 2, 3, 0, 0, 0}},
      {2, -4, 0, {1, 2, 3, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    std::vector<int16_t> s = {1, 2, 3, 0, 0, 0};
    EXPECT_EQ(SpreadToOutputChannel(s.data(), c.count, c.channel), c.result) << c.channel;
    EXPECT_EQ(s, c.after) << c.channel;
  }
}

TEST_F(TxAudioPumpTest, OutputChannelOneCarriesTheSignalOnTheLeft) {
  Start("VVV");
  ASSERT_TRUE(PlayToEnd());
  const std::vector<int16_t> mono = links.sound.Stream();

  test::FakeEngineWindow window2;
  auto stereo = std::make_unique<TEngine>(window2, sink);
  test::FakeTxLinks links2{stereo->txBuffers};
  stereo->txPump.Connect(links2.Links());
  links2.sound.OpenSoundOutput();
  stereo->tx.OutputCardChannel = 1;
  stereo->tx.TxState = 1;
  for (TxSymbol s : {kTxLtrs, kTxLtrs, TxSymbol{'V'}, TxSymbol{'V'}, TxSymbol{'V'}, kTxLtrs, kTxEnd}) {
    stereo->TxQueue.PostTxSymbol(s);
  }
  stereo->txPump.PumpTxAudio();
  while (stereo->tx.TxState != 0 && links2.sound.Complete()) stereo->txPump.PumpTxAudio();
  ASSERT_EQ(links2.sound.written.size(), links.sound.written.size());
  for (size_t b = 0; b < links.sound.written.size(); ++b) {
    const auto& l = links.sound.written[b].samples;
    const auto& s = links2.sound.written[b].samples;
    ASSERT_EQ(s.size(), 2 * l.size());
    for (size_t i = 0; i < l.size(); ++i) {
      ASSERT_EQ(s[2 * i], l[i]);
      ASSERT_EQ(s[2 * i + 1], 0);
    }
  }
  EXPECT_EQ(mono.size() * 2, links2.sound.Stream().size());
}

TEST_F(TxAudioPumpTest, ASymbolLongerThanABufferIsCarriedIntoTheNext) {
  // ASCII-8 at 4 Bd from a 192000 samples/s card: 48000 samples a bit, 480000 a character,
  // far more than the 65536 mono samples a stereo buffer holds.
  engine->rates.OutSamplingFreq = 192000;
  SetTxModeForHarness(*engine, kModeAscii8, 4, 1500, 170, false);
  ASSERT_EQ(engine->params.TxSamplesPerBitMilli, 48000000);
  engine->tx.OutputCardChannel = 2;
  Start("A");
  ASSERT_TRUE(PlayToEnd());
  std::vector<int16_t> right;
  for (const auto& w : links.sound.written) {
    ASSERT_LE(w.samples.size(), TxAudioBuffer::kCapacity);
    for (size_t i = 1; i < w.samples.size(); i += 2) right.push_back(w.samples[i]);
  }
  for (size_t i = 0; i + 1 < links.sound.written.size(); ++i) EXPECT_EQ(links.sound.written[i].endMark, 0);
  EXPECT_EQ(links.sound.written.back().endMark, kTxEnd);

  // The same symbols synthesised in one piece.
  TToneSynth& synth = engine->synth;
  std::vector<int16_t> expected, piece(synth.MaxSymbolSamples());
  uint32_t phase = 0;
  auto add = [&](uint32_t n) { expected.insert(expected.end(), piece.begin(), piece.begin() + n); };
  add(synth.WriteTxPreamble(piece.data(), phase));
  for (int code : {0, 0, int{'A'}, 0}) add(synth.SynthFskChar(code, piece.data(), phase));
  add(synth.WriteTxTail(piece.data(), phase));
  EXPECT_EQ(right, expected);
}

TEST_F(TxAudioPumpTest, ASymbolWithoutSamplesBecomesSilence) {
  // BPSK31 without its shaper writes no samples for a character: silence keeps the pump going.
  engine->params.Mode = kModeBpsk31;
  Start("ab");
  ASSERT_TRUE(PlayToEnd(1000));
  EXPECT_EQ(Echo(), "ab");
}

TEST_F(TxAudioPumpTest, AFailedDeviceWriteIsReportedOnceAndAsksForShutdown) {
  // The transmitter is unkeyed before the message stands: nothing will play any more.
  struct PttAtError : test::FakeFatal {
    explicit PttAtError(const test::FakePtt& p) : ptt(p) {}
    void ShowError(std::string_view text, std::string_view caption) override {
      keyedAtError = ptt.ptt;
      FakeFatal::ShowError(text, caption);
    }
    const test::FakePtt& ptt;
    bool keyedAtError = true;
  } fatal{links.ptt};
  TxPumpLinks l = links.Links();
  l.fatal = &fatal;
  engine->txPump.Connect(l);
  links.sound.writeError = 11;
  Start("TEST");
  Pump();
  EXPECT_FALSE(fatal.keyedAtError);
  EXPECT_FALSE(links.ptt.ptt);
  EXPECT_FALSE(engine->tx.TxActive);
  EXPECT_EQ(engine->tx.TxState, 0);
  ASSERT_EQ(fatal.errors.size(), 1u);
  EXPECT_EQ(fatal.errors[0].second, "Error");
  EXPECT_EQ(fatal.errors[0].first.rfind("  Error in Out Write! (11) ", 0), 0u);
  EXPECT_EQ(fatal.terminations, 1);
  EXPECT_FALSE(links.sound.outputOpen);
  EXPECT_EQ(engine->txBuffers.InFlight.load(), 0u);
  Pump();
  EXPECT_EQ(fatal.errors.size(), 1u);
}

TEST_F(TxAudioPumpTest, KeyedWithoutAPlaybackDeviceEndsAtOnce) {
  // The playback device failed to open at the switch to transmit, or was closed under the
  // transmission: nothing can ever come back, so the pump returns to receive by itself.
  struct Case {
    const char* what;
    bool writeFirst;
  };
  for (const Case c : {Case{"never opened", false}, Case{"closed while playing", true}}) {
    SCOPED_TRACE(c.what);
    FreshEngine f;
    TEngine* e = f.engine.get();
    test::FakeTxLinks& l = f.links;
    l.ptt.SetPtt(true);
    l.sound.inputOpen = false;  // half duplex: the switch closed the capture device
    e->tx.TxActive = true;
    e->tx.TxState = 1;
    for (TxSymbol sym : {kTxLtrs, kTxLtrs, TxSymbol{'E'}}) e->TxQueue.PostTxSymbol(sym);
    if (c.writeFirst) {
      l.sound.OpenSoundOutput();
      e->txPump.PumpTxAudio();
      ASSERT_GT(l.sound.written.size(), 0u);
      l.sound.CloseSoundOutput();
    }
    e->txPump.PumpTxAudio();
    EXPECT_FALSE(l.ptt.ptt);
    EXPECT_FALSE(e->tx.TxActive);
    EXPECT_EQ(e->tx.TxState, 0);
    EXPECT_FALSE(l.text.txButton);
    EXPECT_EQ(l.logger.commands, std::vector<int>{110});
    EXPECT_TRUE(l.sound.inputOpen);
    EXPECT_TRUE(f.window.enabled["Mode"]);
    // Receiving without a playback device is the normal state: nothing more happens.
    e->txPump.PumpTxAudio();
    EXPECT_EQ(l.logger.commands, std::vector<int>{110});
  }
}

TEST_F(TxAudioPumpTest, TheEndMarkUnkeysEvenWhenTheModeHasNoPumpOfItsOwn) {
  Start("E");
  for (int i = 0; i < 8 && engine->tx.TxEnding == 0; ++i) {
    links.sound.Complete();
    Pump();
  }
  ASSERT_EQ(links.sound.written.back().endMark, kTxEnd);
  // Switched away while the end still plays, to a mode whose pump is not registered.
  engine->params.Mode = kModeMfsk16;
  while (links.sound.Complete()) Pump();
  EXPECT_FALSE(links.ptt.ptt);
  EXPECT_EQ(engine->tx.TxState, 0);
}

TEST_F(TxAudioPumpTest, CwRequestedFromReceiveKeepsTheCarrierOff) {
  // The CW macro from receive: line state "requested", the stop before CW, then the end.
  engine->params.TxLineState = 1;
  engine->tx.TxState = 1;
  engine->TxQueue.PostTxSymbol(kTxStopCarrier);
  engine->TxQueue.PostTxSymbol(kTxLtrs);
  engine->TxQueue.PostTxSymbol(kTxEnd);
  ASSERT_TRUE(PlayToEnd());
  // No preamble and no tail: the carrier never came on, so stopping it is silence too.
  const std::vector<int16_t> stream = links.sound.Stream();
  ASSERT_FALSE(stream.empty());
  for (size_t i = 0; i < stream.size(); ++i) ASSERT_EQ(stream[i], 0) << i;
  EXPECT_EQ(engine->params.TxLineState, 0);
}

TEST_F(TxAudioPumpTest, PlaybackCompletingOnItsOwnThreadLosesNothing) {
  // The device thread only moves the atomic counters, as the playback callback does, and in
  // its order: Completed up before InFlight down.
  Start("THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 1234567890");
  std::atomic<bool> stop{false};
  TxAudioBuffers& b = engine->txBuffers;
  std::thread device([&] {
    while (!stop.load()) {
      if (b.InFlight.load() > 0) {
        b.Completed.fetch_add(1);
        b.InFlight.fetch_sub(1);
      } else {
        std::this_thread::yield();
      }
    }
  });
  while (engine->tx.TxState != 0) {
    Pump();
    std::this_thread::yield();
  }
  stop = true;
  device.join();
  EXPECT_EQ(Echo(), "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 1234567890");
  EXPECT_FALSE(links.ptt.ptt);
}

struct RoundTripCase {
  int32_t mode;
  double baud;
  int shiftHz;
  double ebN0dB;        // 0: clean
  double offsetHz = 0;  // transmit centre above the receiver's
  double clockPpm = 0;  // the transmitter's sample clock against the receiver's
};

// Our own transmission through our own start-stop receiver, clean, in white noise, and with
// the transmitter off tune and its clock off by 1000 ppm.
// Noise: a real sample of variance s^2 has N0 = 2 s^2, and a bit of Ns samples at amplitude A
// has Eb = A^2 Ns / 2, so s = A sqrt(Ns / (4 Eb/N0)). At 16 dB non-coherent FSK has a BER of
// 0.5 exp(-Eb/2N0) = 0.5 exp(-19.9) = 1e-9; a receiver 5 dB from theory still makes 2e-4,
// under 0.1 errors in the 500 bits sent, so the text must come back whole.
class RoundTrip : public TxAudioPumpTest, public ::testing::WithParamInterface<RoundTripCase> {};

TEST_P(RoundTrip, OurReceiverReadsBackTheSentText) {
  const RoundTripCase c = GetParam();
  // Synthesising for a card of rate 11025 (1 + e) and playing at 11025 lowers every tone and
  // stretches every bit by that share: a transmitter clock that runs slow by e.
  engine->rates.OutSamplingFreq = 11025.0 * (1.0 + c.clockPpm * 1e-6);
  SetTxModeForHarness(*engine, c.mode, c.baud, 1700 + c.offsetHz, c.shiftHz, false);
  const std::string text = c.mode == kModeRtty ? "CQ CQ DE TEST 599 73 RYRY ?/-.,() QRZ\r\n"
                                               : "Hello, World! 0123456789 <>{}[]~ the quick fox\r\n";
  Start(text);
  ASSERT_TRUE(PlayToEnd());
  const std::vector<int16_t> sent = links.sound.Stream();
  std::vector<float> x(sent.begin(), sent.end());
  if (c.ebN0dB > 0) {
    const double ns = 11025.0 / (c.baud == 45 ? 45.45 : c.baud);
    const double sigma = 32000.0 * std::sqrt(ns / (4.0 * std::pow(10.0, c.ebN0dB / 10.0)));
    std::mt19937 rng(1234);
    std::normal_distribution<float> noise(0.0f, static_cast<float>(sigma));
    for (float& v : x) v += noise(rng);
  }

  TModemParams rxParams = engine->params;
  test::FakeRxSink rx;
  TBaudotDecoder baudot{rxParams, rx};
  TRttyDecoder decoder{engine->sine, rxParams, window, baudot};
  decoder.Start();
  ASSERT_TRUE(decoder.SetBaud(c.baud, 0));
  ASSERT_TRUE(decoder.SetDataBits(c.mode == kModeRtty ? 5 : c.mode == kModeAscii7 ? 7 : 8));
  decoder.SetTones(HzToUnits(1700.0 - c.shiftHz / 2.0), HzToUnits(1700.0 + c.shiftHz / 2.0));
  // What the receiver prints before the text's first start bit belongs to the silence, the
  // carrier switching on and the two opening idle characters (NUL in ASCII): dropped.
  const int elements = c.mode == kModeRtty ? 15 : c.mode == kModeAscii7 ? 18 : 20;  // half bits
  const int64_t charSamples = (int64_t{elements} * engine->params.TxSamplesPerBitMilli / 2 + 999) / 1000;
  const size_t lead = std::min(x.size(), static_cast<size_t>(4112 + 2 * charSamples));
  decoder.ProcessBlock(std::span<const float>(x.data(), lead), true);
  rx.text.clear();
  decoder.ProcessBlock(std::span<const float>(x.data() + lead, x.size() - lead), true);
  std::string got;
  for (char ch : rx.text) {
    if (ch != '\0') got.push_back(ch);
  }
  EXPECT_EQ(got, text);
}

INSTANTIATE_TEST_SUITE_P(
    Speeds, RoundTrip,
    ::testing::Values(RoundTripCase{kModeRtty, 45, 170, 0}, RoundTripCase{kModeRtty, 50, 170, 0},
                      RoundTripCase{kModeRtty, 75, 170, 0}, RoundTripCase{kModeAscii7, 110, 425, 0},
                      RoundTripCase{kModeAscii7, 300, 500, 0}, RoundTripCase{kModeAscii7, 1200, 1000, 0},
                      RoundTripCase{kModeAscii8, 110, 425, 0}, RoundTripCase{kModeAscii8, 300, 500, 0},
                      RoundTripCase{kModeAscii8, 1200, 1000, 0}, RoundTripCase{kModeRtty, 45, 170, 16},
                      RoundTripCase{kModeRtty, 50, 170, 16}, RoundTripCase{kModeRtty, 75, 170, 16},
                      RoundTripCase{kModeAscii7, 110, 425, 16}, RoundTripCase{kModeAscii7, 300, 500, 16},
                      RoundTripCase{kModeAscii7, 1200, 1000, 16}, RoundTripCase{kModeAscii8, 110, 425, 16},
                      RoundTripCase{kModeAscii8, 300, 500, 16}, RoundTripCase{kModeAscii8, 1200, 1000, 16},
                      RoundTripCase{kModeRtty, 45, 170, 16, 10, 1000},
                      RoundTripCase{kModeRtty, 75, 170, 16, -10, -1000},
                      RoundTripCase{kModeAscii7, 110, 425, 16, 20, 1000},
                      RoundTripCase{kModeAscii8, 300, 500, 16, -20, 1000},
                      RoundTripCase{kModeAscii8, 1200, 1000, 16, 30, -1000}));

}  // namespace
}  // namespace vestrel
