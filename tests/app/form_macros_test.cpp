#include "app/form_macros.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolButton>

#include "app/rx_form.h"
#include "memo/qt/styled_memo_widget.h"
#include "support/recording_form.h"

namespace vestrel {
namespace {

// The recording seams with what the macros reach besides them.
struct MacroParts : test::RecordingFormParts, ExchangePortPart {
  void InsertAtCaret(const std::string& text) override { Log("InsertAtCaret " + text); }
  bool PumpBusy() const override { return pumpBusy; }
  void HoldTyping() override { Log("HoldTyping"); }
  void ClearInput() override { Log("ClearInput"); }
  bool Paused() const override { return paused; }
  void SetRxFrequency(double hz) override { Log("SetRxFrequency " + std::to_string(int(hz))); }
  void SetTxFrequency(double hz) override { Log("SetTxFrequency " + std::to_string(int(hz))); }
  void SyncTxFrequencyToRx() override { Log("SyncTxFrequencyToRx"); }
  void AfcPassNow() override { Log("AfcPassNow"); }
  void SetAfc(bool on) override { Log(std::string("SetAfc ") + (on ? "1" : "0")); }
  void ExportQsoField(const std::string& key, const std::string& value, uint32_t code) override {
    Log("Export " + key + "=" + value + " " + std::to_string(code));
  }
  void BroadcastQsoChange(int code, uint32_t flags) override {
    Log("Broadcast " + std::to_string(code) + " " + std::to_string(flags));
  }
  void FireOnCommandEx(uint32_t code, uint32_t flags, const std::string& text) override {
    Log("CommandEx " + std::to_string(code) + " " + std::to_string(flags) + " " + text);
  }
  void ReplayLastAudio(int s) override { Log("Replay " + std::to_string(s)); }
  // MacroPart and ExchangePortPart: the window's macros are its own, so this is the port's.
  void AddSymbol(int s) override { Log("AutomationSymbol " + std::to_string(s)); }
  bool pumpBusy = false;
  bool paused = false;
};

// A started window whose macros are the program's own.
struct Started : test::Form {
  explicit Started(MacroParts& p)
      : Form(p, test::UniqueSemaphoreName("macros"), {}, nullptr, false, nullptr,
             [&p](TRxFormDeps& d) {
               d.macros = nullptr;
               d.exchangePort = &p;
             }),
        parts(p) {
    Ticks(20);
    parts.log.clear();
  }
  MacroParts& parts;
};

std::vector<std::string> Without(std::vector<std::string> log, const std::string& name) {
  std::erase(log, name);
  return log;
}

TEST(FormMacros, AMacroInsertsItsTextWithTheQsoFieldsAndActsOnTheWindow) {
  MacroParts parts;
  Started s(parts);
  TRxForm& w = *s.form;
  w.CallEdit->setText(QStringLiteral("DK2XY"));
  w.NameEdit->setText(QStringLiteral("~[f/etc/passwd]"));
  w.settings().BeaconPeriod = 30;
  w.AfcButton->setChecked(false);
  parts.log.clear();
  w.macroTable().Macro[4] = "CQ DE ~[ec] ~[en]~[bon]~[rf351]~[rf350]~[tf3949]~[afr1]~[ls]~[rp7]~[nic]";
  w.RunMacro(4);
  EXPECT_EQ(Without(parts.log, "PumpTxText"),
            (std::vector<std::string>{"HoldTyping", "Notify 125", "SetRxFrequency 351", "SetTxFrequency 3949",
                                      "SetAfc 1", "AfcPassNow", "SyncTxFrequencyToRx", "Broadcast 128 0",
                                      "CommandEx 128 0 ", "Replay 7", "Export Call=DK3XY 4", "HoldTyping",
                                      "InsertAtCaret CQ DE DK2XY [f/etc/passwd]"}));
  EXPECT_EQ(w.CallEdit->text(), QStringLiteral("DK3XY"));
  EXPECT_TRUE(w.AfcButton->isChecked());
  // The beacon: on, its text at the next second.
  EXPECT_TRUE(w.BeaconOn);
  EXPECT_TRUE(w.BeaconButton->isChecked());
  EXPECT_EQ(w.Panel(10)->text(), QStringLiteral("BEA:W"));
  EXPECT_EQ(w.BeaconSeconds, 29);
  parts.log.clear();
  w.TickCounter = 9;
  w.Timer1Timer();
  EXPECT_EQ(parts.Count("InsertAtCaret "), 0);  // macro 36 is empty
  EXPECT_EQ(w.BeaconSeconds, 0);
  w.macroTable().Macro[5] = "~[bof]~[csnt]";
  w.Sent->setPlainText(QStringLiteral("sent"));
  w.RunMacro(5);
  EXPECT_FALSE(w.BeaconOn);
  EXPECT_EQ(w.Panel(10)->text(), QStringLiteral(" "));
  EXPECT_TRUE(parts.Has("Notify 124"));
  EXPECT_TRUE(w.Sent->toPlainText().isEmpty());
}

TEST(FormMacros, ControlEscapesQueueIntoTheEnginesQueue) {
  MacroParts parts;
  Started s(parts);
  TRxForm& w = *s.form;
  w.engine().TxQueue.Clear();
  w.macroTable().Macro[6] = "~[pa]";
  w.RunMacro(6);
  EXPECT_TRUE(w.engine().tx.PausePoint);
  ASSERT_EQ(w.engine().TxQueue.Pending(), 1u);
  EXPECT_EQ(w.engine().TxQueue.Head(), kTxPausePoint);
  w.macroTable().Macro[7] = "~[cl]";
  w.RunMacro(7);
  EXPECT_TRUE(w.engine().TxQueue.Empty());
  EXPECT_FALSE(w.engine().tx.PausePoint);
  EXPECT_TRUE(parts.Has("ClearInput"));
}

TEST(FormMacros, AMacroDuringAPumpPassRunsAfterIt) {
  MacroParts parts;
  Started s(parts);
  TRxForm& w = *s.form;
  w.macroTable().Macro[3] = "later";
  parts.pumpBusy = true;
  w.RunMacro(3);
  EXPECT_FALSE(parts.Has("InsertAtCaret later"));
  parts.pumpBusy = false;
  QApplication::processEvents();
  EXPECT_EQ(parts.Count("InsertAtCaret later"), 1);
}

TEST(FormMacros, AutomationSymbolsGoToTheExchangeParser) {
  MacroParts parts;
  Started s(parts);
  s.form->macros().AddSymbol('A');
  EXPECT_TRUE(parts.Has("AutomationSymbol 65"));
}

TEST(FormMacros, DatesFollowTheLocalesShortFormat) {
  const CivilTime t{2026, 12, 3, 21, 5, 0};
  EXPECT_EQ(ShortDateText(t, QLocale(QLocale::English, QLocale::UnitedStates)), "12/3/26");
  EXPECT_EQ(ShortDateText(t, QLocale(QLocale::German, QLocale::Germany)), "03.12.26");
}

}  // namespace
}  // namespace vestrel
