#include "engine/modes/rtty/rtty_decoder.h"

#include <cmath>

#include "engine/dsp/decimator2.h"
#include "engine/dsp/decimator3.h"
#include "engine/frequency_unit.h"
#include "engine/modes/rtty/rtty_filters.h"

namespace vestrel {

namespace {

constexpr int kDcdPanel = 9;
constexpr int kLevelEvery = 61;                  // input samples per level written
constexpr double kLevelScale = 1.0 / (1 << 30);  // discriminator to display units

double Magnitude(double s, double c) {
  const double p = s * s + c * c;
  return p > 1e-8 ? std::sqrt(p) : 0.0;
}

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
    : TFskDetector(sine), params_(params), window_(window), baudot_(baudot) {}

void TRttyDecoder::Start() {
  Enabled = 0;
  BaudInt = 45;
  SetBaud(45, 0);
  SetTones(HzToUnits(2115.0), HzToUnits(2285.0));
  HoldState = 0;
  HoldCount = 0;
  Enabled = 1;
}

bool TRttyDecoder::SetBaud(double baud, int filterWidth) {
  if (!(baud >= 1.0 && baud <= 5000.0)) return false;
  const int baudInt = static_cast<int>(std::floor(baud + 0.5));
  const double working = baudInt == 45 ? 45.45 : baudInt;
  const RttyFilterChoice f = SelectRttyFilter(filterWidth, baudInt);
  const int average = f.movingAverage ? static_cast<int>(std::floor(11025.0 / working + 0.5)) | 1 : 0;
  if (!SetupWithAverage(f.path, f.taps, f.table, average)) return false;
  BaudInt = baudInt;
  SettleLength = SettleSamples(f.path, f.taps, average);
  Settle = SettleLength;
  Discriminator = 0.0;
  SamplesPerBit = 11025.0 / working;
  SubStep = SamplesPerBit / kSubSamples;
  HoldState = 0;
  HoldCount = 0;
  SubAcc = 0.0;
  RingIndex = 0;
  // Empty, neither mark nor space: a start bit needs a received mark before it. Filled with
  // mark, the first negative sample after a set-up (the filters settling, or a start bit
  // already under way) would pass for a start edge and frame the following characters wrongly.
  Ring.fill(0.0f);
  window_.SetPanelText(kDcdPanel, "");
  return true;
}

bool TRttyDecoder::SetDataBits(int n) {
  if (n != 5 && n != 7 && n != 8) return false;
  DataBits = n;
  return true;
}

void TRttyDecoder::ProcessBlock(std::span<const float> block) {
  if (!Enabled) return;
  for (float x : block) ProcessSample(x);
}

void TRttyDecoder::ProcessSample(float x) {
  if (!Enabled) return;
  if (Step(x)) Discriminator = Magnitude(OutBSin, OutBCos) - Magnitude(OutASin, OutACos);
  // No signal at all leaves both magnitudes at 0; the next signal must first settle.
  if (Discriminator == 0.0) {
    Settle = SettleLength;
  } else if (Settle > 0) {
    --Settle;
  }
  if (++LevelCount >= kLevelEvery) {
    LevelCount = 0;
    if (levels_) levels_->Write(*levelIndex_, Discriminator * kLevelScale);
  }
  SubAcc += 1.0;
  if (SubAcc < SubStep) return;
  float v = kIdle;
  if (SquelchOpen)
    v = Settle > 0 ? 0.0f : static_cast<float>(params_.Reverse ? -Discriminator : Discriminator);
  do {
    SubAcc -= SubStep;
    Push(v);
  } while (SubAcc >= SubStep);
}

void TRttyDecoder::Push(float v) {
  RingIndex = (RingIndex + 1) & kRingMask;
  Ring[RingIndex] = v;
  if (HoldState) {
    if (--HoldCount <= 1) HoldState = 0;
    return;
  }
  Search();
}

// Mark before the start bit, the start bit, and mark in the stop bit, one bit apart each.
bool TRttyDecoder::Pattern(uint32_t p) const {
  return R(p) > 0.0f && R(p + kSubSamples) <= 0.0f && R(p + kSubSamples * (2 + DataBits)) > 0.0f;
}

// How clearly p sits in the middle of the bits: the stop bit, the start edge and the
// strength of every data bit.
double TRttyDecoder::Score(uint32_t p) const {
  if (!Pattern(p)) return -1.0;
  double s = R(p + kSubSamples * (2 + DataBits)) + (R(p) - R(p + kSubSamples));
  for (int k = 0; k < DataBits; ++k) s += std::abs(R(p + 2 * kSubSamples + kSubSamples * k));
  return s;
}

void TRttyDecoder::Search() {
  const uint32_t a = RingIndex - kLookBack;
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
  HoldCount = kSubSamples * DataBits + kSubSamples + static_cast<int>(b - a);
  HoldState = 1;
  int code = 0;
  for (int k = 0; k < DataBits; ++k) {
    const uint32_t c = b + 2 * kSubSamples + kSubSamples * k;
    if (R(c - 1) + R(c) + R(c + 1) > 0.0f) code |= 1 << k;
  }
  baudot_.PutBaudotChar(code);
}

}  // namespace vestrel
