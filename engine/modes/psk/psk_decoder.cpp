#include "engine/modes/psk/psk_decoder.h"

#include <bit>
#include <cmath>
#include <cstdlib>

#include "engine/codes/varicode_table.h"
#include "engine/mode_table.h"
#include "engine/modes/psk/psk_rate.h"

namespace vestrel {

namespace {
constexpr int kDcdPanel = 9;
constexpr int kLevelEvery = 61;  // input samples per level written
// The detector's products are of (16000 A)^2 for an input of amplitude A: 2^-60 brings a
// full-scale carrier near 1.
constexpr double kLevelScale = 1.0 / 1152921504606846976.0;  // 2^-60
constexpr double kLevelFloor = 1e-10;

// The received phase step in quarter turns, by (cross > 0, dot > 0, |dot| > |cross|).
constexpr int kQuadrantStep[8] = {3, 2, 3, 0, 1, 2, 1, 0};

// The signal test of each decision. BPSK: the cosine of the product's phase doubled, smoothed
// with kPhasorWeight; a steady signal keeps it near 1, noise near 0 (about 0.13 rms), and
// above kSteadyAt it says a signal. QPSK: the growth of the Viterbi decoder's best path metric,
// smoothed with kGrowthWeight; 0 while the steps fit the code, near 1 a step on noise, below
// kGrowthAt a signal. And the pair's power says the carrier is still there while it keeps
// above a quarter of the over's (followed with kPowerWeight, let down by kPowerDecay a
// decision while the squelch stays open without a signal).
constexpr double kPhasorWeight = 1.0 / 16.0;
constexpr double kSteadyAt = 0.3;
constexpr double kGrowthWeight = 1.0 / 8.0;
constexpr double kGrowthAt = 0.3;
constexpr double kPowerFall = 4.0;
constexpr double kPowerWeight = 1.0 / 8.0;
constexpr double kPowerDecay = 0.99;
// The Viterbi output lags the channel by 20 symbols: QPSK bits are judged by the test of then,
// and the decisions after them are known already.
constexpr int kViterbiLag = 20;
// A character passes with at most a third of its bits without a steady phase, and a signal in
// at least half of the kAfter decisions after it.
constexpr int kAbsentShare = 3;
constexpr int kAfter = 8;
constexpr uint64_t kAfterMask = (uint64_t{1} << kAfter) - 1;

bool HalfOrMore(uint64_t bits) {
  return std::popcount(bits & kAfterMask) * 2 >= kAfter;
}

}  // namespace

TPskDecoder::TPskDecoder(const SineTable& sine, const TModemParams& params, EngineWindow& window,
                         RxTextSink& sink)
    : params_(params), window_(window), sink_(sink), decode_(VaricodeDecodeTable()), front_(sine) {
  SetRate(31);
}

void TPskDecoder::Start() {
  Enabled = 0;
  SetRate(31);
  SetStep(6539);  // 2200 Hz
  LevelCount = 0;
  Enabled = 1;
}

int TPskDecoder::SetRate(int rateCode) {
  const int code = front_.SetRate(rateCode);
  const double baud = code == 125 ? 125.0 : code == 63 ? 62.5 : 31.25;
  SamplesPerSymbol = 11025.0 / baud;
  SymbolLag = static_cast<int>(std::floor(SamplesPerSymbol + 0.5));
  SubStep = SamplesPerSymbol / kSubSymbols;
  Reset();
  return code;
}

void TPskDecoder::Reset() {
  front_.Reset();
  historyI_.fill(0.0);
  historyQ_.fill(0.0);
  historyIndex_ = 0;
  sub_.fill(0.0);
  subIndex_ = 0;
  SubAcc = 0.0;
  PhaseCount = 0;
  LevelCount = 0;
  Scope.fill({});
  Decisions = 0;
  VaricodeReg = 0;
  Viterbi.Reset();
  phasor_ = 0.0;
  growth_ = 0.0;
  present_ = 0;
  steady_ = 0;
  charBits_ = charAbsent_ = 0;
  pending_ = {};
  overPower_ = 0.0;
  FrequencyError.Clear();
  Locked = 0;
  window_.SetPanelText(kDcdPanel, " ");
}

bool TPskDecoder::SelectMode(const ModeRow& row) {
  const int code = PskRateCode(row.symbolRate);
  if (code == 0) return false;
  SetRate(code);
  Quadrature = row.quadrature;
  return true;
}

bool TPskDecoder::SetTones(int32_t lower, int32_t) {
  return SetStep(lower);
}

void TPskDecoder::ProcessBlock(std::span<const float> block, bool squelchOpen) {
  SquelchOpen = squelchOpen ? 1 : 0;
  if (Quadrature)
    ProcessQpskBlock(block);
  else
    ProcessBpskBlock(block);
}

void TPskDecoder::WriteLevel(double level) {
  if (levels_ != nullptr) levels_->Write(*levelIndex_, level);
}

// The differential detector: the pair now against the pair SymbolLag samples back; positive
// for the same phase, negative for a reversal.
double TPskDecoder::Detector() const {
  const uint32_t old = (historyIndex_ - static_cast<uint32_t>(SymbolLag)) & kRingMask;
  return front_.Q * historyQ_[old] + front_.I * historyI_[old];
}

// QPSK's clock looks at the size of the differential product, |z| |z_old|, not at its real
// part: a quarter-turn step has no real part at the symbol's centre but plenty between two
// centres, so runs of quarter turns would pull a clock on the real part off the centres. The
// size peaks where both pairs sit on constellation points, whatever the step.
double TPskDecoder::QpskClockValue() const {
  const uint32_t old = (historyIndex_ - static_cast<uint32_t>(SymbolLag)) & kRingMask;
  const double iOld = historyI_[old], qOld = historyQ_[old];
  const double i = front_.I, q = front_.Q;
  const double dot = iOld * i + q * qOld;
  const double cross = iOld * q - qOld * i;
  return std::sqrt(dot * dot + cross * cross);
}

bool TPskDecoder::Clock(double d) {
  subIndex_ = (subIndex_ + 1) & kRingMask;
  sub_[subIndex_] = d;
  if (++PhaseCount < kSubSymbols) return false;
  PhaseCount = 0;
  // The detector's energy at each phase within kClockReach sub-symbols, over the last ten
  // symbols; the first strictly greatest wins.
  const uint32_t c = subIndex_ - kSubSymbols;
  double best = 0.0;
  int bestK = 0;
  for (int k = -kClockReach; k <= kClockReach; ++k) {
    double e = 0.0;
    for (int j = 0; j < kClockSymbols; ++j)
      e += std::abs(sub_[(c + static_cast<uint32_t>(k - kSubSymbols * j)) & kRingMask]);
    if (e > best) {
      best = e;
      bestK = k;
    }
  }
  // The peak later than now delays the next decision by one sub-symbol, earlier advances it.
  if (bestK > 0) PhaseCount = -1;
  if (bestK < 0) PhaseCount = 1;
  // Without any energy (silence, or the squelch closed) there is nothing to lock to.
  SetLocked(best > 0.0 && std::abs(bestK) <= 1 ? 1 : 0);
  return true;
}

void TPskDecoder::SetLocked(int locked) {
  if (locked == Locked) return;
  Locked = locked;
  window_.SetPanelText(kDcdPanel, locked ? "*" : " ");
}

void TPskDecoder::DecideQpsk() {
  const uint32_t old = (historyIndex_ - static_cast<uint32_t>(SymbolLag)) & kRingMask;
  const double iOld = historyI_[old], qOld = historyQ_[old];
  const double i = front_.I, q = front_.Q;
  const double dot = iOld * i + q * qOld;
  const double cross = iOld * q - qOld * i;
  // Without any signal in either pair (digital silence) there is no phase to read: it counts as
  // the half turn an idle transmitter sends, as BPSK reads it as a 0 bit, so silence flushes the
  // decoder instead of feeding it a made-up quarter turn.
  int step = 2;
  if (dot != 0.0 || cross != 0.0)
    step = kQuadrantStep[(cross > 0.0 ? 4 : 0) + (dot > 0.0 ? 2 : 0) +
                         (std::abs(dot) > std::abs(cross) ? 1 : 0)];
  // The other sideband turns the other way.
  if (params_.Reverse != 0) step = (4 - step) & 3;
  const int bit = Viterbi.Decode(step);
  Present(dot, cross);
  PushBit(bit);
}

// The differential product's imaginary part (BPSK decides on the real part alone).
double TPskDecoder::Cross() const {
  const uint32_t old = (historyIndex_ - static_cast<uint32_t>(SymbolLag)) & kRingMask;
  return historyI_[old] * front_.Q - historyQ_[old] * front_.I;
}

void TPskDecoder::Present(double dot, double cross) {
  bool steady = false;
  if (Quadrature) {
    growth_ += (Viterbi.Growth - growth_) * kGrowthWeight;
    steady = growth_ < kGrowthAt;
  } else {
    // BPSK decisions sit on 0 or a half turn, so the doubled phase points to 1, turned by four
    // times the frequency error a symbol: within a quarter turn for any signal BPSK decodes. A
    // clock still slewing onto a new signal decides between symbols, where it points to -1.
    const double size = dot * dot + cross * cross;
    const double cos2 = size > 0.0 ? (dot * dot - cross * cross) / size : 0.0;
    phasor_ += (cos2 - phasor_) * kPhasorWeight;
    steady = phasor_ > kSteadyAt;
  }
  const double power = front_.I * front_.I + front_.Q * front_.Q;
  const bool on = steady && power * kPowerFall > overPower_;
  if (on) {
    overPower_ += (power - overPower_) * kPowerWeight;
  } else if (!SquelchOpen) {
    overPower_ = 0.0;  // the next over sets its own
  } else {
    overPower_ *= kPowerDecay;
  }
  present_ = present_ << 1 | (on ? 1u : 0u);
  steady_ = steady_ << 1 | (steady ? 1u : 0u);
  // BPSK characters wait for the decisions after them.
  for (Pending& p : pending_) {
    if (p.c == 0 || --p.wait > 0) continue;
    if (SquelchOpen && HalfOrMore(present_)) sink_.PutRxChar(p.c);
    p.c = 0;
  }
}

void TPskDecoder::PushBit(int bit) {
  VaricodeReg = (VaricodeReg << 1) | static_cast<uint32_t>(bit & 1);
  // A character's bits count from its first 1 bit.
  if (VaricodeReg == 0) {
    charBits_ = charAbsent_ = 0;
  } else {
    ++charBits_;
    if (!((steady_ >> (Quadrature ? kViterbiLag : 0)) & 1u)) ++charAbsent_;
  }
  // A character ends with its last 1 bit and the two zeros of the gap.
  if ((VaricodeReg & 7u) != 4u) return;
  const uint32_t index = VaricodeReg >> 3;
  VaricodeReg = 0;
  const int bits = charBits_, absent = charAbsent_;
  charBits_ = charAbsent_ = 0;
  if (index >= kVaricodeDecodeSize) return;
  const uint8_t c = decode_[index];
  if (c == 0) return;
  if (!SquelchSwitchDown()) {
    if (SquelchOpen) sink_.PutRxChar(c);
    return;
  }
  // A weak signal loses a decision now and then; a character of noise, or one that straddles
  // the carrier's coming, has more of its bits without one.
  if (absent * kAbsentShare > bits) return;
  // The signal must still be there after it: when the carrier goes, the noise's first
  // characters come before the phase test has caught up, and the tail's last ones with the
  // noise's first zeros make one.
  if (Quadrature) {
    if (SquelchOpen && HalfOrMore(present_ >> (kViterbiLag - kAfter))) sink_.PutRxChar(c);
    return;
  }
  for (Pending& p : pending_) {
    if (p.c != 0) continue;
    p = {c, kAfter};
    return;
  }
}

// One input sample on the chain of Rate (the front end's RateCode), BPSK or QPSK: the front
// end, the history, the level every 61 samples, and each sub-symbol tick into the clock.
template <int Rate, bool Qpsk>
void TPskDecoder::Sample(float x) {
  front_.PushAt<Rate>(x);
  historyIndex_ = (historyIndex_ + 1) & kRingMask;
  historyI_[historyIndex_] = front_.I;
  historyQ_[historyIndex_] = front_.Q;
  if (++LevelCount >= kLevelEvery) {
    LevelCount = 0;
    if constexpr (Qpsk) {
      const double p = (front_.Q * front_.Q + front_.I * front_.I) * kLevelScale;
      WriteLevel(p >= kLevelFloor ? std::sqrt(p) : 0.0);
    } else {
      const double p = Detector() * kLevelScale;
      WriteLevel(p > kLevelFloor ? std::sqrt(p) : p < -kLevelFloor ? -std::sqrt(-p) : 0.0);
    }
  }
  SubAcc += 1.0;
  while (SubAcc >= SubStep) {
    SubAcc -= SubStep;
    if constexpr (Qpsk) {
      if (!Clock(Feeds() ? QpskClockValue() : 0.0)) continue;
      Decided(4);
      DecideQpsk();
    } else {
      const double d = Feeds() ? Detector() : 0.0;
      if (!Clock(d)) continue;
      Decided(2);
      Present(d, Feeds() ? Cross() : 0.0);
      PushBit(d > 0.0 ? 1 : 0);
    }
  }
}

template <bool Qpsk>
void TPskDecoder::Samples(std::span<const float> block) {
  if (!Enabled) return;
  // The chain is chosen once for the block.
  switch (front_.RateCode()) {
    case 63:
      for (float x : block) Sample<63, Qpsk>(x);
      break;
    case 125:
      for (float x : block) Sample<125, Qpsk>(x);
      break;
    default:
      for (float x : block) Sample<31, Qpsk>(x);
      break;
  }
}

void TPskDecoder::ProcessBpskSample(float x) {
  Samples<false>(std::span<const float>(&x, 1));
}

void TPskDecoder::ProcessQpskSample(float x) {
  Samples<true>(std::span<const float>(&x, 1));
}

void TPskDecoder::ProcessBpskBlock(std::span<const float> block) {
  Samples<false>(block);
}

void TPskDecoder::ProcessQpskBlock(std::span<const float> block) {
  Samples<true>(block);
}

}  // namespace vestrel
