#include "engine/modes/packet/ax25_decoder.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "engine/dsp/block_clones.h"
#include "engine/frequency_unit.h"
#include "engine/mode_table.h"
#include "engine/modes/rtty/rtty_taps.h"

namespace vestrel {

namespace {

constexpr int kDcdPanel = 9;
constexpr double kLevelScale = 1.0 / (1 << 30);  // discriminator to display units
// Carrier-detect steps per bit: no transition since the last bit, a transition near the middle
// of the bit (the clock is off or it is noise), a transition where it belongs.
constexpr int kDcdSteady = -1000;
constexpr int kDcdMisplaced = -5333;
constexpr int kDcdGood = 2000;
constexpr int kSearch = 3;  // the timing search looks up to a third of a bit either way
constexpr int kSearchBits = 10;

struct PathRow {
  int maxBaud;  // the row serves speeds up to this one
  int path;
  std::span<const double> taps;
};

// The front end by speed: the 2756 path up to 600 Bd, the full rate above; the final low-pass
// widens with the speed. The tables are the start-stop decoder's 43-, 37- and 23-tap low-passes
// (half amplitude at 0.0675, 0.0870 and 0.1230 of the path rate).
const PathRow kPaths[] = {
    {300, 2756, rtty_taps::kLp43_0675},   {400, 2756, rtty_taps::kLp37_0870},
    {600, 2756, rtty_taps::kLp23_1230},   {1200, 11025, rtty_taps::kLp43_0675},
    {1600, 11025, rtty_taps::kLp37_0870}, {1 << 30, 11025, rtty_taps::kLp23_1230},
};

const PathRow& ChoosePath(int baud) {
  for (const PathRow& r : kPaths)
    if (baud <= r.maxBaud) return r;
  return kPaths[std::size(kPaths) - 1];
}

}  // namespace

TAx25Decoder::TAx25Decoder(const SineTable& sine, EngineWindow& window, Ax25FrameSink& sink)
    : detector_(sine), window_(window), sink_(sink) {}

TAx25Decoder::TAx25Decoder(const SineTable& sine, EngineWindow& window, Ax25FrameSink& sink,
                           LevelRing& levels, int32_t& levelIndex)
    : TAx25Decoder(sine, window, sink) {
  levels_ = &levels;
  levelIndex_ = &levelIndex;
}

void TAx25Decoder::Start() {
  enabled_ = false;
  detector_.SetTones(HzToUnits(2100.0), HzToUnits(2300.0));
  SetBaud(300);
  enabled_ = true;
}

bool TAx25Decoder::SetBaud(int baud) {
  if (baud < 1 || baud > 5000) return false;
  const PathRow& row = ChoosePath(baud);
  if (!detector_.Setup(row.path, row.taps)) return false;
  baud_ = baud;
  samplesPerBit_ = 11025.0 / baud;
  subStep_ = samplesPerBit_ / kSubSamples;
  Reset();
  return true;
}

void TAx25Decoder::Reset() {
  detector_.Reset();
  levelCount_ = 0;
  bitPhase_ = 0;
  prevSign_ = false;
  hdlc_.Reset();
  subAcc_ = 0.0;
  discriminator_ = 0.0;
  ring_.fill(0.0f);
  ringIndex_ = 0;
  dcdIntegrator_ = 0;
  // Off together with what the panel shows, so the channel access never reads a carrier that
  // was heard before.
  dcd_ = false;
  dcdShown_ = 0;
  window_.SetPanelText(kDcdPanel, " ");
}

bool TAx25Decoder::SelectMode(const ModeRow& row) {
  return SetBaud(static_cast<int>(std::lround(row.symbolRate)));
}

bool TAx25Decoder::SetSpeed(double baud, int) {
  if (!(baud >= 1.0 && baud <= 5000.0)) return false;
  return SetBaud(static_cast<int>(std::lround(baud)));
}

bool TAx25Decoder::SetTones(int32_t first, int32_t second) {
  if (first < 0 || second < 0 || first > static_cast<int32_t>(SineTable::kMask) ||
      second > static_cast<int32_t>(SineTable::kMask))
    return false;
  detector_.SetTones(first, second);
  return true;
}

void TAx25Decoder::ProcessBlock(std::span<const float> block, bool squelchOpen) {
  squelchOpen_ = squelchOpen;
  if (!enabled_) return;
  detector_.WithPath([&](auto path) { Run<decltype(path)::value>(block); });
}

void TAx25Decoder::ProcessSample(float x) {
  if (!enabled_) return;
  detector_.StepDifference(x, discriminator_);
  part_[0] = discriminator_;
  Clock(1);
}

// The block loop of one front-end path, a part at a time: the front end gives the
// discriminator each sample sees, then the clock samples it nine times a bit. The path is
// chosen once per block (see VESTREL_BLOCK_CLONES).
template <int Path>
VESTREL_BLOCK_CLONES void TAx25Decoder::Run(std::span<const float> block) {
  detector_.DifferenceParts<Path>(block, part_, discriminator_, [this](size_t n) { Clock(n); });
}

// The per-sample work after the front end for the first n values of part_: the level for the
// displays and the sub-samples, with the counters in locals.
void TAx25Decoder::Clock(size_t n) {
  int levelCount = levelCount_;
  double subAcc = subAcc_;
  const double subStep = subStep_;
  for (size_t i = 0; i < n; ++i) {
    const double d = part_[i];
    if (++levelCount >= kLevelEvery) {
      levelCount = 0;
      if (levels_) levels_->Write(*levelIndex_, d * kLevelScale);
    }
    subAcc += 1.0;
    if (subAcc < subStep) continue;
    const float v = squelchOpen_ ? static_cast<float>(d) : 0.0f;
    do {
      subAcc -= subStep;
      SubSample(v);
    } while (subAcc >= subStep);
  }
  levelCount_ = levelCount;
  subAcc_ = subAcc;
}

void TAx25Decoder::SubSample(float v) {
  ringIndex_ = (ringIndex_ + 1) & kRingMask;
  ring_[ringIndex_] = v;
  if (++bitPhase_ < kSubSamples) return;
  bitPhase_ = 0;
  BitDecision();
}

void TAx25Decoder::BitDecision() {
  // The centre one bit back, so the search has sub-samples on both sides of it.
  const uint32_t c = ringIndex_ - kSubSamples;
  float best = 0.0f;
  int bestK = 0;
  for (int k = -kSearch; k <= kSearch; ++k) {
    float s = 0.0f;
    for (int m = 0; m < kSearchBits; ++m) s += std::abs(R(c + k - kSubSamples * m));
    if (s > best) {
      best = s;
      bestK = k;
    }
  }
  if (bestK > 0) {
    --bitPhase_;  // the next bit one sub-sample later
  } else if (bestK < 0) {
    ++bitPhase_;  // one sooner
  }

  if (squelchOpen_) {
    const bool s = R(c) > 0.0f;
    int d;
    if ((R(c - kSubSamples) > 0.0f) == s) {
      d = kDcdSteady;
    } else if ((R(c - 2) > 0.0f) != s || (R(c + 2) > 0.0f) != s) {
      d = kDcdMisplaced;
    } else {
      d = kDcdGood;
    }
    dcdIntegrator_ += d;
    if (dcdIntegrator_ > kDcdFull - 1) {
      dcd_ = true;
      dcdIntegrator_ = kDcdFull;
    } else if (dcdIntegrator_ <= 0) {
      dcd_ = false;
      dcdIntegrator_ = 0;
    }
  } else {
    dcdIntegrator_ = 0;
    dcd_ = false;
  }
  ShowDcd();

  // NRZI against the sign kept at the last decision.
  const bool positive = ring_[ringIndex_] > 0.0f;
  const int bit = positive == prevSign_ ? 1 : 0;
  prevSign_ = positive;
  const int r = hdlc_.PutBit(bit);
  if (r & THdlcDeframer::kFlag) {
    dcdIntegrator_ = kDcdFull;
    dcd_ = true;
  }
  if (r & THdlcDeframer::kFrame) sink_.PutAx25Frame(hdlc_.Frame());
}

void TAx25Decoder::ShowDcd() {
  const int want = dcd_ ? 1 : 0;
  if (want == dcdShown_) return;
  dcdShown_ = want;
  window_.SetPanelText(kDcdPanel, dcd_ ? "*" : " ");
}

}  // namespace vestrel
