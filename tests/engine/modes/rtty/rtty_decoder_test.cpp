#include "engine/modes/rtty/rtty_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "engine/frequency_unit.h"
#include "engine/mode_number.h"
#include "engine/mode_table.h"
#include "support/fake_engine_window.h"
#include "support/fake_rx_sink.h"
#include "support/fsk_signal.h"

namespace vestrel {
namespace {

using test::FskSignalOptions;

// What a receiver of our own prints at figures J; we send it as "." (figures J is BEL's).
constexpr char kReceivedOnly = '*';

// Every character of the English code set, letters and figures.
std::string EnglishText() {
  std::string text;
  const auto& t = BaudotCodeTable(0);
  for (int i = 0; i < 64; ++i) {
    if (t[i] != 0 && t[i] != kReceivedOnly) text.push_back(static_cast<char>(t[i]));
  }
  return text;
}

std::string AllBytes(int n) {
  std::string text;
  for (int c = 0; c < n; ++c) text.push_back(static_cast<char>(c));
  return text;
}

class RttyDecoderTest : public ::testing::Test {
 protected:
  RttyDecoderTest() { decoder.Start(); }

  void Configure(int32_t mode, double baud, int width, double lowerHz, double upperHz) {
    params.Mode = mode;
    ASSERT_TRUE(decoder.SetBaud(baud, width));
    ASSERT_TRUE(decoder.SetDataBits(mode == kModeRtty ? 5 : mode == kModeAscii7 ? 7 : 8));
    decoder.SetTones(HzToUnits(lowerHz), HzToUnits(upperHz));
  }

  // The receiver runs on silence until the carrier comes, as on the air.
  std::string Run(const std::vector<int16_t>& samples, bool squelchOpen = true) {
    sink.text.clear();
    std::vector<float> block(2048, 0.0f);
    block.insert(block.end(), samples.begin(), samples.end());
    decoder.ProcessBlock(block, squelchOpen);
    return sink.text;
  }

  std::string Run(const std::vector<int>& codes, const FskSignalOptions& o) {
    return Run(test::MakeStartStopSignal(codes, o));
  }

  SineTable sine;
  TModemParams params;
  test::FakeEngineWindow window;
  test::FakeRxSink sink;
  TBaudotDecoder baudot{params, sink};
  TRttyDecoder decoder{sine, params, window, baudot};
};

struct SpeedCase {
  int32_t mode;
  double baud;
  double shiftHz;
  double stopBits;
};

// RTTY at its usual speeds with 170 Hz shift; ASCII at 110 Bd with two stop bits, and 300
// and 1200 Bd with one (8N1). The ASCII shifts are wide enough for the Wide filters, whose
// pass band at 101..300 Bd reaches 211 Hz.
const SpeedCase kSpeeds[] = {
    {kModeRtty, 45.45, 170, 1.5},   {kModeRtty, 50, 170, 1.5},    {kModeRtty, 75, 170, 1.5},
    {kModeRtty, 100, 170, 1.5},     {kModeAscii7, 110, 425, 2.0}, {kModeAscii8, 300, 500, 1.0},
    {kModeAscii8, 1200, 1000, 1.0},
};

std::vector<int> CodesFor(int32_t mode, std::string* text) {
  if (mode == kModeRtty) {
    *text = EnglishText();
    return test::BaudotCodesOf(*text, 0);
  }
  *text = AllBytes(mode == kModeAscii7 ? 128 : 256);
  std::vector<int> codes;
  for (char c : *text) codes.push_back(static_cast<uint8_t>(c));
  return codes;
}

std::vector<int> RepeatedCodesFor(int32_t mode, int passes, std::string* text) {
  std::string once;
  const std::vector<int> codes = CodesFor(mode, &once);
  std::vector<int> out;
  text->clear();
  for (int pass = 0; pass < passes; ++pass) {
    out.insert(out.end(), codes.begin(), codes.end());
    *text += once;
  }
  return out;
}

FskSignalOptions SignalFor(const SpeedCase& s) {
  FskSignalOptions o;
  o.baud = s.baud;
  o.dataBits = s.mode == kModeRtty ? 5 : s.mode == kModeAscii7 ? 7 : 8;
  o.stopBits = s.stopBits;
  o.spaceHz = 1700.0 - s.shiftHz / 2;
  o.markHz = 1700.0 + s.shiftHz / 2;
  o.amplitude = 8000.0;
  o.leadBits = 2.0;  // the carrier comes two bits before the first start bit
  return o;
}

TEST_F(RttyDecoderTest, CleanRoundTripsDecodeEveryCharacterInEveryWidth) {
  for (const SpeedCase& s : kSpeeds) {
    for (int width = 0; width < 3; ++width) {
      SCOPED_TRACE(testing::Message() << "mode " << s.mode << " baud " << s.baud << " width " << width);
      std::string text;
      const std::vector<int> codes = CodesFor(s.mode, &text);
      const FskSignalOptions o = SignalFor(s);
      Configure(s.mode, s.baud, width, o.spaceHz, o.markHz);
      EXPECT_EQ(Run(codes, o), text);
    }
  }
}

// Every character of every code set, with the third register where the set has one, over the
// air at 45.45 Bd.
TEST_F(RttyDecoderTest, EveryCodeSetOverTheAir) {
  for (int set = 0; set < kBaudotCodeSets; ++set) {
    SCOPED_TRACE(testing::Message() << "code set " << set);
    params.BaudotCodeSet = set;
    baudot.ExtendedBaudot = 1;
    baudot.BaudotShift = baudot.BaudotThird = 0;
    std::string text;
    for (uint8_t c : BaudotCodeTable(set)) {
      if (c != 0 && c != kReceivedOnly && text.find(static_cast<char>(c)) == std::string::npos)
        text.push_back(static_cast<char>(c));
    }
    const FskSignalOptions o = SignalFor(kSpeeds[0]);
    Configure(kModeRtty, 45.45, 0, o.spaceHz, o.markHz);
    EXPECT_EQ(Run(test::BaudotCodesOf(text, set, true), o), text);
  }
}

// The tuning displays get the discriminator, scaled by 2^-30, once every 61 input samples.
TEST_F(RttyDecoderTest, LevelEverySixtyOneSamples) {
  LevelRing levels;
  int32_t index = 2047;
  TRttyDecoder withLevels{sine, params, window, baudot, levels, index};
  withLevels.Start();
  const std::vector<int> codes = {31, 3};
  const std::vector<int16_t> samples = test::MakeStartStopSignal(codes, SignalFor(kSpeeds[0]));
  for (size_t i = 0; i < 61 * 40; ++i) {
    withLevels.ProcessSample(samples[i]);
    if (i == 61 * 40 - 1) {
      EXPECT_EQ(levels.Levels[39], withLevels.Discriminator() / (1 << 30));
    }
  }
  EXPECT_EQ(index, 39);
  EXPECT_EQ(levels.LevelRingFresh, 1);
}

// White noise, the tones 4 Hz off, and the sender's clock 0.5 % fast or slow. In sample terms
// Eb/N0 = A^2 x (samples per bit) / (4 sigma^2). At 15 dB an ideal non-coherent FSK detector
// has BER = exp(-Eb/2N0) / 2 = 7e-8. The decoder's filters are wider than a matched filter
// (Optimal and Narrow pass about 1.2 times the bit rate: 1 dB) and it decides on three
// sub-samples, not the whole bit (about 3 dB more): 11 dB left gives BER 9e-4, some 0.7 % of
// characters, and in Baudot a lost shift garbles the characters up to the next one, so the
// limit is 2 %. Wide passes 0.0765 of its path rate, about three times more noise at 45..100 Bd
// (5 dB), so it is measured 5 dB higher, at 20 dB, against the same limit.
TEST_F(RttyDecoderTest, NoiseOffsetAndClockErrorKeepTheCharacterErrorRateLow) {
  constexpr double kLimit = 0.02;
  for (const SpeedCase& s : kSpeeds) {
    for (int width = 0; width < 3; ++width) {
      const double ebN0 = std::pow(10.0, (width == 1 ? 20.0 : 15.0) / 10.0);
      for (double clock : {0.005, -0.005}) {
        SCOPED_TRACE(testing::Message()
                     << "mode " << s.mode << " baud " << s.baud << " width " << width << " clock " << clock);
        // Three passes of the text, so that each case sees several hundred characters.
        std::string expected;
        const std::vector<int> sent = RepeatedCodesFor(s.mode, 3, &expected);
        FskSignalOptions o = SignalFor(s);
        Configure(s.mode, s.baud, width, o.spaceHz, o.markHz);
        o.offsetHz = 4.0;
        o.clockError = clock;
        o.seed = static_cast<uint32_t>(s.baud * 10 + width + (clock > 0 ? 1000 : 0));
        o.noiseRms = std::sqrt(o.amplitude * o.amplitude * (11025.0 / s.baud) / (4.0 * ebN0));
        const std::string got = Run(sent, o);
        const double cer = test::CharacterErrorRate(expected, got);
        EXPECT_LT(cer, kLimit);
      }
    }
  }
}

// With one stop bit a character is as long as the hold after the previous one. The hold is
// measured from the character's best position, so a sender whose clock runs 2 % fast or slow
// over a thousand 8N1 characters still loses none. A hold counted from the window start
// instead lets a fast sender's start edges run ahead of the window by 220 x 0.0002 = 0.044
// sub-samples a character, past the half bit of slack within 250 characters: 200 ppm, a
// common sound-card error, already loses characters here.
TEST_F(RttyDecoderTest, OneStopBitSenderWithClockErrorLosesNothing) {
  for (double clock : {0.02, 0.0002, -0.02}) {
    SCOPED_TRACE(testing::Message() << "clock " << clock);
    const SpeedCase s = {kModeAscii8, 300, 500, 1.0};
    std::string expected;
    const std::vector<int> sent = RepeatedCodesFor(s.mode, 4, &expected);
    FskSignalOptions o = SignalFor(s);
    o.clockError = clock;
    Configure(s.mode, s.baud, 0, o.spaceHz, o.markHz);
    EXPECT_EQ(Run(sent, o), expected);
  }
}

// Set up while the carrier is already on, two bits before back-to-back characters (as a file
// that starts with the transmission): until the filters have settled the ring takes neither
// mark nor space, so their first edge cannot pass for a start bit and misframe what follows.
TEST_F(RttyDecoderTest, SetUpUnderARunningCarrierFramesTheFirstCharacter) {
  for (const SpeedCase& s : {kSpeeds[0], kSpeeds[6]}) {
    for (int width = 0; width < 3; ++width) {
      SCOPED_TRACE(testing::Message() << "baud " << s.baud << " width " << width);
      std::string text;
      const std::vector<int> codes = CodesFor(s.mode, &text);
      const FskSignalOptions o = SignalFor(s);
      Configure(s.mode, s.baud, width, o.spaceHz, o.markHz);
      const std::vector<int16_t> samples = test::MakeStartStopSignal(codes, o);
      sink.text.clear();
      decoder.ProcessBlock(std::vector<float>(samples.begin(), samples.end()), true);
      EXPECT_EQ(sink.text, text);
    }
  }
}

TEST_F(RttyDecoderTest, ClosedSquelchPrintsNothing) {
  const SpeedCase s = kSpeeds[0];
  std::string text;
  const std::vector<int> codes = CodesFor(s.mode, &text);
  const FskSignalOptions o = SignalFor(s);
  Configure(s.mode, s.baud, 0, o.spaceHz, o.markHz);
  EXPECT_EQ(Run(test::MakeStartStopSignal(codes, o), false), "");
  EXPECT_FALSE(decoder.SquelchOpen());
  for (float v : decoder.SubBitRing()) EXPECT_EQ(v, TRttyDecoder::kIdle);
  EXPECT_EQ(Run(codes, o), text);
}

TEST_F(RttyDecoderTest, ReverseSwapsMarkAndSpace) {
  const SpeedCase s = kSpeeds[0];
  std::string text;
  const std::vector<int> codes = CodesFor(s.mode, &text);
  FskSignalOptions o = SignalFor(s);
  std::swap(o.markHz, o.spaceHz);  // mark on the lower tone
  Configure(s.mode, s.baud, 0, o.markHz, o.spaceHz);
  EXPECT_NE(Run(codes, o), text);
  Configure(s.mode, s.baud, 0, o.markHz, o.spaceHz);
  params.Reverse = 1;
  EXPECT_EQ(Run(codes, o), text);
}

// The search window starts 13 bits (286 sub-samples) behind the newest sample, one bit before
// the start bit, and a character is taken once its stop bit is in the ring: it comes out
// 13 bit times after the start edge (as the discriminator shows it) less one bit.
TEST_F(RttyDecoderTest, CharacterAppearsThirteenBitsAfterTheSearchWindowStart) {
  for (int width = 0; width < 3; ++width) {
    SCOPED_TRACE(testing::Message() << "width " << width);
    const SpeedCase s = kSpeeds[0];
    FskSignalOptions o = SignalFor(s);
    Configure(s.mode, s.baud, width, o.spaceHz, o.markHz);
    const std::vector<int> codes = {31, 10};  // LTRS R
    const std::vector<int16_t> samples = test::MakeStartStopSignal(codes, o);
    sink.text.clear();
    const size_t edge = static_cast<size_t>(test::StartEdgeSample(1, o));
    size_t seenEdge = 0, at = 0;
    for (size_t i = 0; i < samples.size() && sink.text.empty(); ++i) {
      decoder.ProcessSample(samples[i]);
      if (i > edge && seenEdge == 0 && decoder.Discriminator() < 0) seenEdge = i;
      at = i;
    }
    ASSERT_EQ(sink.text, "R");
    const double spb = 11025.0 / 45.45;
    EXPECT_NEAR((at - seenEdge) / spb + 1.0, 13.0, 0.25);
  }
}

TEST_F(RttyDecoderTest, SetBaud45IsSetBaud45Point45) {
  TBaudotDecoder baudot2{params, sink};
  TRttyDecoder other{sine, params, window, baudot2};
  other.Start();
  for (int width = 0; width < 3; ++width) {
    ASSERT_TRUE(decoder.SetBaud(45, width));
    ASSERT_TRUE(other.SetBaud(45.45, width));
    EXPECT_EQ(decoder.BaudInt(), other.BaudInt());
    EXPECT_EQ(decoder.SamplesPerBit(), other.SamplesPerBit());
    EXPECT_EQ(decoder.SubStep(), other.SubStep());
    EXPECT_EQ(decoder.PathRate(), other.PathRate());
    EXPECT_EQ(decoder.AverageLength(), other.AverageLength());
    FskSignalOptions o = SignalFor(kSpeeds[0]);
    o.noiseRms = 3000;
    std::string text;
    const std::vector<int16_t> samples = test::MakeStartStopSignal(CodesFor(kModeRtty, &text), o);
    for (int16_t x : samples) {
      decoder.ProcessSample(x);
      other.ProcessSample(x);
    }
    EXPECT_EQ(decoder.SubBitRing(), other.SubBitRing());
    EXPECT_EQ(decoder.Discriminator(), other.Discriminator());
  }
  EXPECT_DOUBLE_EQ(decoder.SamplesPerBit(), 11025.0 / 45.45);
}

TEST_F(RttyDecoderTest, SetUpClearsStateAndRefusesNonsense) {
  // Stop right after a character: the decoder holds off its next search.
  const FskSignalOptions o = SignalFor(kSpeeds[0]);
  Configure(kModeRtty, 45.45, 0, o.spaceHz, o.markHz);
  const std::vector<int16_t> samples = test::MakeStartStopSignal(std::vector<int>{31, 10}, o);
  sink.text.clear();
  for (size_t i = 0; i < samples.size() && sink.text.empty(); ++i) decoder.ProcessSample(samples[i]);
  ASSERT_EQ(sink.text, "R");
  EXPECT_TRUE(decoder.Holding());
  window.panels[9] = "DCD";
  ASSERT_TRUE(decoder.SetBaud(75, 2));
  EXPECT_EQ(window.panels[9], "");
  EXPECT_FALSE(decoder.Holding());
  EXPECT_EQ(decoder.PathRate(), 919);
  for (float v : decoder.SubBitRing()) EXPECT_EQ(v, 0.0f);
  // The 4 Bd Optimal set-up runs a one-bit moving average, forced odd: 11025 / 4 rounds to 2756.
  ASSERT_TRUE(decoder.SetBaud(4, 0));
  EXPECT_EQ(decoder.AverageLength(), 2757);
  for (double bad : {0.0, -45.0, std::nan(""), HUGE_VAL, 1e6}) {
    EXPECT_FALSE(decoder.SetBaud(bad, 0)) << bad;
    EXPECT_EQ(decoder.BaudInt(), 4);
  }
  EXPECT_FALSE(decoder.SetDataBits(6));
  EXPECT_FALSE(decoder.SetDataBits(40));
  EXPECT_EQ(decoder.DataBits(), 5);
}

TEST_F(RttyDecoderTest, FourBaudOnTheMovingAveragePath) {
  std::string text = "RYRY 123";
  const std::vector<int> codes = test::BaudotCodesOf(text, 0);
  FskSignalOptions o;
  o.baud = 4;
  o.spaceHz = 1700 - 85;
  o.markHz = 1700 + 85;
  o.leadBits = 20;
  o.tailBits = 15;
  o.noiseRms = 2000;
  Configure(kModeRtty, 4, 0, o.spaceHz, o.markHz);
  EXPECT_EQ(Run(codes, o), text);
}

TEST_F(RttyDecoderTest, StartIsFortyFiveBaudOptimalOnTheDefaultTones) {
  TBaudotDecoder baudot2{params, sink};
  TRttyDecoder fresh{sine, params, window, baudot2};
  EXPECT_FALSE(fresh.Enabled());
  EXPECT_EQ(fresh.DataBits(), 5);
  fresh.Start();
  EXPECT_TRUE(fresh.Enabled());
  EXPECT_EQ(fresh.BaudInt(), 45);
  EXPECT_DOUBLE_EQ(fresh.SamplesPerBit(), 11025.0 / 45.45);
  EXPECT_DOUBLE_EQ(fresh.SubStep(), 11025.0 / 45.45 / 22);
  EXPECT_EQ(fresh.PathRate(), 919);
  EXPECT_EQ(fresh.AverageLength(), 0);
  EXPECT_EQ(fresh.ToneAStep(), 6286);  // 2115 Hz
  EXPECT_EQ(fresh.ToneBStep(), 6791);  // 2285 Hz
}

TEST_F(RttyDecoderTest, DisabledDoesNothing) {
  decoder.SetEnabled(false);
  FskSignalOptions o = SignalFor(kSpeeds[0]);
  std::string text;
  EXPECT_EQ(Run(test::MakeStartStopSignal(CodesFor(kModeRtty, &text), o)), "");
  EXPECT_EQ(decoder.Discriminator(), 0.0);
}

// Reset clears the whole decoder, its front end, ring, hold and settling included: stopped in
// the middle of a transmission and reset, it decodes the next one exactly as a decoder just
// set up does, sub-sample for sub-sample.
TEST_F(RttyDecoderTest, ResetClearsTheWholeDecoder) {
  const FskSignalOptions o = SignalFor(kSpeeds[0]);
  std::string text;
  const std::vector<int16_t> samples = test::MakeStartStopSignal(CodesFor(kModeRtty, &text), o);
  for (int width = 0; width < 3; ++width) {
    SCOPED_TRACE(width);
    Configure(kModeRtty, 45.45, width, o.spaceHz, o.markHz);
    decoder.ProcessBlock(std::vector<float>(samples.begin(), samples.begin() + samples.size() / 2), true);
    decoder.Reset();
    TBaudotDecoder baudot2{params, sink};
    TRttyDecoder fresh{sine, params, window, baudot2};
    fresh.Start();
    ASSERT_TRUE(fresh.SetBaud(45.45, width));
    fresh.SetTones(HzToUnits(o.spaceHz), HzToUnits(o.markHz));
    EXPECT_FALSE(decoder.Holding());
    for (int16_t x : samples) {
      decoder.ProcessSample(x);
      fresh.ProcessSample(x);
    }
    EXPECT_EQ(decoder.SubBitRing(), fresh.SubBitRing());
    EXPECT_EQ(decoder.Discriminator(), fresh.Discriminator());
  }
}

// The block loop (built for AVX2 and FMA where the processor has them) against the sample call
// (built for any x86-64), on every path: the discriminator agrees to rounding after every
// block, and both decode the same text from a noisy signal.
TEST_F(RttyDecoderTest, BlockLoopMatchesTheSampleCall) {
  for (const SpeedCase& s : {kSpeeds[0], kSpeeds[5], kSpeeds[6]}) {
    SCOPED_TRACE(s.baud);
    std::string text;
    const std::vector<int> codes = CodesFor(s.mode, &text);
    FskSignalOptions o = SignalFor(s);
    o.noiseRms = 2000.0;
    const std::vector<int16_t> samples = test::MakeStartStopSignal(codes, o);
    Configure(s.mode, s.baud, 0, o.spaceHz, o.markHz);
    test::FakeRxSink sampleSink;
    TBaudotDecoder baudot2{params, sampleSink};
    TRttyDecoder perSample{sine, params, window, baudot2};
    perSample.Start();
    ASSERT_TRUE(perSample.SetBaud(s.baud, 0));
    ASSERT_TRUE(perSample.SetDataBits(decoder.DataBits()));
    perSample.SetTones(HzToUnits(o.spaceHz), HzToUnits(o.markHz));
    sink.text.clear();
    const std::vector<float> x(samples.begin(), samples.end());
    for (size_t at = 0; at < x.size(); at += 2048) {
      const size_t n = std::min<size_t>(2048, x.size() - at);
      decoder.ProcessBlock(std::span<const float>(x.data() + at, n), true);
      for (size_t i = at; i < at + n; ++i) perSample.ProcessSample(x[i]);
      ASSERT_NEAR(decoder.Discriminator(), perSample.Discriminator(),
                  1e-9 * std::fabs(perSample.Discriminator()) + 1e-3)
          << at;
    }
    EXPECT_EQ(sink.text, sampleSink.text);
    EXPECT_EQ(sink.text, text);
  }
}

// The mode switch's pushes through the receiver interface: the row's character length, the
// speed with the filter width, the tones; a row without a character length is refused.
TEST_F(RttyDecoderTest, TakesItsSettingsThroughTheReceiverInterface) {
  ModeReceiver& receiver = decoder;
  EXPECT_TRUE(receiver.SelectMode(ModeRowOf(kModeAscii8)));
  EXPECT_EQ(decoder.DataBits(), 8);
  EXPECT_FALSE(receiver.SelectMode(ModeRowOf(kModeBpsk31)));
  EXPECT_EQ(decoder.DataBits(), 8);
  EXPECT_TRUE(receiver.SelectMode(ModeRowOf(kModeRtty)));
  EXPECT_EQ(decoder.DataBits(), 5);
  EXPECT_TRUE(receiver.SetSpeed(300, 1));
  EXPECT_EQ(decoder.BaudInt(), 300);
  EXPECT_EQ(decoder.PathRate(), 2756);
  EXPECT_FALSE(receiver.SetSpeed(0.0, 0));
  EXPECT_TRUE(receiver.SetTones(4800, 5305));
  EXPECT_EQ(decoder.ToneAStep(), 4800);
  EXPECT_EQ(decoder.ToneBStep(), 5305);
}

}  // namespace
}  // namespace vestrel
