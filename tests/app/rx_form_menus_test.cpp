// The Mode, Speed, Shift and Filters menus chosen as the user does (the items triggered), and
// the tuning step buttons pressed with the mouse.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <cmath>
#include <string>
#include <vector>

#include "app/rx_form.h"
#include "engine/frequency_unit.h"
#include "support/recording_form.h"

namespace vestrel {
namespace {

using test::Form;
using test::RecordingFormParts;
using test::UniqueSemaphoreName;

struct Menus : Form {
  explicit Menus(RecordingFormParts& p) : Form(p, UniqueSemaphoreName("menus")), parts(p) {
    Ticks(20);
    parts.log.clear();
  }
  TRxForm& w() { return *form; }
  TModemParams& params() { return form->engine().params; }
  void Choose(const std::string& caption) {
    QAction* a = w().MenuItem(caption);
    ASSERT_NE(a, nullptr) << caption;
    a->trigger();
  }
  // The checked items among the Mode, Speed, Shift and Filters menus, in menu order.
  std::vector<std::string> Checked() {
    static const char* const kItems[] = {
        "RTTY", "ASCII-7", "ASCII-8", "AMTOR-FEC", "Normal Sync", "Fast Sync", "AMTOR-ARQ (RX Only)",
        "PACTOR1-FEC (RX Only)", "PS2x5", "PS33x5", "BPSK-31", "QPSK-31", "BPSK-63", "QPSK-63", "BPSK-125",
        "MultiFSK-8", "MultiFSK-16", "AX25 (HF)", "AX25 (UHF)", "DTMF RX Only)", "1.5625 Baud", "2 Baud",
        "3.125 Baud", "4 Baud", "5 Baud", "6.25 Baud", "10 Baud", "12.5 Baud", "25 Baud", "45 Baud", "50 Baud",
        "57 Baud", "75 Baud", "100 Baud", "110 Baud", "150 Baud", "200 Baud", "250 Baud", "300 Baud", "500 Baud",
        "600 Baud", "1000 Baud", "1200 Baud", "4 Hz", "5 Hz", "10 Hz", "20 Hz", "23 Hz", "25 Hz", "50 Hz",
        "85 Hz", "100 Hz", "150 Hz", "170 Hz", "182 Hz", "200 Hz", "250 Hz", "300 Hz", "400 Hz", "425 Hz",
        "450 Hz", "500 Hz", "600 Hz", "850 Hz", "1000 Hz", "1200 Hz", "Narrow", "Optimal", "Wide (Polar)"};
    std::vector<std::string> on;
    for (const char* item : kItems)
      if (QAction* a = w().MenuItem(item); a != nullptr && a->isChecked()) on.emplace_back(item);
    return on;
  }
  RecordingFormParts& parts;
};

// Each row: the items chosen after RTTY at 75 Bd and 850 Hz, then the mode, speed, shift,
// filter width, filter label and the check marks that result.
TEST(ModeMenus, ItemsGiveTheirModeSpeedShiftFilterAndCheckMarks) {
  const struct {
    const char* name;
    std::vector<std::string> items;
    int mode;
    double baud;
    int shiftHz;
    int filter;
    const char* label;
    std::vector<std::string> checked;
  } rows[] = {
      {"RTTY after AMTOR FEC", {"Normal Sync", "RTTY"}, 0, 75, 850, 0, "",
       {"RTTY", "Normal Sync", "75 Baud", "850 Hz", "Optimal"}},
      {"RTTY after AX.25 UHF", {"AX25 (UHF)", "RTTY"}, 0, 75, 850, 0, "",
       {"RTTY", "Normal Sync", "75 Baud", "850 Hz", "Optimal"}},
      // PS33x5 takes neither the RTTY speed nor its shift, and the shift that stood before it
      // (AMTOR's 170 Hz) is not RTTY's.
      {"RTTY after PS33x5", {"Normal Sync", "PS33x5", "12.5 Baud", "RTTY"}, 0, 75, 850, 0, "",
       {"RTTY", "Normal Sync", "75 Baud", "850 Hz", "Optimal"}},
      {"PS33x5 again keeps its own speed", {"PS33x5", "12.5 Baud", "RTTY", "PS33x5"}, 22, 12.5, 850, 0, "",
       {"Normal Sync", "PS33x5", "12.5 Baud", "850 Hz", "Optimal"}},
      {"PS2x5 after PS33x5", {"PS2x5", "10 Baud", "100 Hz", "PS33x5", "PS2x5"}, 20, 10, 100, 0, "",
       {"Normal Sync", "PS2x5", "10 Baud", "100 Hz", "Optimal"}},
      {"AMTOR FEC, fast sync", {"Fast Sync"}, 6, 100, 170, 0, "",
       {"AMTOR-FEC", "Fast Sync", "100 Baud", "170 Hz", "Optimal"}},
      {"AMTOR ARQ", {"AMTOR-ARQ (RX Only)"}, 14, 100, 170, 0, "",
       {"Normal Sync", "AMTOR-ARQ (RX Only)", "100 Baud", "170 Hz", "Optimal"}},
      {"AX.25 HF", {"AX25 (HF)"}, 8, 300, 200, 0, "", {"Normal Sync", "AX25 (HF)", "300 Baud", "200 Hz", "Optimal"}},
      {"PACTOR", {"PACTOR1-FEC (RX Only)"}, 18, 100, 200, 0, "",
       {"Normal Sync", "PACTOR1-FEC (RX Only)", "100 Baud", "200 Hz", "Optimal"}},
      {"45 Baud", {"45 Baud"}, 0, 45, 850, 0, "", {"RTTY", "Normal Sync", "45 Baud", "850 Hz", "Optimal"}},
      {"23 Hz", {"23 Hz"}, 0, 75, 23, 0, "", {"RTTY", "Normal Sync", "75 Baud", "23 Hz", "Optimal"}},
      {"Narrow in RTTY", {"Narrow"}, 0, 75, 850, 2, " NARROW FILTERS",
       {"RTTY", "Normal Sync", "75 Baud", "850 Hz", "Narrow"}},
      {"Wide in ASCII-7", {"ASCII-7", "Wide (Polar)"}, 2, 75, 850, 1, " WIDE FILTERS",
       {"ASCII-7", "Normal Sync", "75 Baud", "850 Hz", "Wide (Polar)"}},
      {"Narrow in BPSK-31", {"BPSK-31", "Narrow"}, 1, 75, 850, 0, "",
       {"Normal Sync", "BPSK-31", "75 Baud", "850 Hz", "Narrow"}},
      {"Narrow in PS2x5", {"PS2x5", "Narrow"}, 20, 25, 50, 0, "",
       {"Normal Sync", "PS2x5", "25 Baud", "50 Hz", "Narrow"}},
      {"QPSK-63", {"QPSK-63"}, 9, 75, 850, 0, "", {"Normal Sync", "QPSK-63", "75 Baud", "850 Hz", "Optimal"}},
      {"MFSK16", {"MultiFSK-16"}, 12, 75, 850, 0, "",
       {"Normal Sync", "MultiFSK-16", "75 Baud", "850 Hz", "Optimal"}},
      {"DTMF", {"DTMF RX Only)"}, 11, 75, 850, 0, "",
       {"Normal Sync", "DTMF RX Only)", "75 Baud", "850 Hz", "Optimal"}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    RecordingFormParts parts;
    Menus m(parts);
    m.Choose("Normal Sync");
    m.Choose("RTTY");
    m.Choose("75 Baud");
    m.Choose("850 Hz");
    m.Choose("Optimal");
    for (const std::string& item : r.items) m.Choose(item);
    const TModemParams& p = m.params();
    EXPECT_EQ(p.Mode, r.mode);
    EXPECT_EQ(p.Baud, r.baud);
    EXPECT_EQ(p.ShiftHz, r.shiftHz);
    EXPECT_EQ(p.FilterWidth, r.filter);
    EXPECT_EQ(m.w().FilterLabel->text().toStdString(), r.label);
    EXPECT_EQ(m.Checked(), r.checked);
    if (r.mode == 0) {
      EXPECT_EQ(p.RttySpeed, int(r.baud));
      EXPECT_EQ(p.RttyShift, r.shiftHz);
      // The pair lies the shift apart.
      EXPECT_EQ(p.RxTone[1] - p.RxTone[0], HzToUnits(r.shiftHz) / 2 * 2);
    }
    EXPECT_EQ(m.w().engine().amtorFec.AmtorFastSync, r.mode == 6 ? 1 : 0);
  }
}

TEST(ModeMenus, FortyFiveBaudRunsAt4545AndTwentyThreeHertzIsStored) {
  RecordingFormParts parts;
  Menus m(parts);
  m.Choose("RTTY");
  m.Choose("45 Baud");
  EXPECT_EQ(m.w().Panel(1)->text().toStdString(), "45.45 Bd");
  EXPECT_EQ(m.params().RxSamplesPerBitMilli, std::lround(11025000.0 / 45.45));
  m.Choose("23 Hz");
  EXPECT_EQ(m.params().ShiftHz, 23);
  EXPECT_EQ(m.params().RttyShift, 23);
}

TEST(ModeMenus, AxUhfPutsBothAfcButtonsUpAndThePairAt1200And2200) {
  RecordingFormParts parts;
  Menus m(parts);
  TRxForm& w = m.w();
  w.AfcButton->setChecked(true);
  w.TxAfcButton->setChecked(true);
  w.settings().TxAfc = 1;
  m.Choose("RTTY");
  m.Choose("850 Hz");
  parts.log.clear();
  m.Choose("AX25 (UHF)");
  EXPECT_FALSE(w.AfcButton->isChecked());
  EXPECT_FALSE(w.TxAfcButton->isChecked());
  EXPECT_EQ(w.settings().TxAfc, 0);
  const TModemParams& p = m.params();
  EXPECT_EQ(p.Mode, 10);
  EXPECT_EQ(p.Baud, 1200);
  for (const auto& pair : {p.RxTone, p.TxTone}) {
    EXPECT_NEAR(UnitsToHz(pair[0]), 1200.0, 0.5);
    EXPECT_NEAR(UnitsToHz(pair[1]), 2200.0, 0.5);
  }
}

// "<" ">" "<<" ">>" pressed: the receive pair by 3 and 16 units; with Ctrl or the right button
// the transmit pair; the typing goes on in the sent-text box.
TEST(StepButtons, PressesMoveTheReceiveOrTheTransmitPair) {
  RecordingFormParts parts;
  Menus m(parts);
  TRxForm& w = m.w();
  const struct {
    Qt::MouseButton button;
    Qt::KeyboardModifiers mods;
    const char* call;
  } ways[] = {{Qt::LeftButton, Qt::NoModifier, "ShiftRxFrequency "},
              {Qt::LeftButton, Qt::ControlModifier, "ShiftTxFrequency "},
              {Qt::RightButton, Qt::NoModifier, "ShiftTxFrequency "}};
  const int units[4] = {-3, 3, -16, 16};
  for (const auto& way : ways) {
    for (int i = 0; i < 4; ++i) {
      parts.log.clear();
      w.Input->setFocus();
      QTest::mousePress(w.TuneButtons[i], way.button, way.mods);
      EXPECT_EQ(parts.log, std::vector<std::string>{way.call + std::to_string(units[i])}) << i;
      EXPECT_EQ(w.focusWidget(), w.Sent);
      QTest::mouseRelease(w.TuneButtons[i], way.button, way.mods);
    }
  }
}

}  // namespace
}  // namespace vestrel
