#include "engine/modes/rtty/rtty_decoder.h"

#include <cmath>

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

}  // namespace

TRttyDecoder::TRttyDecoder(const SineTable& sine, const TModemParams& params, EngineWindow& window,
                           TBaudotDecoder& baudot)
    : TFskDetector(sine), params_(params), window_(window), baudot_(baudot) {
  Ring.fill(kIdle);
}

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
  SamplesPerBit = 11025.0 / working;
  SubStep = SamplesPerBit / kSubSamples;
  HoldState = 0;
  HoldCount = 0;
  SubAcc = 0.0;
  RingIndex = 0;
  Ring.fill(kIdle);
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
  if (++LevelCount >= kLevelEvery) {
    LevelCount = 0;
    if (level_.ring) {
      *level_.index = static_cast<int32_t>((static_cast<uint32_t>(*level_.index) + 1) & level_.mask);
      level_.ring[*level_.index] = Discriminator * kLevelScale;
      *level_.fresh = 1;
    }
  }
  SubAcc += 1.0;
  if (SubAcc < SubStep) return;
  const float v = !SquelchOpen ? kIdle : static_cast<float>(params_.Reverse ? -Discriminator : Discriminator);
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
