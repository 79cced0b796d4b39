#include "engine/modes/packet/packet_tx_pump.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include "engine/engine.h"
#include "engine/mode_number.h"
#include "engine/tx_symbol_queue.h"
#include "support/ax25_frames.h"
#include "support/fake_engine_window.h"
#include "support/fake_rx_sink.h"
#include "support/fake_tx_links.h"
#include "support/hdlc_bits.h"
#include "support/packet_engine.h"
#include "support/packet_transmission.h"

namespace vestrel {
namespace {

using test::PacketTransmission;
using test::PacketTxOptions;

// Samples of the first n bits after the ramp-up: the bit accumulator starts at 0 there, so n bits
// take ceil(n S / 1000) samples.
int64_t BitSamples(int64_t bits, int64_t s) {
  return (bits * s + 999) / 1000;
}

// Bits of a frame's items on the air: two flags, and the bytes with their check bytes stuffed.
int64_t FrameBits(const std::vector<uint8_t>& frame) {
  test::HdlcBits b;
  b.Frame(test::WithCheckBytes(frame));
  return static_cast<int64_t>(b.bits.size());
}

struct ProgramCase {
  int baud;
  int txDelay, txTail;
  int blocks, sync, lead, tailSent;
};

// The program of one transmission of one frame. The last rows are the largest program the
// KISS values allow (TXDELAY and TXTAIL of 2550 ms), which the pending list must hold.
const ProgramCase kPrograms[] = {
    {1200, 500, 100, 12, 27, 27, 14},      {300, 500, 100, 16, 6, 6, 4},      {300, 50, 100, 1, 1, 1, 4},
    {1200, 2550, 2550, 64, 142, 142, 382}, {300, 2550, 2550, 66, 35, 35, 96}, {1200, 0, 0, 1, 1, 1, 2},
};

TEST(PacketTxPumpTest, ProgramOfOneTransmission) {
  for (const ProgramCase& c : kPrograms) {
    SCOPED_TRACE(testing::Message() << c.baud << " Bd, TXDELAY " << c.txDelay << ", TXTAIL " << c.txTail);
    PacketTxOptions o;
    o.baud = c.baud;
    o.txDelay = c.txDelay;
    o.txTail = c.txTail;
    PacketTransmission t(o);
    const std::vector<uint8_t> frame = test::BuildUiFrame("N0CALL", "APRS", "Test \xFF\xFF frame");
    t.Queue(frame);
    std::vector<uint32_t> lengths;
    const std::vector<int16_t> samples = t.Transmit(&lengths);

    // Silence blocks first (one is written at once, even when the delay asks for none), then
    // the ramp-up, one symbol per sync byte, lead flag and frame item, the tail flags and the
    // ramp-down.
    const size_t frameItems = test::ItemsOf(frame).size();
    ASSERT_EQ(lengths.size(), c.blocks + 1u + c.sync + c.lead + frameItems + c.tailSent + 1u);
    for (int i = 0; i < c.blocks; ++i) EXPECT_EQ(lengths[i], TPacketTxPump::kSilenceBlock);
    EXPECT_EQ(lengths[c.blocks], TPacketTxPump::kRampLength);
    EXPECT_EQ(lengths.back(), TPacketTxPump::kRampLength);
    EXPECT_LE(*std::max_element(lengths.begin(), lengths.end()), t.pump.MaxSymbolSamples());

    const int64_t bits = 8 * (c.sync + c.lead + c.tailSent) + FrameBits(frame);
    const int64_t expected = int64_t{c.blocks} * TPacketTxPump::kSilenceBlock +
                             2 * TPacketTxPump::kRampLength + BitSamples(bits, t.params.TxSamplesPerBitMilli);
    EXPECT_EQ(static_cast<int64_t>(samples.size()), expected);
    for (int i = 0; i < c.blocks * static_cast<int>(TPacketTxPump::kSilenceBlock); ++i)
      ASSERT_EQ(samples[i], 0) << i;
  }
}

// Non-coherent tone decisions per bit (correlation with both tones over the bit's samples),
// then NRZI: no change of tone is a 1. The ramp-up leaves the line on the upper tone.
std::vector<int> BitsOnTheAir(const std::vector<int16_t>& x, size_t start, int64_t s, double lowerHz,
                              double upperHz, size_t bitCount) {
  std::vector<int> bits;
  bool prevUpper = true;
  for (size_t k = 0; k < bitCount; ++k) {
    const size_t a = start + BitSamples(static_cast<int64_t>(k), s);
    const size_t b = start + BitSamples(static_cast<int64_t>(k + 1), s);
    double energy[2];
    for (int t = 0; t < 2; ++t) {
      const double w = 2.0 * std::numbers::pi * (t ? upperHz : lowerHz) / 11025.0;
      double re = 0.0, im = 0.0;
      for (size_t n = a; n < b && n < x.size(); ++n) {
        re += x[n] * std::cos(w * n);
        im += x[n] * std::sin(w * n);
      }
      energy[t] = re * re + im * im;
    }
    const bool upper = energy[1] > energy[0];
    bits.push_back(upper == prevUpper ? 1 : 0);
    prevUpper = upper;
  }
  return bits;
}

TEST(PacketTxPumpTest, BitsOnTheAirAreStuffedAndNrziCoded) {
  PacketTxOptions o;
  o.baud = 300;  // 1200/2200 Hz: more than three cycles of difference per bit
  PacketTransmission t(o);
  // 0x00 0xFF 0x00: the 0xFF follows a zero bit, so it goes out as 1,1,1,1,1,0,1,1,1.
  std::vector<uint8_t> frame = test::BuildUiFrame("N0CALL", "APRS", std::string("a\x00\xFF\x00z", 5));
  t.Queue(frame);
  const std::vector<int16_t> x = t.Transmit();

  test::HdlcBits want;
  want.Bytes(std::vector<uint8_t>(static_cast<size_t>(t.channel.PacketSyncBytes), 0x00));
  want.Flag(t.channel.PacketLeadFlags + 1);
  want.Bytes(test::WithCheckBytes(frame));
  want.Flag(t.channel.PacketTailFlags + 2);
  const size_t start =
      t.channel.PacketLeadSilenceBlocks * TPacketTxPump::kSilenceBlock + TPacketTxPump::kRampLength;
  const std::vector<int> got =
      BitsOnTheAir(x, start, t.params.TxSamplesPerBitMilli, 1200, 2200, want.bits.size());
  EXPECT_EQ(got, want.bits);

  const std::vector<int> stuffedFf = {0, 0, 1, 1, 1, 1, 1, 0, 1, 1, 1, 0, 0};
  EXPECT_NE(std::search(got.begin(), got.end(), stuffedFf.begin(), stuffedFf.end()), got.end());
}

TEST(PacketTxPumpTest, EchoHoldsEveryDataByteAboveZero) {
  PacketTransmission t(PacketTxOptions{});
  const std::vector<uint8_t> a = test::BuildUiFrame("N0CALL", "APRS", std::string("x\0y", 3));
  const std::vector<uint8_t> b = test::BuildUiFrame("N1CALL-3", "CQ", "second");
  t.Queue(a);
  t.Queue(b);
  std::string text;
  t.Transmit(nullptr, &text);
  std::string want;
  for (const auto& f : {a, b}) {
    for (uint8_t c : test::WithCheckBytes(f))
      if (c > 0) want.push_back(static_cast<char>(c));
  }
  EXPECT_EQ(text, want);
}

TEST(PacketTxPumpTest, EndingStatesAndQueueIdle) {
  PacketTransmission t(PacketTxOptions{});
  EXPECT_FALSE(t.pump.WantsBuffer());
  EXPECT_TRUE(t.pump.QueueIdle());
  t.Queue(test::BuildUiFrame("N0CALL", "APRS", "x"));
  EXPECT_FALSE(t.pump.QueueIdle());
  t.tx.TxState = 1;
  EXPECT_TRUE(t.pump.WantsBuffer());
  std::vector<int16_t> out(t.pump.MaxSymbolSamples());
  std::string text;
  int32_t endMark = 0;
  t.pump.NextSymbol(out.data(), text, endMark);
  EXPECT_EQ(t.tx.TxState, 3);
  int symbols = 1;
  while (t.tx.TxEnding == 0) {
    t.pump.NextSymbol(out.data(), text, endMark);
    ++symbols;
  }
  EXPECT_TRUE(t.pump.QueueIdle());
  EXPECT_TRUE(t.pump.WantsBuffer());
  // The tail: PacketTailFlags more flags, then the ramp-down with the end mark.
  for (int i = 0; i < t.channel.PacketTailFlags; ++i) {
    t.pump.NextSymbol(out.data(), text, endMark);
    EXPECT_EQ(endMark, 0);
    EXPECT_EQ(t.tx.TxEnding, 1);
  }
  EXPECT_EQ(t.pump.NextSymbol(out.data(), text, endMark), TPacketTxPump::kRampLength);
  EXPECT_EQ(endMark, kTxEnd);
  EXPECT_EQ(t.tx.TxEnding, 3);
  EXPECT_FALSE(t.pump.WantsBuffer());
}

TEST(PacketTxPumpTest, PhaseRunsOnAcrossBitsAndSymbols) {
  PacketTransmission t(PacketTxOptions{});
  std::mt19937 rng(3);
  t.Queue(test::RandomAx25Frame(200, rng));
  const std::vector<int16_t> x = t.Transmit();
  // The largest step of a 2200 Hz sine of amplitude 32000 at 11025 samples/s, plus rounding.
  const double maxStep = 32000.0 * 2.0 * std::numbers::pi * 2200.0 / 11025.0 + 2.0;
  for (size_t n = 1; n < x.size(); ++n) ASSERT_LE(std::abs(x[n] - x[n - 1]), maxStep) << n;
}

TEST(PacketTxPumpTest, ReverseSwapsTheTones) {
  PacketTxOptions normal, swapped;
  swapped.lowerHz = normal.upperHz;
  swapped.upperHz = normal.lowerHz;
  PacketTxOptions reversed = normal;
  reversed.reverse = true;
  PacketTransmission a(swapped), b(reversed);
  const std::vector<uint8_t> frame = test::BuildUiFrame("N0CALL", "APRS", "reverse");
  a.Queue(frame);
  b.Queue(frame);
  EXPECT_EQ(a.Transmit(), b.Transmit());
}

TEST(PacketTxPumpTest, NothingQueuedSendsLeadAndTailOnly) {
  PacketTransmission t(PacketTxOptions{});
  std::vector<uint32_t> lengths;
  t.Transmit(&lengths);
  EXPECT_EQ(lengths.size(), 12u + 1 + 27 + 27 + 14 + 1);
}

TEST(PacketTxPumpTest, SymbolsFitAtHighOutputRates) {
  PacketTxOptions o;
  o.baud = 300;
  o.outRate = 192000.0;
  PacketTransmission t(o);
  std::vector<uint8_t> frame(40, 0xFF);  // every byte takes two stuffed zeros at most
  t.Queue(frame);
  std::vector<uint32_t> lengths;
  t.Transmit(&lengths);
  EXPECT_LE(*std::max_element(lengths.begin(), lengths.end()), t.pump.MaxSymbolSamples());
}

class RecordingKissOut : public KissOutput {
 public:
  void WriteKiss(std::span<const uint8_t> kiss) override { frames.emplace_back(kiss.begin(), kiss.end()); }
  std::vector<std::vector<uint8_t>> frames;
};

// A whole transmission through the engine: frames queued, the slot timer keys up, the transmit
// pump's frame fills and plays the buffers until the end mark comes back; another engine hears
// the audio through its receive spine (converter, block processor, squelch rule, receiver).
class PacketThroughTheEngine : public ::testing::TestWithParam<int32_t> {};

TEST_P(PacketThroughTheEngine, FramesOnTheAirAndBack) {
  const int32_t mode = GetParam();
  test::FakeEngineWindow window;
  test::FakeRxSink sink;
  auto tx = std::make_unique<TEngine>(window, sink);
  test::FakeTxLinks links{tx->txBuffers};
  tx->txPump.Connect(links.Links());
  tx->Start();
  test::SetPacketMode(*tx, mode);
  std::mt19937 rng(mode);
  const std::vector<std::vector<uint8_t>> frames = {
      test::BuildUiFrame("N0CALL-3", "APRS", "first", {"WIDE1-1"}), test::RandomAx25Frame(300, rng),
      test::BuildUiFrame("N0CALL", "CQ", "last")};
  for (const auto& f : frames) ASSERT_EQ(tx->bufFifo.PutFrame(test::ItemsOf(f)), 0);
  tx->packetChannel.PacketPersistence = 255;
  ASSERT_TRUE(tx->packetAccess.Ax25SlotTimerTimer());
  tx->txPump.PumpTxAudio();
  size_t played = 0;
  while (tx->tx.TxState != 0) {
    ASSERT_TRUE(links.sound.Complete());
    ASSERT_LT(++played, 10000u);
    tx->txPump.PumpTxAudio();
  }
  EXPECT_FALSE(links.ptt.ptt);
  EXPECT_FALSE(links.text.txButton);
  EXPECT_TRUE(window.enabled["Mode"]);
  EXPECT_LE(links.sound.maxOutstanding, 8u);
  ASSERT_FALSE(links.sound.written.empty());
  EXPECT_NE(links.sound.written.back().endMark, 0);
  for (size_t i = 0; i + 1 < links.sound.written.size(); ++i)
    EXPECT_GE(links.sound.written[i].samples.size(), TTxAudioPump::kBufferTarget) << i;
  std::string echo, want;
  for (int32_t c; tx->SentEcho.Take(c);) echo.push_back(static_cast<char>(c));
  for (const auto& f : frames)
    for (uint8_t b : test::WithCheckBytes(f))
      if (b > 0) want.push_back(static_cast<char>(b));
  EXPECT_EQ(echo, want);

  test::FakeRxSink heard;
  auto rx = std::make_unique<TEngine>(window, heard);
  RecordingKissOut kiss;
  rx->packetOutput.SetExchangeOutputs(&kiss, nullptr);
  rx->rxBlocks.InputResampler.Setup(11025.0, 11025.0);
  rx->Start();
  test::SetPacketMode(*rx, mode);
  std::vector<int16_t> audio = links.sound.Stream();
  audio.resize(audio.size() + 3 * 2048, 0);
  rx->rxBlocks.PushCaptured(std::span<const int16_t>(audio));
  ASSERT_EQ(kiss.frames.size(), frames.size());
  for (size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(kiss.frames[i], test::KissOf(frames[i]));
  EXPECT_NE(heard.text.find("\r\nN0CALL-3 -> APRS-0 via WIDE1-1  UI^ Pid=F0\r\nfirst\r\n"),
            std::string::npos);
  EXPECT_NE(heard.text.find("\r\nN0CALL-0 -> CQ-0  UI^ Pid=F0\r\nlast\r\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Modes, PacketThroughTheEngine, ::testing::Values(kModeAx25Hf, kModeAx25Uhf));

}  // namespace
}  // namespace vestrel
