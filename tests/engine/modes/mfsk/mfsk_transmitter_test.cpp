#include "engine/modes/mfsk/mfsk_transmitter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/frequency_unit.h"
#include "engine/modes/mfsk/mfsk_code.h"

namespace vestrel {
namespace {

struct Tx {
  explicit Tx(bool mfsk8, double rate = 11025.0) {
    rates.OutSamplingFreq = rate;
    tx.SetMode(mfsk8);
    out.resize(tx.MaxSymbolSamples());
  }
  std::vector<int16_t> Encode(TxSymbol code) {
    const uint32_t n = tx.EncodeSymbol(code, out.data());
    EXPECT_LE(n, out.size());
    return std::vector<int16_t>(out.begin(), out.begin() + n);
  }
  const SineTable sine;
  TModemParams params;
  TSampleRates rates;
  TMfskTransmitter tx{sine, params, rates};
  std::vector<int16_t> out;
};

// The preamble: 3600 samples of silence, then the first tone rising over 512 samples by a
// quarter sine (the products of two table entries over 32000, truncated) and 5000 samples of
// it steady; the postamble 5000 steady and a 512-sample quarter-cosine fall. The first tone is
// tone 0, tone N - 1 under Reverse, in both modes.
TEST(MfskTransmitter, PreambleAndPostamble) {
  for (bool mfsk8 : {false, true}) {
    for (int reverse : {0, 1}) {
      Tx t(mfsk8);
      t.params.Reverse = reverse;
      const std::vector<int16_t> pre = t.Encode(kTxPreamble);
      ASSERT_EQ(pre.size(), 3600u + 512u + 5000u);
      const uint32_t step = static_cast<uint32_t>(t.tx.StepOf(reverse ? t.tx.Tones() - 1 : 0));
      for (size_t i = 0; i < 3600; ++i) ASSERT_EQ(pre[i], 0) << i;
      uint32_t phase = 0;
      for (uint32_t i = 0; i < 512 + 5000; ++i) {
        phase = (phase + step) & SineTable::kMask;
        int32_t expected = t.sine.Sin(phase);
        if (i < 512) expected = expected * t.sine.Sin(16 * i) / 32000;
        ASSERT_EQ(pre[3600 + i], expected) << i;
      }
      const std::vector<int16_t> post = t.Encode(kTxEnd);
      ASSERT_EQ(post.size(), 5000u + 512u);
      for (uint32_t i = 0; i < 5000 + 512; ++i) {
        phase = (phase + step) & SineTable::kMask;
        int32_t expected = t.sine.Sin(phase);
        if (i >= 5000) expected = expected * t.sine.Cos(16 * (i - 5000)) / 32000;
        ASSERT_EQ(post[i], expected) << i;
      }
      EXPECT_LT(std::abs(post.back()), 200);
    }
  }
}

// Symbol lengths: 64 ms (MFSK16) or 128 ms (MFSK8) at the output rate in thousandths, so at
// 11025 samples/s an MFSK16 symbol is 705.6 samples on average, 705 and 706: after m symbols
// exactly ceil(m x 705.6) samples.
TEST(MfskTransmitter, SymbolLengthsKeepTheAverage) {
  struct Case {
    bool mfsk8;
    double rate;
    int64_t milli;
  };
  for (const Case& c : {Case{false, 11025.0, 705600}, Case{true, 11025.0, 1411200},
                        Case{false, 48000.0, 3072000}, Case{true, 11024.3, 1411110}}) {
    Tx t(c.mfsk8, c.rate);
    EXPECT_EQ(t.tx.SymbolLengthMilli(), c.milli);
    size_t total = 0;
    for (int m = 8; m <= 80; m += 8) {  // -25: 8 symbols
      const size_t n = t.Encode(kTxMfskPad).size();
      const size_t lower = static_cast<size_t>(c.milli / 1000);
      EXPECT_GE(n, 8 * lower);
      EXPECT_LE(n, 8 * (lower + 1));
      total += n;
      EXPECT_EQ(total, static_cast<size_t>((m * c.milli + 999) / 1000)) << m;
    }
  }
  // -26, the tune signal: 15 symbols in MFSK16, 7 in MFSK8, some 0.9 s either way.
  EXPECT_EQ(Tx(false).Encode(kTxMfskTuneB).size(), 10584u);  // ceil(15 x 705.6)
  EXPECT_EQ(Tx(true).Encode(kTxMfskTuneB).size(), 9879u);    // ceil(7 x 1411.2)
}

// A space is 1, 0, 0: six code bits, one and a half MFSK16 symbols. Symbols leave the assembly
// only when 4 bits are in, so the first space sends one symbol and keeps two bits, the second
// completes two more; a character's bits run into the next character's symbols.
TEST(MfskTransmitter, CodeBitsFillSymbolsAcrossCharacters) {
  Tx t(false);
  t.Encode(kTxPreamble);
  EXPECT_EQ(t.Encode(' ').size(), 706u);                    // 1 symbol
  EXPECT_EQ(t.Encode(' ').size(), 705u + 706u);             // 2 symbols (6 + 2 = 8 bits)
  EXPECT_EQ(t.Encode('e').size(), 705u + 706u);             // 1,0,0,0: 8 bits, 2 symbols
  EXPECT_EQ(t.Encode(kTxMfskZeros).size(), 6351u - 3528u);  // 16 bits, symbols 6..9
  Tx m8(true);
  m8.Encode(kTxPreamble);
  EXPECT_EQ(m8.Encode(' ').size(), 1412u);       // 6 bits: 1 symbol of 5, one kept
  EXPECT_EQ(m8.Encode('e').size(), 0u + 1411u);  // 1 + 8 = 9 bits: 1 symbol, 4 kept
}

// Tones: the tune and pad codes send value 0, whose tone is the first one, directly (not through
// the interleaver, whose state would make other tones of them). Reverse sends tone N - 1 - t.
TEST(MfskTransmitter, ValueZeroIsTheFirstToneAndReverseMirrors) {
  for (int reverse : {0, 1}) {
    Tx t(false);
    t.params.Reverse = reverse;
    t.Encode(kTxPreamble);
    t.Encode('Q');  // fills the interleaver with other bits
    const uint32_t phase0 = t.tx.Phase;
    const std::vector<int16_t> tune = t.Encode(kTxMfskTuneB);
    const uint32_t step = static_cast<uint32_t>(t.tx.StepOf(reverse ? 15 : 0));
    uint32_t phase = phase0;
    for (size_t i = 0; i < tune.size(); ++i) {
      phase = (phase + step) & SineTable::kMask;
      ASSERT_EQ(tune[i], t.sine.Sin(phase)) << i;
    }
  }
  EXPECT_EQ(MfskGrayInverse[0], 0);
}

// The tone plan at the output rate: tone i at the base tone + i x spacing, each rounded.
TEST(MfskTransmitter, TonesAtTheOutputRate) {
  Tx t(true, 48000.0);
  const int32_t base = HzToUnits(1000.0, 48000.0);
  t.tx.SetTones(base);
  const double first = UnitsToHz(base, 48000.0);  // 1000.49 Hz
  for (int i = 0; i < 32; ++i) EXPECT_EQ(t.tx.StepOf(i), HzToUnits(first + i * 7.8125, 48000.0)) << i;
  EXPECT_EQ(t.tx.FirstBin(), HzToBins(first, 48000.0));
  EXPECT_EQ(t.tx.LastBin(), HzToBins(first + 31 * 7.8125, 48000.0));
}

// The longest codes fit the bound the pump sizes its scratch from, at any output rate.
TEST(MfskTransmitter, EveryCodeFitsItsBound) {
  for (double rate : {8000.0, 11025.0, 48000.0, 96000.0, 192000.0}) {
    for (bool mfsk8 : {false, true}) {
      Tx t(mfsk8, rate);
      for (TxSymbol code : {kTxPreamble, kTxMfskPad, kTxMfskTuneB, kTxMfskTuneA, kTxMfskZeros, TxSymbol{0},
                            TxSymbol{255}, TxSymbol{148}, kTxEnd, kTxMfskTuneA})
        EXPECT_LE(t.tx.EncodeSymbol(code, t.out.data()), t.tx.MaxSymbolSamples()) << rate << " " << code;
    }
  }
}

}  // namespace
}  // namespace vestrel
