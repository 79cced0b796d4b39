#include "engine/modes/rtty/rtty_decoder.h"

#include <algorithm>
#include <cmath>

#include "engine/dsp/block_clones.h"
#include "engine/dsp/decimator2.h"
#include "engine/dsp/decimator3.h"
#include "engine/frequency_unit.h"
#include "engine/mode_table.h"
#include "engine/modes/rtty/rtty_filters.h"

namespace vestrel {

namespace {

constexpr int kDcdPanel = 9;
constexpr int kLevelEvery = 61;                  // input samples per level written
constexpr double kLevelScale = 1.0 / (1 << 30);  // discriminator to display units

// Input samples from the moment a signal reaches empty filters until the discriminator tells
// it: the group delay of the chain (each symmetric stage delays by half its length at its own
// rate). Before that the filters hold only the signal's first edge and the two tone magnitudes
// compare at random.
int SettleSamples(int path, int taps, int average) {
  int d = (average > 0 ? (average - 1) / 2 : 0);
  if (path == 919) {
    d += static_cast<int>(kPre919.size() - 1) / 2 + 2 * static_cast<int>(kC45.size() - 1) / 2 +
         4 * static_cast<int>(kC27.size() - 1) / 2 + 12 * (taps - 1) / 2;
  } else if (path == 2756) {
    d += static_cast<int>(kPre49.size() - 1) / 2 + 2 * static_cast<int>(kC45.size() - 1) / 2 +
         4 * (taps - 1) / 2;
  } else {
    d += (taps - 1) / 2;
  }
  return d;
}

}  // namespace

TRttyDecoder::TRttyDecoder(const SineTable& sine, const TModemParams& params, EngineWindow& window,
                           TBaudotDecoder& baudot)
    : detector_(sine), params_(params), window_(window), baudot_(baudot) {}

TRttyDecoder::TRttyDecoder(const SineTable& sine, const TModemParams& params, EngineWindow& window,
                           TBaudotDecoder& baudot, LevelRing& levels, int32_t& levelIndex)
    : detector_(sine),
      params_(params),
      window_(window),
      baudot_(baudot),
      levels_(&levels),
      levelIndex_(&levelIndex) {}

void TRttyDecoder::Start() {
  enabled_ = false;
  baudInt_ = 45;
  SetBaud(45, 0);
  SetTones(HzToUnits(2115.0), HzToUnits(2285.0));
  enabled_ = true;
}

void TRttyDecoder::Reset() {
  detector_.Reset();
  discriminator_ = 0.0;
  settle_ = settleLength_;
  holdState_ = 0;
  holdCount_ = 0;
  subAcc_ = 0.0;
  levelCount_ = 0;
  ringIndex_ = 0;
  // Empty, neither mark nor space: a start bit needs a received mark before it. Filled with
  // mark, the first negative sample after a set-up (the filters settling, or a start bit
  // already under way) would pass for a start edge and frame the following characters wrongly.
  ring_.fill(0.0f);
}

bool TRttyDecoder::SetBaud(double baud, int filterWidth) {
  if (!(baud >= 1.0 && baud <= 5000.0)) return false;
  const int baudInt = static_cast<int>(std::floor(baud + 0.5));
  const double working = baudInt == 45 ? 45.45 : baudInt;
  const RttyFilterChoice f = SelectRttyFilter(filterWidth, baudInt);
  const int average = f.movingAverage ? static_cast<int>(std::floor(11025.0 / working + 0.5)) | 1 : 0;
  if (!detector_.SetupWithAverage(f.path, f.taps, f.table, average)) return false;
  baudInt_ = baudInt;
  settleLength_ = SettleSamples(f.path, f.taps, average);
  samplesPerBit_ = 11025.0 / working;
  subStep_ = samplesPerBit_ / kSubSamples;
  Reset();
  window_.SetPanelText(kDcdPanel, "");
  return true;
}

bool TRttyDecoder::SetDataBits(int n) {
  if (n != 5 && n != 7 && n != 8) return false;
  dataBits_ = n;
  return true;
}

bool TRttyDecoder::SelectMode(const ModeRow& row) {
  return SetDataBits(row.dataBits);
}

bool TRttyDecoder::SetTones(int32_t lower, int32_t upper) {
  detector_.SetTones(lower, upper);
  return true;
}

void TRttyDecoder::ProcessBlock(std::span<const float> block, bool squelchOpen) {
  squelchOpen_ = squelchOpen;
  if (!enabled_) return;
  detector_.WithPath([&](auto path) { Run<decltype(path)::value>(block); });
}

void TRttyDecoder::ProcessSample(float x) {
  if (!enabled_) return;
  detector_.StepDifference(x, discriminator_);
  part_[0] = discriminator_;
  Clock(1);
}

// The block loop of one detector path, in two passes over parts of kPart samples: the front
// end turns the samples into the discriminator each sample sees, then the sub-bit clock samples
// it into the ring, with its counters in locals. The path is chosen once per block, and the
// whole chain is compiled into this loop (flatten), twice: for processors with AVX2 and FMA,
// which take the four filter lanes in one register, and for any x86-64. The loader picks one
// once; a block costs one indirect call.
template <int Path>
VESTREL_BLOCK_CLONES void TRttyDecoder::Run(std::span<const float> block) {
  detector_.DifferenceParts<Path>(block, part_, discriminator_, [this](size_t n) { Clock(n); });
}

// The per-sample work after the front end for the first n discriminator values of part_: the
// settling, the level for the displays and the sub-bit clock.
void TRttyDecoder::Clock(size_t n) {
  int settle = settle_;
  int levelCount = levelCount_;
  double subAcc = subAcc_;
  const double subStep = subStep_;
  const bool reverse = params_.Reverse != 0;
  for (size_t i = 0; i < n; ++i) {
    const double d = part_[i];
    if (d == 0.0) {
      settle = settleLength_;
    } else if (settle > 0) {
      --settle;
    }
    if (++levelCount >= kLevelEvery) {
      levelCount = 0;
      if (levels_) levels_->Write(*levelIndex_, d * kLevelScale);
    }
    subAcc += 1.0;
    if (subAcc < subStep) continue;
    float v = kIdle;
    if (squelchOpen_) v = settle > 0 ? 0.0f : static_cast<float>(reverse ? -d : d);
    do {
      subAcc -= subStep;
      Push(v);
    } while (subAcc >= subStep);
  }
  settle_ = settle;
  levelCount_ = levelCount;
  subAcc_ = subAcc;
}

void TRttyDecoder::Push(float v) {
  ringIndex_ = (ringIndex_ + 1) & kRingMask;
  ring_[ringIndex_] = v;
  if (holdState_) {
    if (--holdCount_ <= 1) holdState_ = 0;
    return;
  }
  Search();
}

// Mark before the start bit, the start bit, and mark in the stop bit, one bit apart each.
bool TRttyDecoder::Pattern(uint32_t p) const {
  return R(p) > 0.0f && R(p + kSubSamples) <= 0.0f && R(p + kSubSamples * (2 + dataBits_)) > 0.0f;
}

// How clearly p sits in the middle of the bits: the stop bit, the start edge and the
// strength of every data bit.
double TRttyDecoder::Score(uint32_t p) const {
  if (!Pattern(p)) return -1.0;
  double s = R(p + kSubSamples * (2 + dataBits_)) + (R(p) - R(p + kSubSamples));
  for (int k = 0; k < dataBits_; ++k) s += std::abs(R(p + 2 * kSubSamples + kSubSamples * k));
  return s;
}

void TRttyDecoder::Search() {
  const uint32_t a = ringIndex_ - kLookBack;
  if (!Pattern(a)) return;
  double best = -1.0;
  uint32_t b = a;
  int scored = 0;
  for (uint32_t i = 0; i < kSubSamples; ++i) {
    const double s = Score(a + i);
    if (s < 0.0) break;
    ++scored;
    if (s > best) {
      best = s;
      b = a + i;
    }
  }
  if (scored < 3) return;
  // The next search starts half a bit before the centre of this character's stop bit, judged
  // from the best position: a sender that runs fast, or one stop bit only, still leaves the
  // next start edge ahead of the search, and no edge inside this character can match.
  holdCount_ = kSubSamples * dataBits_ + kSubSamples + static_cast<int>(b - a);
  holdState_ = 1;
  int code = 0;
  for (int k = 0; k < dataBits_; ++k) {
    const uint32_t c = b + 2 * kSubSamples + kSubSamples * k;
    if (R(c - 1) + R(c) + R(c + 1) > 0.0f) code |= 1 << k;
  }
  baudot_.PutBaudotChar(code);
}

}  // namespace vestrel
