#include "engine/modes/ps2x5/fsk2x5_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/dsp/block_clones.h"
#include "engine/engine_window.h"
#include "engine/frequency_unit.h"
#include "engine/modes/rtty/rtty_filters.h"

namespace vestrel {

namespace {

constexpr int kLevelEvery = 61;                  // input samples per level written
constexpr double kLevelScale = 1.0 / (1 << 30);  // discriminator to display units
constexpr uint32_t kBit = TFsk2x5Decoder::kSubSamples;
// The clock judges 16 bits that ended 18 bits ago (1 sub-sample before a bit boundary of the
// decision point's phase); the decision point lies 21 sub-samples, almost two bits, behind the
// newest sub-sample, where the filters have settled.
constexpr uint32_t kClockBack = 197;
constexpr uint32_t kDecisionBack = 21;
constexpr int kMaxDrift = 6;  // sub-samples the read of a block may wander from its start
constexpr int kTimingBits = 35;  // earliest bits whose re-timing gives the block's timing figure

// The moves the re-timing may make from a drift of d (-6..6): -2..+2 within the limits.
struct MoveWindow {
  int lo, hi;
};
constexpr MoveWindow kMoveWindows[5] = {{0, 2}, {-1, 2}, {-2, 2}, {-2, 1}, {-2, 0}};
constexpr int WindowOfDrift(int d) {
  return d <= -kMaxDrift ? 0 : d == -kMaxDrift + 1 ? 1 : d >= kMaxDrift ? 4 : d == kMaxDrift - 1 ? 3 : 2;
}

}  // namespace

TFsk2x5Decoder::TFsk2x5Decoder(const SineTable& sine, EngineWindow& window, RxTextSink& sink,
                               const BlockCaptureSettings& capture, LevelRing& levels, int32_t& levelIndex)
    : detector_(sine),
      window_(window),
      levels_(levels),
      levelIndex_(levelIndex),
      message_(sink, window, capture) {
  ring_.fill(kIdle);
}

void TFsk2x5Decoder::Start() {
  enabled_ = false;
  SetBaud(50.0, 0);
  SetTones(HzToUnits(1700.0 - 25.0), HzToUnits(1700.0 + 25.0));
  codec_.Init(8);
  levelCount_ = 0;
  enabled_ = true;
}

bool TFsk2x5Decoder::SetBaud(double baud, int filterWidth) {
  if (!(baud >= 0.5 && baud <= 5000.0)) return false;
  const int speed = static_cast<int>(std::floor(baud + 0.5));
  RttyFilterChoice f = SelectRttyFilter(filterWidth, speed);
  // Optimal: a moving average over one bit in front of the filters at every speed.
  const bool optimal = filterWidth != 1 && filterWidth != 2;
  if (optimal) f.movingAverage = true;
  const int average = f.movingAverage ? static_cast<int>(std::floor(kRxRate / speed + 0.5)) | 1 : 0;
  if (!TFskDetector::ValidSetup(f.path, static_cast<size_t>(f.taps), average)) return false;
  message_.EndMessage(false);
  detector_.SetupWithAverage(f.path, f.taps, f.table, average);
  speed_ = speed;
  samplesPerBit_ = kRxRate / speed;
  subStep_ = samplesPerBit_ / kSubSamples;
  Reset();
  return true;
}

void TFsk2x5Decoder::Reset() {
  message_.EndMessage(false);
  detector_.Reset();
  ring_.fill(kIdle);
  comb_.fill(8 * kIdle);
  walkKept_ = false;
  ringIndex_ = 0;
  subAcc_ = 0.0;
  subCount_ = 0;
  discriminator_ = 0.0;
  holdOff_ = 0;
}

bool TFsk2x5Decoder::SetTones(int32_t lower, int32_t upper) {
  detector_.SetTones(lower, upper);
  return true;
}

void TFsk2x5Decoder::ProcessBlock(std::span<const float> block, bool squelchOpen) {
  squelchOpen_ = squelchOpen;
  if (!enabled_) return;
  detector_.WithPath([&](auto path) { Run<decltype(path)::value>(block); });
}

// The front end turns a part of the block into the discriminator each sample sees, then the
// sub-bit clock samples it into the ring; the path is chosen once per block.
template <int Path>
VESTREL_BLOCK_CLONES void TFsk2x5Decoder::Run(std::span<const float> block) {
  detector_.DifferenceParts<Path>(block, part_, discriminator_, [this](size_t n) { Clock(n); });
}

void TFsk2x5Decoder::Clock(size_t n) {
  int levelCount = levelCount_;
  double subAcc = subAcc_;
  const double subStep = subStep_;
  for (size_t i = 0; i < n; ++i) {
    const double d = part_[i];
    if (++levelCount >= kLevelEvery) {
      levelCount = 0;
      levels_.Write(levelIndex_, d * kLevelScale);
    }
    subAcc += 1.0;
    if (subAcc < subStep) continue;
    const float v = squelchOpen_ ? static_cast<float>(d) : kIdle;
    do {
      subAcc -= subStep;
      const uint32_t p = (ringIndex_ + 1) & kRingMask;
      ringIndex_ = p;
      Push(p, v);
      if (++subCount_ >= kSubSamples) {
        subCount_ = 0;
        BitClock(p);
      }
    } while (subAcc >= subStep);
  }
  levelCount_ = levelCount;
  subAcc_ = subAcc;
}

void TFsk2x5Decoder::Push(uint32_t p, float v) {
  ring_[p] = v;
  float c = 0.0f;
  for (uint32_t j = 0; j < 8; ++j) c += std::fabs(R(p - kBit * j));
  comb_[p] = c;
}

// Once a bit, at ring index a: the sampling phase whose 16 bits carry the most energy, one
// sub-sample either side at most per bit.
void TFsk2x5Decoder::BitClock(uint32_t a) {
  const int best = BestOffset(-3, 3, [&](int i) {
    const uint32_t p = a + static_cast<uint32_t>(i) - kClockBack;
    return Comb(p) + Comb(p - 8 * kBit);
  });
  uint32_t e = a - kDecisionBack;
  if (best < 0) {
    ++subCount_;
    --e;
  } else if (best > 0) {
    --subCount_;
    ++e;
  }
  if (!squelchOpen_) return;
  message_.CountBit();
  Search(e);
}

const TFsk2x5Decoder::Walk& TFsk2x5Decoder::WalkBack(uint32_t start) {
  const Walk& last = walks_[walkNow_];
  Walk& walk = walks_[walkNow_ ^ 1];
  // The last walk's nominal places are this one's m bits further back.
  const int32_t ahead = static_cast<int32_t>(start - walkStart_);
  const int m = (walkKept_ && ahead > 0 && ahead % kBit == 0) ? ahead / static_cast<int32_t>(kBit) : 0;
  int drift = 0;
  for (int k = 0; k < kBlockBits; ++k) {
    if (m > 0 && k >= m && last[k - m].driftBefore == drift) {
      std::copy(last.begin() + (k - m), last.end() - m, walk.begin() + k);
      break;
    }
    // The place with the largest Comb within the moves the drift allows; the first of equals,
    // and no move unless strictly larger.
    const uint32_t q = start - kBit * static_cast<uint32_t>(k) + static_cast<uint32_t>(drift);
    // Branch-free: in noise the choices are coin tosses. A place outside the window reads -1,
    // below every Comb.
    const MoveWindow w = kMoveWindows[WindowOfDrift(drift)];
    int delta = 0;
    float best = Comb(q);
    for (int m = -2; m <= 2; ++m) {
      const float s = (m >= w.lo && m <= w.hi) ? Comb(q + static_cast<uint32_t>(m)) : -1.0f;
      delta = s > best ? m : delta;
      best = s > best ? s : best;
    }
    walk[k].driftBefore = static_cast<int8_t>(drift);
    walk[k].delta = static_cast<int8_t>(delta);
    drift += delta;
    // The bit: the sign of the three sub-samples around its place.
    const uint32_t p = q + static_cast<uint32_t>(delta);
    walk[k].bit = (R(p - 1) + R(p) + R(p + 1)) > 0.0f;
  }
  walkNow_ ^= 1;
  walkStart_ = start;
  walkKept_ = true;
  return walk;
}

void TFsk2x5Decoder::Search(uint32_t e) {
  if (holdOff_ > 0) {
    --holdOff_;
    return;
  }
  // 1. Alignment: the offset whose last 15 bits carry the most energy.
  const int align = BestOffset(-4, 4, [&](int o) {
    const uint32_t p = e + static_cast<uint32_t>(o);
    return Comb(p) + Comb(p - 8 * kBit) - std::fabs(R(p - 15 * kBit));
  });
  // 2. The bits backward from there, each re-timed within 2 sub-samples of the place the bit
  // after it suggests (judged on 8 bits), never more than kMaxDrift from the nominal place.
  const Walk& walk = WalkBack(e + static_cast<uint32_t>(align));
  const int drift = walk[kBlockBits - 1].driftBefore + walk[kBlockBits - 1].delta;
  int earlyOffsets = 0;
  for (int k = kBlockBits - kTimingBits; k < kBlockBits; ++k) earlyOffsets += walk[k].delta;
  // 3. NRZI: a symbol bit is 1 where two neighbouring bits are equal; five to a symbol, the
  // first the most significant. Step k of the walk is bit 155 - k in time order.
  BlockSymbols received{};
  for (int s = 0; s < kBlockSymbols; ++s) {
    uint8_t v = 0;
    for (int b = 0; b < 5; ++b) {
      const int j = kBlockBits - 1 - (5 * s + b);
      v = static_cast<uint8_t>((v << 1) | (walk[j].bit == walk[j - 1].bit ? 1 : 0));
    }
    received[s] = v;
  }
  // 4.-6. Idle fill, correction, check, the text out; or the message's end after nine blocks
  // without a good one.
  BlockContent block;
  int errors = 0;
  if (!message_.TakeBlock(received, codec_, kLostAfter, block, errors)) return;
  holdOff_ = kHoldOff;
  char text[64];
  std::snprintf(text, sizeof text, "n:%d e:%d", block.counter, errors);
  window_.SetPanelText(kDcdPanel, text);
  std::snprintf(text, sizeof text, "o:%d/%d/%.1f", align, drift, earlyOffsets / double(kTimingBits));
  window_.SetPanelText(kTimingPanel, text);
}

}  // namespace vestrel
