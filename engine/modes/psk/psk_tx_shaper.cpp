#include "engine/modes/psk/psk_tx_shaper.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "engine/frequency_unit.h"
#include "engine/mode_table.h"
#include "engine/modes/psk/qpsk_code.h"

namespace vestrel {

namespace {

constexpr double kLevel = 0.7;  // I and Q amplitude of a steady carrier

// An amplitude course over one symbol: a c(i) + b in the first half (i < n/2) and in the
// second, with c(i) = 0.7 cos(pi i / n).
struct Course {
  double a1, b1, a2, b2;
};
constexpr Course kZero{0, 0, 0, 0};
constexpr Course kPlus{0, kLevel, 0, kLevel};
constexpr Course kMinus{0, -kLevel, 0, -kLevel};
constexpr Course kFall{1, 0, 1, 0};           // +0.7 to -0.7
constexpr Course kRise{-1, 0, -1, 0};         // -0.7 to +0.7
constexpr Course kOffFromPlus{1, 0, 0, 0};    // +0.7 to 0 in the first half
constexpr Course kOffFromMinus{-1, 0, 0, 0};  // -0.7 to 0 in the first half
constexpr Course kOnToPlus{0, 0, -1, 0};      // 0, then up to +0.7 in the second half

struct Transition {
  const Course* i;
  const Course* q;
  int next;
};

// [symbol][state]: the I and Q courses and the next state.
constexpr Transition kTransitions[6][5] = {
    {{&kPlus, &kPlus, 0},
     {&kMinus, &kPlus, 1},
     {&kMinus, &kMinus, 2},
     {&kPlus, &kMinus, 3},
     {&kZero, &kZero, 4}},
    {{&kFall, &kPlus, 1},
     {&kMinus, &kFall, 2},
     {&kRise, &kMinus, 3},
     {&kPlus, &kRise, 0},
     {&kOnToPlus, &kOnToPlus, 0}},
    {{&kFall, &kFall, 2},
     {&kRise, &kFall, 3},
     {&kRise, &kRise, 0},
     {&kFall, &kRise, 1},
     {&kOnToPlus, &kOnToPlus, 0}},
    {{&kPlus, &kFall, 3},
     {&kRise, &kPlus, 0},
     {&kMinus, &kRise, 1},
     {&kFall, &kMinus, 2},
     {&kOnToPlus, &kOnToPlus, 0}},
    {{&kOffFromPlus, &kOffFromPlus, 4},
     {&kOffFromMinus, &kOffFromPlus, 4},
     {&kOffFromMinus, &kOffFromMinus, 4},
     {&kOffFromPlus, &kOffFromMinus, 4},
     {&kZero, &kZero, 4}},
    {{&kPlus, &kPlus, 0},
     {&kRise, &kPlus, 0},
     {&kRise, &kRise, 0},
     {&kPlus, &kRise, 0},
     {&kOnToPlus, &kOnToPlus, 0}},
};

int16_t RoundSample(double v) {
  return static_cast<int16_t>(std::floor(v + 0.5));
}

}  // namespace

TPskTxShaper::TPskTxShaper(const SineTable& sine, const TModemParams& params, const TSampleRates& rates)
    : sine_(sine), params_(params), rates_(rates) {
  SetPskRate(31);
}

double TPskTxShaper::SetPskRate(int rateCode) {
  PskTxBaud = rateCode == 125 ? 125.0 : rateCode == 63 ? 62.5 : 31.25;
  Build();
  return PskTxBaud;
}

uint32_t TPskTxShaper::PskSymbolLen() const {
  return static_cast<uint32_t>(std::floor(UsableTxRate(rates_.OutSamplingFreq) / PskTxBaud + 0.5));
}

void TPskTxShaper::Build() {
  builtFor_ = rates_.OutSamplingFreq;
  PskCarrierLen = UsableTxRate(builtFor_) / PskTxBaud;
  const auto base = static_cast<uint32_t>(std::floor(PskCarrierLen));
  for (uint32_t k = 0; k < 2; ++k) {
    Shape& s = shapes_[k];
    s.length = base + k;
    s.cosine.resize(s.length);
    s.envelope.resize(s.length);
    for (uint32_t i = 0; i < s.length; ++i) {
      const double c = std::cos(std::numbers::pi * i / s.length);
      s.cosine[i] = kLevel * c;
      s.envelope[i] = std::abs(c);
    }
  }
  PskCarrierAcc = 0.0;
  PskSymbolAcc = 0.0;
}

uint32_t TPskTxShaper::NextLength(double& acc) const {
  // One sample for every whole step of acc below PskCarrierLen, as a loop adding 1 per sample
  // would write; kept to the two lengths the arrays hold against rounding in acc.
  const uint32_t lo = shapes_[0].length;
  const double want = std::ceil(PskCarrierLen - acc);
  const uint32_t n = want <= lo ? lo : want >= lo + 1 ? lo + 1 : static_cast<uint32_t>(want);
  acc += n - PskCarrierLen;
  return n;
}

int32_t TPskTxShaper::ToneStep() const {
  // The MFSK modes keep their tone pair reversed as a whole.
  const bool mfsk = ModeRowOf(params_.Mode).tones == ToneLayout::kMfskPlan;
  return mfsk && params_.Reverse != 0 ? params_.TxTone[1] : params_.TxTone[0];
}

uint32_t TPskTxShaper::PskTxSymbol(int symbol, int16_t* out, uint32_t& phase) {
  if (symbol < 0 || symbol > 5) return 0;
  FollowRate();
  const Transition& t = kTransitions[symbol][State];
  State = t.next;
  const uint32_t n = NextLength(PskSymbolAcc);
  const double* c = ShapeOf(n).cosine.data();
  const uint32_t half = (n + 1) / 2;  // i < n/2
  const uint32_t step = static_cast<uint32_t>(ToneStep());
  uint32_t p = phase;
  auto run = [&](uint32_t from, uint32_t to, double ai, double bi, double aq, double bq) {
    for (uint32_t k = from; k < to; ++k) {
      p = (p + step) & SineTable::kMask;
      const double vi = ai * c[k] + bi;
      const double vq = aq * c[k] + bq;
      out[k] = RoundSample(sine_.Sin(p) * vi + sine_.Cos(p) * vq);
    }
  };
  run(0, half, t.i->a1, t.i->b1, t.q->a1, t.q->b1);
  run(half, n, t.i->a2, t.i->b2, t.q->a2, t.q->b2);
  phase = p;
  return n;
}

uint32_t TPskTxShaper::PskTxCarrier(int bit, int16_t* out, uint32_t& phase) {
  FollowRate();
  const uint32_t n = NextLength(PskCarrierAcc);
  const uint32_t step = static_cast<uint32_t>(ToneStep());
  const int16_t* table = sine_.data();
  uint32_t p = phase;
  if (bit != 0) {
    for (uint32_t k = 0; k < n; ++k) {
      p = (p + step) & SineTable::kMask;
      out[k] = table[p];
    }
    phase = p;
    return n;
  }
  const double* e = ShapeOf(n).envelope.data();
  const uint32_t half = (n + 1) / 2;
  for (uint32_t k = 0; k < n; ++k) {
    // Half a turn where the envelope passes zero: the reversal.
    if (k == half) p = (p + SineTable::kSize / 2) & SineTable::kMask;
    p = (p + step) & SineTable::kMask;
    out[k] = RoundSample(table[p] * e[k]);
  }
  phase = p;
  return n;
}

uint32_t TPskTxShaper::PskTxQpskBit(int bit, int16_t* out, uint32_t& phase) {
  QpskRegister = ((QpskRegister << 1) | (bit ? 0u : 1u)) & 31u;
  int symbol = kQpskEncoder[QpskRegister];
  if (params_.Reverse != 0) symbol = (4 - symbol) & 3;
  return PskTxSymbol(symbol, out, phase);
}

}  // namespace vestrel
