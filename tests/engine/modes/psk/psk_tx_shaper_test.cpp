#include "engine/modes/psk/psk_tx_shaper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <vector>

#include "engine/frequency_unit.h"
#include "engine/mode_number.h"

namespace vestrel {
namespace {

class PskTxShaperTest : public ::testing::Test {
 protected:
  void SetUp() override { Configure(31, 11025.0, 1000.0); }

  void Configure(int rateCode, double outRate, double toneHz) {
    params.Mode = kModeBpsk31;
    params.TxTone[0] = params.TxTone[1] = HzToUnits(toneHz, outRate);
    rates.OutSamplingFreq = outRate;
    shaper.SetPskRate(rateCode);
    buffer.assign(shaper.PskSymbolLen() + 2, 0);
  }

  // One symbol's samples.
  std::vector<int16_t> Symbol(int symbol) {
    const uint32_t n = shaper.PskTxSymbol(symbol, buffer.data(), phase);
    return {buffer.begin(), buffer.begin() + n};
  }
  std::vector<int16_t> Carrier(int bit) {
    const uint32_t n = shaper.PskTxCarrier(bit, buffer.data(), phase);
    return {buffer.begin(), buffer.begin() + n};
  }

  static int Peak(const std::vector<int16_t>& s, size_t from, size_t to) {
    int p = 0;
    for (size_t k = from; k < to && k < s.size(); ++k) p = std::max(p, std::abs(static_cast<int>(s[k])));
    return p;
  }

  SineTable sine;
  TModemParams params;
  TSampleRates rates;
  TPskTxShaper shaper{sine, params, rates};
  std::vector<int16_t> buffer;
  uint32_t phase = 0;
};

// Symbols keep the true rate: 1000 symbols take 1000 x rate / baud samples, whole symbols of
// the floor or the ceiling of that, for the BPSK carrier and the QPSK shaper alike, at the
// nominal rate and at a calibrated one.
TEST_F(PskTxShaperTest, ThousandSymbolsTakeTheTrueTime) {
  struct Case {
    int rateCode;
    double baud;
    double outRate;
  };
  const Case cases[] = {{31, 31.25, 11025.0}, {63, 62.5, 11025.0}, {125, 125.0, 11025.0},
                        {31, 31.25, 11025.3}, {63, 62.5, 11025.3}, {125, 125.0, 11025.3}};
  for (const Case& c : cases) {
    for (bool qpsk : {false, true}) {
      SCOPED_TRACE(testing::Message() << c.baud << " Bd at " << c.outRate << (qpsk ? " QPSK" : " BPSK"));
      Configure(c.rateCode, c.outRate, 1000.0);
      const double exact = c.outRate / c.baud;
      int64_t total = 0;
      for (int k = 0; k < 1000; ++k) {
        const uint32_t n = qpsk ? shaper.PskTxQpskBit(k % 3 == 0, buffer.data(), phase)
                                : shaper.PskTxCarrier(k % 3 == 0, buffer.data(), phase);
        ASSERT_GE(n, static_cast<uint32_t>(std::floor(exact)));
        ASSERT_LE(n, static_cast<uint32_t>(std::ceil(exact)));
        total += n;
      }
      EXPECT_NEAR(static_cast<double>(total), 1000.0 * exact, 1.0);
    }
  }
}

// The arrays follow the rate: at 22050 and 48000 samples/s (705.6 and 1536 samples a symbol at
// 31.25 Bd) every symbol is shaped over its whole length, inside the arrays (AddressSanitizer
// watches the reads), and a steady symbol keeps full amplitude to its end.
TEST_F(PskTxShaperTest, HighOutputRatesShapeWholeSymbols) {
  for (double rate : {22050.0, 48000.0, 96000.0}) {
    SCOPED_TRACE(rate);
    Configure(31, rate, 1000.0);
    const double exact = rate / 31.25;
    // BPSK: reversals and steady carrier.
    for (int k = 0; k < 20; ++k) {
      const std::vector<int16_t> s = Carrier(k & 1);
      ASSERT_GE(s.size(), static_cast<size_t>(std::floor(exact)));
      ASSERT_LE(s.size(), static_cast<size_t>(std::ceil(exact)));
      if (k & 1) {
        EXPECT_GT(Peak(s, s.size() - s.size() / 8, s.size()), 31000);
      }
    }
    // QPSK and keying: every symbol from every state.
    for (int sym : {5, 1, 2, 3, 0, 4, 0, 5, 3, 4, 5}) {
      const std::vector<int16_t> s = Symbol(sym);
      ASSERT_LE(s.size(), static_cast<size_t>(std::ceil(exact)));
    }
    const std::vector<int16_t> steady = Symbol(0);
    EXPECT_GT(Peak(steady, steady.size() - steady.size() / 8, steady.size()), 31000);
  }
}

// A new output rate (the setup dialog's) reaches the next symbol without a new SetPskRate:
// the lengths and the arrays follow it, and every symbol fits the length announced for the
// pump's buffer.
TEST_F(PskTxShaperTest, OutputRateChangeIsFollowed) {
  Configure(63, 11025.0, 1000.0);
  EXPECT_EQ(Carrier(0).size(), 177u);  // 176.4 samples a symbol: the first one rounds up
  rates.OutSamplingFreq = 48000.0;
  EXPECT_EQ(shaper.PskSymbolLen(), 768u);
  buffer.assign(shaper.PskSymbolLen() + 1, 0);
  EXPECT_EQ(Carrier(0).size(), 768u);
  EXPECT_EQ(Symbol(5).size(), 768u);
  rates.OutSamplingFreq = 8000.0;
  EXPECT_EQ(Symbol(0).size(), 128u);
  EXPECT_DOUBLE_EQ(shaper.PskCarrierLen, 128.0);
}

// After symbol 4 the carrier is off, and symbol 0 keeps it off; symbol 5 then rises in the
// second half of its symbol only, to quadrant 0.
TEST_F(PskTxShaperTest, OffStaysOffAndFiveRisesInTheSecondHalf) {
  Symbol(5);
  const std::vector<int16_t> on = Symbol(0);
  EXPECT_GT(Peak(on, 0, on.size()), 31000);
  const std::vector<int16_t> off = Symbol(4);
  EXPECT_EQ(shaper.State, TPskTxShaper::kOff);
  EXPECT_GT(Peak(off, 0, 20), 31000);                         // from full carrier
  EXPECT_EQ(Peak(off, (off.size() + 1) / 2, off.size()), 0);  // silent from the middle on
  const std::vector<int16_t> still = Symbol(0);
  EXPECT_EQ(Peak(still, 0, still.size()), 0);
  EXPECT_EQ(shaper.State, TPskTxShaper::kOff);
  const std::vector<int16_t> rise = Symbol(5);
  EXPECT_EQ(shaper.State, 0);
  EXPECT_LE(Peak(rise, 0, rise.size() / 2), 1);
  EXPECT_LT(Peak(rise, rise.size() / 2, rise.size() * 5 / 8), 16000);
  EXPECT_GT(Peak(rise, rise.size() - 20, rise.size()), 31000);
  // Symbols outside 0..5 write nothing and leave the state.
  EXPECT_EQ(shaper.PskTxSymbol(6, buffer.data(), phase), 0u);
  EXPECT_EQ(shaper.PskTxSymbol(-1, buffer.data(), phase), 0u);
  EXPECT_EQ(shaper.State, 0);
}

// A BPSK 0 bit fades to zero at its middle, turns the phase by half a turn there and rises
// again: at 31.25 Bd and 11025 samples/s a 352-sample bit is 176 samples fading, then from the
// zero at sample 176 on, 176 samples rising in the opposite phase. The carrier's phase runs on
// from there.
TEST_F(PskTxShaperTest, BpskZeroBitReversesAtItsMiddle) {
  const uint32_t step = static_cast<uint32_t>(params.TxTone[0]);
  int checked = 0;
  for (int k = 0; k < 12; ++k) {
    const uint32_t start = phase;
    const std::vector<int16_t> bit = Carrier(0);
    const size_t n = bit.size();
    const size_t half = (n + 1) / 2;
    for (size_t i = 0; i < n; ++i) {
      // The sample against the tone the carrier had before the bit: same sign before the
      // middle, opposite after it.
      const double tone = sine.Sin(start + static_cast<uint32_t>(i + 1) * step);
      const double envelope = std::abs(std::cos(std::numbers::pi * i / n));
      ASSERT_LE(std::abs(bit[i]), 32000.0 * envelope + 1.0) << i;
      if (std::abs(tone) > 1000 && envelope > 0.05) {
        ASSERT_EQ(bit[i] > 0, (tone > 0) == (i < half)) << "sample " << i << " of " << n;
      }
    }
    EXPECT_EQ(phase, (start + static_cast<uint32_t>(n) * step + SineTable::kSize / 2) & SineTable::kMask);
    if (n == 352) {
      EXPECT_EQ(half, 176u);
      EXPECT_EQ(bit[176], 0);
      ++checked;
    }
  }
  EXPECT_GT(checked, 0);
}

// Reverse turns every QPSK step the other way (1 and 3 exchanged, 0 and 2 kept); BPSK does not
// change.
TEST_F(PskTxShaperTest, ReverseExchangesQpskStepsOneAndThree) {
  TModemParams reversedParams = params;
  reversedParams.Reverse = 1;
  TPskTxShaper reversed{sine, reversedParams, rates};
  reversed.SetPskRate(31);
  std::vector<int16_t> other(buffer.size());
  uint32_t otherPhase = 0;
  int quarterTurns = 0;
  const int bits[] = {1, 0, 1, 1, 0, 0, 1, 0, 1, 1, 1, 0, 0, 0, 1, 0, 1, 0, 0, 1};
  for (int b : bits) {
    const int before = shaper.State, otherBefore = reversed.State;
    shaper.PskTxQpskBit(b, buffer.data(), phase);
    reversed.PskTxQpskBit(b, other.data(), otherPhase);
    if (before == TPskTxShaper::kOff) continue;
    const int step = (shaper.State - before) & 3;
    const int otherStep = (reversed.State - otherBefore) & 3;
    EXPECT_EQ(otherStep, (4 - step) & 3);
    quarterTurns += step == 1 || step == 3;
  }
  EXPECT_GT(quarterTurns, 0);
  for (int b : bits) {
    const uint32_t n = shaper.PskTxCarrier(b, buffer.data(), phase);
    ASSERT_EQ(reversed.PskTxCarrier(b, other.data(), otherPhase), n);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + n, other.begin()));
  }
}

// The carrier is on the lower transmit tone; the MFSK modes with Reverse on key the upper one.
TEST_F(PskTxShaperTest, ToneIsTheLowerTransmitToneButInReversedMfsk) {
  params.TxTone[0] = 4000;
  params.TxTone[1] = 5000;
  struct Case {
    int32_t mode;
    int reverse;
    uint32_t step;
  };
  const Case cases[] = {
      {kModeBpsk31, 1, 4000}, {kModeMfsk16, 0, 4000}, {kModeMfsk16, 1, 5000}, {kModeMfsk8, 1, 5000}};
  for (const Case& c : cases) {
    params.Mode = c.mode;
    params.Reverse = c.reverse;
    uint32_t p = 100;
    const uint32_t n = shaper.PskTxCarrier(1, buffer.data(), p);
    EXPECT_EQ(p, (100 + n * c.step) & SineTable::kMask) << c.mode << " " << c.reverse;
  }
}

}  // namespace
}  // namespace vestrel
