#include "engine/mode_table.h"

#include <array>

#include "engine/modem_params.h"

namespace vestrel {

namespace {

// A row with its number, names and receiver; the rest as ModeRow's defaults.
constexpr ModeRow Named(int32_t number, std::string_view item, std::string_view panel,
                        std::string_view report, RxFamily receiver) {
  ModeRow r;
  r.number = number;
  r.assigned = true;
  r.menuItem = item;
  r.panelName = panel;
  r.reportName = report;
  r.receiver = receiver;
  return r;
}

// The rules every two-tone FSK row starts from.
constexpr ModeRow Fsk(int32_t number, std::string_view item, std::string_view panel, std::string_view report,
                      RxFamily receiver) {
  ModeRow r = Named(number, item, panel, report, receiver);
  r.afc = AfcPass::kFsk;
  r.txFollowsAfc = true;
  r.squelch = SquelchRule::kEitherTonePeak;
  r.tones = ToneLayout::kPair;
  return r;
}

constexpr ModeRow StartStop(int32_t number, std::string_view name, std::string_view report, int dataBits,
                            uint8_t lowSpeeds) {
  ModeRow r = Fsk(number, name, name, report, RxFamily::kStartStop);
  r.afc = AfcPass::kFskBySignal;
  r.transmitter = TxFamily::kStartStop;
  r.dataBits = dataBits;
  r.speedMenu = r.shiftMenu = r.filtersMenu = true;
  r.lowSpeeds = lowSpeeds;
  r.lowShifts = true;
  r.receiverBuilt = r.transmitterBuilt = true;
  return r;
}

constexpr ModeRow Psk(int32_t number, std::string_view item, std::string_view panel, std::string_view report,
                      double rate, std::string_view ratePanel, bool qpsk) {
  ModeRow r = Named(number, item, panel, report, RxFamily::kPsk);
  r.afc = AfcPass::kPsk;
  r.txFollowsAfc = true;
  r.squelch = SquelchRule::kPskBand;
  r.transmitter = TxFamily::kPsk;
  r.tones = ToneLayout::kSingle;
  r.symbolRate = rate;
  r.quadrature = qpsk;
  r.speedPanel = ratePanel;
  r.speedPanelFixed = true;
  r.receiverBuilt = r.transmitterBuilt = true;
  return r;
}

constexpr ModeRow Packet(int32_t number, std::string_view item, std::string_view panel, double baud,
                         int shiftHz, double centreHz) {
  ModeRow r = Fsk(number, item, panel, "PKT", RxFamily::kPacket);
  r.squelch = SquelchRule::kEitherToneAverage;
  r.transmitter = TxFamily::kPacket;
  r.symbolRate = baud;
  r.menuShiftHz = shiftHz;
  r.menuCentreHz = centreHz;
  r.receiverBuilt = r.transmitterBuilt = true;
  return r;
}

constexpr ModeRow Mfsk(int32_t number, std::string_view item, std::string_view name, double rate, int tones,
                       std::string_view ratePanel, std::string_view spanPanel) {
  ModeRow r = Named(number, item, name, name, RxFamily::kMfsk);
  r.afc = AfcPass::kMfsk;
  r.txFollowsAfc = true;
  r.squelch = SquelchRule::kAnyPeakInSpan;
  r.transmitter = TxFamily::kMfsk;
  r.tones = ToneLayout::kMfskPlan;
  r.symbolRate = rate;
  r.mfskTones = tones;
  r.speedPanel = ratePanel;
  r.speedPanelFixed = true;
  r.spanPanel = spanPanel;
  r.receiverBuilt = r.transmitterBuilt = true;
  return r;
}

constexpr ModeRow AmtorFec() {
  ModeRow r = Fsk(kModeAmtorFec, "AMTOR-FEC", "AMT-FEC", "TOR", RxFamily::kAmtorFec);
  r.transmitter = TxFamily::kAmtorFec;
  r.speedMenu = r.shiftMenu = true;
  r.menuShiftHz = 170;
  r.menuBaud = 100.0;
  r.receiverBuilt = r.transmitterBuilt = true;
  return r;
}

constexpr ModeRow AmtorArq() {
  ModeRow r = Fsk(kModeAmtorArq, "AMTOR-ARQ (RX Only)", "AMT-ARQ", "", RxFamily::kAmtorArq);
  r.txFollowsAfc = false;
  r.speedMenu = r.shiftMenu = true;
  r.menuShiftHz = 170;
  r.menuBaud = 100.0;
  r.receiverBuilt = true;
  return r;
}

constexpr ModeRow Dtmf() {
  ModeRow r = Named(kModeDtmf, "DTMF RX Only)", "DTMF", "", RxFamily::kDtmf);
  r.tones = ToneLayout::kSingleKeepShift;
  r.receiverBuilt = true;
  return r;
}

constexpr ModeRow PactorFec() {
  ModeRow r = Fsk(kModePactorFec, "PACTOR1-FEC (RX Only)", "PACTOR", "PACTOR", RxFamily::kPactor);
  r.txFollowsAfc = false;
  r.symbolRate = 100.0;
  r.menuShiftHz = 200;
  r.speedPanel = "100/200 Bd";
  r.speedPanelFixed = true;
  r.receiverBuilt = true;
  return r;
}

constexpr ModeRow Ps2x5() {
  ModeRow r = Fsk(kModePs2x5, "PS2x5", "PS2x5", "PS2X5", RxFamily::kPs2x5);
  r.afc = AfcPass::kFskBySignal;
  r.transmitter = TxFamily::kPs2x5;
  r.speedMenu = r.shiftMenu = r.filtersMenu = true;
  r.lowSpeeds = kShow2Baud | kShow4To10Baud;
  r.lowShifts = true;
  r.receiverBuilt = r.transmitterBuilt = true;
  return r;
}

constexpr ModeRow Ps33x5() {
  ModeRow r = Named(kModePs33x5, "PS33x5", "PS33x5", "PS33X5", RxFamily::kPs33x5);
  r.afc = AfcPass::kPs33x5;
  r.txFollowsAfc = true;
  r.transmitter = TxFamily::kPs33x5;
  r.tones = ToneLayout::kPs33x5Band;
  r.speedMenu = true;
  r.lowSpeeds = kShowPs33x5Steps;
  r.receiverBuilt = r.transmitterBuilt = true;
  return r;
}

// A number that names no mode: RTTY's rules, no names.
constexpr ModeRow Unassigned(int32_t number) {
  ModeRow r = StartStop(number, "", "", 5, kShow2Baud | kShow4To10Baud);
  r.assigned = false;
  return r;
}

constexpr std::array<ModeRow, kModeCount> kRows = {
    StartStop(kModeRtty, "RTTY", "RTTY", 5, kShow2Baud | kShow4To10Baud),
    Psk(kModeBpsk31, "BPSK-31", "BPSK31", "PSK31", 31.25, "31.25 Bd", false),
    StartStop(kModeAscii7, "ASCII-7", "ASCI", 7, kShow4To10Baud),
    Psk(kModeQpsk31, "QPSK-31", "QPSK31", "PSK31", 31.25, "31.25 Bd", true),
    StartStop(kModeAscii8, "ASCII-8", "ASCI", 8, kShow4To10Baud),
    Psk(kModeBpsk63, "BPSK-63", "BPSK63", "PSK63", 62.5, "62.5 Bd", false),
    AmtorFec(),
    Psk(kModeBpsk125, "BPSK-125", "BPSK125", "PSK125", 125.0, "125 Bd", false),
    // HF: a 200 Hz shift where the pair stands (1600/1800 Hz at the default centre); UHF: the
    // Bell 202 pair 1200/2200 Hz.
    Packet(kModeAx25Hf, "AX25 (HF)", "AX25-H", 300.0, 200, 0.0),
    Psk(kModeQpsk63, "QPSK-63", "QPSK63", "PSK63", 62.5, "62.5 Bd", true),
    Packet(kModeAx25Uhf, "AX25 (UHF)", "AX25-U", 1200.0, 1000, 1700.0),
    Dtmf(),
    Mfsk(kModeMfsk16, "MultiFSK-16", "MFSK16", 15.625, 16, "15.625 Bd", "235 Hz"),
    Unassigned(13),
    AmtorArq(),
    Unassigned(15),
    Mfsk(kModeMfsk8, "MultiFSK-8", "MFSK8", 7.8125, 32, "7.8125 Bd", "242 Hz"),
    Unassigned(17),
    PactorFec(),
    Unassigned(19),
    Ps2x5(),
    Unassigned(21),
    Ps33x5(),
};

constexpr bool NumbersMatchIndices() {
  for (int i = 0; i < kModeCount; ++i)
    if (kRows[i].number != i) return false;
  return true;
}
static_assert(NumbersMatchIndices(), "every row sits at its own mode number");

}  // namespace

const ModeRow& ModeRowOf(int32_t mode) {
  if (mode < 0 || mode >= kModeCount || !kRows[mode].assigned) return kRows[kModeRtty];
  return kRows[mode];
}

std::span<const ModeRow, kModeCount> ModeTable() {
  return kRows;
}

AfcPass ResolveAfcPass(const ModeRow& row, const TModemParams& params) {
  if (row.afc != AfcPass::kFskBySignal) return row.afc;
  // Fast or narrow signals: one pair search; otherwise each tone on its own.
  return params.Baud >= 99.0 || params.ShiftHz < 24 ? AfcPass::kFsk : AfcPass::kFskSeparate;
}

std::string_view RxFamilyName(RxFamily family) {
  switch (family) {
    case RxFamily::kStartStop:
      return "StartStop";
    case RxFamily::kPsk:
      return "Psk";
    case RxFamily::kAmtorFec:
      return "AmtorFec";
    case RxFamily::kAmtorArq:
      return "AmtorArq";
    case RxFamily::kPacket:
      return "Packet";
    case RxFamily::kDtmf:
      return "Dtmf";
    case RxFamily::kMfsk:
      return "Mfsk";
    case RxFamily::kPactor:
      return "Pactor";
    case RxFamily::kPs2x5:
      return "Ps2x5";
    case RxFamily::kPs33x5:
      return "Ps33x5";
    case RxFamily::kCount:
      break;
  }
  return "";
}

std::string_view TxFamilyName(TxFamily family) {
  switch (family) {
    case TxFamily::kNone:
      return "None";
    case TxFamily::kStartStop:
      return "StartStop";
    case TxFamily::kPsk:
      return "Psk";
    case TxFamily::kAmtorFec:
      return "AmtorFec";
    case TxFamily::kPacket:
      return "Packet";
    case TxFamily::kMfsk:
      return "Mfsk";
    case TxFamily::kPs2x5:
      return "Ps2x5";
    case TxFamily::kPs33x5:
      return "Ps33x5";
    case TxFamily::kCount:
      break;
  }
  return "";
}

}  // namespace vestrel
