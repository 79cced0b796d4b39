#include "engine/mode_switch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "engine/frequency_unit.h"
#include "engine/modes/mfsk/mfsk_tone_plan.h"
#include "support/fake_engine_window.h"
#include "support/recording_modes.h"

namespace vestrel {
namespace {

class ModeSwitchTest : public ::testing::Test {
 protected:
  // The mode switch takes the parameters, the window, the registry of receivers and
  // transmitters (all recording here), the sample rates and the display flags.
  test::FakeEngineWindow window;
  TModemParams p;
  TSampleRates rates;
  TDisplayFlags display;
  test::RecordingModes modes;
  test::RecordingLog& targets = modes.log;
  ModeSwitch sw{p, window, modes.registry, rates, display};

  // The checked items among `items`, joined by "|".
  std::string Checked(std::initializer_list<const char*> items) {
    std::string s;
    for (const char* item : items)
      if (window.checked[item]) {
        if (!s.empty()) s += '|';
        s += item;
      }
    return s;
  }
};

const std::initializer_list<const char*> kSpeedItems = {
    "1.5625 Baud", "2 Baud",   "3.125 Baud", "4 Baud",   "5 Baud",   "6.25 Baud", "10 Baud",  "12.5 Baud",
    "25 Baud",     "45 Baud",  "50 Baud",    "57 Baud",  "75 Baud",  "100 Baud",  "110 Baud", "150 Baud",
    "200 Baud",    "250 Baud", "300 Baud",   "500 Baud", "600 Baud", "1000 Baud", "1200 Baud"};

// Every speed of the menu and an unknown one, in mode 0 at an output rate of 11100 samples/s.
// Groups: S start-stop decoder, P PS2X5 receiver and transmitter, A both AMTOR decoders, and
// the PS33X5 step. Slots by round(rate / baud) with 45 meaning 45.45 Bd, worked out by hand.
TEST_F(ModeSwitchTest, SetBaudRateEverySpeed) {
  struct Case {
    double baud;
    const char* item;
    const char* panel;
    const char* groups;
    int step;
    int32_t slot27, slot28, slot29, slot30;
  } cases[] = {
      {1.5625, "1.5625 Baud", "1.56 Bd", "", 1, 7056, 7056000, 7104, 7104000},
      {2, "2 Baud", "2.00 Bd", "P", 0, 5513, 5512500, 5550, 5550000},
      {3.125, "3.125 Baud", "3.12 Bd", "", 2, 3528, 3528000, 3552, 3552000},
      {4, "4 Baud", "4.00 Bd", "SP", 0, 2756, 2756250, 2775, 2775000},
      {5, "5 Baud", "5.00 Bd", "SPA", 0, 2205, 2205000, 2220, 2220000},
      {6.25, "6.25 Baud", "6.25 Bd", "", 4, 1764, 1764000, 1776, 1776000},
      {10, "10 Baud", "10.00 Bd", "SPA", 0, 1103, 1102500, 1110, 1110000},
      {12.5, "12.5 Baud", "12.50 Bd", "", 8, 882, 882000, 888, 888000},
      {25, "25 Baud", "25.00 Bd", "SPA", 16, 441, 441000, 444, 444000},
      {45, "45 Baud", "45.45 Bd", "SPA", 0, 243, 242574, 244, 244224},
      {50, "50 Baud", "50.00 Bd", "SPA", 32, 221, 220500, 222, 222000},
      {57, "57 Baud", "57.00 Bd", "SPA", 0, 193, 193421, 195, 194737},
      {75, "75 Baud", "75.00 Bd", "SPA", 0, 147, 147000, 148, 148000},
      {100, "100 Baud", "100.00 Bd", "SPA", 0, 110, 110250, 111, 111000},
      {110, "110 Baud", "110.00 Bd", "SPA", 0, 100, 100227, 101, 100909},
      {150, "150 Baud", "150.00 Bd", "SPA", 0, 74, 73500, 74, 74000},
      {200, "200 Baud", "200.00 Bd", "SPA", 0, 55, 55125, 56, 55500},
      {250, "250 Baud", "250.00 Bd", "SPA", 0, 44, 44100, 44, 44400},
      {300, "300 Baud", "300.00 Bd", "SPA", 0, 37, 36750, 37, 37000},
      {500, "500 Baud", "500.00 Bd", "SPA", 0, 22, 22050, 22, 22200},
      {600, "600 Baud", "600.00 Bd", "SPA", 0, 18, 18375, 19, 18500},
      {1000, "1000 Baud", "1000.00 Bd", "SPA", 0, 11, 11025, 11, 11100},
      {1200, "1200 Baud", "1200.00 Bd", "SPA", 0, 9, 9188, 9, 9250},
      {33.3, "45 Baud", "45.45 Bd", "SPA", 0, 243, 242574, 244, 244224},   // unknown: 45.45 Bd
      {45.45, "45 Baud", "45.45 Bd", "SPA", 0, 243, 242574, 244, 244224},  // unknown as well
  };
  rates.OutSamplingFreq = 11100.0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.baud);
    targets.calls.clear();
    window.keyingReopens = 0;
    display.DisplayPause = 5;
    sw.SetBaudRate(c.baud);
    EXPECT_EQ(display.DisplayPause, 0);
    EXPECT_EQ(Checked(kSpeedItems), c.item);
    EXPECT_EQ(window.panels[1], c.panel);
    const std::string groups = c.groups;
    const double pushed = c.baud == 33.3 || c.baud == 45.45 ? 45.0 : c.baud;
    EXPECT_EQ(p.Baud, pushed);
    char line[64];
    std::snprintf(line, sizeof line, "StartStop SetSpeed %g 0", pushed);
    EXPECT_EQ(targets.Has(line), groups.find('S') != std::string::npos);
    EXPECT_EQ(targets.Count("Ps2x5 SetSpeed"), groups.find('P') != std::string::npos ? 1 : 0);
    EXPECT_EQ(targets.Count("tx Ps2x5 SetSpeed"), groups.find('P') != std::string::npos ? 1 : 0);
    EXPECT_EQ(targets.Count("AmtorFec SetSpeed"), groups.find('A') != std::string::npos ? 1 : 0);
    EXPECT_EQ(targets.Count("AmtorArq SetSpeed"), groups.find('A') != std::string::npos ? 1 : 0);
    if (c.step) {
      // The PS33X5 objects take the speed of their step; not in mode 22, so no tones.
      EXPECT_TRUE(targets.Has("Ps33x5 SetSpeed " + test::RecordingLog::Text(c.baud) + " 0"));
      EXPECT_EQ(targets.Count("tx Ps33x5 SetSpeed"), 1);
      EXPECT_EQ(targets.Count("Ps33x5 SetTones"), 0);
    } else {
      EXPECT_EQ(targets.Count("Ps33x5"), 0);
      EXPECT_EQ(targets.Count("tx Ps33x5"), 0);
    }
    EXPECT_EQ(p.RxSamplesPerBit, c.slot27);
    EXPECT_EQ(p.RxSamplesPerBitMilli, c.slot28);
    EXPECT_EQ(p.TxSamplesPerBit, c.slot29);
    EXPECT_EQ(p.TxSamplesPerBitMilli, c.slot30);
    EXPECT_EQ(targets.Count("tx Packet SetSpeed"), 1);  // the channel access times itself anew
    EXPECT_EQ(window.keyingReopens, 1);
  }
  // Mode 0 remembers the rounded speed.
  EXPECT_EQ(p.RttySpeed, 45);
}

TEST_F(ModeSwitchTest, SetBaudRateRemembersPerModeAndPs2x5RunsWholeSpeeds) {
  p.Mode = kModePs2x5;
  sw.SetBaudRate(45);
  EXPECT_EQ(p.Ps2x5Speed, 45);
  EXPECT_EQ(p.RttySpeed, 45);         // untouched default
  EXPECT_EQ(p.RxSamplesPerBit, 245);  // 11025 / 45
  EXPECT_EQ(p.RxSamplesPerBitMilli, 245000);
  EXPECT_EQ(window.panels[1], "45.00 Bd");
  sw.SetBaudRate(100);
  EXPECT_EQ(p.Ps2x5Speed, 100);
  EXPECT_EQ(p.RttySpeed, 45);

  p.Mode = kModePactorFec;
  sw.SetBaudRate(100);
  EXPECT_EQ(window.panels[1], "100/200 Bd");
  p.Mode = kModeAscii7;
  sw.SetBaudRate(75);
  EXPECT_EQ(p.RttySpeed, 45);  // only mode 0 remembers the start-stop speed
}

// The start applies speed, shift, mode, then speed and shift again, with the loaded speed
// (45.45 Bd by default): the modes that run at a rate of their own keep showing that rate.
TEST_F(ModeSwitchTest, TheStartOrderKeepsTheSpeedPanelOfSingleRateModes) {
  const struct {
    int mode;
    const char* panel;
  } cases[] = {{1, "31.25 Bd"}, {3, "31.25 Bd"},   {5, "62.5 Bd"},    {7, "125 Bd"},
               {9, "62.5 Bd"},  {12, "15.625 Bd"}, {16, "7.8125 Bd"}, {18, "100/200 Bd"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    p.Mode = 0;
    sw.SetBaudRate(45);
    sw.SetShift(170);
    sw.SetMode(c.mode);
    sw.SetBaudRate(45);
    sw.SetShift(170);
    EXPECT_EQ(window.panels[1], c.panel);
  }
  sw.SetMode(0);
  sw.SetBaudRate(45);
  EXPECT_EQ(window.panels[1], "45.45 Bd");
}

// In PS33X5 a speed that is no step becomes step 4 (6.25 Bd) for receiver and transmitter;
// the tones, the shifts and panel 3 come from the planned bands. Step 4 spaces the tones
// 12.5 Hz: receive band 1699.95 -/+ 200 Hz, a span of 400 Hz = 1188.9 units.
TEST_F(ModeSwitchTest, SetBaudRateInPs33x5) {
  p.Mode = kModePs33x5;
  sw.SetBaudRate(100);
  EXPECT_EQ(Checked(kSpeedItems), "6.25 Baud");
  EXPECT_EQ(p.Baud, 6.25);
  EXPECT_EQ(p.Ps33x5SpeedX, 4);
  EXPECT_EQ(targets.Count("Ps33x5 SetSpeed 6.25 "), 1);
  EXPECT_EQ(targets.Count("tx Ps33x5 SetSpeed 6.25"), 1);
  EXPECT_EQ(targets.Count("StartStop SetSpeed"), 0);
  EXPECT_EQ(p.RxShift, 1189);
  EXPECT_EQ(p.RxShiftBin, (1189 + 8) / 16);
  EXPECT_EQ(p.RxTone[0], HzToUnits(5052.5 * 11025 / 32768 - 200));
  EXPECT_EQ(p.RxTone[1], HzToUnits(5052.5 * 11025 / 32768 + 200));
  EXPECT_EQ(p.RxToneBin[0], (p.RxTone[0] + 8) / 16);
  EXPECT_EQ(p.TxShift, p.TxTone[1] - p.TxTone[0]);
  EXPECT_EQ(window.panels[3], "400 Hz");
  // Both PS33X5 objects are tuned to the band they planned.
  EXPECT_EQ(targets.Last("Ps33x5 SetTones"),
            "Ps33x5 SetTones " + std::to_string(p.RxTone[0]) + " " + std::to_string(p.RxTone[1]));
  EXPECT_EQ(targets.Last("tx Ps33x5 SetTones"),
            "tx Ps33x5 SetTones " + std::to_string(p.TxTone[0]) + " " + std::to_string(p.TxTone[1]));
  sw.SetBaudRate(25);
  EXPECT_EQ(p.Ps33x5SpeedX, 16);
  EXPECT_EQ(window.panels[3], "800 Hz");  // 25 Bd: 25 Hz spacing, 32 spacings
}

TEST_F(ModeSwitchTest, SetShift) {
  const std::initializer_list<const char*> shiftItems = {"4 Hz",   "20 Hz",  "23 Hz",
                                                         "170 Hz", "850 Hz", "1200 Hz"};
  sw.SetShift(22);
  EXPECT_EQ(p.ShiftHz, 23);
  EXPECT_EQ(p.RttyShift, 23);
  EXPECT_EQ(Checked(shiftItems), "23 Hz");
  EXPECT_EQ(window.panels[3], "23 Hz");

  sw.SetShift(171);
  EXPECT_EQ(p.ShiftHz, 170);
  EXPECT_EQ(Checked(shiftItems), "170 Hz");
  EXPECT_EQ(p.RxShift, 505);  // 170 x 32768 / 11025 = 505.3
  EXPECT_EQ(p.RxShiftBin, 32);

  rates.OutSamplingFreq = 11100.0;
  sw.SetShift(850);
  EXPECT_EQ(p.Ps2x5Shift, 50);
  EXPECT_EQ(p.RxShift, 2526);    // 850 x 32768 / 11025 = 2526.3
  EXPECT_EQ(p.TxShift, 2509);    // 850 x 32768 / 11100 = 2509.3
  EXPECT_EQ(p.TxShiftBin, 157);  // 850 x 2048 / 11100 = 156.8
  EXPECT_EQ(p.RxTone[1] - p.RxTone[0], 2526);
  EXPECT_EQ(p.TxTone[1] - p.TxTone[0], 2508);  // odd shift loses a unit

  p.Mode = kModePs2x5;
  sw.SetShift(100);
  EXPECT_EQ(p.Ps2x5Shift, 100);
  EXPECT_EQ(p.RttyShift, 850);

  p.Mode = kModePs33x5;
  const TModemParams before = p;
  window.checked.clear();
  targets.calls.clear();
  sw.SetShift(425);
  EXPECT_EQ(p.ShiftHz, before.ShiftHz);
  EXPECT_EQ(p.RxTone[0], before.RxTone[0]);
  EXPECT_TRUE(window.checked.empty());
  EXPECT_TRUE(targets.calls.empty());
}

// A pair centred at 1000 units with shift 505: the half shift is 252 and the centre moves to
// 912 + 252 = 1164, the pair to 912 and 1416; the shift stays, the centre moves.
TEST_F(ModeSwitchTest, SetShiftClampsTheCentreAtTheBandEdge) {
  p.RxTone[0] = p.TxTone[0] = 900;
  p.RxTone[1] = p.TxTone[1] = 1100;
  sw.SetShift(170);
  EXPECT_EQ(p.RxTone[0], 912);
  EXPECT_EQ(p.RxTone[1], 1416);
  EXPECT_EQ(p.TxTone[0], 912);
  EXPECT_EQ(p.TxTone[1], 1416);
  EXPECT_EQ(p.RxToneBin[0], 57);
  EXPECT_EQ(p.RxToneBin[1], 89);
  EXPECT_EQ(p.AfcRefBin[0], 57);
  EXPECT_EQ(p.AfcRefBin[1], 89);
  EXPECT_EQ(p.TxToneBin[1], 89);
  // The FSK family and the PSK receiver (which takes the lower tone) follow the pair.
  for (const char* family : {"StartStop", "Ps2x5", "AmtorFec", "AmtorArq", "Packet", "Pactor", "Psk"})
    EXPECT_TRUE(targets.Has(std::string(family) + " SetTones 912 1416")) << family;
  for (const char* family : {"Mfsk", "Dtmf", "Ps33x5"}) EXPECT_EQ(targets.Count(family), 0) << family;

  // The top edge: centre 11800 with a 1200 Hz shift (3567 units, half 1783) goes to 10073.
  p.RxTone[0] = p.RxTone[1] = 11800;
  sw.SetShift(1200);
  EXPECT_EQ(p.RxTone[1], kMaxToneUnits);
  EXPECT_EQ(p.RxTone[0], kMaxToneUnits - 2 * 1783);
}

struct ModeCase {
  int mode;
  const char* item;
  const char* panel0;
  bool speed, shift, filters;
};

// Every mode: the panel 0 name, the three menus, the one checked Mode item, the stored number.
TEST_F(ModeSwitchTest, SetModeEveryMode) {
  const ModeCase cases[] = {
      {0, "RTTY", "RTTY", true, true, true},
      {1, "BPSK-31", "BPSK31", false, false, false},
      {2, "ASCII-7", "ASCII-7", true, true, true},
      {3, "QPSK-31", "QPSK31", false, false, false},
      {4, "ASCII-8", "ASCII-8", true, true, true},
      {5, "BPSK-63", "BPSK63", false, false, false},
      {6, "AMTOR-FEC", "AMT-FEC", true, true, false},
      {7, "BPSK-125", "BPSK125", false, false, false},
      {8, "AX25 (HF)", "AX25-H", false, false, false},
      {9, "QPSK-63", "QPSK63", false, false, false},
      {10, "AX25 (UHF)", "AX25-U", false, false, false},
      {11, "DTMF RX Only)", "DTMF", false, false, false},
      {12, "MultiFSK-16", "MFSK16", false, false, false},
      {14, "AMTOR-ARQ (RX Only)", "AMT-ARQ", true, true, false},
      {16, "MultiFSK-8", "MFSK8", false, false, false},
      {18, "PACTOR1-FEC (RX Only)", "PACTOR", false, false, false},
      {20, "PS2x5", "PS2x5", true, true, true},
      {22, "PS33x5", "PS33x5", true, false, false},
  };
  // The window's captions, which the mode table carries.
  const std::initializer_list<const char*> modeItems = {
      "RTTY",       "BPSK-31",   "ASCII-7",   "QPSK-31",             "ASCII-8",    "BPSK-63",
      "AMTOR-FEC",  "BPSK-125",  "AX25 (HF)", "QPSK-63",             "AX25 (UHF)", "DTMF RX Only)",
      "MultiFSK-16", "AMTOR-ARQ (RX Only)", "MultiFSK-8", "PACTOR1-FEC (RX Only)", "PS2x5", "PS33x5"};
  for (const ModeCase& c : cases) {
    SCOPED_TRACE(c.mode);
    sw.SetMode(c.mode);
    EXPECT_EQ(p.Mode, c.mode);
    EXPECT_EQ(window.panels[0], c.panel0);
    EXPECT_EQ(window.enabled["Speed"], c.speed);
    EXPECT_EQ(window.enabled["Shift"], c.shift);
    EXPECT_EQ(window.enabled["Filters"], c.filters);
    EXPECT_EQ(Checked(modeItems), c.item);
    // The packet slot timer runs only in modes 8 and 10: the packet transmitter is selected
    // there and let go by the next mode of another family.
    std::string slotTimer;
    for (const std::string& call : targets.calls)
      if (call.rfind("tx Packet SelectMode", 0) == 0 || call == "tx Packet LeaveMode") slotTimer = call;
    EXPECT_EQ(slotTimer.rfind("tx Packet SelectMode", 0) == 0, c.mode == 8 || c.mode == 10) << slotTimer;
    // The mode's receiver and transmitter were told the mode.
    const ModeRow& row = ModeRowOf(c.mode);
    EXPECT_EQ(targets.Last(std::string(RxFamilyName(row.receiver)) + " SelectMode"),
              std::string(RxFamilyName(row.receiver)) + " SelectMode " + std::to_string(c.mode));
    EXPECT_EQ(display.FrequencyScaleChanged, 1);
    display.FrequencyScaleChanged = 0;
  }
}

// Numbers that name no mode switch to RTTY and store 0, so nothing is indexed with them.
TEST_F(ModeSwitchTest, UnknownModesAreRtty) {
  for (int mode : {13, 15, 17, 19, 21, 23, 24, 1000, -1, -22}) {
    SCOPED_TRACE(mode);
    sw.SetMode(5);
    sw.SetMode(mode);
    EXPECT_EQ(p.Mode, 0);
    EXPECT_EQ(window.panels[0], "RTTY");
    EXPECT_TRUE(window.checked["RTTY"]);
    EXPECT_EQ(targets.Last("StartStop SelectMode"), "StartStop SelectMode 0");
  }
}

// A PSK mode puts both tones of each pair at the old pair's mean, zeroes the shift slots and
// tunes the receiver's oscillator there; panel 1 gives the rate, panel 3 is cleared.
TEST_F(ModeSwitchTest, SetModePsk) {
  struct Case {
    int mode, code;
    const char* rate;
  } cases[] = {
      {1, 31, "31.25 Bd"}, {3, 31, "31.25 Bd"}, {5, 63, "62.5 Bd"}, {7, 125, "125 Bd"}, {9, 63, "62.5 Bd"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    sw.SetMode(0);
    sw.SetShift(170);
    p.RxTone[0] = 4800;
    p.RxTone[1] = 5305;
    p.TxTone[0] = 4000;
    p.TxTone[1] = 4506;
    targets.calls.clear();
    sw.SetMode(c.mode);
    EXPECT_EQ(p.RxTone[0], 5052);
    EXPECT_EQ(p.RxTone[1], 5052);
    EXPECT_EQ(p.TxTone[0], 4253);
    EXPECT_EQ(p.TxTone[1], 4253);
    EXPECT_EQ(p.RxToneBin[0], 316);
    EXPECT_EQ(p.RxToneBin[1], 316);
    EXPECT_EQ(p.AfcRefBin[0], 316);
    EXPECT_EQ(p.TxToneBin[1], 266);
    EXPECT_EQ(p.RxShift, 0);
    EXPECT_EQ(p.RxShiftBin, 0);
    EXPECT_EQ(p.TxShift, 0);
    EXPECT_EQ(p.TxShiftBin, 0);
    EXPECT_EQ(window.panels[1], c.rate);
    EXPECT_EQ(window.panels[3], "");
    // Receiver and transmitter take the mode (its row gives the rate), the receiver the tone.
    EXPECT_TRUE(targets.Has("Psk SelectMode " + std::to_string(c.mode)));
    EXPECT_TRUE(targets.Has("tx Psk SelectMode " + std::to_string(c.mode)));
    EXPECT_EQ(std::lround(ModeRowOf(c.mode).symbolRate), c.code);
    EXPECT_EQ(targets.Last("Psk SetTones"), "Psk SetTones 5052 5052");
    EXPECT_EQ(targets.Count("StartStop SetSpeed"), 0);  // no speed or shift re-applied
    // A shift chosen meanwhile (macro, automation) is kept for later but leaves mark = space.
    sw.SetShift(850);
    EXPECT_EQ(p.ShiftHz, 850);
    EXPECT_EQ(p.RxTone[0], p.RxTone[1]);
    EXPECT_EQ(p.RxShift, 0);
  }
  // Back to RTTY: the pair splits again around the same centre with the remembered shift.
  sw.SetMode(0);
  EXPECT_EQ(p.RxTone[1] - p.RxTone[0], 2526);  // 850 Hz, an even shift
  EXPECT_EQ((p.RxTone[0] + p.RxTone[1]) / 2, 5052);
}

TEST_F(ModeSwitchTest, SetModeDtmfCentresAndKeepsShifts) {
  sw.SetMode(11);
  EXPECT_EQ(p.RxTone[0], 5052);
  EXPECT_EQ(p.RxTone[1], 5052);
  EXPECT_EQ(p.RxShift, 505);
  EXPECT_EQ(targets.Count("Dtmf SelectMode"), 1);
  EXPECT_EQ(targets.Count("Psk "), 0);
}

// MFSK16 spans 15 x 15.625 = 234.375 Hz = 696.6 units, MFSK8 31 x 7.8125 = 242.1875 Hz =
// 719.8 units; the tones are then those the MFSK receiver and transmitter plan from the lower tone.
TEST_F(ModeSwitchTest, SetModeMfsk) {
  sw.SetMode(12);
  EXPECT_EQ(p.RxShift, 697);
  EXPECT_EQ(p.TxShift, 697);
  EXPECT_EQ(p.RxShiftBin, (697 + 8) / 16);
  EXPECT_EQ(window.panels[1], "15.625 Bd");
  EXPECT_EQ(window.panels[3], "235 Hz");
  EXPECT_EQ(window.panels[6], "235 Hz");
  EXPECT_TRUE(targets.Has("Mfsk SelectMode 12"));
  EXPECT_TRUE(targets.Has("tx Mfsk SelectMode 12"));
  // The pair re-centred with 697 units around 5052: 4704 and 5400; the plan starts at 4704.
  const auto plan = PlanMfskTones(4704, 16, 15.625, 11025.0);
  EXPECT_TRUE(
      targets.Has("Mfsk SetTones " + std::to_string(plan.firstStep) + " " + std::to_string(plan.lastStep)));
  EXPECT_EQ(p.RxTone[0], plan.firstStep);
  EXPECT_EQ(p.RxTone[1], plan.lastStep);
  EXPECT_EQ(p.RxToneBin[1], plan.lastBin);
  EXPECT_EQ(p.AfcRefBin[1], plan.lastBin);
  EXPECT_EQ(p.TxTone[1], plan.lastStep);

  rates.OutSamplingFreq = 11100.0;
  sw.SetMode(16);
  EXPECT_EQ(p.RxShift, 720);
  EXPECT_EQ(p.TxShift, 715);  // 242.1875 x 32768 / 11100 = 714.96
  EXPECT_EQ(window.panels[1], "7.8125 Bd");
  EXPECT_EQ(window.panels[6], "242 Hz");
  EXPECT_TRUE(targets.Has("Mfsk SelectMode 16"));
  EXPECT_EQ(targets.Count("StartStop SetSpeed"), 0);
  EXPECT_EQ(p.TxTone[1], PlanMfskTones(p.TxTone[0], 32, 7.8125, 11100.0).lastStep);

  // An output rate that is no sample rate (an unset or broken calibration) plans at the nominal
  // 11025, as the shift slots are computed, instead of casting NaN to a tone.
  for (double rate : {0.0, -11025.0, std::nan(""), 1e300}) {
    SCOPED_TRACE(rate);
    rates.OutSamplingFreq = rate;
    sw.SetMode(16);
    const auto nominal = PlanMfskTones(p.TxTone[0], 32, 7.8125, 11025.0);
    EXPECT_EQ(p.TxTone[1], nominal.lastStep);
    EXPECT_EQ(p.TxToneBin[1], nominal.lastBin);
    EXPECT_EQ(p.TxShift, 720);
  }
}

// The Shift menu is off in MFSK; a shift set there anyway (the engine start sets speed and shift
// after the mode) is only remembered: the band, its span in the shift slots and its panel stay,
// and the next two-tone mode takes the shift.
TEST_F(ModeSwitchTest, SetShiftInMfskKeepsTheBand) {
  sw.SetMode(12);
  const TModemParams before = p;
  targets.calls.clear();
  sw.SetShift(850);
  EXPECT_EQ(p.ShiftHz, 850);
  EXPECT_EQ(p.RxTone[0], before.RxTone[0]);
  EXPECT_EQ(p.RxTone[1], before.RxTone[1]);
  EXPECT_EQ(p.TxTone[1], before.TxTone[1]);
  EXPECT_EQ(p.RxShift, 697);
  EXPECT_EQ(p.TxShift, 697);
  EXPECT_EQ(p.AfcRefBin[1], before.AfcRefBin[1]);
  EXPECT_EQ(window.panels[3], "235 Hz");
  EXPECT_TRUE(targets.calls.empty());  // no receiver retuned
  sw.SetMode(0);
  EXPECT_EQ(p.RxShift, HzToUnits(850));
}

TEST_F(ModeSwitchTest, SetModeFskModesReapplyShiftAndSpeed) {
  sw.SetShift(850);
  sw.SetBaudRate(75);
  targets.calls.clear();
  sw.SetMode(2);
  EXPECT_TRUE(targets.Has("StartStop SelectMode 2"));
  EXPECT_EQ(ModeRowOf(2).dataBits, 7);
  EXPECT_TRUE(targets.Has("StartStop SetSpeed 75 0"));
  EXPECT_EQ(p.ShiftHz, 850);
  EXPECT_EQ(window.panels[1], "75.00 Bd");
  EXPECT_TRUE(window.visible["4 Baud"]);
  EXPECT_FALSE(window.visible["2 Baud"]);
  EXPECT_TRUE(window.visible["20 Hz"]);
  EXPECT_FALSE(window.visible["1.5625 Baud"]);

  sw.SetMode(8);
  EXPECT_TRUE(targets.Has("Packet SelectMode 8"));
  EXPECT_EQ(ModeRowOf(8).symbolRate, 300.0);
  EXPECT_FALSE(window.visible["4 Hz"]);
  EXPECT_FALSE(window.visible["10 Baud"]);
  EXPECT_TRUE(window.visible["25 Baud"]);
  sw.SetMode(18);
  EXPECT_TRUE(targets.Has("Pactor SelectMode 18"));
  EXPECT_EQ(window.panels[1], "100/200 Bd");
  sw.SetMode(0);
  EXPECT_TRUE(window.visible["2 Baud"]);
  EXPECT_FALSE(window.visible["12.5 Baud"]);
}

TEST_F(ModeSwitchTest, SetModePs33x5) {
  p.Ps33x5SpeedX = 8;
  sw.SetMode(22);
  EXPECT_EQ(p.Baud, 12.5);
  EXPECT_TRUE(window.checked["12.5 Baud"]);
  EXPECT_TRUE(window.visible["1.5625 Baud"]);
  EXPECT_TRUE(window.visible["12.5 Baud"]);
  EXPECT_FALSE(window.visible["2 Baud"]);
  EXPECT_EQ(window.panels[3], "400 Hz");                 // 12.5 Bd, 12.5 Hz spacing
  EXPECT_EQ(targets.Count("Ps33x5 SetSpeed 12.5 "), 2);  // the mode switch, then the speed

  // A stored step that the speed menu does not offer becomes step 4.
  p.Ps33x5SpeedX = 7;
  sw.SetMode(22);
  EXPECT_EQ(p.Ps33x5SpeedX, 4);
  EXPECT_EQ(p.Baud, 6.25);
}

// After PS33X5 at a speed only PS33X5 takes, a start-stop mode or PS2X5 falls back to the speed
// remembered for it instead of re-applying a speed its decoder does not take.
TEST_F(ModeSwitchTest, LeavingPs33x5RestoresARememberedSpeed) {
  for (int mode : {0, 2, 4}) {
    SCOPED_TRACE(mode);
    sw.SetMode(0);
    sw.SetBaudRate(75);  // RttySpeed := 75
    sw.SetMode(22);
    sw.SetBaudRate(3.125);
    targets.calls.clear();
    sw.SetMode(mode);
    EXPECT_TRUE(targets.Has("StartStop SetSpeed 75 0"));
    EXPECT_EQ(p.Baud, 75.0);
    EXPECT_TRUE(window.checked["75 Baud"]);
  }
  p.Ps2x5Speed = 100;
  sw.SetMode(22);
  sw.SetBaudRate(1.5625);
  sw.SetMode(20);
  EXPECT_EQ(p.Baud, 100.0);
  EXPECT_TRUE(targets.Has("Ps2x5 SetSpeed 100 0"));
}

TEST_F(ModeSwitchTest, FilterMenuAndLabel) {
  struct Case {
    int mode, width;
    const char* item;
    const char* label;
    bool enabled;
  } cases[] = {{0, 0, "Optimal", "", true},
               {2, 1, "Wide (Polar)", " WIDE FILTERS", true},
               {4, 2, "Narrow", " NARROW FILTERS", true},
               {20, 1, "Wide (Polar)", " WIDE FILTERS", true},
               {6, 2, "Optimal", "", false},
               {1, 1, "Optimal", "", false},
               {0, 7, "Optimal", "", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    p.Mode = c.mode;
    p.FilterWidth = c.width;
    sw.UpdateFilterMenu();
    EXPECT_EQ(Checked({"Optimal", "Wide (Polar)", "Narrow"}), c.item);
    EXPECT_EQ(window.filterLabel, c.label);
    EXPECT_EQ(window.enabled["Filters"], c.enabled);
  }
}

// A Filters item: its check mark always; width, decoders and label only in modes 0, 2 and 4.
TEST_F(ModeSwitchTest, SelectFilter) {
  struct Case {
    int mode, width;
    bool applied;
  } cases[] = {{0, 2, true}, {2, 1, true}, {4, 0, true}, {20, 2, false}, {1, 1, false}, {6, 2, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    p.Mode = c.mode;
    p.Baud = 75.0;
    p.FilterWidth = 0;
    window.filterLabel = "before";
    targets.calls.clear();
    sw.SelectFilter(c.width);
    const char* items[] = {"Optimal", "Wide (Polar)", "Narrow"};
    EXPECT_EQ(Checked({"Optimal", "Wide (Polar)", "Narrow"}), items[c.width]);
    const char* labels[] = {"", " WIDE FILTERS", " NARROW FILTERS"};
    EXPECT_EQ(p.FilterWidth, c.applied ? c.width : 0);
    EXPECT_EQ(window.filterLabel, c.applied ? labels[c.width] : "before");
    const std::string w = std::to_string(c.width);
    EXPECT_EQ(targets.Has("StartStop SetSpeed 75 " + w), c.applied);
    EXPECT_EQ(targets.Has("Ps2x5 SetSpeed 75 " + w), c.applied);
  }
  sw.SelectFilter(3);  // no such item
  EXPECT_EQ(p.FilterWidth, 0);
}

// RTTY and PS2x5 with their remembered shift and speed: from PS33X5 the mode goes first, so
// that the PS33X5 step stays and the shift that stood before PS33X5 is not taken.
TEST_F(ModeSwitchTest, SetModeWithShiftAndSpeedFromEveryMode) {
  for (int from : {1, 6, 10, 12, 20, 22}) {
    SCOPED_TRACE(from);
    sw.SetMode(22);
    sw.SetBaudRate(12.5);
    sw.SetModeWithShiftAndSpeed(0, 850, 75);
    // AMTOR's 170 Hz stands when the last mode is chosen.
    sw.SetMode(6);
    sw.SetShift(170);
    sw.SetMode(from);
    sw.SetModeWithShiftAndSpeed(0, p.RttyShift, p.RttySpeed);
    EXPECT_EQ(p.Mode, 0);
    EXPECT_EQ(p.ShiftHz, 850);
    EXPECT_EQ(p.Baud, 75.0);
    EXPECT_EQ(p.Ps33x5SpeedX, 8);
  }
}

TEST_F(ModeSwitchTest, ReportsModeToLoggerWhenAsked) {
  sw.ModeReportNames[kModeBpsk31] = "PSK31";
  sw.SetMode(1);
  EXPECT_TRUE(window.loggerReports.empty());
  sw.ReportModeWhenChanged = true;
  sw.SetMode(1);
  sw.SetMode(13);  // RTTY, whose name is empty here
  EXPECT_EQ(window.loggerReports, std::vector<std::string>{"PSK31"});
}

}  // namespace
}  // namespace vestrel

namespace vestrel {
namespace {

// A stored mode number that names no mode (written by a settings loader directly) is RTTY to
// the speed and shift switches too; an output rate that is no sample rate (0, NaN from a bad
// calibration) gives the nominal 11025 instead of overflowing the transmit slots.
TEST_F(ModeSwitchTest, BadStoredValuesAreHandledSafely) {
  p.Mode = 13;
  sw.SetBaudRate(75);
  EXPECT_EQ(p.RttySpeed, 75);
  sw.SetShift(425);
  EXPECT_EQ(p.RttyShift, 425);
  // Tones stored far outside the band (a hand-edited settings file) are brought to its nearer
  // edge: the pair's mean is summed without overflow, so INT32_MAX twice does not wrap to the
  // bottom of the band. 170 Hz = 505 units, half 252.
  p.Mode = 0;
  for (int32_t tone : {INT32_MAX, INT32_MIN}) {
    SCOPED_TRACE(tone);
    p.RxTone[0] = p.RxTone[1] = p.TxTone[0] = p.TxTone[1] = tone;
    sw.SetShift(170);
    const int32_t lower = tone > 0 ? kMaxToneUnits - 504 : kMinToneUnits;
    EXPECT_EQ(p.RxTone[0], lower);
    EXPECT_EQ(p.RxTone[1], lower + 504);
    EXPECT_EQ(p.TxTone[0], lower);
    EXPECT_EQ(p.TxTone[1], lower + 504);
    p.RxTone[0] = p.RxTone[1] = p.TxTone[0] = p.TxTone[1] = tone;
    sw.SetMode(kModeBpsk31);
    EXPECT_EQ(p.RxTone[0], tone);  // the mean of two equal tones is the tone
    EXPECT_EQ(p.TxTone[1], tone);
    sw.SetMode(0);
  }
  for (double rate : {0.0, -11025.0, std::nan(""), 1e300}) {
    rates.OutSamplingFreq = rate;
    sw.SetBaudRate(45);
    EXPECT_EQ(p.TxSamplesPerBit, 243);
    EXPECT_EQ(p.TxSamplesPerBitMilli, 242574);
    sw.SetShift(170);
    EXPECT_EQ(p.TxShift, 505);
  }
}

}  // namespace
}  // namespace vestrel
