#include "engine/mode_switch.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "engine/frequency_control.h"
#include "engine/frequency_unit.h"
#include "engine/mode_registry.h"
#include "engine/modes/mfsk/mfsk_tone_plan.h"
#include "engine/modes/ps33x5/ps33x5_band.h"

namespace vestrel {

namespace {

// Which objects a speed goes to.
enum SpeedGroup : unsigned {
  kStartStop = 1,  // start-stop decoder
  kPs2x5 = 2,      // PS2X5 receiver and transmitter
  kAmtor = 4,      // AMTOR FEC decoder and ARQ monitor
  kPs33x5 = 8,     // PS33X5 receiver and transmitter, with the step
  kFsk = kStartStop | kPs2x5 | kAmtor,
};

struct Speed {
  long key;  // round(baud x 10000)
  double baud;
  const char* item;
  unsigned groups;
  int step;  // PS33X5 step, 0 when none
};

constexpr Speed kSpeeds[] = {
    {15625, 1.5625, "1.5625 Baud", kPs33x5, 1},
    {20000, 2, "2 Baud", kPs2x5, 0},
    {31250, 3.125, "3.125 Baud", kPs33x5, 2},
    {40000, 4, "4 Baud", kStartStop | kPs2x5, 0},
    {50000, 5, "5 Baud", kFsk, 0},
    {62500, 6.25, "6.25 Baud", kPs33x5, 4},
    {100000, 10, "10 Baud", kFsk, 0},
    {125000, 12.5, "12.5 Baud", kPs33x5, 8},
    {250000, 25, "25 Baud", kFsk | kPs33x5, 16},
    {450000, 45, "45 Baud", kFsk, 0},
    {500000, 50, "50 Baud", kFsk | kPs33x5, 32},
    {570000, 57, "57 Baud", kFsk, 0},
    {750000, 75, "75 Baud", kFsk, 0},
    {1000000, 100, "100 Baud", kFsk, 0},
    {1100000, 110, "110 Baud", kFsk, 0},
    {1500000, 150, "150 Baud", kFsk, 0},
    {2000000, 200, "200 Baud", kFsk, 0},
    {2500000, 250, "250 Baud", kFsk, 0},
    {3000000, 300, "300 Baud", kFsk, 0},
    {5000000, 500, "500 Baud", kFsk, 0},
    {6000000, 600, "600 Baud", kFsk, 0},
    {10000000, 1000, "1000 Baud", kFsk, 0},
    {12000000, 1200, "1200 Baud", kFsk, 0},
};
constexpr int kSpeedCount = sizeof kSpeeds / sizeof kSpeeds[0];
constexpr int kSpeed45 = 9;
constexpr int kSpeed6p25 = 5;
constexpr int kSpeed25 = 8;  // first of the items every FSK mode shows

struct Shift {
  int hz;
  const char* item;
};
constexpr Shift kShifts[] = {
    {4, "4 Hz"},     {5, "5 Hz"},     {10, "10 Hz"},   {20, "20 Hz"},     {23, "23 Hz"},     {25, "25 Hz"},
    {50, "50 Hz"},   {85, "85 Hz"},   {100, "100 Hz"}, {150, "150 Hz"},   {170, "170 Hz"},   {182, "182 Hz"},
    {200, "200 Hz"}, {250, "250 Hz"}, {300, "300 Hz"}, {400, "400 Hz"},   {425, "425 Hz"},   {450, "450 Hz"},
    {500, "500 Hz"}, {600, "600 Hz"}, {850, "850 Hz"}, {1000, "1000 Hz"}, {1200, "1200 Hz"},
};
constexpr int kShiftCount = sizeof kShifts / sizeof kShifts[0];
constexpr int kShift23 = 4;  // first of the items every FSK mode shows

const char* const kFilterItems[] = {"Optimal", "Wide (Polar)", "Narrow"};
const char* const kFilterLabels[] = {"", " WIDE FILTERS", " NARROW FILTERS"};

int32_t Round(double x) {
  return static_cast<int32_t>(std::floor(x + 0.5));
}

int FindSpeed(double baud) {
  if (!std::isfinite(baud) || std::fabs(baud) > 1.0e6) return -1;
  const long key = static_cast<long>(std::floor(baud * 10000.0 + 0.5));
  for (int i = 0; i < kSpeedCount; ++i)
    if (kSpeeds[i].key == key) return i;
  return -1;
}

// The speed item of a PS33X5 step, or -1.
int SpeedOfStep(int step) {
  for (int i = 0; i < kSpeedCount; ++i)
    if (kSpeeds[i].step == step && (kSpeeds[i].groups & kPs33x5)) return i;
  return -1;
}

std::string Hz(double hz) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.0f Hz", hz);
  return buf;
}

// The mean of a tone pair, rounded toward zero; summed wide, as stored tones are not bounded.
int32_t Mean(const int32_t (&pair)[2]) {
  return static_cast<int32_t>((int64_t{pair[0]} + pair[1]) / 2);
}
double MeanHz(const int32_t (&pair)[2], double rate) {
  return (static_cast<double>(pair[0]) + pair[1]) / 2.0 * rate / kUnitsPerCycle;
}

// The pair re-centred on its mean with `shift` by the clamping rule of every tone move.
void RecentrePair(int32_t (&tone)[2], int32_t (&bin)[2], int32_t shift) {
  PlaceTonePair(tone, bin, Mean(tone), shift);
}

// The speed items below "25 Baud" that each LowSpeeds bit shows.
void ShowLowSpeeds(EngineWindow& w, uint8_t bits) {
  if (bits & kShow2Baud) w.SetMenuVisible("2 Baud", true);
  if (bits & kShow4To10Baud)
    for (const char* item : {"4 Baud", "5 Baud", "10 Baud"}) w.SetMenuVisible(item, true);
  if (bits & kShowPs33x5Steps)
    for (const char* item : {"1.5625 Baud", "3.125 Baud", "6.25 Baud", "12.5 Baud"})
      w.SetMenuVisible(item, true);
}

}  // namespace

int32_t NormaliseShift(int32_t hz) {
  if (hz == 22) return 23;
  for (const Shift& s : kShifts)
    if (s.hz == hz) return hz;
  return 170;
}

double ModeSwitch::TxRate() const {
  return UsableTxRate(rates_.OutSamplingFreq);
}

void ModeSwitch::CheckOnly(const char* const* items, int count, const char* item) {
  for (int i = 0; i < count; ++i)
    if (items[i][0] != '\0') window_.SetMenuChecked(items[i], items[i] == item);
}

void ModeSwitch::SetBaudRate(double baud) {
  TModemParams& p = params_;
  EngineWindow& w = window_;
  display_.DisplayPause = 0;

  int index = FindSpeed(baud);
  if (index < 0) index = kSpeed45;
  const ModeRow& row = ModeRowOf(p.Mode);
  const int32_t mode = row.number;
  const bool ps33x5 = row.tones == ToneLayout::kPs33x5Band;
  // In PS33X5 only its steps apply.
  if (ps33x5 && !(kSpeeds[index].groups & kPs33x5)) index = kSpeed6p25;
  const Speed& s = kSpeeds[index];
  for (const Speed& other : kSpeeds) w.SetMenuChecked(other.item, &other == &s);

  auto rx = [this, &s, &p](RxFamily f) {
    if (ModeReceiver* r = modes_.Receiver(f)) r->SetSpeed(s.baud, p.FilterWidth);
  };
  auto tx = [this, &s](TxFamily f) {
    if (TxSymbolSource* t = modes_.Transmitter(f)) t->SetSpeed(s.baud);
  };
  if (s.groups & kStartStop) rx(RxFamily::kStartStop);
  if (s.groups & kPs2x5) {
    rx(RxFamily::kPs2x5);
    tx(TxFamily::kPs2x5);
  }
  if (s.groups & kAmtor) {
    rx(RxFamily::kAmtorFec);
    rx(RxFamily::kAmtorArq);
  }
  if (s.groups & kPs33x5) {
    rx(RxFamily::kPs33x5);
    tx(TxFamily::kPs33x5);
  }

  p.Baud = s.baud;
  if (mode == kModeRtty) p.RttySpeed = Round(s.baud);
  if (mode == kModePs2x5) p.Ps2x5Speed = Round(s.baud);
  if (ps33x5) p.Ps33x5SpeedX = s.step;
  // 45 stands for 45.45 Bd but in PS2X5, which runs at whole speeds.
  const double working = (index == kSpeed45 && mode != kModePs2x5) ? 45.45 : s.baud;
  const double outRate = TxRate();
  p.RxSamplesPerBit = Round(kRxRate / working);
  p.RxSamplesPerBitMilli = Round(kRxRate * 1000.0 / working);
  p.TxSamplesPerBit = Round(outRate / working);
  p.TxSamplesPerBitMilli = Round(outRate * 1000.0 / working);

  if (ps33x5) ApplyPs33x5Bands(s.step);

  if (row.speedPanelFixed) {
    w.SetPanelText(1, row.speedPanel);
  } else {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.2f Bd", working);
    w.SetPanelText(1, buf);
  }

  // The packet channel access times itself in bytes at the current speed.
  tx(TxFamily::kPacket);
  w.ReopenKeyingPorts();
  UpdateFilterMenu();
}

// The PS33X5 bands of `step` around the centres of both pairs: tones, shifts and bins, pushed
// to the PS33X5 receiver and transmitter; panel 3 shows the receive span.
void ModeSwitch::ApplyPs33x5Bands(int step) {
  TModemParams& p = params_;
  TakePs33x5RxBand(p, step, MeanHz(p.RxTone, kRxRate));
  TakePs33x5TxBand(p, step, MeanHz(p.TxTone, TxRate()), TxRate());
  if (ModeReceiver* r = modes_.Receiver(RxFamily::kPs33x5)) r->SetTones(p.RxTone[0], p.RxTone[1]);
  if (TxSymbolSource* t = modes_.Transmitter(TxFamily::kPs33x5)) t->SetTones(p.TxTone[0], p.TxTone[1]);
  window_.SetPanelText(3, Hz(32.0 * Ps33x5Spacing(step)));
}

void ModeSwitch::RecentreTx() {
  TModemParams& p = params_;
  RecentrePair(p.TxTone, p.TxToneBin, p.TxShift);
}

void ModeSwitch::RecentreRx() {
  TModemParams& p = params_;
  RecentrePair(p.RxTone, p.RxToneBin, p.RxShift);
  p.AfcRefBin[0] = p.RxToneBin[0];
  p.AfcRefBin[1] = p.RxToneBin[1];
}

// Both tones of each pair to the pair's mean (single-tone modes).
void ModeSwitch::CentrePairs() {
  TModemParams& p = params_;
  const int32_t rx = Mean(p.RxTone);
  const int32_t tx = Mean(p.TxTone);
  p.RxTone[0] = p.RxTone[1] = rx;
  p.TxTone[0] = p.TxTone[1] = tx;
  p.RxToneBin[0] = p.RxToneBin[1] = UnitsToBin(rx);
  p.TxToneBin[0] = p.TxToneBin[1] = UnitsToBin(tx);
  p.AfcRefBin[0] = p.AfcRefBin[1] = p.RxToneBin[0];
}

// The MFSK receiver's and transmitter's tone plans from the lower tones: tones, bins and the
// AFC reference copied back, and pushed to both objects.
void ModeSwitch::ApplyMfskPlans(const ModeRow& row) {
  TModemParams& p = params_;
  TakeMfskRxPlan(p, row, p.RxTone[0]);
  p.AfcRefBin[0] = p.RxToneBin[0];
  p.AfcRefBin[1] = p.RxToneBin[1];
  TakeMfskTxPlan(p, row, p.TxTone[0], TxRate());
  if (ModeReceiver* r = modes_.Receiver(row.receiver)) r->SetTones(p.RxTone[0], p.RxTone[1]);
  if (TxSymbolSource* t = modes_.Transmitter(row.transmitter)) t->SetTones(p.TxTone[0], p.TxTone[1]);
}

void ModeSwitch::SetShift(int hz) {
  TModemParams& p = params_;
  EngineWindow& w = window_;
  const ModeRow& row = ModeRowOf(p.Mode);
  if (row.tones == ToneLayout::kPs33x5Band) return;
  display_.DisplayPause = 0;

  hz = NormaliseShift(hz);
  int index = 0;
  for (int i = 0; i < kShiftCount; ++i)
    if (kShifts[i].hz == hz) index = i;
  for (int i = 0; i < kShiftCount; ++i) w.SetMenuChecked(kShifts[i].item, i == index);

  p.ShiftHz = hz;
  // In the single-tone modes mark and space coincide and the shift slots stay 0, and in MFSK
  // they hold the band's span: the shift is only remembered for the next two-tone mode. (Laid
  // around the band's centre, a shift would move the tone pair off the band the receiver and
  // transmitter are tuned to, and a save would store that.)
  if (row.SingleTone() || row.tones == ToneLayout::kMfskPlan) return;
  if (row.number == kModeRtty) p.RttyShift = hz;
  if (row.number == kModePs2x5) p.Ps2x5Shift = hz;
  p.RxShiftBin = HzToBins(hz);
  p.RxShift = HzToUnits(hz);
  p.TxShiftBin = HzToBins(hz, TxRate());
  p.TxShift = HzToUnits(hz, TxRate());

  w.SetPanelText(3, std::to_string(hz) + " Hz");

  RecentreTx();
  RecentreRx();
  modes_.SetFskFamilyTones(p.RxTone[0], p.RxTone[1]);
  // The PSK receiver's oscillator takes the lower tone.
  if (ModeReceiver* psk = modes_.Receiver(RxFamily::kPsk)) psk->SetTones(p.RxTone[0], p.RxTone[1]);
}

// The new row's receiver and transmitter take the mode; a transmitter of another family that
// ran the previous mode lets go (the packet slot timer runs only in the packet modes).
void ModeSwitch::SelectObjects(const ModeRow& previous, const ModeRow& row) {
  if (ModeReceiver* r = modes_.Receiver(row.receiver)) r->SelectMode(row);
  if (previous.transmitter != row.transmitter)
    if (TxSymbolSource* t = modes_.Transmitter(previous.transmitter)) t->LeaveMode();
  if (TxSymbolSource* t = modes_.Transmitter(row.transmitter)) t->SelectMode(row);
}

// Menus and items: every low speed and shift hidden, then the row's shown, and the three menus
// enabled as the row says.
void ModeSwitch::ShowMenus(const ModeRow& row) {
  EngineWindow& w = window_;
  for (int i = 0; i < kShiftCount; ++i) w.SetMenuVisible(kShifts[i].item, i >= kShift23 || row.lowShifts);
  for (int i = 0; i < kSpeedCount; ++i) w.SetMenuVisible(kSpeeds[i].item, i >= kSpeed25);
  ShowLowSpeeds(w, row.lowSpeeds);
  w.SetMenuEnabled("Speed", row.speedMenu);
  w.SetMenuEnabled("Shift", row.shiftMenu);
  w.SetMenuEnabled("Filters", row.filtersMenu);
}

void ModeSwitch::SetMode(int requested) {
  TModemParams& p = params_;
  EngineWindow& w = window_;
  const ModeRow& row = ModeRowOf(requested);
  const ModeRow& previous = ModeRowOf(p.Mode);
  const int32_t mode = row.number;

  display_.DisplayPause = 0;
  w.SetPanelText(9, "");
  w.SetPanelText(12, "");
  ShowMenus(row);
  w.SetPanelText(0, row.panelName);
  if (!row.speedPanel.empty()) w.SetPanelText(1, row.speedPanel);
  SelectObjects(previous, row);

  switch (row.tones) {
    case ToneLayout::kSingle:
      w.SetPanelText(3, "");
      CentrePairs();
      p.RxShiftBin = p.RxShift = p.TxShiftBin = p.TxShift = 0;
      break;
    case ToneLayout::kSingleKeepShift:
      CentrePairs();
      break;
    case ToneLayout::kMfskPlan: {
      w.SetPanelText(3, row.spanPanel);
      w.SetPanelText(6, row.spanPanel);
      const double spanHz = (row.mfskTones - 1) * row.symbolRate;
      p.RxShift = HzToUnits(spanHz);
      p.TxShift = HzToUnits(spanHz, TxRate());
      p.RxShiftBin = UnitsToBin(p.RxShift);
      p.TxShiftBin = UnitsToBin(p.TxShift);
      break;
    }
    case ToneLayout::kPair:
    case ToneLayout::kPs33x5Band:
      break;
  }
  if (row.SingleTone())
    if (ModeReceiver* r = modes_.Receiver(row.receiver)) r->SetTones(p.RxTone[0], p.RxTone[1]);

  for (const ModeRow& r : ModeTable())
    if (r.assigned) w.SetMenuChecked(r.menuItem, r.number == mode);
  p.Mode = mode;

  if (row.SingleTone()) {
    w.ReopenKeyingPorts();
  } else if (row.tones == ToneLayout::kPs33x5Band) {
    int step = p.Ps33x5SpeedX;
    if (SpeedOfStep(step) < 0) step = 4;
    const double baud = step * 1.5625;
    if (ModeReceiver* r = modes_.Receiver(RxFamily::kPs33x5)) r->SetSpeed(baud, p.FilterWidth);
    if (TxSymbolSource* t = modes_.Transmitter(TxFamily::kPs33x5)) t->SetSpeed(baud);
    ApplyPs33x5Bands(step);
    SetBaudRate(baud);
  } else {
    RecentreRx();
    modes_.SetFskFamilyTones(p.RxTone[0], p.RxTone[1]);
    RecentreTx();
    if (row.tones == ToneLayout::kMfskPlan) {
      ApplyMfskPlans(row);
      w.ReopenKeyingPorts();
    } else {
      SetShift(p.ShiftHz);
      // A speed left by another mode that this mode's decoder does not take (a PS33X5 step
      // after PS33X5, 2 Bd after PS2X5) falls back to the speed remembered for the mode.
      double baud = p.Baud;
      const int index = FindSpeed(baud);
      const unsigned groups = index < 0 ? 0u : kSpeeds[index].groups;
      if (row.receiver == RxFamily::kStartStop && !(groups & kStartStop)) baud = p.RttySpeed;
      if (row.receiver == RxFamily::kPs2x5 && !(groups & kPs2x5)) baud = p.Ps2x5Speed;
      SetBaudRate(baud);
    }
  }

  UpdateFilterMenu();
  display_.FrequencyScaleChanged = 1;
  if (ReportModeWhenChanged && !ModeReportNames[mode].empty()) w.ReportModeToLogger(ModeReportNames[mode]);
}

void ModeSwitch::SelectFilter(int width) {
  if (width < 0 || width > 2) return;
  CheckOnly(kFilterItems, 3, kFilterItems[width]);
  TModemParams& p = params_;
  if (p.Mode != kModeRtty && p.Mode != kModeAscii7 && p.Mode != kModeAscii8) return;
  p.FilterWidth = width;
  for (RxFamily f : {RxFamily::kStartStop, RxFamily::kPs2x5})
    if (ModeReceiver* r = modes_.Receiver(f)) r->SetSpeed(p.Baud, width);
  window_.SetFilterLabel(kFilterLabels[width]);
}

void ModeSwitch::SetModeWithShiftAndSpeed(int mode, int shiftHz, double baud) {
  if (ModeRowOf(params_.Mode).tones == ToneLayout::kPs33x5Band) {
    SetMode(mode);
    SetShift(shiftHz);
    SetBaudRate(baud);
    return;
  }
  SetShift(shiftHz);
  SetBaudRate(baud);
  SetMode(mode);
}

void ModeSwitch::UpdateFilterMenu() {
  const ModeRow& row = ModeRowOf(params_.Mode);
  int width = 0;
  if (row.filtersMenu) {
    const int32_t fw = params_.FilterWidth;
    width = (fw >= 0 && fw <= 2) ? fw : 0;
  }
  CheckOnly(kFilterItems, 3, kFilterItems[width]);
  window_.SetFilterLabel(kFilterLabels[width]);
  window_.SetMenuEnabled("Filters", row.filtersMenu);
}

}  // namespace vestrel
