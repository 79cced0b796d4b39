#include "engine/tone_synth.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <vector>

#include "engine/mode_number.h"
#include "support/tone_reference.h"

namespace vestrel {
namespace {

using test::FirstPhaseBreak;
using test::ToneRuns;

// Records the bits and symbols handed to the PSK shaper; writes `len` samples per call.
class RecordingShaper : public PskTxShaper {
 public:
  uint32_t PskTxSymbol(int symbol, int16_t* out, uint32_t&) override { return Emit('s', symbol, out); }
  uint32_t PskTxCarrier(int bit, int16_t* out, uint32_t&) override { return Emit('b', bit, out); }
  uint32_t PskTxQpskBit(int bit, int16_t* out, uint32_t&) override { return Emit('q', bit, out); }
  uint32_t PskSymbolLen() const override { return len; }
  uint32_t Emit(char kind, int value, int16_t* out) {
    calls.emplace_back(kind, value);
    for (uint32_t i = 0; i < len; ++i) out[i] = 1;
    return len;
  }
  uint32_t len = 353;
  std::vector<std::pair<char, int>> calls;
};

class ToneSynthTest : public ::testing::Test {
 protected:
  std::vector<int16_t> Buffer() { return std::vector<int16_t>(synth.MaxSymbolSamples()); }

  SineTable sine;
  TModemParams params;
  TToneSynth synth{sine, params};
};

TEST_F(ToneSynthTest, RttyCharacterAt45BaudHasTheExactElementLengths) {
  // S = 242574: the bit accumulator gives 243, 243, 242, 243, 242, 243 for start and data and
  // 1.5 x S = 363861 thousandths, 364 samples, for the stop: 1820 in all.
  const int code = 0b10110;
  const std::array<int, 7> lengths = {243, 243, 242, 243, 242, 243, 364};
  const int32_t mark = params.TxTone[1], space = params.TxTone[0];
  std::vector<std::pair<int32_t, int>> runs = {{space, lengths[0]}};
  for (int b = 0; b < 5; ++b) runs.emplace_back(((code >> b) & 1) ? mark : space, lengths[b + 1]);
  runs.emplace_back(mark, lengths[6]);
  uint32_t refPhase = 1234;
  const std::vector<int16_t> expected = ToneRuns(sine, runs, refPhase);

  std::vector<int16_t> out = Buffer();
  uint32_t phase = 1234;
  ASSERT_EQ(synth.SynthFskChar(code, out.data(), phase), 1820u);
  out.resize(1820);
  EXPECT_EQ(out, expected);
  EXPECT_EQ(phase, refPhase);
}

TEST_F(ToneSynthTest, AsciiCharactersCarryStartDataAndOneStopElement) {
  // 110 Bd at 11025: S = 100227. ASCII-7 has 1 + 7 + 1 = 9 elements, ASCII-8 1 + 8 + 1 = 10;
  // the accumulator makes their sum ceil(elements x S / 1000).
  struct Case {
    int32_t mode;
    int elements;
    int expectedSamples;
  };
  for (const Case c : {Case{kModeAscii7, 9, 903}, Case{kModeAscii8, 10, 1003}}) {
    params.Mode = c.mode;
    params.TxSamplesPerBitMilli = 100227;
    const int code = 0xA5 & (c.mode == kModeAscii7 ? 0x7F : 0xFF);
    std::vector<std::pair<int32_t, int>> runs;
    int64_t acc = 0;
    const uint32_t bits = (1u << (c.elements - 1)) | (static_cast<uint32_t>(code) << 1);
    for (int e = 0; e < c.elements; ++e) {
      acc -= params.TxSamplesPerBitMilli;
      int n = 0;
      while (acc < 0) acc += 1000, ++n;
      runs.emplace_back(((bits >> e) & 1) ? params.TxTone[1] : params.TxTone[0], n);
    }
    uint32_t refPhase = 0;
    const std::vector<int16_t> expected = ToneRuns(sine, runs, refPhase);
    ASSERT_EQ(static_cast<int>(expected.size()), c.expectedSamples);
    std::vector<int16_t> out = Buffer();
    uint32_t phase = 0;
    ASSERT_EQ(synth.SynthFskChar(code, out.data(), phase), expected.size()) << c.mode;
    out.resize(expected.size());
    EXPECT_EQ(out, expected) << c.mode;
  }
}

TEST_F(ToneSynthTest, ReverseSwapsMarkAndSpace) {
  params.Reverse = 1;
  std::vector<int16_t> out = Buffer();
  uint32_t phase = 0;
  const uint32_t n = synth.SynthSteadyMark(out.data(), phase);
  // Seven bit lengths: ceil(7 x 242.574) = 1699 samples, all on the lower tone.
  ASSERT_EQ(n, 1699u);
  const std::array<int32_t, 1> lower = {params.TxTone[0]};
  EXPECT_EQ(FirstPhaseBreak(sine, std::span(out.data(), n), 0, lower), n);
}

TEST_F(ToneSynthTest, AmtorAccumulatorCarriesOverBetweenCharacters) {
  // 100 Bd at 11025: S = 110250, 110.25 samples a bit. 1000 characters of 7 bits are
  // 7000 x 110.25 = 771750 samples; without the carry each bit would round on its own.
  params.Mode = kModeAmtorFec;
  params.TxSamplesPerBitMilli = 110250;
  std::vector<int16_t> out = Buffer();
  uint32_t phase = 0;
  int64_t total = 0;
  for (int i = 0; i < 1000; ++i) total += synth.SynthAmtorChar(0x5A, out.data(), phase);
  EXPECT_NEAR(static_cast<double>(total), 771750.0, 1.0);
}

TEST_F(ToneSynthTest, PhaseIsContinuousAcrossCharacters) {
  std::vector<int16_t> all, out = Buffer();
  uint32_t phase = 777;
  for (int code : {1, 31, 27, 0, 22, 4}) {
    const uint32_t n = synth.SynthFskChar(code, out.data(), phase);
    all.insert(all.end(), out.begin(), out.begin() + n);
  }
  const std::array<int32_t, 2> steps = {params.TxTone[0], params.TxTone[1]};
  EXPECT_EQ(FirstPhaseBreak(sine, all, 777, steps), all.size());
}

TEST_F(ToneSynthTest, SilenceIsZeroAndResetsThePhase) {
  std::vector<int16_t> out = Buffer();
  std::fill(out.begin(), out.end(), 99);
  uint32_t phase = 4321;
  ASSERT_EQ(synth.WriteTxSilence(out.data(), phase), 2002u);
  EXPECT_EQ(phase, 0u);
  for (int i = 0; i < 2002; ++i) ASSERT_EQ(out[i], 0) << i;
}

TEST_F(ToneSynthTest, PreambleIsAGapThenAQuarterSineRiseOfTheMarkTone) {
  struct Case {
    int32_t mode;
    int reverse;
    int toneIndex;  // preamble tone: the lower when reversed or in a PSK mode
  };
  for (const Case c :
       {Case{kModeRtty, 0, 1}, Case{kModeRtty, 1, 0}, Case{kModeBpsk31, 0, 0}, Case{kModeQpsk63, 0, 0}}) {
    params.Mode = c.mode;
    params.Reverse = c.reverse;
    params.TxTone[0] = 3000;
    params.TxTone[1] = 3500;
    std::vector<int16_t> out = Buffer();
    uint32_t phase = 0;
    ASSERT_EQ(synth.WriteTxPreamble(out.data(), phase), 3600u + 512u) << c.mode;
    for (int i = 0; i < 3600; ++i) ASSERT_EQ(out[i], 0);
    uint32_t ref = 0;
    for (int i = 0; i < 512; ++i) {
      ref = (ref + static_cast<uint32_t>(params.TxTone[c.toneIndex])) & SineTable::kMask;
      const int expected = sine.Sin(ref) * sine.Sin(16 * i) / 32000;
      ASSERT_EQ(out[3600 + i], expected) << "mode " << c.mode << " sample " << i;
    }
    EXPECT_EQ(phase, ref);
  }
}

TEST_F(ToneSynthTest, TailIsFullToneThenAQuarterCosineFall) {
  std::vector<int16_t> out = Buffer();
  uint32_t phase = 100;
  ASSERT_EQ(synth.WriteTxTail(out.data(), phase), 2012u);
  uint32_t ref = 100;
  for (int i = 0; i < 2012; ++i) {
    ref = (ref + static_cast<uint32_t>(params.TxTone[1])) & SineTable::kMask;
    const int envelope = i < 1500 ? 32000 : sine.Sin(8192 + 16 * (i - 1500));
    ASSERT_EQ(out[i], sine.Sin(ref) * envelope / 32000) << i;
  }
  // The last 16 samples stay below 32000 x sin(2 pi x 16 x 16 / 32768) = 1570.
  for (int i = 1996; i < 2012; ++i) EXPECT_LT(std::abs(out[i]), 1571);
}

TEST_F(ToneSynthTest, PskCharactersHandTheirVaricodeBitsToTheShaper) {
  RecordingShaper shaper;
  synth.SetPskShaper(&shaper);
  std::vector<int16_t> out = Buffer();
  uint32_t phase = 0;
  // 'e' is 11: the separator 00 then 1 1; trailing zeros of the entry are not sent.
  EXPECT_EQ(synth.SynthBpskChar('e', out.data(), phase), 4 * 353u);
  // An idle code is four BPSK zeros (four reversals) or six QPSK zeros.
  EXPECT_EQ(synth.SynthBpskChar(-1, out.data(), phase), 4 * 353u);
  EXPECT_EQ(synth.SynthQpskChar(-1, out.data(), phase), 6 * 353u);
  const std::vector<std::pair<char, int>> expected = {{'b', 0}, {'b', 0}, {'b', 1}, {'b', 1}, {'b', 0},
                                                      {'b', 0}, {'b', 0}, {'b', 0}, {'q', 0}, {'q', 0},
                                                      {'q', 0}, {'q', 0}, {'q', 0}, {'q', 0}};
  EXPECT_EQ(shaper.calls, expected);
}

TEST_F(ToneSynthTest, Qpsk31FramesThroughTheShaperAndQpsk63ThroughTheTone) {
  RecordingShaper shaper;
  synth.SetPskShaper(&shaper);
  std::vector<int16_t> out = Buffer();
  uint32_t phase = 0;
  params.Mode = kModeQpsk31;
  EXPECT_EQ(synth.WriteTxPreamble(out.data(), phase), 3600u + 17 * 353u);
  EXPECT_EQ(synth.WriteTxTail(out.data(), phase), 17 * 353u);
  ASSERT_EQ(shaper.calls.size(), 34u);
  EXPECT_EQ(shaper.calls.front(), std::make_pair('s', 5));
  EXPECT_EQ(shaper.calls.back(), std::make_pair('s', 4));
  for (size_t i = 1; i < 33; ++i) EXPECT_EQ(shaper.calls[i], std::make_pair('q', 0)) << i;
  shaper.calls.clear();
  params.Mode = kModeQpsk63;
  EXPECT_EQ(synth.WriteTxPreamble(out.data(), phase), 4112u);
  EXPECT_EQ(synth.WriteTxTail(out.data(), phase), 2012u);
  EXPECT_TRUE(shaper.calls.empty());
}

TEST_F(ToneSynthTest, WithoutAShaperPskWritesNothing) {
  std::vector<int16_t> out = Buffer();
  uint32_t phase = 0;
  EXPECT_EQ(synth.SynthBpskChar('a', out.data(), phase), 0u);
  EXPECT_EQ(synth.SynthQpskChar('a', out.data(), phase), 0u);
}

}  // namespace
}  // namespace vestrel
