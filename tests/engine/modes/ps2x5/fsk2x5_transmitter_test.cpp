#include "engine/modes/ps2x5/fsk2x5_transmitter.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "engine/frequency_unit.h"
#include "engine/tx_symbol_queue.h"
#include "support/tone_reference.h"

namespace vestrel {
namespace {

class Fsk2x5TransmitterTest : public ::testing::Test {
 protected:
  Fsk2x5TransmitterTest() {
    params.TxTone[0] = HzToUnits(1000.0);
    params.TxTone[1] = HzToUnits(2000.0);
  }
  std::vector<int16_t> Encode(int code) {
    std::vector<int16_t> out(tx.MaxSymbolSamples());
    out.resize(tx.EncodeSymbol(code, out.data()));
    return out;
  }
  SineTable sine;
  TModemParams params;
  TSampleRates rates;
  TFsk2x5Transmitter tx{sine, params, rates};
};

TEST_F(Fsk2x5TransmitterTest, BitLengthFromTheOutputRate) {
  EXPECT_FALSE(tx.Enabled());
  EXPECT_TRUE(Encode(0).empty());  // nothing before a speed
  EXPECT_TRUE(tx.SetSpeed(25));
  EXPECT_EQ(tx.BitLengthMilli(), 441000);
  rates.OutSamplingFreq = 48000;
  EXPECT_TRUE(tx.SetSpeed(2));
  EXPECT_EQ(tx.BitLengthMilli(), 24000000);
  EXPECT_TRUE(tx.SetSpeed(45));
  EXPECT_EQ(tx.BitLengthMilli(), 1066667);
  EXPECT_FALSE(tx.SetSpeed(0));
  EXPECT_EQ(tx.BitLengthMilli(), 1066667);
}

// A 1 keeps the tone, a 0 changes it; five bits, the most significant first, each one bit of
// the accumulator (100 Bd: 110.25 samples, so 111, 110, 110, 110, 111 from a fresh start).
TEST_F(Fsk2x5TransmitterTest, SymbolsAreFiveNrziBitsWithContinuousPhase) {
  ASSERT_TRUE(tx.SetSpeed(100));
  const int32_t low = params.TxTone[0], high = params.TxTone[1];
  uint32_t phase = 0;
  // NRZI state 0 (lower tone) after the reset: 10110 keeps, changes, keeps, keeps, changes.
  const std::vector<int16_t> expected =
      test::ToneRuns(sine, {{low, 111}, {high, 110}, {high, 110}, {high, 110}, {low, 111}}, phase);
  EXPECT_EQ(Encode(0b10110), expected);
  EXPECT_EQ(tx.NrziState(), 0);
  // Symbol 0 changes at every bit; 31 keeps the tone for all five.
  const std::vector<int16_t> zero =
      test::ToneRuns(sine, {{high, 110}, {low, 110}, {high, 110}, {low, 111}, {high, 110}}, phase);
  EXPECT_EQ(Encode(0), zero);
  EXPECT_EQ(Encode(31), test::ToneRuns(sine, {{high, 551}}, phase));
}

// The start: 2 zero samples, a quarter-sine rise of one bit on the lower tone, then idle
// symbols up to 12000 samples; the end: idle up to 2000, a fall of one bit, 2 zeros.
TEST_F(Fsk2x5TransmitterTest, StartAndEndPieces) {
  ASSERT_TRUE(tx.SetSpeed(25));  // 441 samples a bit, 2205 a symbol
  const std::vector<int16_t> start = Encode(kTxPreamble);
  // 2 + 441 + 6 symbols (13230) is the first count from 12000 up.
  EXPECT_EQ(start.size(), 2u + 441u + 6 * 2205u);
  EXPECT_EQ(start[0], 0);
  EXPECT_EQ(start[1], 0);
  EXPECT_EQ(start[2], 0);  // the rise starts from nothing
  int peakRise = 0;
  for (size_t i = 2; i < 2 + 441; ++i) peakRise = std::max(peakRise, std::abs(int{start[i]}));
  EXPECT_GT(peakRise, 31000);
  int firstQuarter = 0;
  for (size_t i = 2; i < 2 + 100; ++i) firstQuarter = std::max(firstQuarter, std::abs(int{start[i]}));
  EXPECT_LT(firstQuarter, 12000);
  EXPECT_EQ(tx.Counter(), 8);

  const std::vector<int16_t> end = Encode(kTxEnd);
  EXPECT_EQ(end.size(), 2205u + 441u + 2u);  // one symbol reaches 2000
  EXPECT_EQ(end[end.size() - 1], 0);
  EXPECT_EQ(end[end.size() - 2], 0);
  int tail = 0;
  for (size_t i = end.size() - 12; i < end.size() - 2; ++i) tail = std::max(tail, std::abs(int{end[i]}));
  EXPECT_LT(tail, 2000);
  EXPECT_EQ(Encode(kTxLtrs).size(), 2205u);
  EXPECT_TRUE(Encode(-2).empty());
}

// At 2 Bd a symbol alone is 27562 samples: the start is the rise and one idle symbol, past
// 12000, 33077 samples; at 48000 samples/s a bit is 24000 samples and the rise alone passes
// 12000. Both fit the room the pump is told of.
TEST_F(Fsk2x5TransmitterTest, TheLongestPiecesFitTheirStatedRoom) {
  ASSERT_TRUE(tx.SetSpeed(2));
  std::vector<int16_t> out(tx.MaxSymbolSamples());
  EXPECT_EQ(tx.EncodeSymbol(kTxPreamble, out.data()), 2u + 5513u + 27562u);
  rates.OutSamplingFreq = 48000;
  ASSERT_TRUE(tx.SetSpeed(2));
  out.resize(tx.MaxSymbolSamples());
  EXPECT_EQ(tx.EncodeSymbol(kTxPreamble, out.data()), 2u + 24000u);
  EXPECT_EQ(tx.EncodeSymbol(31, out.data()), 120000u);
  EXPECT_EQ(tx.EncodeSymbol(kTxEnd, out.data()), 120000u + 24000u + 2u);
  EXPECT_GE(tx.MaxSymbolSamples(), 144002u);
}

TEST_F(Fsk2x5TransmitterTest, BlocksCountFromEightAndEchoTheirCharacters) {
  ASSERT_TRUE(tx.SetSpeed(25));
  BlockSymbols symbols, echo;
  const BlockBytes bytes = {'H', 'E', 'L', 'L', 'O', kEndOfText, 0};
  tx.BuildBlock(bytes, true, 5, symbols, echo);
  const BlockContent read = ReadBlock(symbols);
  EXPECT_EQ(read.kind, BlockContent::kEnd);
  EXPECT_EQ(read.counter, 8);
  EXPECT_EQ(read.length, 5);
  const BlockSymbols expectedEcho = {0, 0, 0, 0, 0, 0, 'H', 0, 0, 0, 'E', 0, 0, 0, 'L', 0,
                                     0, 0, 'L', 0, 0, 0, 'O', 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(echo, expectedEcho);
  EXPECT_EQ(tx.Counter(), 9);
  tx.Reset();
  EXPECT_EQ(tx.Counter(), 8);
}

}  // namespace
}  // namespace vestrel
