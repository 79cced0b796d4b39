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

constexpr int kSlicersUpTo = 300;     // Bd: several slicers up to this speed
constexpr int kThirdRateUpTo = 1200;  // Bd: the front end's outputs on every third sample
// The same frame from another slicer comes within a few bits; a frame sent again comes no
// sooner than 15 bytes and a flag later.
constexpr int64_t kEchoBits = 64;

}  // namespace

TAx25Decoder::TAx25Decoder(const SineTable& sine, EngineWindow& window, Ax25FrameSink& sink)
    : slicers_{Slicer(sine), Slicer(sine), Slicer(sine)}, window_(window), sink_(sink) {}

TAx25Decoder::TAx25Decoder(const SineTable& sine, EngineWindow& window, Ax25FrameSink& sink,
                           LevelRing& levels, int32_t& levelIndex)
    : TAx25Decoder(sine, window, sink) {
  levels_ = &levels;
  levelIndex_ = &levelIndex;
}

void TAx25Decoder::Start() {
  enabled_ = false;
  SetTones(HzToUnits(2100.0), HzToUnits(2300.0));
  SetBaud(300);
  enabled_ = true;
}

bool TAx25Decoder::SetBaud(int baud) {
  if (baud < 1 || baud > 5000) return false;
  const PathRow& row = ChoosePath(baud);
  const bool several = baud <= kSlicersUpTo;
  // A moving average of one bit in front of each slicer's path.
  const int average =
      several ? std::clamp(static_cast<int>(std::lround(11025.0 / baud)), 1, TFskDetector::kMaxAverageLength)
              : 0;
  if (!slicers_[0].detector.SetupWithAverage(row.path, row.taps, average)) return false;
  if (several && !slicers_[1].detector.SetupWithAverage(row.path, rtty_taps::kLp53_0555, average))
    return false;
  // Up to 1200 Bd the full-rate path's low-pass (half amplitude at 744 Hz, a 1 kHz band) leaves
  // its outputs oversampled: every third one is computed, the others interpolated.
  if (row.path == 11025 && baud <= kThirdRateUpTo && !slicers_[0].detector.SetOutputEvery(kOutputEvery))
    return false;
  slicerCount_ = several ? kMaxSlicers : 1;
  // The first: the threshold follows the two tones' levels; the other two slice at 0.
  slicers_[0].decisionHalfWidth = several ? 1 : 0;
  slicers_[1].decisionHalfWidth = 0;
  slicers_[2].decisionHalfWidth = 1;
  for (Slicer& s : slicers_) s.track = false;
  slicers_[0].track = several;
  baud_ = baud;
  samplesPerBit_ = 11025.0 / baud;
  subStep_ = samplesPerBit_ / kSubSamples;
  Reset();
  return true;
}

void TAx25Decoder::ResetSlicer(Slicer& s) {
  s.detector.Reset();
  s.ringIndex = 0;
  s.bitPhase = 0;
  s.prevSign = false;
  s.subAcc = 0.0;
  s.discriminator = 0.0;
  s.before = s.beforeThat = 0.0;
  s.high = s.low = 0.0f;
  s.ring.fill(0.0f);
  s.columns.fill(0.0);
  s.hdlc.Reset();
}

void TAx25Decoder::Reset() {
  for (Slicer& s : slicers_) ResetSlicer(s);
  levelCount_ = 0;
  bits_ = 0;
  lastBits_ = 0;
  lastLength_ = 0;
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
  for (Slicer& s : slicers_) s.detector.SetTones(first, second);
  return true;
}

void TAx25Decoder::ProcessBlock(std::span<const float> block, bool squelchOpen) {
  squelchOpen_ = squelchOpen;
  if (!enabled_) return;
  slicers_[0].detector.WithPath([&](auto path) { Run<decltype(path)::value>(block); });
}

void TAx25Decoder::ProcessSample(float x) {
  if (!enabled_) return;
  if (slicers_[0].detector.OutputEvery() == kOutputEvery) {
    RunThirds(std::span<const float>(&x, 1));
    return;
  }
  Slicer& first = slicers_[0];
  first.detector.StepDifference(x, first.discriminator);
  part_[0] = first.discriminator;
  Clock<true>(first, 1);
  if (slicerCount_ == 1) return;
  Clock<false>(slicers_[kSharedFront], 1);
  Slicer& second = slicers_[1];
  second.detector.StepDifference(x, second.discriminator);
  part_[0] = second.discriminator;
  Clock<false>(second, 1);
}

// The block loop of one front-end path, a part at a time: the front end gives the
// discriminator each sample sees, then the clock samples it nine times a bit. Several
// slicers take each part in turn. The path is chosen once per block (see
// VESTREL_BLOCK_CLONES).
template <int Path>
VESTREL_BLOCK_CLONES void TAx25Decoder::Run(std::span<const float> block) {
  Slicer& first = slicers_[0];
  if constexpr (Path == 11025) {
    if (first.detector.OutputEvery() == kOutputEvery) {
      RunThirds(block);
      return;
    }
  }
  if (slicerCount_ == 1) {
    first.detector.DifferenceParts<Path>(block, part_, first.discriminator,
                                         [&](size_t n) { Clock<true>(first, n); });
    return;
  }
  for (size_t at = 0; at < block.size(); at += kSharedPart) {
    const std::span<const float> piece = block.subspan(at, std::min(kSharedPart, block.size() - at));
    first.detector.DifferencesOn<Path>(piece, part_.data(), first.discriminator);
    Clock<true>(first, piece.size());
    Clock<false>(slicers_[kSharedFront], piece.size());
    Slicer& second = slicers_[1];
    second.detector.DifferencesOn<Path>(piece, part_.data(), second.discriminator);
    Clock<false>(second, piece.size());
  }
}

// The per-sample work after the front end for the first n values of part_.
template <bool First>
VESTREL_INLINE_IN_CLONES void TAx25Decoder::Clock(Slicer& s, size_t n) {
  int levelCount = levelCount_;
  double subAcc = s.subAcc;
  for (size_t i = 0; i < n; ++i) Tick<First>(s, part_[i], levelCount, subAcc);
  if constexpr (First) levelCount_ = levelCount;
  s.subAcc = subAcc;
}

// One sample's discriminator d: the level for the displays (first slicer) and the sub-samples,
// with the counters in the caller's locals.
template <bool First>
VESTREL_INLINE_IN_CLONES void TAx25Decoder::Tick(Slicer& s, double d, int& levelCount, double& subAcc) {
  if constexpr (First) {
    if (++levelCount >= kLevelEvery) {
      levelCount = 0;
      if (levels_) levels_->Write(*levelIndex_, d * kLevelScale);
    }
  }
  subAcc += 1.0;
  if (subAcc < subStep_) return;
  float v = 0.0f;
  if (squelchOpen_) {
    v = static_cast<float>(d);
    if (s.track) v = s.Centred(v);
  }
  do {
    subAcc -= subStep_;
    s.Push(v);
    if (++s.bitPhase >= kSubSamples) {
      s.bitPhase = 0;
      BitDecision<First>(s);
    }
  } while (subAcc >= subStep_);
}

// The single slicer with the front end's outputs on every third sample, front end and clock in
// one pass. The held outputs' mean over three samples is the line between two outputs, two
// samples late.
VESTREL_INLINE_IN_CLONES void TAx25Decoder::RunThirds(std::span<const float> block) {
  Slicer& s = slicers_[0];
  int levelCount = levelCount_;
  double subAcc = s.subAcc;
  double held = s.discriminator, one = s.before, two = s.beforeThat;
  for (const float x : block) {
    if (s.detector.StepOn<11025>(x)) held = s.detector.ToneDifference();
    const double d = (held + one + two) * (1.0 / 3);
    two = one;
    one = held;
    Tick<true>(s, d, levelCount, subAcc);
  }
  levelCount_ = levelCount;
  s.subAcc = subAcc;
  s.discriminator = held;
  s.before = one;
  s.beforeThat = two;
}

template <bool First>
void TAx25Decoder::BitDecision(Slicer& s) {
  // The centre one bit back, so the search has sub-samples on both sides of it.
  const uint32_t c = s.ringIndex - kSubSamples;
  double best = 0.0;
  int bestK = 0;
  for (int k = -kSearch; k <= kSearch; ++k) {
    const double sum = s.columns[(c + k) & kRingMask];
    if (sum > best) {
      best = sum;
      bestK = k;
    }
  }
  if (bestK > 0) {
    --s.bitPhase;  // the next bit one sub-sample later
  } else if (bestK < 0) {
    ++s.bitPhase;  // one sooner
  }
  if constexpr (First) {
    CarrierDetect(s, c);
    ShowDcd();
    ++bits_;
  }

  // NRZI against the sign kept at the last decision: the newest sub-sample's, or that of the
  // sum around the centre one bit back.
  bool positive;
  if (s.decisionHalfWidth == 0) {
    positive = s.ring[s.ringIndex] > 0.0f;
  } else {
    float sum = 0.0f;
    for (int j = -s.decisionHalfWidth; j <= s.decisionHalfWidth; ++j) sum += s.R(c + j);
    positive = sum > 0.0f;
  }
  const int bit = positive == s.prevSign ? 1 : 0;
  s.prevSign = positive;
  const int r = s.hdlc.PutBit(bit);
  if (r & THdlcDeframer::kFlag) {
    dcdIntegrator_ = kDcdFull;
    dcd_ = true;
  }
  if (r & THdlcDeframer::kFrame) Deliver(s.hdlc.Frame());
}

void TAx25Decoder::CarrierDetect(const Slicer& s, uint32_t c) {
  if (!squelchOpen_) {
    dcdIntegrator_ = 0;
    dcd_ = false;
    return;
  }
  const bool sign = s.R(c) > 0.0f;
  int d;
  if ((s.R(c - kSubSamples) > 0.0f) == sign) {
    d = kDcdSteady;
  } else if ((s.R(c - 2) > 0.0f) != sign || (s.R(c + 2) > 0.0f) != sign) {
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
}

// With several slicers a frame found twice goes on once: the first copy is kept, and the same
// bytes again within kEchoBits are another slicer's.
void TAx25Decoder::Deliver(std::span<const uint8_t> frame) {
  if (slicerCount_ > 1) {
    const size_t n = std::min(frame.size(), last_.size());
    if (static_cast<size_t>(lastLength_) == n && bits_ - lastBits_ <= kEchoBits &&
        std::equal(frame.begin(), frame.begin() + static_cast<ptrdiff_t>(n), last_.begin()))
      return;
    std::copy_n(frame.begin(), n, last_.begin());
    lastLength_ = static_cast<int>(n);
    lastBits_ = bits_;
  }
  sink_.PutAx25Frame(frame);
}

void TAx25Decoder::ShowDcd() {
  const int want = dcd_ ? 1 : 0;
  if (want == dcdShown_) return;
  dcdShown_ = want;
  window_.SetPanelText(kDcdPanel, dcd_ ? "*" : " ");
}

}  // namespace vestrel
