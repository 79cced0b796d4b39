#include "engine/modes/mfsk/mfsk_decoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "engine/codes/mfsk_varicode.h"
#include "engine/engine.h"
#include "engine/frequency_unit.h"
#include "engine/modes/mfsk/mfsk_code.h"
#include "support/fake_engine_window.h"
#include "support/fake_rx_sink.h"
#include "support/fsk_signal.h"
#include "support/mfsk_signal.h"

namespace vestrel {
namespace {

using test::MfskRxOptions;
using test::MfskTxOptions;

std::string AllBytes() {
  std::string s;
  for (int c = 1; c < 256; ++c) s.push_back(static_cast<char>(c));
  return s;
}

// A receiver in an engine of its own, fed directly, block by block or sample by sample.
struct Receiver {
  explicit Receiver(int32_t mode, double centreHz = 1500.0, bool reverse = false)
      : engine(std::make_unique<TEngine>(window, sink)) {
    engine->Start();
    TModemParams& p = engine->params;
    p.Reverse = reverse ? 1 : 0;
    p.RxTone[0] = p.RxTone[1] = HzToUnits(centreHz);
    engine->modeSwitch.SetMode(mode);
  }
  TMfskDecoder& rx() { return engine->mfsk; }
  void Blocks(const std::vector<float>& x, bool squelchOpen = true) {
    for (size_t i = 0; i < x.size(); i += 2048)
      rx().ProcessBlock(std::span<const float>(x).subspan(i, std::min<size_t>(2048, x.size() - i)),
                        squelchOpen);
  }
  test::FakeEngineWindow window;
  test::FakeRxSink sink;
  std::unique_ptr<TEngine> engine;
};

std::vector<float> Floats(const std::vector<int16_t>& s) {
  return std::vector<float>(s.begin(), s.end());
}

std::string WithoutNul(const std::string& s) {
  std::string out;
  for (char c : s)
    if (c != '\0') out.push_back(c);
  return out;
}

// Our transmitter into our receiver: every byte 1..255, with the band's centre moved well
// inside the tone spacing (15.625 / 7.8125 Hz; an offset of half the spacing would fall
// between two tones), the clock 0.1 % off either way (the output rate 11036 or 11014 read at
// 11025, which also moves the tones by 0.1 %, 1.5 Hz here), and Reverse on both sides.
struct RoundTrip {
  double offsetHz;
  double outRate;
  bool reverse;
};

void ExpectRoundTrips(int32_t mode, std::initializer_list<RoundTrip> cases) {
  const std::string text = AllBytes();
  for (const RoundTrip& c : cases) {
    SCOPED_TRACE(testing::Message() << "offset " << c.offsetHz << " rate " << c.outRate << " reverse "
                                    << c.reverse);
    MfskTxOptions tx;
    tx.mode = mode;
    tx.centreHz = 1500.0 + c.offsetHz;
    tx.outRate = c.outRate;
    tx.reverse = c.reverse;
    MfskRxOptions rx;
    rx.mode = mode;
    rx.reverse = c.reverse;
    EXPECT_EQ(test::ReceiveMfsk(test::TransmitMfsk(text, tx), rx), text);
  }
}

TEST(MfskDecoder, Mfsk16RoundTripsEveryByte) {
  ExpectRoundTrips(
      12, {{0.0, 11025.0, false}, {5.0, 11036.0, false}, {-5.0, 11014.0, true}, {4.0, 11014.0, true}});
}

TEST(MfskDecoder, Mfsk8RoundTripsEveryByte) {
  ExpectRoundTrips(
      16, {{0.0, 11025.0, false}, {1.5, 11036.0, true}, {-1.5, 11014.0, false}, {1.5, 11014.0, true}});
}

// The soft bits: equal magnitudes leave every bit where the strongest tone puts it, exactly 64
// or 192 (each bit position has as many tones for it as against it); one tone alone pulls each
// bit the full 63 its way; under Reverse tone i is read from detector N - 1 - i.
TEST(MfskDecoder, SoftBits) {
  std::vector<double> m(32, 0.5);
  uint8_t soft[5];
  MfskSoftBits(m.data(), 16, 4, 0, false, soft);
  EXPECT_EQ(std::vector<int>(soft, soft + 4), (std::vector<int>{64, 64, 64, 64}));
  MfskSoftBits(m.data(), 16, 4, 0, true, soft);  // detector 0 is tone 15, Gray 1000
  EXPECT_EQ(std::vector<int>(soft, soft + 4), (std::vector<int>{192, 64, 64, 64}));
  MfskSoftBits(m.data(), 32, 5, 7, false, soft);  // tone 7, Gray 00100
  EXPECT_EQ(std::vector<int>(soft, soft + 5), (std::vector<int>{64, 64, 192, 64, 64}));

  std::fill(m.begin(), m.end(), 0.0);
  m[6] = 3.0;  // Gray 0101
  MfskSoftBits(m.data(), 16, 4, 6, false, soft);
  EXPECT_EQ(std::vector<int>(soft, soft + 4), (std::vector<int>{1, 255, 1, 255}));
  MfskSoftBits(m.data(), 16, 4, 6, true, soft);  // tone 9, Gray 1101
  EXPECT_EQ(std::vector<int>(soft, soft + 4), (std::vector<int>{255, 255, 1, 255}));
  m[7] = 1.0;  // Gray 0100: the last bit leans (3 - 1) / 4 of the way
  MfskSoftBits(m.data(), 16, 4, 6, false, soft);
  EXPECT_EQ(std::vector<int>(soft, soft + 4), (std::vector<int>{1, 255, 1, 192 + 32}));

  std::fill(m.begin(), m.end(), 0.0);
  MfskSoftBits(m.data(), 16, 4, 0, false, soft);  // nothing sounds: erasures
  EXPECT_EQ(std::vector<int>(soft, soft + 4), (std::vector<int>{128, 128, 128, 128}));
}

// A steady tone is the same Gray code every symbol, and its hard bits are those of its tone
// number; Reverse reads tone i as tone N - 1 - i.
TEST(MfskDecoder, SteadyToneGivesItsGrayCodeEverySymbol) {
  for (bool reverse : {false, true}) {
    for (int32_t mode : {12, 16}) {
      Receiver r(mode, 1500.0, reverse);
      const int n = r.rx().Tones();
      const int bits = n == 32 ? 5 : 4;
      const int tone = 5;
      const double hz = UnitsToHz(r.rx().FirstStep()) + tone * (n == 32 ? 7.8125 : 15.625);
      std::vector<float> x(11025 * 4);
      for (size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<float>(8000.0 * std::sin(2.0 * std::numbers::pi * hz * i / 11025.0));
      const uint32_t expected = MfskGray(static_cast<uint32_t>(reverse ? n - 1 - tone : tone));
      int symbols = 0;
      for (size_t i = 0; i < x.size(); i += 2048) {
        r.rx().ProcessBlock(std::span<const float>(x).subspan(i, std::min<size_t>(2048, x.size() - i)), true);
        if (i < 11025) continue;  // the detectors fill over the first symbol
        const auto soft = r.rx().LastSoftBits();
        uint32_t hard = 0;
        for (int b = 0; b < bits; ++b) hard = (hard << 1) | (soft[b] > 128 ? 1u : 0u);
        EXPECT_EQ(hard, expected) << "mode " << mode << " reverse " << reverse;
        for (int b = 0; b < bits; ++b) EXPECT_TRUE(soft[b] < 8 || soft[b] > 247) << int(soft[b]);
        ++symbols;
      }
      EXPECT_GT(symbols, 10);
    }
  }
}

// With the squelch closed nothing is printed, the decoders get erasures and the clock drops
// sync at the next symbol; open again, decoding goes on.
TEST(MfskDecoder, ClosedSquelchPrintsNothingFeedsErasuresAndDropsSync) {
  MfskTxOptions tx;
  const std::string text = "the quick brown fox jumps over the lazy dog 0123456789";
  const std::vector<float> x = Floats(test::TransmitMfsk(text + text + text, tx));
  Receiver r(12);
  const size_t third = x.size() / 3 / 2048 * 2048;
  r.Blocks(std::vector<float>(x.begin(), x.begin() + third));
  EXPECT_TRUE(r.rx().Synced());
  EXPECT_EQ(r.window.panels[9], "*");
  const size_t printed = r.sink.text.size();
  EXPECT_GT(printed, 20u);

  const uint64_t before = r.rx().Symbols();
  r.rx().ProcessBlock(std::span<const float>(x).subspan(third, 2048), false);
  EXPECT_GT(r.rx().Symbols(), before);
  EXPECT_FALSE(r.rx().Synced());
  EXPECT_EQ(r.rx().SyncIntegrator(), 0);
  EXPECT_EQ(r.window.panels[9], " ");
  for (size_t i = third + 2048; i + 2048 <= 2 * third; i += 2048) {
    r.rx().ProcessBlock(std::span<const float>(x).subspan(i, 2048), false);
    const auto soft = r.rx().LastSoftBits();
    for (int b = 0; b < 4; ++b) ASSERT_EQ(soft[b], 128);
  }
  EXPECT_EQ(r.sink.text.size(), printed);

  r.Blocks(std::vector<float>(x.begin() + 2 * third, x.end()));
  r.Blocks(std::vector<float>(11025 * 6, 0.0f));
  EXPECT_NE(WithoutNul(r.sink.text).find(text.substr(20)), std::string::npos) << r.sink.text;
}

// The register of the varicode decoder: a steady tone on tone 10 (Gray 1111) decodes to endless
// 1 bits, a stream without 0, 0, 1. The register wraps, no word comes out, and the text sent
// after it decodes.
TEST(MfskDecoder, EndlessOnesPrintNothingAndDecodingGoesOn) {
  Receiver r(12);
  const double hz = UnitsToHz(r.rx().FirstStep()) + 10 * 15.625;
  std::vector<float> tone(11025 * 12);
  for (size_t i = 0; i < tone.size(); ++i)
    tone[i] = static_cast<float>(8000.0 * std::sin(2.0 * std::numbers::pi * hz * i / 11025.0));
  // The tone's first symbols, before the decoder settles on it, may give a character (some 5 s
  // later, the decoding delay).
  const size_t settle = 11025 * 6 / 2048 * 2048;
  r.Blocks(std::vector<float>(tone.begin(), tone.begin() + settle));
  const std::string onset = r.sink.text;
  r.Blocks(std::vector<float>(tone.begin() + settle, tone.end()));
  EXPECT_EQ(r.sink.text, onset);
  EXPECT_EQ(r.rx().VaricodeRegister(), 0xFFFFFFFFu);
  r.Blocks(std::vector<float>(4096, 0.0f));
  MfskTxOptions tx;
  r.Blocks(Floats(test::TransmitMfsk("after the tone", tx)));
  r.Blocks(std::vector<float>(11025 * 6, 0.0f));
  EXPECT_EQ(WithoutNul(r.sink.text), WithoutNul(onset) + "after the tone");
}

// A character prints when the first bit of the next word has come through: its code bits
// travel 30 symbols through the interleavers (10 stages of 3), then 59 to 66 trellis steps (2 a
// symbol) through the decoder. From the end of the symbol that carries that bit to the print,
// some 60 to 63 symbols pass, with a symbol of the receiver's own timing either way.
TEST(MfskDecoder, DecodingDelay) {
  const std::string text = "delay of each character";
  MfskTxOptions tx;
  const std::vector<int16_t> s = test::TransmitMfsk(text, tx);
  Receiver r(12);
  std::vector<size_t> printedAt;
  for (size_t i = 0; i < s.size(); ++i) {
    r.rx().ProcessSample(s[i]);
    if (WithoutNul(r.sink.text).size() > printedAt.size()) printedAt.push_back(i);
  }
  ASSERT_EQ(WithoutNul(r.sink.text), text.substr(0, printedAt.size()));
  ASSERT_GT(printedAt.size(), 10u);
  constexpr double kSymbol = 705.6;
  const double dataStart = 3600 + 512 + 5000 + 8 * kSymbol;  // preamble and the 8 pad symbols
  size_t bits = 0;
  for (size_t k = 0; k < printedAt.size(); ++k) {
    bits += 2 * static_cast<size_t>(std::bit_width(MfskVaricode[static_cast<uint8_t>(text[k])]));
    // The symbol carrying code bit `bits`, the first of the next word, ends here.
    const double sent = dataStart + (std::floor(bits / 4.0) + 1) * kSymbol;
    const double delay = (printedAt[k] - sent) / kSymbol;
    EXPECT_GE(delay, 30 + 59 / 2.0 - 1) << k;
    EXPECT_LE(delay, 30 + 66 / 2.0 + 1) << k;
  }
}

// MFSK8's code bits pair up across symbols (5 a symbol), so a transmission may start at either
// pairing of the receiver's two decoders. After a long transmission at one pairing, a second one
// at the other is heard too.
TEST(MfskDecoder, Mfsk8HearsTheOtherPairingAfterALongTransmission) {
  std::string first;
  for (int i = 0; i < 10; ++i) first += "a long first transmission builds a lead. ";
  const std::string second = "then a second one, 0123456789";
  MfskTxOptions tx;
  tx.mode = 16;
  const std::vector<int16_t> a = test::TransmitMfsk(first, tx);
  const std::vector<int16_t> b = test::TransmitMfsk(second, tx);
  for (int gapSymbols = 10; gapSymbols < 12; ++gapSymbols) {
    std::vector<int16_t> both = a;
    both.insert(both.end(), static_cast<size_t>(gapSymbols * 1411.2), 0);
    both.insert(both.end(), b.begin(), b.end());
    MfskRxOptions rx;
    rx.mode = 16;
    EXPECT_EQ(test::ReceiveMfsk(both, rx), first + second) << gapSymbols;
  }
}

// Path metrics grow by thousands a second; some days of signal bring them to 2^31. Both of
// MFSK8's decoders preset near there, or one of them, mid-stream: the text comes through as it
// does without.
TEST(MfskDecoder, Mfsk8DecodersPastTheInt32RangeDecodeAlike) {
  const std::string text = "metrics near the old limit 0123456789 and past it, the quick brown fox";
  MfskTxOptions tx;
  tx.mode = 16;
  const std::vector<float> x = Floats(test::TransmitMfsk(text, tx));
  for (int which = 0; which < 3; ++which) {
    Receiver r(16);
    const size_t part = x.size() / 4 / 2048 * 2048;
    r.Blocks(std::vector<float>(x.begin(), x.begin() + part));
    const int64_t offset = 2147473647 - r.rx().DecoderA().Metrics[0] - 20000;
    if (which != 1) r.rx().DecoderA().Rebase(offset);
    if (which != 2) r.rx().DecoderB().Rebase(offset);
    r.Blocks(std::vector<float>(x.begin() + part, x.end()));
    r.Blocks(std::vector<float>(11025 * 12, 0.0f));
    EXPECT_EQ(r.rx().DecoderA().Metrics[0] > INT32_MAX, which != 1);
    EXPECT_EQ(r.rx().DecoderB().Metrics[0] > INT32_MAX, which != 2);
    EXPECT_EQ(WithoutNul(r.sink.text), text) << which;
  }
}

// The block loop (the detectors stepped by the widest kernel) and the sample call (plain
// detectors) make the same symbols, soft bits and text.
TEST(MfskDecoder, BlockLoopMatchesTheSampleCall) {
  MfskTxOptions tx;
  for (int32_t mode : {12, 16}) {
    tx.mode = mode;
    const std::vector<int16_t> s = test::TransmitMfsk("block and sample alike 0123456789", tx);
    for (auto kernel :
         {TMfskToneBank::Kernel::kPlain, TMfskToneBank::Kernel::kAvx2, TMfskToneBank::Kernel::kAvx512}) {
      if (!TMfskToneBank::Supported(kernel)) continue;
      Receiver block(mode);
      Receiver sample(mode);
      ASSERT_TRUE(block.rx().Detectors().SetKernel(kernel));
      for (size_t i = 0; i + 2048 <= s.size(); i += 2048) {
        const std::vector<float> x(s.begin() + i, s.begin() + i + 2048);
        block.rx().ProcessBlock(x, true);
        for (float v : x) sample.rx().ProcessSample(v);
        ASSERT_EQ(block.rx().Symbols(), sample.rx().Symbols()) << i;
        ASSERT_EQ(block.rx().LastSoftBits(), sample.rx().LastSoftBits()) << i;
      }
      EXPECT_EQ(block.sink.text, sample.sink.text);
      EXPECT_EQ(block.engine->params.LevelRingIndex, sample.engine->params.LevelRingIndex);
      EXPECT_FALSE(block.sink.text.empty());
    }
  }
}

// Levels for the tuning displays: the strongest tone's lead every 61 samples.
TEST(MfskDecoder, WritesALevelEvery61Samples) {
  Receiver r(12);
  const int32_t start = r.engine->params.LevelRingIndex;
  r.Blocks(std::vector<float>(61 * 100, 1000.0f));
  EXPECT_EQ((r.engine->params.LevelRingIndex - start) & 0x7FF, 100);
}

// Noise ladder: white Gaussian noise at an SNR in 3 kHz on the keyed signal. Eb/N0 per
// information bit = SNR + 19.8 dB in MFSK16 (31.25 bits/s), + 21.9 dB in MFSK8 (19.5 bits/s).
// Theory: a symbol carries 4 (5) code bits of half an information bit each, Es/N0 = Eb/N0 +
// 3.0 dB (+ 4.0 dB). Noncoherent orthogonal 16-FSK then errs in 0.33, 0.073, 0.031, 0.0097 of the
// symbols at Eb/N0 3, 6, 7, 8 dB (32-FSK: 0.31, 0.051, 0.017, 0.0041), which turns 0.175,
// 0.039, 0.016, 0.005 of the code bits (0.16, 0.026, 0.009, 0.002). The K = 7 rate-1/2 code
// corrects a few per cent of code-bit errors and fails past some 10 %: clean text from 7 dB,
// some errors at 6, lost at 3, where the decoder loses its path.
// Measured (this text, 4 noise seeds a rung): MFSK16 CER 0.005, 0.009, 0.039, 0.82 at 8, 7, 6,
// 3 dB; MFSK8 0.006, 0.013, 0.084, 0.83. The receiver's coarse soft bits and its symbol clock
// cost it some 2 dB on an ideal decoder. Upper bounds about 2.5 times the measured rates; the
// lower bound at 3 dB says that rung is no clean channel (a changed noise generator, a decoder
// that prints what it is given).
void ExpectNoiseLadder(int32_t mode) {
  std::string text;
  for (int i = 0; i < 4; ++i) text += "the quick brown fox jumps over the lazy dog 0123456789 ";
  struct Rung {
    double ebN0;
    double maxCer;
    double minCer;
  };
  const Rung rungs[] = {{8.0, 0.015, 0.0}, {7.0, 0.035, 0.0}, {6.0, 0.2, 0.0}, {3.0, 2.0, 0.4}};
  MfskTxOptions tx;
  tx.mode = mode;
  const std::vector<int16_t> clean = test::TransmitMfsk(text, tx);
  for (const Rung& rung : rungs) {
    const double snr = rung.ebN0 - test::MfskEbN0(mode, 0.0);
    double cer = 0.0;
    constexpr int kRuns = 4;
    for (uint32_t seed = 1; seed <= kRuns; ++seed) {
      MfskRxOptions rx;
      rx.mode = mode;
      cer += test::CharacterErrorRate(text, test::ReceiveMfsk(test::AddNoise(clean, snr, seed), rx));
    }
    cer /= kRuns;
    EXPECT_LE(cer, rung.maxCer) << "Eb/N0 " << rung.ebN0;
    EXPECT_GE(cer, rung.minCer) << "Eb/N0 " << rung.ebN0;
    ::testing::Test::RecordProperty("cer_ebn0_" + std::to_string(static_cast<int>(rung.ebN0)),
                                    std::to_string(cer));
  }
}

TEST(MfskDecoder, Mfsk16NoiseLadder) {
  ExpectNoiseLadder(12);
}

TEST(MfskDecoder, Mfsk8NoiseLadder) {
  ExpectNoiseLadder(16);
}

}  // namespace
}  // namespace vestrel
