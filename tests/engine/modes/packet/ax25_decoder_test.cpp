#include "engine/modes/packet/ax25_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "engine/frequency_unit.h"
#include "engine/modes/packet/packet_frame_output.h"
#include "support/awgn.h"
#include "support/ax25_frames.h"
#include "support/fake_engine_window.h"
#include "support/fake_rx_sink.h"
#include "support/packet_transmission.h"

namespace vestrel {
namespace {

using test::PacketTransmission;
using test::PacketTxOptions;

class RecordingKiss : public KissOutput {
 public:
  void WriteKiss(std::span<const uint8_t> kiss) override { frames.emplace_back(kiss.begin(), kiss.end()); }
  std::vector<std::vector<uint8_t>> frames;
};

class Ax25DecoderTest : public ::testing::Test {
 protected:
  Ax25DecoderTest() {
    output.SetExchangeOutputs(&kiss, nullptr);
    decoder.Start();
  }

  void Tune(int baud, double lowerHz, double upperHz) {
    ASSERT_TRUE(decoder.SetBaud(baud));
    ASSERT_TRUE(decoder.SetTones(HzToUnits(lowerHz), HzToUnits(upperHz)));
  }

  // A quiet line, the signal, and a quiet line again long enough for the filters to empty.
  void Receive(const std::vector<float>& x, bool squelchOpen = true) {
    const std::vector<float> quiet(2048, 0.0f);
    decoder.ProcessBlock(quiet, squelchOpen);
    decoder.ProcessBlock(x, squelchOpen);
    decoder.ProcessBlock(quiet, squelchOpen);
  }

  SineTable sine;
  test::FakeEngineWindow window;
  test::FakeRxSink rx;
  TPacketFrameOutput output{rx};
  RecordingKiss kiss;
  TAx25Decoder decoder{sine, window, output};
};

TEST_F(Ax25DecoderTest, ResetGivesTheStartState) {
  EXPECT_FALSE(decoder.Dcd());
  EXPECT_TRUE(decoder.Enabled());
  EXPECT_EQ(decoder.Baud(), 300);
  EXPECT_EQ(decoder.ToneAStep(), 6242);
  EXPECT_EQ(decoder.ToneBStep(), 6836);
  EXPECT_EQ(decoder.PathRate(), 2756);
  EXPECT_EQ(window.panels[9], " ");
}

TEST_F(Ax25DecoderTest, SpeedChoosesThePath) {
  const std::pair<int, int> cases[] = {{300, 2756},  {400, 2756},   {600, 2756},
                                       {601, 11025}, {1200, 11025}, {2400, 11025}};
  for (const auto& [baud, path] : cases) {
    ASSERT_TRUE(decoder.SetBaud(baud));
    EXPECT_EQ(decoder.PathRate(), path) << baud;
    EXPECT_DOUBLE_EQ(decoder.SamplesPerBit(), 11025.0 / baud);
  }
  EXPECT_FALSE(decoder.SetBaud(0));
  EXPECT_FALSE(decoder.SetBaud(6000));
  EXPECT_EQ(decoder.Baud(), 2400);
  EXPECT_FALSE(decoder.SetTones(-1, 100));
  EXPECT_FALSE(decoder.SetTones(100, 40000));
}

struct RoundTripCase {
  const char* name;
  int baud;
  double offsetHz;
  double clockError;  // relative, positive: the sender's clock runs fast
  double ebN0Db;
};

// 100 frames of 15..330 bytes (check bytes included), each with 0xC0, 0xDB, 0x7E and a run of
// four 0xFF, sent in transmissions of ten, come out as their KISS frames byte for byte (each
// once, also where both HF slicers find it): clean, 30 Hz (HF) or 100 Hz (UHF) off tune, with
// the sender's clock 0.5 % fast or slow, in white noise at Eb/N0 24 dB, all of these at once,
// and clean 50 Hz off tune with the clock 1 % off. Below some 22 dB the receiver starts to lose
// the odd frame even where theory gives no bit errors at all: in a run of 0xFF the line has a
// transition only every sixth bit, the magnitudes its timing search compares are flat, noise
// picks the step, and a run of steps the same way slips a bit (the noise ladder counts these).
std::vector<std::vector<uint8_t>> HundredFrames(uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<size_t> length(13, 328);
  std::vector<std::vector<uint8_t>> frames;
  for (int i = 0; i < 100; ++i) {
    const size_t n = i == 0 ? 13 : i == 1 ? 328 : length(rng);
    frames.push_back(test::RandomAx25Frame(n, rng));
  }
  return frames;
}

class Ax25RoundTrip : public Ax25DecoderTest, public ::testing::WithParamInterface<RoundTripCase> {};

TEST_P(Ax25RoundTrip, EveryFrameComesOutAsItsKissFrame) {
  const RoundTripCase c = GetParam();
  PacketTxOptions o;
  o.baud = c.baud;
  o.lowerHz = c.baud == 300 ? 1600.0 : 1200.0;
  o.upperHz = c.baud == 300 ? 1800.0 : 2200.0;
  o.offsetHz = c.offsetHz;
  o.outRate = 11025.0 / (1.0 + c.clockError);
  Tune(c.baud, o.lowerHz, o.upperHz);
  const std::vector<std::vector<uint8_t>> frames = HundredFrames(c.baud);
  uint32_t seed = 1;
  for (size_t first = 0; first < frames.size(); first += 10) {
    PacketTransmission t(o);
    for (size_t i = first; i < first + 10; ++i) t.Queue(frames[i]);
    const std::vector<int16_t> samples = t.Transmit();
    Receive(test::WithNoise(samples, 32000.0, 11025.0 / c.baud, c.ebN0Db, seed++));
  }
  ASSERT_EQ(kiss.frames.size(), frames.size());
  for (size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(kiss.frames[i], test::KissOf(frames[i])) << i;
}

constexpr double kClean = INFINITY;

INSTANTIATE_TEST_SUITE_P(
    Channels, Ax25RoundTrip,
    ::testing::Values(
        RoundTripCase{"Hf", 300, 0, 0, kClean}, RoundTripCase{"Uhf", 1200, 0, 0, kClean},
        RoundTripCase{"HfOffset", 300, 30, 0, kClean}, RoundTripCase{"UhfOffset", 1200, 100, 0, kClean},
        RoundTripCase{"HfFast", 300, 0, 0.005, kClean}, RoundTripCase{"HfSlow", 300, 0, -0.005, kClean},
        RoundTripCase{"UhfFast", 1200, 0, 0.005, kClean}, RoundTripCase{"UhfSlow", 1200, 0, -0.005, kClean},
        RoundTripCase{"HfNoise", 300, 0, 0, 24}, RoundTripCase{"UhfNoise", 1200, 0, 0, 24},
        RoundTripCase{"HfAll", 300, -30, 0.005, 24}, RoundTripCase{"UhfAll", 1200, 100, -0.005, 24},
        RoundTripCase{"HfOffset50Fast1", 300, 50, 0.01, kClean},
        RoundTripCase{"HfOffset50Slow1", 300, -50, -0.01, kClean},
        RoundTripCase{"UhfOffset50Fast1", 1200, 50, 0.01, kClean},
        RoundTripCase{"UhfOffset50Slow1", 1200, -50, -0.01, kClean}),
    [](const testing::TestParamInfo<RoundTripCase>& i) { return std::string(i.param.name); });

// A continuous-phase NRZI line of given bits at 1200 Bd on 1200/2200 Hz (a 0 changes the
// tone), starting on the upper tone, amplitude 16000.
std::vector<float> NrziLine(const std::vector<int>& bits) {
  std::vector<float> x;
  const double spb = 11025.0 / 1200.0;
  bool upper = true;
  double phase = 0.0, t = 0.0;
  for (int b : bits) {
    if (b == 0) upper = !upper;
    for (t += spb; t >= 1.0; t -= 1.0) {
      phase += 2.0 * std::numbers::pi * (upper ? 2200.0 : 1200.0) / 11025.0;
      x.push_back(static_cast<float>(16000.0 * std::sin(phase)));
    }
  }
  return x;
}

TEST_F(Ax25DecoderTest, AFlagSetsCarrierDetectAtOnce) {
  Tune(1200, 1200, 2200);
  // A steady tone drains the integrator; four transitions (at most +2000 each) are too few to
  // turn DCD on, but the flag after them does so at once.
  std::vector<int> bits(40, 1);
  for (int b : {0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 0}) bits.push_back(b);
  bits.resize(bits.size() + 4, 0);  // the filters' delay
  const std::vector<float> x = NrziLine(bits);
  decoder.SetSquelchOpen(true);
  int onFrom = -1;
  for (float v : x) {
    const int before = decoder.DcdIntegrator();
    const bool was = decoder.Dcd();
    decoder.ProcessSample(v);
    if (!was && decoder.Dcd()) {
      onFrom = before;
      EXPECT_EQ(decoder.DcdIntegrator(), TAx25Decoder::kDcdFull);
      break;
    }
  }
  ASSERT_GE(onFrom, 0) << "DCD never came on";
  EXPECT_LE(onFrom, 12000);
}

TEST_F(Ax25DecoderTest, ClosedSquelchAbortsTheOpenFrameAndReadsNoCarrier) {
  Tune(1200, 1200, 2200);
  PacketTransmission t(PacketTxOptions{});
  t.Queue(test::BuildUiFrame("N0CALL", "APRS", std::string(200, 'x')));
  const std::vector<int16_t> s = t.Transmit();
  const std::vector<float> x(s.begin(), s.end());
  // Into the frame: open, carrier detected.
  const size_t half = x.size() * 3 / 4;
  decoder.ProcessBlock(std::span<const float>(x.data(), half), true);
  ASSERT_TRUE(decoder.Deframer().InFrame());
  ASSERT_TRUE(decoder.Dcd());
  EXPECT_EQ(window.panels[9], "*");
  // Squelch closed: the bit decisions see no transitions, seven ones abort.
  decoder.ProcessBlock(std::span<const float>(x.data() + half, x.size() - half), false);
  EXPECT_FALSE(decoder.Deframer().InFrame());
  EXPECT_FALSE(decoder.Dcd());
  EXPECT_EQ(decoder.DcdIntegrator(), 0);
  EXPECT_EQ(window.panels[9], " ");
  EXPECT_TRUE(kiss.frames.empty());
  // Open again, the next transmission comes through.
  Receive(x);
  EXPECT_EQ(kiss.frames.size(), 1u);
}

TEST_F(Ax25DecoderTest, CarrierDetectFollowsTheSignal) {
  Tune(300, 1600, 1800);
  PacketTxOptions o;
  o.baud = 300;
  o.lowerHz = 1600;
  o.upperHz = 1800;
  PacketTransmission t(o);
  t.Queue(test::BuildUiFrame("N0CALL", "APRS", "dcd"));
  const std::vector<int16_t> s = t.Transmit();
  const std::vector<float> x(s.begin(), s.end());
  decoder.ProcessBlock(std::span<const float>(x.data(), x.size() / 2), true);
  EXPECT_TRUE(decoder.Dcd());
  EXPECT_EQ(window.panels[9], "*");
  decoder.ProcessBlock(std::span<const float>(x.data() + x.size() / 2, x.size() - x.size() / 2), true);
  decoder.ProcessBlock(std::vector<float>(11025, 0.0f), true);
  EXPECT_FALSE(decoder.Dcd());
  EXPECT_EQ(window.panels[9], " ");
  EXPECT_EQ(kiss.frames.size(), 1u);
}

TEST_F(Ax25DecoderTest, DisabledItDoesNothing) {
  Tune(1200, 1200, 2200);
  PacketTransmission t(PacketTxOptions{});
  t.Queue(test::BuildUiFrame("N0CALL", "APRS", "off"));
  const std::vector<int16_t> s = t.Transmit();
  decoder.SetEnabled(false);
  Receive(std::vector<float>(s.begin(), s.end()));
  EXPECT_TRUE(kiss.frames.empty());
  EXPECT_FALSE(decoder.Dcd());
}

TEST_F(Ax25DecoderTest, LevelEveryNinthSample) {
  LevelRing ring;
  int32_t index = 0;
  TAx25Decoder d(sine, window, output, ring, index);
  d.Start();
  d.ProcessBlock(std::vector<float>(90, 1000.0f), true);
  EXPECT_EQ(index, 10);
  EXPECT_EQ(ring.LevelRingFresh, 1);
}

// A copy taken in the middle of a frame runs on exactly as the original.
// Sample by sample the receiver runs as on blocks, at both speeds (one slicer on every third
// front-end output, three slicers on the 2756 path): the same frames, carrier and level (to
// rounding: the block loop runs the processor's FMA copy).
TEST_F(Ax25DecoderTest, SampleBySampleRunsAsOnBlocks) {
  for (const int baud : {1200, 300}) {
    SCOPED_TRACE(baud);
    PacketTxOptions o;
    o.baud = baud;
    o.lowerHz = baud == 300 ? 1600.0 : 1200.0;
    o.upperHz = baud == 300 ? 1800.0 : 2200.0;
    Tune(baud, o.lowerHz, o.upperHz);
    TAx25Decoder single = decoder;
    PacketTransmission t(o);
    t.Queue(test::BuildUiFrame("N0CALL", "APRS", std::string(60, 's')));
    t.Queue(test::BuildUiFrame("N0CALL", "APRS", std::string(30, 't')));
    const std::vector<float> x = test::WithNoise(t.Transmit(), 32000.0, 11025.0 / baud, 14, 3);
    kiss.frames.clear();
    decoder.ProcessBlock(x, true);
    const std::vector<std::vector<uint8_t>> blockFrames = kiss.frames;
    kiss.frames.clear();
    for (float v : x) single.ProcessSample(v);
    EXPECT_EQ(kiss.frames, blockFrames);
    EXPECT_EQ(blockFrames.size(), 2u);
    EXPECT_NEAR(single.Discriminator(), decoder.Discriminator(), 1e-9 * std::abs(decoder.Discriminator()));
    EXPECT_EQ(single.Dcd(), decoder.Dcd());
  }
}

TEST_F(Ax25DecoderTest, ACopyRunsOnLikeTheOriginal) {
  Tune(1200, 1200, 2200);
  PacketTransmission t(PacketTxOptions{});
  const std::vector<uint8_t> frame = test::BuildUiFrame("N0CALL", "APRS", std::string(100, 'c'));
  t.Queue(frame);
  const std::vector<int16_t> s = t.Transmit();
  const std::vector<float> x(s.begin(), s.end());
  const size_t half = x.size() * 2 / 3;
  decoder.ProcessBlock(std::span<const float>(x.data(), half), true);
  TAx25Decoder copy = decoder;
  const std::span<const float> rest(x.data() + half, x.size() - half);
  decoder.ProcessBlock(rest, true);
  copy.ProcessBlock(rest, true);
  ASSERT_EQ(kiss.frames.size(), 2u);
  EXPECT_EQ(kiss.frames[0], test::KissOf(frame));
  EXPECT_EQ(kiss.frames[1], kiss.frames[0]);
  EXPECT_EQ(copy.DcdIntegrator(), decoder.DcdIntegrator());
  EXPECT_EQ(copy.Discriminator(), decoder.Discriminator());
}

struct Rung {
  double ebN0Db;
  int lower, upper;  // frames of 100 decoded
};

struct Ladder {
  const char* name;
  int baud;
  double lowerHz, upperHz;
};

// Frames decoded of 100 at a given Eb/N0 (SNR in 3 kHz + 4.0 dB at 1200 Bd, + 10.0 dB at
// 300 Bd): 100 UI frames of some 70 bytes with their check bytes (about 580 bits on the air
// with the flags), each in its own transmission with the default TXDELAY, received by one
// decoder.
int DecodedOnRung(const Ladder& l, double ebN0Db, uint32_t seed) {
  SineTable sine;
  test::FakeEngineWindow window;
  test::FakeRxSink rx;
  TPacketFrameOutput output{rx};
  RecordingKiss kiss;
  output.SetExchangeOutputs(&kiss, nullptr);
  TAx25Decoder decoder{sine, window, output};
  decoder.Start();
  decoder.SetBaud(l.baud);
  decoder.SetTones(HzToUnits(l.lowerHz), HzToUnits(l.upperHz));
  PacketTxOptions o;
  o.baud = l.baud;
  o.lowerHz = l.lowerHz;
  o.upperHz = l.upperHz;
  std::vector<std::vector<uint8_t>> frames;
  for (int i = 0; i < 100; ++i) {
    frames.push_back(test::BuildUiFrame(
        "N0CALL-1", "APRS",
        "frame " + std::to_string(i) + " " + std::string(36, static_cast<char>('A' + i % 26)), {"WIDE1-1"}));
    PacketTransmission t(o);
    t.Queue(frames.back());
    const std::vector<float> x =
        test::WithNoise(t.Transmit(), 32000.0, 11025.0 / l.baud, ebN0Db, seed * 1000 + i);
    decoder.ProcessBlock(x, true);
  }
  int good = 0;
  for (const auto& k : kiss.frames) {
    for (const auto& f : frames) good += k == test::KissOf(f);
  }
  EXPECT_EQ(good, static_cast<int>(kiss.frames.size())) << "a decoded frame that was never sent";
  return good;
}

// Bounds from a measured run of each rung with five noise seeds (decoded: UHF 10 dB 31..42,
// 11 dB 71..87, 12 dB 92..96, 13 dB 98..100; HF 9 dB 18..23, 10 dB 63..74, 11 dB 91..94, 12 dB
// 97..99, 13 and 14 dB 99..100), the test's seed in the middle and some three binomial
// deviations of room either side. Theory for orthogonal non-coherent FSK, Pb = 0.5 exp(-Eb/2N0),
// gives 1.8e-4 at 12 dB and so 90 of 100 frames of 580 bits: UHF (1000 Hz shift, close to
// orthogonal at 1200 Bd) meets it, and its bit clock on interpolated outputs gains a little.
// HF (200 Hz at 300 Bd, two thirds of the orthogonal shift) did with one slicer only some
// 1.5 dB later; its three slicers, each behind a bit's moving average, now decode at 11 dB what
// theory gives at 12. An upper bound broken means a changed generator or false frames.
struct RungCase {
  const char* name;
  Ladder ladder;
  Rung rung;
};

class Ax25NoiseLadder : public ::testing::TestWithParam<RungCase> {};

TEST_P(Ax25NoiseLadder, FramesDecodedOnTheRung) {
  const RungCase& c = GetParam();
  const int decoded = DecodedOnRung(c.ladder, c.rung.ebN0Db, 1);
  RecordProperty("decoded", decoded);
  EXPECT_GE(decoded, c.rung.lower);
  EXPECT_LE(decoded, c.rung.upper);
}

const Ladder kUhf = {"UHF", 1200, 1200, 2200};
const Ladder kHf = {"HF", 300, 1600, 1800};

INSTANTIATE_TEST_SUITE_P(
    Rungs, Ax25NoiseLadder,
    ::testing::Values(RungCase{"Uhf10dB", kUhf, {10, 26, 56}}, RungCase{"Uhf11dB", kUhf, {11, 62, 88}},
                      RungCase{"Uhf12dB", kUhf, {12, 85, 100}}, RungCase{"Uhf13dB", kUhf, {13, 92, 100}},
                      RungCase{"Hf9dB", kHf, {9, 11, 36}}, RungCase{"Hf10dB", kHf, {10, 49, 78}},
                      RungCase{"Hf11dB", kHf, {11, 86, 100}}, RungCase{"Hf12dB", kHf, {12, 92, 100}},
                      RungCase{"Hf13dB", kHf, {13, 95, 100}}, RungCase{"Hf14dB", kHf, {14, 96, 100}}),
    [](const testing::TestParamInfo<RungCase>& i) { return std::string(i.param.name); });

}  // namespace
}  // namespace vestrel
