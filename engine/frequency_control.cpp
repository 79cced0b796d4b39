#include "engine/frequency_control.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "engine/frequency_unit.h"
#include "engine/modes/mfsk/mfsk_decoder.h"
#include "engine/modes/ps33x5/ps33x5_band.h"
#include "engine/spectrum_arrays.h"

namespace vestrel {

namespace {

// Search windows stay clear of the spectrum's ends (bins 55..743 are maintained).
constexpr int32_t kLowestStart = 59;
constexpr int32_t kFirstBin = SpectrumArrays::kFirstBin;
constexpr int32_t kLastBin = SpectrumArrays::kLastBin;

int32_t Max3(int64_t a, int64_t b, int64_t c) {
  return static_cast<int32_t>(std::max({a, b, c}));
}
int32_t Min3(int64_t a, int64_t b, int64_t c) {
  return static_cast<int32_t>(std::min({a, b, c}));
}

// x kept between lo and hi, the upper limit winning when the two cross.
int64_t Between(int64_t x, int64_t lo, int64_t hi) {
  return std::min(std::max(x, lo), hi);
}

// The MFSK band's lower edge for a clicked or given position: the position is the lower edge,
// or with Reverse the upper edge; the whole span stays inside the tone range.
int32_t MfskLowerEdge(int32_t position, int32_t shift, bool reverse) {
  const int64_t span = std::max(shift, 0);
  const int64_t lower =
      reverse ? std::min<int64_t>(std::max<int64_t>(position, kMinToneUnits + span), kMaxToneUnits) - span
              : std::max<int64_t>(std::min<int64_t>(position, kMaxToneUnits - span), kMinToneUnits);
  return static_cast<int32_t>(lower);
}

// A tone pair stepped by `units` under its mode's layout, as the step buttons move either pair:
// an MFSK lower edge stays where the whole span fits (the upper tone is left to the planner), a
// single tone is clamped to the band, and a pair step that would push either tone off the band
// is refused (false).
bool StepTones(ToneLayout layout, const int32_t (&tone)[2], int32_t shift, int32_t units, int32_t (&out)[2]) {
  const int64_t lower = int64_t{tone[0]} + units;
  const int64_t upper = int64_t{tone[1]} + units;
  switch (layout) {
    case ToneLayout::kMfskPlan:
      out[0] = static_cast<int32_t>(
          std::max<int64_t>(std::min<int64_t>(lower, int64_t{kMaxToneUnits} - std::max(shift, 0)), kMinToneUnits));
      out[1] = tone[1];
      return true;
    case ToneLayout::kSingle:
    case ToneLayout::kSingleKeepShift:
      out[0] = out[1] = static_cast<int32_t>(Between(lower, kMinToneUnits, kMaxToneUnits));
      return true;
    case ToneLayout::kPair:
    case ToneLayout::kPs33x5Band:
      if (lower < kMinToneUnits || upper > kMaxToneUnits) return false;
      out[0] = static_cast<int32_t>(lower);
      out[1] = static_cast<int32_t>(upper);
      return true;
  }
  return false;
}

double MeanHz(const int32_t (&pair)[2], double rate) {
  return (static_cast<double>(pair[0]) + pair[1]) / 2.0 * rate / kUnitsPerCycle;
}

// The speed the signal runs at: fixed by the mode where it fixes one (PSK, MFSK, packet),
// else the Speed menu's.
double SignalBaud(const ModeRow& row, const TModemParams& p) {
  if (row.symbolRate > 0.0) return row.symbolRate;
  return p.Baud == 45.0 ? 45.45 : p.Baud;
}

}  // namespace

SpectrumScale SpectrumScale::Of(int width, int32_t centreBin, int32_t zoom) {
  SpectrumScale s;
  s.zoom = std::clamp(zoom, 1, 5);
  const int64_t origin = int64_t{width} / 2 - (int64_t{centreBin} - kFirstBin) * s.zoom;
  s.origin = static_cast<int32_t>(Between(origin, -(int64_t{1} << 24), int64_t{1} << 24));
  return s;
}

int32_t SpectrumScale::PositionAt(int x) const {
  const int64_t num = (int64_t{x} - origin) * 16 + zoom / 2;
  // Division rounding toward minus infinity, so pixels left of the origin map alike.
  const int64_t q = num >= 0 ? num / zoom : -((-num + zoom - 1) / zoom);
  return static_cast<int32_t>(Between(q + kFirstUnits, INT32_MIN / 2, INT32_MAX / 2));
}

int SpectrumScale::PixelOf(int32_t units) const {
  const int64_t d = (int64_t{units} - kFirstUnits) * zoom;
  return static_cast<int>(origin + (d >= 0 ? d / 16 : -((-d + 15) / 16)));
}

bool DragSpectrumCentre(TModemParams& p, int& startX, int x) {
  const int32_t zoom = std::clamp(p.Zoom, 1, 5);
  const int32_t delta = static_cast<int32_t>((int64_t{x} - startX) / zoom);
  const int64_t centre = int64_t{p.FFTCenterFreq} - delta;
  if (delta == 0 || centre < 56 || centre > 742) return false;
  p.FFTCenterFreq = static_cast<int32_t>(centre);
  startX += delta * zoom;
  return true;
}

MfskTonePlan TakeMfskRxPlan(TModemParams& p, const ModeRow& row, int32_t base) {
  const MfskTonePlan plan = PlanMfskTones(base, row.mfskTones, row.symbolRate, kRxRate);
  p.RxTone[0] = plan.firstStep;
  p.RxTone[1] = plan.lastStep;
  p.RxToneBin[0] = plan.firstBin;
  p.RxToneBin[1] = plan.lastBin;
  return plan;
}

MfskTonePlan TakeMfskTxPlan(TModemParams& p, const ModeRow& row, int32_t base, double txRate) {
  const MfskTonePlan plan = PlanMfskTones(base, row.mfskTones, row.symbolRate, txRate);
  p.TxTone[0] = plan.firstStep;
  p.TxTone[1] = plan.lastStep;
  p.TxToneBin[0] = plan.firstBin;
  p.TxToneBin[1] = plan.lastBin;
  return plan;
}

void TakePs33x5RxBand(TModemParams& p, int step, double centreHz) {
  const Ps33x5Band rx = PlanPs33x5Band(step, centreHz);
  p.RxShift = HzToUnits(rx.upperHz - rx.lowerHz);
  p.RxShiftBin = UnitsToBin(p.RxShift);
  p.RxTone[0] = HzToUnits(rx.lowerHz);
  p.RxTone[1] = HzToUnits(rx.upperHz);
  p.RxToneBin[0] = UnitsToBin(p.RxTone[0]);
  p.RxToneBin[1] = UnitsToBin(p.RxTone[1]);
}

void TakePs33x5TxBand(TModemParams& p, int step, double centreHz, double txRate) {
  const Ps33x5TxSteps tx = PlanPs33x5TxSteps(step, centreHz, txRate);
  p.TxTone[0] = tx.lowerStep;
  p.TxTone[1] = tx.upperStep;
  p.TxShift = tx.upperStep - tx.lowerStep;
  p.TxShiftBin = UnitsToBin(p.TxShift);
  p.TxToneBin[0] = UnitsToBin(tx.lowerStep);
  p.TxToneBin[1] = UnitsToBin(tx.upperStep);
}

double TFrequencyControl::TxRate() const {
  return UsableTxRate(rates_.OutSamplingFreq);
}

float TFrequencyControl::Peak(int32_t k) const {
  return k >= 0 && k < SpectrumArrays::kSize ? rx_.Spectrum.SpectrumPeak[k] : 0.0f;
}

int32_t TFrequencyControl::LocalBins() const {
  return std::max(0, HzToBins(LocalDeviationHz));
}

int32_t TFrequencyControl::GlobalBins() const {
  return std::max(0, HzToBins(GlobalDeviationHz));
}

// A pass's result: first to the local window around the old position, then to the global window
// around the reference, then to the band (912..bandTop).
int32_t TFrequencyControl::ClampResult(int32_t units, int32_t old, int32_t ref, int32_t bandTop) const {
  const int64_t l = int64_t{LocalBins()} * 16;
  const int64_t g = int64_t{GlobalBins()} * 16;
  int64_t x = Between(units, int64_t{old} - l, int64_t{old} + l);
  x = Between(x, int64_t{ref} * 16 - g, int64_t{ref} * 16 + g);
  x = Between(x, kMinToneUnits, bandTop);
  return static_cast<int32_t>(x);
}

void TFrequencyControl::SetRxBins() {
  params_.RxToneBin[0] = UnitsToBin(params_.RxTone[0]);
  params_.RxToneBin[1] = UnitsToBin(params_.RxTone[1]);
}

void TFrequencyControl::SetTxBins() {
  params_.TxToneBin[0] = UnitsToBin(params_.TxTone[0]);
  params_.TxToneBin[1] = UnitsToBin(params_.TxTone[1]);
}

void TFrequencyControl::SetRxMfskBase(int32_t lower) {
  const ModeRow& row = ModeRowOf(params_.Mode);
  TakeMfskRxPlan(params_, row, lower);
  if (ModeReceiver* r = modes_.Receiver(row.receiver)) r->SetTones(params_.RxTone[0], params_.RxTone[1]);
}

void TFrequencyControl::SetRxPs33x5Centre(double centreHz) {
  TakePs33x5RxBand(params_, params_.Ps33x5SpeedX, centreHz);
  if (ModeReceiver* r = modes_.Receiver(RxFamily::kPs33x5)) r->SetTones(params_.RxTone[0], params_.RxTone[1]);
}

void TFrequencyControl::SetTxMfskBase(int32_t lower) {
  const ModeRow& row = ModeRowOf(params_.Mode);
  TakeMfskTxPlan(params_, row, lower, TxRate());
  if (TxSymbolSource* t = modes_.Transmitter(row.transmitter)) t->SetTones(params_.TxTone[0], params_.TxTone[1]);
}

void TFrequencyControl::SetTxPs33x5Centre(double centreHz) {
  TakePs33x5TxBand(params_, params_.Ps33x5SpeedX, centreHz, TxRate());
  if (TxSymbolSource* t = modes_.Transmitter(TxFamily::kPs33x5)) t->SetTones(params_.TxTone[0], params_.TxTone[1]);
}

void TFrequencyControl::RetuneRx() {
  TModemParams& p = params_;
  const ModeRow& row = ModeRowOf(p.Mode);
  switch (row.tones) {
    case ToneLayout::kSingle:
    case ToneLayout::kSingleKeepShift:
      if (ModeReceiver* r = modes_.Receiver(row.receiver)) r->SetTones(p.RxTone[0], p.RxTone[1]);
      break;
    case ToneLayout::kMfskPlan:
      SetRxMfskBase(p.RxTone[0]);
      break;
    case ToneLayout::kPs33x5Band:
      SetRxPs33x5Centre(MeanHz(p.RxTone, kRxRate));
      break;
    case ToneLayout::kPair:
      modes_.SetFskFamilyTones(p.RxTone[0], p.RxTone[1]);
      break;
  }
}

// ---- The AFC passes ----

// The spectrum's search of the PSK pass, kept for capture: the best-scoring signal of the
// window, its carrier, its level and the window's noise floor. False when the window is empty,
// its weight sum 0, or the squelch (while on) finds nothing above its level.
bool TFrequencyControl::PskSpectrumCarrier(TPskAfc::Spectrum& out) const {
  const TModemParams& p = params_;
  const ModeRow& row = ModeRowOf(p.Mode);
  // The two sidebands of the idle signal lie s bins apart, s = round(baud x 2048 / 11025):
  // 6 at 31.25 Bd, 12 at 62.5 Bd, 23 at 125 Bd; the carrier lies s/2 above the lower one.
  // The pair is scored by its weaker sideband, and the carrier is the centroid of the whole
  // signal around the pair: while text is sent the carrier line itself is strong and the
  // spectrum a hump, where a pair scored by its sum puts one sideband on the carrier. On an
  // idle signal (two lines) the centroid gives the carrier as the sidebands' would.
  const int32_t s = std::max(1, RoundToInt32(SignalBaud(row, p) * 2048.0 / kRxRate));
  const int32_t L = LocalBins(), G = GlobalBins();
  const int32_t lo = p.RxToneBin[0], rlo = p.AfcRefBin[0];
  const int32_t start = Max3(int64_t{lo} - L - s / 2, int64_t{rlo} - G - s / 2, kLowestStart);
  const int32_t end = Min3(int64_t{lo} + L - s / 2, int64_t{rlo} + G - s / 2, 738 - s);
  if (start > end) return false;
  int32_t best = start;
  float bestScore = -1.0f;
  for (int32_t i = start; i <= end; ++i) {
    const float score = std::min(Peak(i), Peak(i + s));
    if (score > bestScore) {
      bestScore = score;
      best = i;
    }
  }
  if (SquelchOn()) {
    bool open = false;
    for (int32_t k = best; k < std::min(best + s, end); ++k) open = open || Peak(k) > Level();
    if (!open) return false;
  }
  // The noise floor: the lower third of the window and the signal's width either side, where a
  // signal of s bins leaves most bins to the noise.
  std::array<float, SpectrumArrays::kSize> bins{};
  size_t n = 0;
  for (int32_t j = std::max(start - s, kFirstBin); j <= std::min(end + 2 * s, kLastBin) && n < bins.size();
       ++j)
    bins[n++] = Peak(j);
  std::nth_element(bins.begin(), bins.begin() + n / 3, bins.begin() + n);
  out.floor = bins[n / 3];
  // The carrier: the centroid of what stands above the floor (of the whole when nothing does),
  // so that the noise in the window does not pull it toward the window's middle.
  double sum = 0.0, weighted = 0.0, excess = 0.0, excessWeighted = 0.0;
  for (int32_t j = std::max(best - 2, kFirstBin); j <= std::min(best + s + 2, kLastBin); ++j) {
    sum += Peak(j);
    weighted += double{Peak(j)} * 16.0 * j;
    const double above = std::max(0.0, double{Peak(j)} - out.floor);
    excess += above;
    excessWeighted += above * 16.0 * j;
  }
  if (!(sum > 0.0)) return false;
  out.carrierUnits = excess > 0.0 ? excessWeighted / excess : weighted / sum;
  double level = 0.0;
  for (int32_t j = best; j <= best + s; ++j) level += Peak(j);
  out.level = level / (s + 1);
  out.widthBins = s + 1;
  return true;
}

// The PSK pass: the receiver's own frequency error moves the tone in small steps, the
// spectrum only captures a clear signal the receiver is not on (TPskAfc says when).
bool TFrequencyControl::AfcTunePsk() {
  TModemParams& p = params_;
  const ModeRow& row = ModeRowOf(p.Mode);
  TPskFrequencyError::Sums sums;
  if (pskError_ != nullptr) sums = pskError_->Take();
  // Moved by anything else since the last pass: the sums are of the old tone.
  if (p.RxTone[0] != pskAfc_.Placed()) {
    pskAfc_.Restart(p.RxTone[0]);
    sums = {};
  }
  TPskAfc::Spectrum spectrum;
  if (!PskSpectrumCarrier(spectrum)) return false;
  bool captured = false;
  const double wanted =
      pskAfc_.Pass(sums, spectrum, SignalBaud(row, p), row.quadrature ? 4 : 2, clickBusy_, captured);
  const int32_t tone = ClampResult(RoundToInt32(wanted), p.RxTone[0], p.AfcRefBin[0], kMaxToneUnits);
  pskAfc_.Placed(tone, captured);
  if (tone == p.RxTone[0] && tone == p.RxTone[1]) return false;
  p.RxTone[0] = p.RxTone[1] = tone;
  SetRxBins();
  RetuneRx();
  return true;
}

bool TFrequencyControl::AfcTuneFsk() {
  TModemParams& p = params_;
  const ModeRow& row = ModeRowOf(p.Mode);
  const int32_t S = p.RxShiftBin;
  if (S <= 0) return false;
  const int32_t W = std::clamp(RoundToInt32(SignalBaud(row, p) * 1024.0 / kRxRate), 0, S / 4);
  const int32_t L = LocalBins(), G = GlobalBins();
  const int32_t lo = p.RxToneBin[0], rlo = p.AfcRefBin[0];
  const int32_t start = Max3(int64_t{lo} - L, int64_t{rlo} - G, kLowestStart);
  const int32_t end = Min3(int64_t{lo} + L, int64_t{rlo} + G, int64_t{739} - S);
  if (start > end) return false;
  int32_t best = start;
  double bestScore = -1.0;
  for (int32_t i = start; i <= end; ++i) {
    double score = 0.0;
    for (int32_t j = std::max(i - W, kFirstBin + 1); j <= i + W; ++j) score += Peak(j);
    for (int32_t m = i + S - W; m <= std::min(i + S + W, kLastBin - 1); ++m) score += Peak(m);
    if (score > bestScore) {
      bestScore = score;
      best = i;
    }
  }
  if (SquelchOn() && !(Peak(best) > Level() || Peak(best + S) > Level())) return false;
  double sum = 0.0, weighted = 0.0;
  for (int32_t j = best - 1; j <= best + 1; ++j) {
    const double v = double{Peak(j)} + Peak(j + S);
    sum += v;
    weighted += v * 16.0 * j;
  }
  if (!(sum > 0.0)) return false;
  const int32_t lower =
      ClampResult(RoundToInt32(weighted / sum), p.RxTone[0], rlo, int64_t{kMaxToneUnits} - p.RxShift);
  if (lower == p.RxTone[0] && lower + p.RxShift == p.RxTone[1]) return false;
  p.RxTone[0] = lower;
  p.RxTone[1] = lower + p.RxShift;
  SetRxBins();
  RetuneRx();
  return true;
}

bool TFrequencyControl::AfcTuneFskSeparate() {
  TModemParams& p = params_;
  const int32_t S = p.RxShiftBin;
  if (S <= 0) return false;
  const int32_t L = LocalBins(), G = GlobalBins();
  const int32_t lo = p.RxToneBin[0], hi = p.RxToneBin[1];
  const int32_t rlo = p.AfcRefBin[0], rhi = p.AfcRefBin[1];
  if (SquelchOn()) {
    bool open = Peak(lo) > Level() || Peak(hi) > Level();
    const int32_t from = Max3(int64_t{lo} - L, int64_t{rlo} - G, kLowestStart);
    const int32_t to = Min3(int64_t{hi} + L, int64_t{rhi} + G, 739);
    for (int32_t k = from; k <= to && !open; ++k) open = Peak(k) > Level();
    if (!open) return false;
  }
  // The energy of three bins around each tone.
  auto six = [this](int32_t a, int32_t b) {
    return (a > kFirstBin ? double{Peak(a - 1)} : 0.0) + Peak(a) + Peak(a + 1) + Peak(b - 1) + Peak(b) +
           (b < kLastBin ? double{Peak(b + 1)} : 0.0);
  };
  bool moved = false;
  const double present = six(lo, hi);
  const int32_t start = Max3(int64_t{lo} - L, int64_t{rlo} - G, kLowestStart);
  const int32_t end = Min3(int64_t{lo} + L, int64_t{rlo} + G, int64_t{739} - S);
  if (start <= end) {
    int32_t best = start;
    double bestScore = -1.0;
    for (int32_t i = start; i <= end; ++i) {
      const double score = six(i, i + S);
      if (score > bestScore) {
        bestScore = score;
        best = i;
      }
    }
    if (bestScore > present && (best != lo || best + S != hi)) {
      p.RxTone[0] = best * 16;
      p.RxTone[1] = (best + S) * 16;
      SetRxBins();
      RetuneRx();
      moved = true;
    }
  }
  // Each tone refined alone: the shift may drift within 2S/3..4S/3.
  const bool lower = AfcTrackLowerTone();
  const bool upper = AfcTrackUpperTone();
  return moved || lower || upper;
}

namespace {

// The first bin with the greatest sum of P over i - W .. i + W (bins inside the spectrum) in
// start..end, and its score; -1 when the window is empty.
template <class PeakFn>
int32_t BestSingle(const PeakFn& peak, int32_t start, int32_t end, int32_t W) {
  int32_t best = -1;
  double bestScore = -1.0;
  for (int32_t i = start; i <= end; ++i) {
    double score = 0.0;
    for (int32_t j = std::max(i - W, kFirstBin + 1); j <= std::min(i + W, kLastBin); ++j) score += peak(j);
    if (score > bestScore) {
      bestScore = score;
      best = i;
    }
  }
  return best;
}

}  // namespace

bool TFrequencyControl::AfcTrackLowerTone() {
  return TrackTone(0);
}

bool TFrequencyControl::AfcTrackUpperTone() {
  return TrackTone(1);
}

// One tone of the pair followed alone (0 lower, 1 upper), kept 2S/3..4S/3 from the other.
bool TFrequencyControl::TrackTone(int t) {
  TModemParams& p = params_;
  const ModeRow& row = ModeRowOf(p.Mode);
  const int32_t S = p.RxShiftBin;
  if (S <= 0) return false;
  const int32_t W = std::clamp(RoundToInt32(SignalBaud(row, p) * 1024.0 / kRxRate), 0, S / 4);
  const int64_t L = LocalBins(), G = GlobalBins();
  const int64_t own = p.RxToneBin[t], ref = p.AfcRefBin[t];
  const int64_t lo = p.RxToneBin[0], hi = p.RxToneBin[1];
  const int64_t nearest = t == 0 ? hi - 4 * S / 3 : lo + 2 * S / 3;
  const int64_t farthest = t == 0 ? hi - 2 * S / 3 : lo + 4 * S / 3;
  const auto start = static_cast<int32_t>(std::max({own - L, ref - G, int64_t{kLowestStart}, nearest}));
  const auto end = static_cast<int32_t>(std::min({own + L, ref + G, int64_t{739}, farthest}));
  const int32_t best = BestSingle([this](int32_t k) { return Peak(k); }, start, end, W);
  if (best < 0) return false;
  if (SquelchOn() && !(Peak(best) > Level())) return false;
  double sum = 0.0, weighted = 0.0;
  for (int32_t j = best - 1; j <= best + 1; ++j) {
    sum += Peak(j);
    weighted += double{Peak(j)} * 16.0 * j;
  }
  if (!(sum > 0.0)) return false;
  const int32_t tone =
      ClampResult(RoundToInt32(weighted / sum), p.RxTone[t], static_cast<int32_t>(ref), kMaxToneUnits);
  if (tone == p.RxTone[t]) return false;
  p.RxTone[t] = tone;
  SetRxBins();
  RetuneRx();
  return true;
}

// The MFSK pass moves the tones only by what the signal says. Tracking: the receiver's own
// estimate of the signal's offset (the detectors' half-symbol phase advance, see
// TMfskFrequencyError); while it holds on a tone and says more than an eighth of a spacing (a
// quarter on a weak signal, whose estimate is the noisier), a quarter of it moves the lower
// edge each block, at most kMfskStepUnits (1/16 bin), the fraction carried on, until it says
// less than 1/32 of a spacing. Near its threshold a weak signal's errors change with every
// fraction of a hertz, so on-frequency tones stay put. Grid: when the detectors beyond one end
// of the band hear the signal's edge tone, the band steps a whole spacing that way. Capture:
// the band the search finds must stand kMfskClear above the noise beside it (and above it in
// this block too) for kMfskVotes passes in a row; the median of their centroids is taken when
// it lies more than half a spacing off and the receiver, given its settling time, holds no
// tone (or the passes follow a click). Noise opens none of these, whatever the squelch (still
// tested when it is on).
bool TFrequencyControl::AfcTuneMfsk() {
  TModemParams& p = params_;
  const ModeRow& row = ModeRowOf(p.Mode);
  const int tones = std::min(row.mfskTones, MfskTonePlan::kMaxTones);
  if (tones <= 0) return false;
  std::array<int32_t, MfskTonePlan::kMaxTones> offset{};
  for (int k = 0; k < tones; ++k) offset[k] = HzToBins(k * row.symbolRate);
  const int32_t S = p.RxShiftBin;
  const int32_t L = LocalBins(), G = GlobalBins();
  const int32_t lo = p.RxToneBin[0], rlo = p.AfcRefBin[0];
  const int32_t start = Max3(int64_t{lo} - L, int64_t{rlo} - G, kLowestStart);
  const int32_t end = Min3(int64_t{lo} + L, int64_t{rlo} + G, int64_t{739} - S);
  if (start > end) return false;
  int32_t best = start;
  double B = -1.0;
  for (int32_t i = start; i <= end; ++i) {
    double score = 0.0;
    for (int k = 0; k < tones; ++k) score += Peak(i + offset[k]);
    if (score > B) {
      B = score;
      best = i;
    }
  }
  if (SquelchOn()) {
    bool open = false;
    for (int32_t k = best; k < best + S && !open; ++k) open = Peak(k) > Level();
    if (!open) return false;
  }
  if (B < 0.0001) return false;
  const int64_t bandTop = int64_t{kMaxToneUnits} - p.RxShift;
  const double spacing = row.symbolRate * kUnitsPerCycle / kRxRate;  // units
  const auto* mfsk = dynamic_cast<const TMfskDecoder*>(modes_.Receiver(row.receiver));
  const bool locked = mfsk != nullptr && mfsk->FrequencyError().Locked();

  // Capture. The noise beside the band: kMfskFlank bins each side, 3 bins from its edges.
  double flank = 0.0;
  int flankBins = 0;
  for (int32_t k = 0; k < kMfskFlank; ++k) {
    for (const int32_t j : {best - 3 - k, best + S + 3 + k}) {
      if (j < kFirstBin || j > kLastBin) continue;
      flank += Peak(j);
      ++flankBins;
    }
  }
  const double floor = flankBins > 0 ? flank / flankBins : 0.0;
  // And the band must hold more than the flanks in this block's spectrum too: the peaks of a
  // signal that has ended stand above a silent input's floor for seconds.
  double nowBand = 0.0, nowFlank = 0.0;
  for (int k = 0; k < tones; ++k) nowBand += rx_.Spectrum.SpectrumAvg[best + offset[k]];
  for (int32_t k = 0; k < kMfskFlank; ++k)
    for (const int32_t j : {best - 3 - k, best + S + 3 + k})
      if (j >= kFirstBin && j <= kLastBin) nowFlank += rx_.Spectrum.SpectrumAvg[j];
  const bool clear = flankBins > 0 && B / tones > kMfskClear * floor &&
                     nowBand / tones > kMfskClearNow * nowFlank / flankBins;
  // The band's place from the centroid of its energy above that floor: every tone counts, where
  // the best score rests on the band's two edges alone and wanders along a ragged top.
  double sum = 0.0, weighted = 0.0;
  for (int32_t j = std::max(best - 3, kFirstBin); j <= std::min(best + S + 3, kLastBin); ++j) {
    const double w = std::max(double{Peak(j)} - floor, 0.0);
    sum += w;
    weighted += w * 16.0 * j;
  }
  const double span = (tones - 1) * spacing;
  const int64_t position = sum > 0.0 ? RoundToInt32(weighted / sum - span / 2.0) : p.RxTone[0];
  if (clear && sum > 0.0) {
    mfskPlaces_[mfskVotes_ % kMfskVotes] = position;
    ++mfskVotes_;
  } else {
    mfskVotes_ = 0;
  }
  int64_t candidate = p.RxTone[0];
  if (mfskVotes_ >= kMfskVotes) {
    std::array<int64_t, kMfskVotes> sorted = mfskPlaces_;
    std::nth_element(sorted.begin(), sorted.begin() + kMfskVotes / 2, sorted.end());
    candidate = sorted[kMfskVotes / 2];
  }
  // A receiver that holds a tone is on the signal's grid but perhaps for whole spacings, which
  // this spectrum cannot tell (a text's short-term tone use moves the band's centroid by a
  // spacing or more), so it is left to its own estimate. One that has had its settling time
  // without finding a tone, or a click, jumps for half a spacing; while the receiver settles
  // on a move, nothing.
  const bool lost =
      mfsk == nullptr || (mfsk->FrequencyError().Symbols() >= TMfskFrequencyError::kSettleSymbols && !locked);
  const double reach = clickBusy_ || lost ? 0.5 : -1.0;
  const bool far = reach > 0.0 && std::fabs(static_cast<double>(candidate - p.RxTone[0])) > reach * spacing;
  const double deadband = mfskTracking_ ? kMfskSettled
                          : locked && mfsk->FrequencyError().Lead() < TMfskFrequencyError::kSlipLead
                              ? kMfskWeakDeadband
                              : kMfskDeadband;
  int64_t lower = p.RxTone[0];
  if (far) {
    lower = candidate;
    mfskVotes_ = 0;
    mfskCarry_ = 0.0;
    mfskTracking_ = true;
  } else if (locked && mfsk->FrequencyError().GridSlip() != 0) {
    lower += RoundToInt32(mfsk->FrequencyError().GridSlip() * spacing);
    mfskCarry_ = 0.0;
  } else if (locked && std::fabs(mfsk->FrequencyError().ErrorHz()) > row.symbolRate / deadband) {
    mfskTracking_ = true;
    const double step = std::clamp(mfsk->FrequencyError().ErrorHz() * kUnitsPerCycle / kRxRate / 4.0,
                                   -double{kMfskStepUnits}, double{kMfskStepUnits});
    mfskCarry_ += step;
    const double whole = std::trunc(mfskCarry_);
    mfskCarry_ -= whole;
    lower += static_cast<int64_t>(whole);
  } else {
    mfskTracking_ = false;
    return false;
  }
  const int32_t moved = ClampResult(static_cast<int32_t>(lower), p.RxTone[0], rlo, bandTop);
  if (moved == p.RxTone[0]) return false;
  SetRxMfskBase(moved);
  return true;
}

bool TFrequencyControl::AfcTunePs33x5() {
  TModemParams& p = params_;
  const int32_t S = p.RxShiftBin;
  const int32_t shift = std::max(p.RxShift, 0);
  const int32_t step = std::max((shift + 16) / 32, 1);
  const int32_t L = LocalBins(), G = GlobalBins();
  const int32_t lo = p.RxToneBin[0], rlo = p.AfcRefBin[0];
  const int32_t start = Max3(int64_t{lo} - L, int64_t{rlo} - G, 65);
  const int32_t end = Min3(int64_t{lo} + L, int64_t{rlo} + G, int64_t{733} - S);
  if (start > end) return false;
  int32_t best = start;
  double bestScore = -1.0;
  for (int32_t i = start; i <= end; ++i) {
    double score = 0.0;
    for (int32_t t = 0; t <= shift; t += step) score += Peak(i + (t + 8) / 16);
    if (score > bestScore) {
      bestScore = score;
      best = i;
    }
  }
  if (SquelchOn()) {
    bool open = false;
    for (int32_t k = best; k < best + S && !open; ++k) open = Peak(k) > Level();
    if (!open) return false;
  }
  if (!(bestScore > 0.0)) return false;
  int64_t lower = Between(best, int64_t{lo} - L, int64_t{lo} + L);
  lower = Between(lower, int64_t{rlo} - G, int64_t{rlo} + G);
  lower = Between(lower, 65, int64_t{733} - S);
  if (lower == lo) return false;
  SetRxPs33x5Centre(UnitsToHz(static_cast<int32_t>(lower * 16 + shift / 2)));
  return true;
}

void TFrequencyControl::Tune(AfcPass pass) {
  switch (pass) {
    case AfcPass::kPsk: AfcTunePsk(); break;
    case AfcPass::kFsk: AfcTuneFsk(); break;
    case AfcPass::kFskSeparate: AfcTuneFskSeparate(); break;
    case AfcPass::kMfsk: AfcTuneMfsk(); break;
    case AfcPass::kPs33x5: AfcTunePs33x5(); break;
    case AfcPass::kFskBySignal: Tune(ResolveAfcPass(ModeRowOf(params_.Mode), params_)); break;
    case AfcPass::kNone: break;
  }
}

bool TFrequencyControl::RunModePass() {
  const AfcPass pass = ResolveAfcPass(ModeRowOf(params_.Mode), params_);
  if (pass == AfcPass::kNone) return false;
  Tune(pass);
  return true;
}

void TFrequencyControl::AfterClick(bool onSpectrum, bool ctrl) {
  if (clickBusy_) return;
  clickBusy_ = true;
  if (AfcAtClick != 0 && onSpectrum && !ctrl)
    for (int n = 0; n < 6; ++n) RunModePass();
  SyncTxFrequencyToRx();
  clickBusy_ = false;
}

// ---- Manual moves ----

void TFrequencyControl::SetRxPosition(int32_t position) {
  TModemParams& p = params_;
  const ModeRow& row = ModeRowOf(p.Mode);
  switch (row.tones) {
    case ToneLayout::kSingle:
    case ToneLayout::kSingleKeepShift:
      p.RxTone[0] = p.RxTone[1] = std::clamp(position, kMinToneUnits, kMaxToneUnits);
      SetRxBins();
      break;
    case ToneLayout::kMfskPlan:
      p.RxTone[0] = MfskLowerEdge(position, p.RxShift, p.Reverse != 0);
      break;
    case ToneLayout::kPair:
    case ToneLayout::kPs33x5Band:
      PlaceTonePair(p.RxTone, p.RxToneBin, position, p.RxShift);
      break;
  }
  RetuneRx();
  p.AfcRefBin[0] = p.RxToneBin[0];
  p.AfcRefBin[1] = p.RxToneBin[1];
}

void TFrequencyControl::PlaceTx(int32_t position) {
  TModemParams& p = params_;
  const ModeRow& row = ModeRowOf(p.Mode);
  switch (row.tones) {
    case ToneLayout::kSingle:
    case ToneLayout::kSingleKeepShift:
      p.TxTone[0] = p.TxTone[1] = std::clamp(position, kMinToneUnits, kMaxToneUnits);
      SetTxBins();
      break;
    case ToneLayout::kMfskPlan:
      SetTxMfskBase(MfskLowerEdge(position, p.TxShift, p.Reverse != 0));
      break;
    case ToneLayout::kPs33x5Band:
      PlaceTonePair(p.TxTone, p.TxToneBin, position, p.TxShift);
      SetTxPs33x5Centre(MeanHz(p.TxTone, TxRate()));
      break;
    case ToneLayout::kPair:
      PlaceTonePair(p.TxTone, p.TxToneBin, position, p.TxShift);
      break;
  }
}

void TFrequencyControl::SetTxPosition(int32_t position) {
  PlaceTx(RoundToInt32(kRxRate / TxRate() * position));
}

void TFrequencyControl::SyncTxFrequencyToRx() {
  TModemParams& p = params_;
  if (Transmitting() || TxAfc == 0) return;
  const ModeRow& row = ModeRowOf(p.Mode);
  const double ratio = kRxRate / TxRate();
  if (row.SingleTone()) {
    p.TxTone[0] = p.TxTone[1] = std::clamp(RoundToInt32(ratio * p.RxTone[0]), kMinToneUnits, kMaxToneUnits);
    SetTxBins();
    return;
  }
  const int32_t h = p.TxShift / 2;
  const int32_t centre =
      ClampToneCentre(RoundToInt32(ratio * ((static_cast<double>(p.RxTone[0]) + p.RxTone[1]) / 2.0)), h);
  switch (row.tones) {
    case ToneLayout::kMfskPlan: SetTxMfskBase(centre - h); break;
    case ToneLayout::kPs33x5Band: SetTxPs33x5Centre(UnitsToHz(centre, TxRate())); break;
    default: PlaceTonePair(p.TxTone, p.TxToneBin, centre, p.TxShift); break;
  }
}

void TFrequencyControl::ShiftRxFrequency(int32_t units) {
  TModemParams& p = params_;
  const ModeRow& row = ModeRowOf(p.Mode);
  int32_t moved[2];
  if (!StepTones(row.tones, p.RxTone, p.RxShift, units, moved)) return;
  p.RxTone[0] = moved[0];
  p.RxTone[1] = moved[1];
  // MFSK bins come from its planner when the family is retuned.
  if (row.tones != ToneLayout::kMfskPlan) SetRxBins();
  RetuneRx();
  if (rx_.AfcOn == 0) {
    p.AfcRefBin[0] = p.RxToneBin[0];
    p.AfcRefBin[1] = p.RxToneBin[1];
  }
  SyncTxFrequencyToRx();
}

void TFrequencyControl::ShiftTxFrequency(int32_t units) {
  TModemParams& p = params_;
  if (Transmitting() || TxAfc != 0) return;
  const ModeRow& row = ModeRowOf(p.Mode);
  int32_t moved[2];
  if (!StepTones(row.tones, p.TxTone, p.TxShift, units, moved)) return;
  if (row.tones == ToneLayout::kMfskPlan) {
    SetTxMfskBase(moved[0]);
    return;
  }
  p.TxTone[0] = moved[0];
  p.TxTone[1] = moved[1];
  SetTxBins();
  if (row.tones == ToneLayout::kPs33x5Band) SetTxPs33x5Centre(MeanHz(p.TxTone, TxRate()));
}

void TFrequencyControl::SetRxFrequency(double hz) {
  SetRxPosition(HzToUnits(hz));
  SyncTxFrequencyToRx();
}

void TFrequencyControl::SetTxFrequency(double hz) {
  PlaceTx(HzToUnits(hz, TxRate()));
}

}  // namespace vestrel
