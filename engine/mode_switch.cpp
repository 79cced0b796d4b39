#include "engine/mode_switch.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "engine/engine.h"
#include "engine/frequency_unit.h"
#include "engine/modem_targets.h"

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

// Mode menu captions and status panel 0 names, by ModeNumber ("" for numbers without a mode).
const char* const kModeItems[kModeCount] = {
    "RTTY",     "BPSK-31", "ASCII-7",      "QPSK31", "ASCII-8", "BPSK63", "AMTOR FEC", "BPSK125",
    "AX.25 HF", "QPSK63",  "AX.25 UHF",    "DTMF",   "MFSK16",  "",       "AMTOR ARQ", "",
    "MFSK8",    "",        "PACTOR-I FEC", "",       "PS2x5",   "",       "PS33x5"};
const char* const kModePanels[kModeCount] = {"RTTY",    "BPSK31",  "ASCII-7", "QPSK31", "ASCII-8", "BPSK63",
                                             "AMT-FEC", "BPSK125", "AX25-H",  "QPSK63", "AX25-U",  "DTMF",
                                             "MFSK16",  "",        "AMT-ARQ", "",       "MFSK8",   "",
                                             "PACTOR",  "",        "PS2x5",   "",       "PS33x5"};

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

// The pair re-centred on its mean with `shift` (halves rounding toward zero, so an odd shift
// loses one unit), the centre kept inside the band, and its bins.
void RecentrePair(int32_t (&tone)[2], int32_t (&bin)[2], int32_t shift) {
  const int32_t h = shift / 2;
  const int32_t centre = ClampToneCentre(Mean(tone), h);
  tone[0] = centre - h;
  tone[1] = centre + h;
  bin[0] = UnitsToBin(tone[0]);
  bin[1] = UnitsToBin(tone[1]);
}

}  // namespace

int32_t NormaliseShift(int32_t hz) {
  if (hz == 22) return 23;
  for (const Shift& s : kShifts)
    if (s.hz == hz) return hz;
  return 170;
}

double ModeSwitch::TxRate() const {
  return UsableTxRate(engine_.OutSamplingFreq);
}

void ModeSwitch::CheckOnly(const char* const* items, int count, const char* item) {
  for (int i = 0; i < count; ++i)
    if (items[i][0] != '\0') engine_.window.SetMenuChecked(items[i], items[i] == item);
}

void ModeSwitch::SetBaudRate(double baud) {
  TModemParams& p = engine_.params;
  EngineWindow& w = engine_.window;
  engine_.DisplayPause = 0;

  int index = FindSpeed(baud);
  if (index < 0) index = kSpeed45;
  const int32_t mode = NormaliseMode(p.Mode);
  const double outRate = TxRate();
  // In PS33X5 only its steps apply.
  if (mode == kModePs33x5 && !(kSpeeds[index].groups & kPs33x5)) index = kSpeed6p25;
  const Speed& s = kSpeeds[index];
  for (const Speed& other : kSpeeds) w.SetMenuChecked(other.item, &other == &s);

  if (s.groups & kStartStop) targets_.StartStopSetBaud(s.baud, p.FilterWidth);
  if (s.groups & kPs2x5) {
    targets_.Ps2x5RxSetBaud(s.baud, p.FilterWidth);
    targets_.Ps2x5TxSetSpeed(s.baud);
  }
  if (s.groups & kAmtor) {
    targets_.AmtorFecSetBaud(s.baud);
    targets_.AmtorArqSetBaud(s.baud);
  }
  ModemTargets::Ps33x5RxBand rxBand;
  ModemTargets::Ps33x5TxBand txBand;
  if (s.groups & kPs33x5) {
    const double rxCentre = MeanHz(p.RxTone, kRxRate);
    const double txCentre = MeanHz(p.TxTone, outRate);
    rxBand = targets_.Ps33x5RxSetSpeed(s.step, rxCentre);
    txBand = targets_.Ps33x5TxSetSpeed(s.step, txCentre, outRate);
  }

  p.Baud = s.baud;
  if (mode == kModeRtty) p.RttySpeed = Round(s.baud);
  if (mode == kModePs2x5) p.Ps2x5Speed = Round(s.baud);
  if (mode == kModePs33x5) p.Ps33x5SpeedX = s.step;
  // 45 stands for 45.45 Bd but in PS2X5, which runs at whole speeds.
  const double working = (index == kSpeed45 && mode != kModePs2x5) ? 45.45 : s.baud;
  p.RxSamplesPerBit = Round(kRxRate / working);
  p.RxSamplesPerBitMilli = Round(kRxRate * 1000.0 / working);
  p.TxSamplesPerBit = Round(outRate / working);
  p.TxSamplesPerBitMilli = Round(outRate * 1000.0 / working);

  if (mode == kModePs33x5) {
    ApplyPs33x5Rx(rxBand.lowerHz, rxBand.upperHz);
    ApplyPs33x5Tx(txBand.lowerStep, txBand.upperStep);
    w.SetPanelText(3, Hz(rxBand.upperHz - rxBand.lowerHz));
  }

  if (mode == kModePactorFec) {
    w.SetPanelText(1, "100/200 Bd");
  } else {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.2f Bd", working);
    w.SetPanelText(1, buf);
  }

  targets_.UpdatePacketTiming();
  w.ReopenKeyingPorts();
  UpdateFilterMenu();
}

void ModeSwitch::ApplyPs33x5Rx(double lowerHz, double upperHz) {
  TModemParams& p = engine_.params;
  p.RxShift = Round((upperHz - lowerHz) * kUnitsPerCycle / kRxRate);
  p.RxShiftBin = UnitsToBin(p.RxShift);
  p.RxTone[0] = HzToUnits(lowerHz);
  p.RxTone[1] = HzToUnits(upperHz);
  p.RxToneBin[0] = UnitsToBin(p.RxTone[0]);
  p.RxToneBin[1] = UnitsToBin(p.RxTone[1]);
}

void ModeSwitch::ApplyPs33x5Tx(int32_t lowerStep, int32_t upperStep) {
  TModemParams& p = engine_.params;
  p.TxTone[0] = lowerStep;
  p.TxTone[1] = upperStep;
  p.TxShift = upperStep - lowerStep;
  p.TxShiftBin = UnitsToBin(p.TxShift);
  p.TxToneBin[0] = UnitsToBin(lowerStep);
  p.TxToneBin[1] = UnitsToBin(upperStep);
}

void ModeSwitch::RecentreTx() {
  TModemParams& p = engine_.params;
  RecentrePair(p.TxTone, p.TxToneBin, p.TxShift);
}

void ModeSwitch::RecentreRx() {
  TModemParams& p = engine_.params;
  RecentrePair(p.RxTone, p.RxToneBin, p.RxShift);
  p.AfcRefBin[0] = p.RxToneBin[0];
  p.AfcRefBin[1] = p.RxToneBin[1];
}

// Both tones of each pair to the pair's mean (single-tone modes).
void ModeSwitch::CentrePairs() {
  TModemParams& p = engine_.params;
  const int32_t rx = Mean(p.RxTone);
  const int32_t tx = Mean(p.TxTone);
  p.RxTone[0] = p.RxTone[1] = rx;
  p.TxTone[0] = p.TxTone[1] = tx;
  p.RxToneBin[0] = p.RxToneBin[1] = UnitsToBin(rx);
  p.TxToneBin[0] = p.TxToneBin[1] = UnitsToBin(tx);
  p.AfcRefBin[0] = p.AfcRefBin[1] = p.RxToneBin[0];
}

void ModeSwitch::PushRxTones() {
  const TModemParams& p = engine_.params;
  targets_.StartStopSetTones(p.RxTone[0], p.RxTone[1]);
  targets_.Ps2x5RxSetTones(p.RxTone[0], p.RxTone[1]);
  targets_.AmtorFecSetTones(p.RxTone[0], p.RxTone[1]);
  targets_.AmtorArqSetTones(p.RxTone[0], p.RxTone[1]);
  targets_.PacketRxSetTones(p.RxTone[0], p.RxTone[1]);
}

void ModeSwitch::SetShift(int hz) {
  TModemParams& p = engine_.params;
  EngineWindow& w = engine_.window;
  const int32_t mode = NormaliseMode(p.Mode);
  if (mode == kModePs33x5) return;
  engine_.DisplayPause = 0;

  hz = NormaliseShift(hz);
  int index = 0;
  for (int i = 0; i < kShiftCount; ++i)
    if (kShifts[i].hz == hz) index = i;
  for (int i = 0; i < kShiftCount; ++i) w.SetMenuChecked(kShifts[i].item, i == index);

  p.ShiftHz = hz;
  // In the single-tone modes mark and space coincide and the shift slots stay 0: the shift
  // is only remembered for the next two-tone mode.
  if (IsSingleToneMode(mode)) return;
  if (mode == kModeRtty) p.RttyShift = hz;
  if (mode == kModePs2x5) p.Ps2x5Shift = hz;
  p.RxShiftBin = HzToBins(hz);
  p.RxShift = HzToUnits(hz);
  p.TxShiftBin = HzToBins(hz, TxRate());
  p.TxShift = HzToUnits(hz, TxRate());

  w.SetPanelText(3, std::to_string(hz) + " Hz");

  RecentreTx();
  RecentreRx();
  PushRxTones();
  targets_.PskRxSetStep(p.RxTone[0]);
  targets_.PactorSetTones(p.RxTone[0], p.RxTone[1]);
}

void ModeSwitch::SetMode(int requested) {
  TModemParams& p = engine_.params;
  EngineWindow& w = engine_.window;
  const int32_t mode = NormaliseMode(requested);

  engine_.DisplayPause = 0;
  w.SetPanelText(9, "");
  w.SetPanelText(12, "");
  for (int i = 0; i < kShiftCount; ++i) w.SetMenuVisible(kShifts[i].item, i >= kShift23);
  for (int i = 0; i < kSpeedCount; ++i) w.SetMenuVisible(kSpeeds[i].item, i >= kSpeed25);

  auto menus = [&w](bool speed, bool shift, bool filters) {
    w.SetMenuEnabled("Speed", speed);
    w.SetMenuEnabled("Shift", shift);
    w.SetMenuEnabled("Filters", filters);
  };
  auto showSpeeds = [&w](std::initializer_list<const char*> items) {
    for (const char* item : items) w.SetMenuVisible(item, true);
  };
  auto showLowShifts = [&w]() {
    for (int i = 0; i < kShift23; ++i) w.SetMenuVisible(kShifts[i].item, true);
  };
  auto psk = [&](const char* rate, int code) {
    menus(false, false, false);
    w.SetPanelText(1, rate);
    w.SetPanelText(3, "");
    targets_.PskTxSetRate(code);
    targets_.PskRxSetRate(code);
    CentrePairs();
    targets_.PskRxSetStep(p.RxTone[0]);
    p.RxShiftBin = p.RxShift = p.TxShiftBin = p.TxShift = 0;
  };
  auto mfsk = [&](int mfsk8, const char* rate, double spanHz, const char* span) {
    menus(false, false, false);
    w.SetPanelText(1, rate);
    w.SetPanelText(3, span);
    w.SetPanelText(6, span);
    targets_.MfskRxSetMode(mfsk8);
    targets_.MfskTxSetMode(mfsk8);
    p.RxShift = HzToUnits(spanHz);
    p.TxShift = HzToUnits(spanHz, TxRate());
    p.RxShiftBin = UnitsToBin(p.RxShift);
    p.TxShiftBin = UnitsToBin(p.TxShift);
  };

  w.SetPanelText(0, kModePanels[mode]);
  switch (mode) {
    case kModeAscii7:
    case kModeAscii8:
      menus(true, true, true);
      showSpeeds({"4 Baud", "5 Baud", "10 Baud"});
      showLowShifts();
      targets_.StartStopSetDataBits(mode == kModeAscii7 ? 7 : 8);
      break;
    case kModeBpsk31:
    case kModeQpsk31:
      psk("31.25 Bd", 31);
      break;
    case kModeBpsk63:
    case kModeQpsk63:
      psk("62.5 Bd", 63);
      break;
    case kModeBpsk125:
      psk("125 Bd", 125);
      break;
    case kModeAmtorFec:
    case kModeAmtorArq:
      menus(true, true, false);
      break;
    case kModeAx25Hf:
    case kModeAx25Uhf:
      menus(false, false, false);
      targets_.PacketRxSetBaud(mode == kModeAx25Hf ? 300 : 1200);
      break;
    case kModeDtmf:
      menus(false, false, false);
      CentrePairs();
      targets_.DtmfReset();
      break;
    case kModeMfsk16:
      mfsk(0, "15.625 Bd", 234.375, "235 Hz");
      break;
    case kModeMfsk8:
      mfsk(1, "7.8125 Bd", 242.1875, "242 Hz");
      break;
    case kModePactorFec:
      menus(false, false, false);
      w.SetPanelText(1, "100/200 Bd");
      targets_.PactorSetBaud(0, 100.0);
      targets_.PactorSetBaud(1, 200.0);
      break;
    case kModePs2x5:
      menus(true, true, true);
      showSpeeds({"2 Baud", "4 Baud", "5 Baud", "10 Baud"});
      showLowShifts();
      targets_.Ps2x5TxSetSpeed(p.Baud);
      break;
    case kModePs33x5:
      menus(true, false, false);
      showSpeeds({"1.5625 Baud", "3.125 Baud", "6.25 Baud", "12.5 Baud"});
      break;
    default:  // kModeRtty
      menus(true, true, true);
      showSpeeds({"2 Baud", "4 Baud", "5 Baud", "10 Baud"});
      showLowShifts();
      targets_.StartStopSetDataBits(5);
      break;
  }
  targets_.PacketSlotTimer(mode == kModeAx25Hf || mode == kModeAx25Uhf);
  CheckOnly(kModeItems, kModeCount, kModeItems[mode]);
  p.Mode = mode;

  if (IsSingleToneMode(mode)) {
    w.ReopenKeyingPorts();
  } else if (mode == kModePs33x5) {
    int step = p.Ps33x5SpeedX;
    if (SpeedOfStep(step) < 0) step = 4;
    const double rxCentre = MeanHz(p.RxTone, kRxRate);
    const ModemTargets::Ps33x5RxBand rx = targets_.Ps33x5RxSetSpeed(step, rxCentre);
    ApplyPs33x5Rx(rx.lowerHz, rx.upperHz);
    const double txCentre = MeanHz(p.TxTone, TxRate());
    const ModemTargets::Ps33x5TxBand tx = targets_.Ps33x5TxSetSpeed(step, txCentre, TxRate());
    ApplyPs33x5Tx(tx.lowerStep, tx.upperStep);
    SetBaudRate(step * 1.5625);
  } else {
    RecentreRx();
    PushRxTones();
    RecentreTx();
    if (mode == kModeMfsk16 || mode == kModeMfsk8) {
      const ModemTargets::MfskPlan rx = targets_.MfskRxSetTones(p.RxTone[0]);
      p.RxTone[0] = rx.firstStep;
      p.RxTone[1] = rx.lastStep;
      p.RxToneBin[0] = p.AfcRefBin[0] = rx.firstBin;
      p.RxToneBin[1] = p.AfcRefBin[1] = rx.lastBin;
      const ModemTargets::MfskPlan tx = targets_.MfskTxSetTones(p.TxTone[0]);
      p.TxTone[0] = tx.firstStep;
      p.TxTone[1] = tx.lastStep;
      p.TxToneBin[0] = tx.firstBin;
      p.TxToneBin[1] = tx.lastBin;
      w.ReopenKeyingPorts();
    } else {
      SetShift(p.ShiftHz);
      // A speed left by another mode that this mode's decoder does not take (a PS33X5 step
      // after PS33X5, 2 Bd after PS2X5) falls back to the speed remembered for the mode.
      double baud = p.Baud;
      const int index = FindSpeed(baud);
      const unsigned groups = index < 0 ? 0u : kSpeeds[index].groups;
      const bool startStopMode = mode == kModeRtty || mode == kModeAscii7 || mode == kModeAscii8;
      if (startStopMode && !(groups & kStartStop)) baud = p.RttySpeed;
      if (mode == kModePs2x5 && !(groups & kPs2x5)) baud = p.Ps2x5Speed;
      SetBaudRate(baud);
    }
  }

  UpdateFilterMenu();
  engine_.FrequencyScaleChanged = 1;
  if (ReportModeWhenChanged && !ModeReportNames[mode].empty()) w.ReportModeToLogger(ModeReportNames[mode]);
}

void ModeSwitch::UpdateFilterMenu() {
  EngineWindow& w = engine_.window;
  const int32_t mode = NormaliseMode(engine_.params.Mode);
  int width = 0;
  bool enabled = false;
  if (mode == kModeRtty || mode == kModeAscii7 || mode == kModeAscii8 || mode == kModePs2x5) {
    enabled = true;
    const int32_t fw = engine_.params.FilterWidth;
    width = (fw >= 0 && fw <= 2) ? fw : 0;
  }
  CheckOnly(kFilterItems, 3, kFilterItems[width]);
  w.SetFilterLabel(kFilterLabels[width]);
  w.SetMenuEnabled("Filters", enabled);
}

}  // namespace vestrel
