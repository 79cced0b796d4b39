// The setup dialog on a window whose parts are recording fakes: every control filled from the
// settings and taken back, the value tables, what Apply re-opens, and the settings file.
#include "app/setup_form.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <set>

#include "app/rx_form.h"
#include "app/settings_file.h"
#include "app/setup_tables.h"
#include "app/waterfall_palette.h"
#include "engine/engine.h"
#include "platform/fake_wave.h"
#include "support/fake_font_dialogs.h"
#include "support/recording_form.h"
#include "support/test_dir.h"

namespace vestrel {
namespace {

using test::Form;
using test::RecordingFormParts;
using test::UniqueSemaphoreName;

// What an operator does to a control.
void Choose(QComboBox* box, int index) {
  ASSERT_GE(index, 0);
  ASSERT_LT(index, box->count());
  box->setCurrentIndex(index);
  emit box->activated(index);
}
void Choose(QComboBox* box, const char* item) {
  Choose(box, box->findText(QString::fromLatin1(item)));
}
void Type(QLineEdit* edit, const QString& text) {
  edit->setText(text);
  emit edit->textEdited(text);
}

// The state a control shows, as text.
std::string Shown(const QWidget* w) {
  if (const auto* c = qobject_cast<const QComboBox*>(w)) return c->currentText().toStdString();
  if (const auto* e = qobject_cast<const QLineEdit*>(w)) return e->text().toStdString();
  if (const auto* b = qobject_cast<const QAbstractButton*>(w)) return b->isChecked() ? "1" : "0";
  if (const auto* s = qobject_cast<const QSpinBox*>(w)) return std::to_string(s->value());
  return "?";
}

// Three devices each way on the fake sound card.
void ThreeDevices(FakeWaveBackend& b) {
  b.inputs = {{"plughw:CARD=A", "Card A"}, {"plughw:CARD=B", "Card B"}, {"pulse", "PulseAudio"}};
  b.outputs = b.inputs;
}

// A started window with the dialog on it, filled and shown as the "Setup" item does.
struct Opened {
  explicit Opened(const std::function<void(TRxForm&)>& before = {},
                  const std::function<void(TRxFormDeps&)>& adjust = {})
      : form(parts, UniqueSemaphoreName("setup"), {}, nullptr, false, nullptr, adjust) {
    ThreeDevices(backend);
    form.Ticks(19);
    if (before) before(w());
    dialog = std::make_unique<TSetupForm>(w(), TSetupFormDeps{&fonts, &backend});
    w().SetForms(nullptr, dialog.get(), nullptr);
    w().ShowSetup(0);
    parts.log.clear();
    parts.boxes.clear();
    parts.inputRates.clear();
    parts.soundDevices.clear();
  }
  TRxForm& w() { return *form.form; }
  TAppSettings& s() { return w().settings(); }
  TSetupForm& d() { return *dialog; }
  template <typename T>
  T* Control(const std::string& name) {
    T* c = dialog->findChild<T*>(QString::fromStdString(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
  }

  RecordingFormParts parts;
  FakeWaveBackend backend;
  test::FakeFontDialogs fonts;
  Form form;
  std::unique_ptr<TSetupForm> dialog;
};

// One control: a value stored in the settings, what the control shows after the dialog is
// filled, a new value set in the control, and what Apply made of it.
struct Row {
  std::string control;
  std::function<void(TRxForm&)> store;
  std::string shown;
  std::function<void(Opened&)> change;
  std::function<void(Opened&)> check;
};

// A flag: stored as the opposite of its default, then switched back in the control.
Row FlagRow(const char* control, int32_t TAppSettings::*field, std::function<void(Opened&)> more = {}) {
  static const TAppSettings defaults;
  const bool onByDefault = defaults.*field != 0;
  return {control, [field, onByDefault](TRxForm& w) { w.settings().*field = onByDefault ? 0 : 1; },
          onByDefault ? "0" : "1",
          [control](Opened& t) {
            QCheckBox* b = t.Control<QCheckBox>(control);
            b->setChecked(!b->isChecked());
          },
          [field, onByDefault, more](Opened& t) {
            EXPECT_EQ(t.s().*field, onByDefault ? 1 : 0);
            if (more) more(t);
          }};
}

// A list whose item index is the value (plus `offset`).
Row ListRow(const char* control, int32_t TAppSettings::*field, int32_t stored, const char* shown,
            const char* chosen, int32_t expected, std::function<void(Opened&)> more = {}) {
  return {control, [field, stored](TRxForm& w) { w.settings().*field = stored; }, shown,
          [control, chosen](Opened& t) { Choose(t.Control<QComboBox>(control), chosen); },
          [field, expected, more](Opened& t) {
            EXPECT_EQ(t.s().*field, expected);
            if (more) more(t);
          }};
}

// A port setting: the keying port set up as given, then `change`; the keying port is set again.
Row PortRow(const char* control, std::function<void(TAppSettings&)> port, const char* shown,
            std::function<void(Opened&)> change, std::string setPttPort) {
  return {control, [port](TRxForm& w) { port(w.settings()); }, shown, std::move(change),
          [setPttPort](Opened& t) {
            EXPECT_EQ(t.parts.Count("ClosePortsToReopen"), 1);
            EXPECT_EQ(t.parts.Count(std::string("SetPttPort ").append(setPttPort)), 1);
          }};
}

Row CoefficientRow(const char* control, double TWaterfallSettings::*field) {
  return {control, [field](TRxForm& w) { w.settings().Waterfall.*field = 0.5; }, "+0.50",
          [control](Opened& t) { Type(t.Control<QLineEdit>(control), QStringLiteral("-1.25")); },
          [field](Opened& t) {
            EXPECT_DOUBLE_EQ(t.s().Waterfall.*field, -1.25);
            EXPECT_TRUE(t.parts.Has("BuildWaterfallPalette"));
          }};
}

Row AlphabetRow(const char* control, int stored, int clicked) {
  return {control, [stored](TRxForm& w) { w.engine().params.BaudotCodeSet = stored; }, "0",
          [control](Opened& t) { t.Control<QRadioButton>(control)->setChecked(true); },
          [clicked](Opened& t) {
            EXPECT_EQ(t.w().engine().params.BaudotCodeSet, clicked);
            EXPECT_EQ(t.s().CodeSet, clicked);
          }};
}

std::vector<Row> ControlRows() {
  using S = TAppSettings;
  auto lpt = [](S& s) {
    s.PttPortType = 2;
    s.PttPortNumber = 1;
    s.PttPin = 2;
    s.PowerPin1 = 7;
    s.PowerPin2 = 8;
  };
  auto com = [](int number, int pin) {
    return [number, pin](S& s) {
      s.PttPortType = 1;
      s.PttPortNumber = number;
      s.PttPin = pin;
    };
  };
  std::vector<Row> rows = {
      // Interface
      PortRow(
          "PortTypeBox", com(2, 2), "COM-Port", [](Opened& t) { Choose(t.d().PortTypeBox, "WinKey"); },
          "6 2 0 0 0"),
      PortRow(
          "PortNumberBox", com(2, 2), "COM2", [](Opened& t) { Choose(t.d().PortNumberBox, "COM5"); },
          "1 5 2 0 0"),
      PortRow(
          "PttPinBox", com(1, 1), "DTR", [](Opened& t) { Choose(t.d().PttPinBox, "RTS"); }, "1 1 2 0 0"),
      PortRow(
          "Power1PinBox", lpt, "D6 (pin8)", [](Opened& t) { Choose(t.d().Power1PinBox, "D3 (pin5)"); },
          "2 1 2 4 8"),
      PortRow(
          "Power2PinBox", lpt, "D7 (pin9)", [](Opened& t) { Choose(t.d().Power2PinBox, "NONE"); },
          "2 1 2 7 0"),
      {"XPortEdit",
       [](TRxForm& w) {
         w.settings().PttPortType = 2;
         w.settings().PttPortNumber = 4;
         w.settings().XPortAddress = 0x278;
       },
       "0278", [](Opened& t) { Type(t.d().XPortEdit, QStringLiteral("03BC")); },
       [](Opened& t) {
         EXPECT_EQ(t.s().XPortAddress, 0x3BC);
         EXPECT_TRUE(t.d().XPortEdit->isVisibleTo(t.dialog.get()));
         EXPECT_EQ(t.parts.Count("SetPttPort 2 4 2 0 0"), 1);
       }},
      {"FskCheckBox",
       [com](TRxForm& w) {
         com(3, 2)(w.settings());
         w.settings().UseTxD = 1;
       },
       "1", [](Opened& t) { t.d().FskCheckBox->setChecked(false); },
       [](Opened& t) {
         EXPECT_EQ(t.s().UseTxD, 0);
         EXPECT_FALSE(t.w().engine().tx.UseTxD);
         EXPECT_EQ(t.parts.Count("SetPttPort 1 3 2 0 0"), 1);
       }},
      {"DataExBox", [](TRxForm& w) { w.settings().ExchangePortNumber = 7; }, "COM7",
       [](Opened& t) { Choose(t.d().DataExBox, "COM9"); },
       [](Opened& t) {
         EXPECT_EQ(t.s().ExchangePortNumber, 9);
         EXPECT_EQ(t.parts.Count("SetDataExchangePort 9"), 1);
       }},
      {"ExSpeedBox", [](TRxForm& w) { w.settings().ExchangeSpeed = 4800; }, "4800",
       [](Opened& t) { t.d().ExSpeedBox->setEditText(QStringLiteral("19200")); },
       [](Opened& t) {
         EXPECT_EQ(t.s().ExchangeSpeed, 19200);
         EXPECT_EQ(t.parts.Count("SetDataExchangePort 0"), 1);
       }},
      ListRow("ExCanalBox", &S::ExCanal, 4, "4", "6", 6,
              [](Opened& t) {
                EXPECT_EQ(t.parts.exchangeDeactivations, 1);
                EXPECT_TRUE(t.parts.Has("ExchangeInit 6"));
                EXPECT_TRUE(t.w().ExchangeLibraryActive);
              }),
      ListRow("MessageChannelBox", &S::MessageChannel, 3, "3", "7", 7),
      ListRow("InputCardNumBox", &S::SoundCardNumber, 1, "1  plughw:CARD=B", "DEFAULT", -1,
              [](Opened& t) {
                ASSERT_FALSE(t.parts.soundDevices.empty());
                EXPECT_EQ(t.parts.soundDevices.back().SoundCardNumber, -1);
                EXPECT_TRUE(t.parts.Has("OpenSoundInput"));
              }),
      ListRow("OutputCardNumBox", &S::OutSoundCardNumber, -1, "DEFAULT", "2  pulse", 2,
              [](Opened& t) { EXPECT_EQ(t.parts.soundDevices.back().OutSoundCardNumber, 2); }),
      ListRow("InputCardChannelBox", &S::InputCardChannel, 2, "Right", "Left", 1,
              [](Opened& t) { EXPECT_EQ(t.parts.soundDevices.back().InputCardChannel, 1); }),
      ListRow("OutputCardChannelBox", &S::OutputCardChannel, 1, "Left", "Mono", 0,
              [](Opened& t) { EXPECT_EQ(t.w().engine().tx.OutputCardChannel, 0); }),
      {"InSamplingRateEdit", [](TRxForm& w) { w.settings().SamplingFreq = 11020.5; }, "11020.50",
       [](Opened& t) { Type(t.d().InSamplingRateEdit, QStringLiteral("44100")); },
       [](Opened& t) {
         EXPECT_EQ(t.s().SamplingFreq, 44100.0);
         ASSERT_FALSE(t.parts.inputRates.empty());
         EXPECT_EQ(t.parts.inputRates.back(), 44100.0);
         EXPECT_TRUE(t.parts.Has("ApplySpeedShiftMode"));
       }},
      {"OutSamplingRateEdit", [](TRxForm& w) { w.settings().OutSamplingFreq = 48000.0; }, "48000.00",
       [](Opened& t) { Type(t.d().OutSamplingRateEdit, QStringLiteral("8000,5")); },
       [](Opened& t) {
         EXPECT_EQ(t.s().OutSamplingFreq, 8000.5);
         EXPECT_EQ(t.w().engine().rates.OutSamplingFreq, 8000.5);
       }},
      FlagRow("DuplexCardBox", &S::UseDuplex, [](Opened& t) { EXPECT_FALSE(t.w().engine().tx.UseDuplex); }),
      FlagRow("WholeWordBox", &S::WordMode),
      FlagRow("AfcAtMouseBox", &S::AfcAtClick),
      {"ContCarrierBox",
       {},
       "0",
       [](Opened& t) { t.d().ContCarrierBox->setChecked(true); },
       [](Opened& t) { EXPECT_TRUE(t.d().ContinuousCarrier); }},
      // MOX & Beacon
      FlagRow("TxAtKeyboardBox", &S::TxAtKeyboard),
      FlagRow("RxAtFreeBufferBox", &S::RxAtFreeBuffer,
              [](Opened& t) { EXPECT_FALSE(t.w().engine().tx.RxAtFreeBuffer); }),
      FlagRow("BeaconOffAtClickBox", &S::BeaconOffAtClick),
      FlagRow("BeaconOffAtMyCallBox", &S::BeaconOffAtMyCall),
      FlagRow("BeaconOffAtTwoCallsBox", &S::BeaconOffAtTwoCalls),
      {"MyCallEdit", [](TRxForm& w) { w.settings().MyCall = "DL1ABC"; }, "DL1ABC",
       [](Opened& t) { Type(t.d().MyCallEdit, QStringLiteral(" dl2xyz ")); },
       [](Opened& t) {
         EXPECT_EQ(t.s().MyCall, "DL2XYZ");
         EXPECT_EQ(Shown(t.d().MyCallEdit), "DL2XYZ");
         EXPECT_EQ(t.parts.Count("SetOwnCall DL2XYZ"), 1);
       }},
      // Tuning
      ListRow("TuneRigByBox", &S::TuneRig, 1, "RIT", "Main VFO", 2,
              [](Opened& t) { EXPECT_EQ(t.parts.Count("RigRestart"), 1); }),
      ListRow("RigNumberBox", &S::RigNumber, 2, "RIG2", "RIG1", 1,
              [](Opened& t) { EXPECT_EQ(t.parts.Count("RigRestart"), 1); }),
      FlagRow("TuneBABox", &S::TuneVFOBtoA, [](Opened& t) { EXPECT_EQ(t.parts.Count("RigRestart"), 1); }),
      {"TuneBAEdit", [](TRxForm& w) { w.settings().VFOBoffset = -50; }, "-0050",
       [](Opened& t) { Type(t.d().TuneBAEdit, QStringLiteral("+0120")); },
       [](Opened& t) {
         EXPECT_EQ(t.s().VFOBoffset, 120);
         EXPECT_FALSE(t.parts.Has("RigRestart"));
       }},
      FlagRow("UseWheelBox", &S::UseWheel),
      {"WheelSpeedEdit", [](TRxForm& w) { w.settings().WheelSpeed = -3; }, "-3",
       [](Opened& t) { t.d().WheelSpeedEdit->setValue(7); },
       [](Opened& t) { EXPECT_EQ(t.s().WheelSpeed, 7); }},
      // Text
      AlphabetRow("EnglishCharsetButton", 2, 0),
      AlphabetRow("RussianCharsetButton", 0, 1),
      AlphabetRow("SwedishCharsetButton", 0, 2),
      AlphabetRow("ExtendedCharsetButton", 0, 3),
      FlagRow("UnshiftOnSpaceBox", &S::UnshiftOnSpace,
              [](Opened& t) {
                EXPECT_EQ(t.w().engine().baudot.UnshiftOnSpace, 0);
                EXPECT_EQ(t.w().Panel(7)->text().toStdString(), "");
              }),
      FlagRow("ExtendedBaudotBox", &S::ExtendedBaudot,
              [](Opened& t) { EXPECT_FALSE(t.w().engine().tx.ExtendedBaudot); }),
      FlagRow("BackspaceHandlingBox", &S::BackspaceHandling),
      FlagRow("CatchWordByOneClickBox", &S::CatchWordByOneClick),
      FlagRow("ContestModeBox", &S::ContestMode),
      FlagRow("CopyTransferredDataBox", &S::CopyTransferredData),
      ListRow("UseOtherAsBox", &S::UseOther, 2048, "Grid", "IOTA", 8192),
      // View
      FlagRow("OscShowBox", &S::OscShow,
              [](Opened& t) { EXPECT_TRUE(t.w().PaintBox1->isVisibleTo(&t.w())); }),
      FlagRow("PhaseShowBox", &S::PhaseShow, [](Opened& t) { EXPECT_TRUE(t.parts.Has("LayoutChanged")); }),
      FlagRow("EditFieldsShowBox", &S::EditFieldsShow,
              [](Opened& t) { EXPECT_EQ(t.w().QsoPanel->height(), 25); }),
      FlagRow("LogOscillogramBox", &S::LogarithmicOscillogram),
      FlagRow("LogSpectrumBox", &S::LogarithmicSpectrum),
      FlagRow("WaterFallBox", &S::WaterFall, [](Opened& t) { EXPECT_TRUE(t.parts.Has("LayoutChanged")); }),
      FlagRow("ShowSentInRxBox", &S::ShowSentInRx),
      {"NumOfMacroBox", [](TRxForm& w) { w.ShowMacroRows(1); }, "1",
       [](Opened& t) { Choose(t.d().NumOfMacroBox, "Hide"); },
       [](Opened& t) {
         EXPECT_EQ(t.w().MacroRows(), 0);
         EXPECT_EQ(t.w().Panel2->height(), 1);
         EXPECT_EQ(t.s().ButMacroHeight, 1);
       }},
      // Waterfall
      CoefficientRow("H0Edit", &TWaterfallSettings::H0),
      CoefficientRow("H1Edit", &TWaterfallSettings::H1),
      CoefficientRow("S0Edit", &TWaterfallSettings::S0),
      CoefficientRow("S1Edit", &TWaterfallSettings::S1),
      CoefficientRow("L0Edit", &TWaterfallSettings::L0),
      CoefficientRow("L1Edit", &TWaterfallSettings::L1),
      // AX25
      {"KissBox",
       {},
       "1",
       [](Opened& t) { t.d().KissBox->setChecked(false); },
       [](Opened& t) {
         EXPECT_EQ(t.s().IsKISS, 0);
         EXPECT_FALSE(t.w().engine().packetOutput.IsKISS);
       }},
      // Other
      ListRow("TimeZoneBox", &S::UTCoffset, -330, "UTC +05:30", "UTC", 0),
      {"WhenChangedBox", [](TRxForm& w) { w.engine().modeSwitch.ReportModeWhenChanged = false; }, "0",
       [](Opened& t) { t.d().WhenChangedBox->setChecked(true); },
       [](Opened& t) { EXPECT_TRUE(t.w().engine().modeSwitch.ReportModeWhenChanged); }},
      FlagRow("WithCallBox", &S::WithCall),
      {"ModeAsBox", [](TRxForm& w) { w.engine().modeSwitch.ModeReportNames[kModeMfsk8] = "MF8X"; }, "RTTY",
       [](Opened& t) { Choose(t.d().ModeAsBox, "MultiFSK-8"); },
       [](Opened& t) { EXPECT_EQ(Shown(t.d().ModeAsEdit), "MF8X"); }},
      {"ModeAsEdit", [](TRxForm& w) { w.engine().modeSwitch.ModeReportNames[kModeRtty] = "RTTY-X"; },
       "RTTY-X", [](Opened& t) { Type(t.d().ModeAsEdit, QStringLiteral(" RY ")); },
       [](Opened& t) { EXPECT_EQ(t.w().engine().modeSwitch.ModeReportNames[kModeRtty], "RY"); }},
      FlagRow("BinaryTransferBox", &S::BinaryTransfer),
      FlagRow("PutTimeToFileBox", &S::PutTimeToFile),
      FlagRow("SavePs2x5Box", &S::SavePs2x5),
  };
  return rows;
}

TEST(SetupForm, EveryControlShowsItsSettingAndAppliesANewValue) {
  std::set<std::string> covered;
  for (const Row& row : ControlRows()) {
    SCOPED_TRACE(row.control);
    covered.insert(row.control);
    Opened t(row.store);
    const QWidget* control = t.Control<QWidget>(row.control);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(Shown(control), row.shown);
    row.change(t);
    t.d().ApplySetupDialog();
    row.check(t);
    EXPECT_TRUE(t.parts.boxes.empty());
  }
  // The table holds every control of the dialog that stands for a setting.
  Opened t;
  for (QWidget* w : t.dialog->findChildren<QWidget*>()) {
    const bool control = qobject_cast<QComboBox*>(w) || qobject_cast<QCheckBox*>(w) ||
                         qobject_cast<QRadioButton*>(w) || qobject_cast<QSpinBox*>(w) ||
                         (qobject_cast<QLineEdit*>(w) && !qobject_cast<QComboBox*>(w->parentWidget()) &&
                          !qobject_cast<QSpinBox*>(w->parentWidget()));
    if (control) {
      EXPECT_TRUE(covered.count(w->objectName().toStdString())) << w->objectName().toStdString();
    }
  }
}

// The font and colour buttons: the dialog answers, and Apply gives the windows the choice.
TEST(SetupForm, FontAndColourButtonsReachTheSettingsAndTheWindows) {
  using S = TAppSettings;
  struct ColourCase {
    const char* button;
    std::function<int32_t&(S&)> field;
  };
  const ColourCase colours[] = {
      {"RxBackButton", [](S& s) -> int32_t& { return s.RxFont.Background; }},
      {"CallColorButton", [](S& s) -> int32_t& { return s.CallColor; }},
      {"SentBackButton", [](S& s) -> int32_t& { return s.SentFont.Background; }},
      {"TxBackButton", [](S& s) -> int32_t& { return s.InputFont.Background; }},
      {"TxSentFontButton", [](S& s) -> int32_t& { return s.SentColor; }},
      {"SpecBackButton", [](S& s) -> int32_t& { return s.FFTBackground; }},
      {"FastSpecButton", [](S& s) -> int32_t& { return s.CurrSpectrumColor; }},
      {"SlowSpecButton", [](S& s) -> int32_t& { return s.PeakSpectrumColor; }},
      {"RxMarkColorButton", [](S& s) -> int32_t& { return s.RxMarkColor; }},
      {"TxMarkColorButton", [](S& s) -> int32_t& { return s.TxMarkColor; }},
      {"OscBackButton", [](S& s) -> int32_t& { return s.OscBackground; }},
      {"OscColorButton", [](S& s) -> int32_t& { return s.SignalColor; }},
      {"OscMarkButton", [](S& s) -> int32_t& { return s.ThresholdColor; }},
      {"RxMarkButton", [](S& s) -> int32_t& { return s.Waterfall.RxMarkColor; }},
      {"TxMarkButton", [](S& s) -> int32_t& { return s.Waterfall.TxMarkColor; }},
  };
  for (const ColourCase& c : colours) {
    SCOPED_TRACE(c.button);
    Opened t;
    const int32_t before = c.field(t.s());
    t.fonts.colourAnswer = 0x123456;
    t.Control<QPushButton>(c.button)->click();
    ASSERT_EQ(t.fonts.coloursAsked.size(), 1u);
    EXPECT_EQ(t.fonts.coloursAsked[0], before);  // started on the current colour
    EXPECT_EQ(c.field(t.s()), before);           // nothing before Apply
    t.d().ApplySetupDialog();
    EXPECT_EQ(c.field(t.s()), 0x123456);
  }

  struct FontCase {
    const char* button;
    std::function<TFontSetting&(S&)> field;
    bool effects;
    std::function<QWidget*(TRxForm&)> window;
  };
  const FontCase fonts[] = {
      {"RxFontButton", [](S& s) -> TFontSetting& { return s.RxFont; }, true,
       [](TRxForm& w) -> QWidget* { return w.RxMemo; }},
      {"SentFontButton", [](S& s) -> TFontSetting& { return s.SentFont; }, true,
       [](TRxForm& w) -> QWidget* { return w.Sent; }},
      {"TxFontButton", [](S& s) -> TFontSetting& { return s.InputFont; }, true,
       [](TRxForm& w) -> QWidget* { return w.Input; }},
      {"SetMacroFontButton", [](S& s) -> TFontSetting& { return s.ButtonFont; }, false,
       [](TRxForm& w) -> QWidget* { return w.ButMacro[36]; }},
  };
  for (const FontCase& c : fonts) {
    SCOPED_TRACE(c.button);
    Opened t;
    TFontSetting chosen = c.field(t.s());
    chosen.FontName = "DejaVu Serif";
    chosen.FontSize = 17;
    chosen.FontStyle = 2;
    chosen.FontColor = 0x0000FF;
    t.fonts.fontAnswer = chosen;
    t.Control<QPushButton>(c.button)->click();
    ASSERT_EQ(t.fonts.fontsAsked.size(), 1u);
    EXPECT_EQ(t.fonts.fontsAsked[0], c.field(t.s()));
    EXPECT_EQ(t.fonts.effectsAsked[0], c.effects);
    t.d().ApplySetupDialog();
    EXPECT_EQ(c.field(t.s()), chosen);
    const QWidget* window = c.window(t.w());
    EXPECT_EQ(window->font().pointSize(), 17);
    EXPECT_TRUE(window->font().italic());
    EXPECT_TRUE(t.parts.Has("PaintSpectrum"));
  }
}

TEST(SetupForm, TheSamplesShowTheCallSignAndTheSentTextInTheirColours) {
  Opened t([](TRxForm& w) {
    w.settings().CallColor = 0x00FF00;
    w.settings().SentColor = 0x0000FF;
    w.settings().RxFont.FontColor = 0x000000;
    w.settings().InputFont.FontColor = 0x000000;
  });
  // The samples are memo controls, as the windows are, and lay their text out at once.
  for (TextSample* sample : {t.d().RxSample, t.d().SentSample, t.d().TxSample}) {
    auto* memo = dynamic_cast<StyledMemoWidget*>(&sample->Widget());
    ASSERT_NE(memo, nullptr);
    EXPECT_FALSE(memo->FormatThreadRunning());
    EXPECT_EQ(memo->getFormatCompleted(), 100);
  }
  auto* rx = dynamic_cast<MemoTextSample*>(t.d().RxSample);
  auto* tx = dynamic_cast<MemoTextSample*>(t.d().TxSample);
  ASSERT_NE(rx, nullptr);
  ASSERT_NE(tx, nullptr);
  // "DL0ABC" at 32..37 of the receive sample; the 30 characters of the sample's first line.
  EXPECT_EQ(std::string(TSetupForm::kRxSampleText).substr(32, 6), "DL0ABC");
  EXPECT_EQ(std::string(TSetupForm::kTxSampleText).find("\r\n"), 30u);
  EXPECT_EQ(rx->ColourAt(31), QColor(0, 0, 0));
  for (int i = 32; i <= 37; ++i) EXPECT_EQ(rx->ColourAt(i), QColor(0, 255, 0)) << i;
  EXPECT_EQ(rx->ColourAt(38), QColor(0, 0, 0));
  EXPECT_EQ(tx->ColourAt(29), QColor(255, 0, 0));
  EXPECT_EQ(tx->ColourAt(32), QColor(0, 0, 0));  // after the line break (CR LF at 30, 31)
  // A new call-sign colour is shown at once, on the same characters.
  t.fonts.colourAnswer = 0xFF0000;
  t.d().CallColorButton->click();
  EXPECT_EQ(rx->ColourAt(35), QColor(0, 0, 255));
  EXPECT_EQ(rx->ColourAt(38), QColor(0, 0, 0));
}

TEST(SetupForm, PortTypesBuildTheirListsAndDefaultPins) {
  struct Case {
    const char* type;
    int numbers;
    const char* firstNumber;
    const char* lastNumber;
    std::vector<std::string> pins;
    int ptt, power1, power2;
    int powerItems;
    bool wexlin;
  };
  const std::vector<std::string> lptPins = {"NONE",      "D0 (pin2)", "D1 (pin3)", "D2 (pin4)", "D3 (pin5)",
                                            "D4 (pin6)", "D5 (pin7)", "D6 (pin8)", "D7 (pin9)"};
  const Case cases[] = {
      {"NONE", 1, "", "", {""}, 0, 0, 0, 1, false},
      {"COM-Port", 99, "COM1", "COM99", {"NONE", "DTR", "RTS"}, 2, 0, 0, 3, false},
      {"LPT Port", 4, "LPT1", "LPT at address:", lptPins, 2, 7, 8, 9, false},
      {"LPT Port / Wexlin", 4, "LPT1", "LPT at address:", lptPins, 6, 7, 8, 9, true},
      {"OmniRig / COM-port pins", 2, "RIG1", "RIG2", {"NONE", "DTR", "RTS"}, 2, 0, 0, 3, false},
      {"OmniRig / CAT", 2, "RIG1", "RIG2", {""}, 0, 0, 0, 1, false},
      {"WinKey", 99, "COM1", "COM99", {"PTT1", "PTT2"}, 0, 0, 0, 1, false},
  };
  Opened t;
  TSetupForm& d = t.d();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    Choose(d.PortTypeBox, c.type);
    ASSERT_EQ(d.PortNumberBox->count(), c.numbers);
    EXPECT_EQ(d.PortNumberBox->itemText(0).toStdString(), c.firstNumber);
    EXPECT_EQ(d.PortNumberBox->itemText(c.numbers - 1).toStdString(), c.lastNumber);
    std::vector<std::string> pins;
    for (int i = 0; i < d.PttPinBox->count(); ++i) pins.push_back(d.PttPinBox->itemText(i).toStdString());
    EXPECT_EQ(pins, c.pins);
    EXPECT_EQ(d.PttPinBox->currentIndex(), c.ptt);
    EXPECT_EQ(d.Power1PinBox->currentIndex(), c.power1);
    EXPECT_EQ(d.Power2PinBox->currentIndex(), c.power2);
    EXPECT_EQ(d.Power1PinBox->count(), c.powerItems);
    EXPECT_EQ(d.Power2PinBox->count(), c.powerItems);
    EXPECT_EQ(d.WexlinPinsLabel->isVisibleTo(&d), c.wexlin);
  }
  // The port index is kept where the new list has it: COM5, then RIG1 (5 is past RIG2).
  Choose(d.PortTypeBox, "COM-Port");
  Choose(d.PortNumberBox, "COM5");
  Choose(d.PortTypeBox, "WinKey");
  EXPECT_EQ(d.PortNumberBox->currentText().toStdString(), "COM5");
  Choose(d.PortTypeBox, "OmniRig / CAT");
  EXPECT_EQ(d.PortNumberBox->currentText().toStdString(), "RIG1");
  // The address edit only for "LPT at address:".
  Choose(d.PortTypeBox, "LPT Port");
  EXPECT_FALSE(d.XPortEdit->isVisibleTo(&d));
  Choose(d.PortNumberBox, "LPT at address:");
  EXPECT_TRUE(d.XPortEdit->isVisibleTo(&d));
}

TEST(SetupForm, WithoutThePortDriverTheParallelPortTypesAreNone) {
  Opened t([](TRxForm& w) { w.ports().SetPortDriverMissing(); });
  TSetupForm& d = t.d();
  EXPECT_EQ(d.PortTypeBox->itemText(2).toStdString(), "NONE");
  EXPECT_EQ(d.PortTypeBox->itemText(3).toStdString(), "NONE");
  for (int item : {2, 3}) {
    Choose(d.PortTypeBox, item);
    EXPECT_EQ(d.PortTypeBox->currentIndex(), 0);
    EXPECT_EQ(d.PortNumberBox->count(), 1);
  }
  // The same item chosen without the port change handler (as a client could): Apply makes it
  // "NONE" before it compares.
  d.PortTypeBox->setCurrentIndex(2);
  d.ApplySetupDialog();
  EXPECT_EQ(d.PortTypeBox->currentIndex(), 0);
  EXPECT_FALSE(t.parts.Has("SetPttPort 2 1 2 7 8"));
}

TEST(SetupForm, TheExchangePortOnThePttPortDisablesAndClearsFsk) {
  Opened t([](TRxForm& w) {
    w.settings().PttPortType = 1;
    w.settings().PttPortNumber = 3;
    w.settings().UseTxD = 1;
  });
  TSetupForm& d = t.d();
  EXPECT_TRUE(d.FskCheckBox->isEnabled());
  EXPECT_TRUE(d.FskCheckBox->isChecked());
  Choose(d.DataExBox, "COM3");
  EXPECT_FALSE(d.FskCheckBox->isEnabled());
  EXPECT_FALSE(d.FskCheckBox->isChecked());
  // Another port: enabled again, with the value the dialog was filled with.
  Choose(d.DataExBox, "COM4");
  EXPECT_TRUE(d.FskCheckBox->isEnabled());
  EXPECT_TRUE(d.FskCheckBox->isChecked());
  // Any type but COM: disabled.
  Choose(d.PortTypeBox, "WinKey");
  EXPECT_FALSE(d.FskCheckBox->isEnabled());
  EXPECT_FALSE(d.FskCheckBox->isChecked());
}

TEST(SetupForm, APowerPinOnThePttPinIsReset) {
  Opened t([](TRxForm& w) {
    w.settings().PttPortType = 2;
    w.settings().PttPin = 2;
    w.settings().PowerPin1 = 7;
    w.settings().PowerPin2 = 8;
  });
  TSetupForm& d = t.d();
  Choose(d.PttPinBox, 7);
  EXPECT_EQ(d.Power1PinBox->currentIndex(), 0);
  EXPECT_EQ(d.Power2PinBox->currentIndex(), 8);
  Choose(d.Power2PinBox, 7);  // the PTT pin again
  EXPECT_EQ(d.Power2PinBox->currentIndex(), 0);
  Choose(d.Power1PinBox, 3);
  EXPECT_EQ(d.Power1PinBox->currentIndex(), 3);
  d.ApplySetupDialog();
  EXPECT_EQ(t.parts.Count("SetPttPort 2 1 7 3 0"), 1);
}

TEST(SetupForm, TimeZonesAndOtherFieldCodesFollowTheirTables) {
  Opened t;
  TSetupForm& d = t.d();
  for (int i = 0; i < d.TimeZoneBox->count(); ++i) {
    Choose(d.TimeZoneBox, i);
    Choose(d.UseOtherAsBox, i % d.UseOtherAsBox->count());
    d.ApplySetupDialog();
    EXPECT_EQ(t.s().UTCoffset, TimeZoneItems()[size_t(i)].value) << i;
    EXPECT_EQ(t.s().UseOther, UseOtherItems()[size_t(i) % UseOtherItems().size()].value) << i;
  }
  const std::pair<const char*, int32_t> spot[] = {{"By OS", -1}, {"UTC -12:00", 720},  {"UTC -03:30", 210},
                                                  {"UTC", 0},    {"UTC +05:45", -345}, {"UTC +13:00", -780}};
  for (const auto& [caption, minutes] : spot) {
    Choose(d.TimeZoneBox, caption);
    d.ApplySetupDialog();
    EXPECT_EQ(t.s().UTCoffset, minutes) << caption;
  }
  const std::pair<const char*, int32_t> other[] = {{"NONE", 0},
                                                   {"Received RST", 64},
                                                   {"Received Number", 0x100000},
                                                   {"Sent Number", 0x80000},
                                                   {"QTH", 256},
                                                   {"QSL Via", 512},
                                                   {"Remarks", 1024},
                                                   {"State", 4096},
                                                   {"Subdiv", 0x200000},
                                                   {"Grid", 2048},
                                                   {"IOTA", 8192}};
  ASSERT_EQ(d.UseOtherAsBox->count(), 11);
  for (const auto& [caption, code] : other) {
    Choose(d.UseOtherAsBox, caption);
    d.ApplySetupDialog();
    EXPECT_EQ(t.s().UseOther, code) << caption;
  }
}

TEST(SetupForm, EighteenModeNamesOfTwentyThreeAreEdited) {
  Opened t([](TRxForm& w) {
    auto& names = w.engine().modeSwitch.ModeReportNames;
    for (int m = 0; m < kModeCount; ++m) names[size_t(m)] = std::string("M").append(std::to_string(m));
  });
  TSetupForm& d = t.d();
  ASSERT_EQ(d.ModeAsBox->count(), 18);
  const std::pair<const char*, int> items[] = {
      {"RTTY", 0},         {"ASCII-7", 2},     {"ASCII-8", 4},  {"AMTOR-FEC", 6},   {"AMTOR-ARQ", 14},
      {"PACTOR1-FEC", 18}, {"PS2x5", 20},      {"PS33x5", 22},  {"BPSK-31", 1},     {"QPSK-31", 3},
      {"BPSK-63", 5},      {"QPSK-63", 9},     {"BPSK-125", 7}, {"MultiFSK-8", 16}, {"MultiFSK-16", 12},
      {"AX25 (HF)", 8},    {"AX25 (UHF)", 10}, {"DTMF", 11}};
  for (const auto& [caption, mode] : items) {
    Choose(d.ModeAsBox, caption);
    EXPECT_EQ(Shown(d.ModeAsEdit), std::string("M").append(std::to_string(mode))) << caption;
    Type(d.ModeAsEdit, QStringLiteral("  N%1 ").arg(mode));
  }
  d.ApplySetupDialog();
  const auto& names = t.w().engine().modeSwitch.ModeReportNames;
  for (int m = 0; m < kModeCount; ++m) {
    const bool edited = m != 13 && m != 15 && m != 17 && m != 19 && m != 21;
    EXPECT_EQ(names[size_t(m)], std::string(edited ? "N" : "M").append(std::to_string(m))) << m;
  }
}

std::vector<std::string> ReopeningCalls(const RecordingFormParts& p) {
  static const char* const kReopening[] = {
      "ClosePortsToReopen", "SetPttPort",          "SetDataExchangePort",   "ExchangeInit",
      "CloseSoundInput",    "CloseSoundOutput",    "OpenSoundInput",        "OpenSoundOutput",
      "RigRestart",         "ApplySpeedShiftMode", "BuildWaterfallPalette", "SetOwnCall"};
  std::vector<std::string> out;
  for (const std::string& e : p.log) {
    for (const char* r : kReopening) {
      if (e.rfind(r, 0) == 0) out.push_back(e);
    }
  }
  return out;
}

TEST(SetupForm, ApplyWithNothingTouchedReopensNothingAndChangesNoSetting) {
  // The defaults, and a hand-edited file with values that no list holds.
  const std::function<void(TRxForm&)> cases[] = {{}, [](TRxForm& w) {
                                                   TAppSettings& s = w.settings();
                                                   s.PttPortType = 1;
                                                   s.PttPortNumber = 150;
                                                   s.PttPin = 9;
                                                   s.PowerPin1 = 5;
                                                   s.ExchangePortNumber = 120;
                                                   s.ExchangeSpeed = 5;
                                                   s.ExCanal = 12;
                                                   s.MessageChannel = 11;
                                                   s.UTCoffset = 7;
                                                   s.UseOther = 3;
                                                   s.SoundCardNumber = 9;
                                                   s.OutSoundCardNumber = 9;
                                                   s.InputCardChannel = 5;
                                                   s.TuneRig = 7;
                                                   s.RigNumber = 3;
                                                   s.VFOBoffset = 12345;
                                                   s.WheelSpeed = 50;
                                                   s.WordMode = 5;
                                                   s.UseTxD = 5;
                                                   s.MyCall = "dl1abc";
                                                   s.SamplingFreq = 11025.123456;
                                                   s.Waterfall.H0 = 0.7005;
                                                   w.engine().params.BaudotCodeSet = 9;
                                                   w.engine().modeSwitch.ModeReportNames[0] =
                                                       "R\x98Y ";  // a byte code page 1251 leaves unused
                                                 }};
  for (const auto& before : cases) {
    Opened t(before);
    const TAppSettings settings = t.s();
    const auto names = t.w().engine().modeSwitch.ModeReportNames;
    const TModemParams params = t.w().engine().params;
    // Every list shows one of its items.
    for (QComboBox* box : t.dialog->findChildren<QComboBox*>()) {
      EXPECT_GE(box->currentIndex(), 0) << box->objectName().toStdString();
      EXPECT_LT(box->currentIndex(), box->count()) << box->objectName().toStdString();
    }
    t.d().SetupApplyClick();
    t.d().SetupOKClick();
    EXPECT_EQ(ReopeningCalls(t.parts), std::vector<std::string>{});
    EXPECT_TRUE(t.parts.inputRates.empty());
    EXPECT_TRUE(t.parts.soundDevices.empty());
    EXPECT_TRUE(t.s() == settings);
    EXPECT_EQ(t.w().engine().modeSwitch.ModeReportNames, names);
    EXPECT_EQ(t.w().engine().params.BaudotCodeSet, params.BaudotCodeSet);
    EXPECT_TRUE(t.parts.boxes.empty());
  }
}

TEST(SetupForm, ValuesNoListHoldsSelectTheFirstItem) {
  Opened t([](TRxForm& w) {
    TAppSettings& s = w.settings();
    s.PttPortType = 1;
    s.PttPortNumber = 150;
    s.ExCanal = 12;
    s.UTCoffset = 7;
    s.SoundCardNumber = 3;  // the fake card has three: 0..2
    s.OutSoundCardNumber = 3;
  });
  TSetupForm& d = t.d();
  EXPECT_EQ(Shown(d.PortNumberBox), "COM1");
  EXPECT_EQ(Shown(d.ExCanalBox), "NONE");
  EXPECT_EQ(Shown(d.TimeZoneBox), "By OS");
  EXPECT_EQ(Shown(d.InputCardNumBox), "DEFAULT");
  EXPECT_EQ(Shown(d.OutputCardNumBox), "The same as Input");
  // The device lists: "DEFAULT", then each device as its number, two blanks and its name.
  ASSERT_EQ(d.InputCardNumBox->count(), 4);
  EXPECT_EQ(d.InputCardNumBox->itemText(3).toStdString(), "2  pulse");
  ASSERT_EQ(d.OutputCardNumBox->count(), 5);
  EXPECT_EQ(d.OutputCardNumBox->itemText(1).toStdString(), "DEFAULT");
  EXPECT_EQ(d.OutputCardNumBox->itemText(2).toStdString(), "0  plughw:CARD=A");
}

TEST(SetupForm, OnlyTheExchangeSpeedReopensBothPortsOnce) {
  Opened t([](TRxForm& w) {
    w.settings().PttPortType = 1;
    w.settings().PttPortNumber = 2;
    w.settings().ExchangePortNumber = 4;
  });
  t.d().ExSpeedBox->setEditText(QStringLiteral("57600"));
  t.d().ApplySetupDialog();
  EXPECT_EQ(ReopeningCalls(t.parts), (std::vector<std::string>{"ClosePortsToReopen", "SetPttPort 1 2 2 0 0",
                                                               "SetDataExchangePort 4"}));
  EXPECT_EQ(t.s().ExchangeSpeed, 57600);
}

TEST(SetupForm, AnExchangeSpeedOutsideTheLoadersRangeBecomes9600) {
  for (const char* typed : {"0", "5", "5000000", "fast", "9600.5", ""}) {
    SCOPED_TRACE(typed);
    Opened t([](TRxForm& w) { w.settings().ExchangeSpeed = 4800; });
    t.d().ExSpeedBox->setEditText(QString::fromLatin1(typed));
    t.d().ApplySetupDialog();
    EXPECT_EQ(t.s().ExchangeSpeed, 9600);
  }
}

TEST(SetupForm, OnlyTheInputDeviceReopensTheInputWhileTheDevicesAreBusy) {
  for (const bool transmitting : {false, true}) {
    SCOPED_TRACE(transmitting);
    Opened t;
    t.parts.transmitting = transmitting;
    bool busyAtOpen = false;
    t.parts.onOpenSoundInput = [&] { busyAtOpen = t.w().engine().tx.SoundDevicesBusy.load(); };
    Choose(t.d().InputCardNumBox, "1  plughw:CARD=B");
    t.d().ApplySetupDialog();
    std::vector<std::string> expected = {"CloseSoundOutput", "CloseSoundInput", "OpenSoundInput"};
    // While transmitting: back to receive first, PTT off, and the playback device closed
    // before the devices change.
    if (transmitting) expected.insert(expected.begin(), "CloseSoundOutput");
    EXPECT_EQ(ReopeningCalls(t.parts), expected);
    if (transmitting) {
      const auto ptt = std::find(t.parts.log.begin(), t.parts.log.end(), "SetPtt 0");
      ASSERT_NE(ptt, t.parts.log.end());
      EXPECT_LT(ptt, std::find(t.parts.log.begin(), t.parts.log.end(), "CloseSoundInput"));
    }
    EXPECT_TRUE(busyAtOpen);
    EXPECT_FALSE(t.w().engine().tx.SoundDevicesBusy);
    EXPECT_EQ(t.s().SoundCardNumber, 1);
    ASSERT_EQ(t.parts.soundDevices.size(), 1u);
    EXPECT_EQ(t.parts.soundDevices[0].SoundCardNumber, 1);
    // The 100 ms pause: ten sleeps with messages processed between them.
    EXPECT_GE(t.parts.processRounds, 10);
  }
}

TEST(SetupForm, RatesOutsideTheLoadersRangeKeepTheOldRateAndTinyChangesAreNone) {
  struct Case {
    const char* typed;
    double rate;  // after Apply
    bool reapplied;
  };
  const Case cases[] = {
      {"7999", 11025.0, false},        {"inf", 11025.0, false},  {"1e12", 11025.0, false},
      {"nan", 11025.0, false},         {"abc", 11025.0, false},  {"384001", 11025.0, false},
      {"11025.00005", 11025.0, false}, {"48000", 48000.0, true}, {"8000", 8000.0, true},
      {"11025,5", 11025.5, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    Opened t;
    Type(t.d().InSamplingRateEdit, QString::fromLatin1(c.typed));
    t.d().ApplySetupDialog();
    EXPECT_EQ(t.s().SamplingFreq, c.rate);
    EXPECT_EQ(t.parts.Has("ApplySpeedShiftMode"), c.reapplied);
    EXPECT_EQ(t.parts.inputRates.size(), c.reapplied ? 1u : 0u);
    // The edit shows the rate in use.
    EXPECT_EQ(Shown(t.d().InSamplingRateEdit), FormatSampleRate(c.rate));
  }
}

TEST(SetupForm, TheVfoBOffsetShowsItsSignAndKeepsItsValueForABadEdit) {
  const std::pair<const char*, int32_t> cases[] = {{"-0050", -50}, {"+9999", 9999}, {"-9999", -9999},
                                                   {"77", 77},     {"10000", 300},  {"-10000", 300},
                                                   {"12abc", 300}, {"", 300},       {"1e3", 300}};
  for (const auto& [typed, expected] : cases) {
    SCOPED_TRACE(typed);
    Opened t([](TRxForm& w) { w.settings().VFOBoffset = 300; });
    EXPECT_EQ(Shown(t.d().TuneBAEdit), "+0300");
    Type(t.d().TuneBAEdit, QString::fromLatin1(typed));
    t.d().ApplySetupDialog();
    EXPECT_EQ(t.s().VFOBoffset, expected);
    EXPECT_EQ(Shown(t.d().TuneBAEdit), FormatVfoOffset(expected));
  }
}

TEST(SetupForm, ACallSignIsTrimmedUpperCasedAndCutInTheReceiveWindowsCodePage) {
  struct Case {
    QString typed;
    int charset;
    std::string stored;
  };
  const Case cases[] = {
      {QStringLiteral(" dl1abc "), 204, "DL1ABC"},
      {QStringLiteral("  ab1cdefghijklm nopq"), 204, "AB1CDEFGHIJKLM"},  // 15, then trimmed again
      {QString::fromUtf8("ра3аа"), 204,
       "\xD0\xC0"
       "3\xC0\xC0"},  // Cyrillic in windows-1251
      {QString::fromUtf8("oé1x"), 0,
       "O\xC9"
       "1X"},  // windows-1252
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed.toStdString());
    Opened t([&c](TRxForm& w) { w.settings().RxFont.FontCharset = c.charset; });
    Type(t.d().MyCallEdit, c.typed);
    t.d().ApplySetupDialog();
    EXPECT_EQ(t.s().MyCall, c.stored);
    EXPECT_EQ(t.parts.Count("SetOwnCall " + c.stored), 1);
    // Shown again as it is stored: the next Apply changes nothing.
    t.parts.log.clear();
    t.d().ApplySetupDialog();
    EXPECT_EQ(t.s().MyCall, c.stored);
    EXPECT_FALSE(t.parts.Has("SetOwnCall " + c.stored));
  }
}

TEST(SetupForm, CancelAfterAFontChangeLeavesTheWindowsAndSettings) {
  Opened t;
  const TAppSettings before = t.s();
  const QFont rxFont = t.w().RxMemo->font();
  TFontSetting chosen = t.s().RxFont;
  chosen.FontSize = 31;
  t.fonts.fontAnswer = chosen;
  t.d().RxFontButton->click();
  t.fonts.colourAnswer = 0x00FFFF;
  t.d().DisplayColourButtons[0]->click();
  EXPECT_TRUE(t.d().FontsChanged);
  t.d().CancelButton->click();
  EXPECT_FALSE(t.d().isVisible());
  EXPECT_EQ(t.w().RxMemo->font(), rxFont);
  EXPECT_TRUE(t.s() == before);
  EXPECT_FALSE(t.parts.Has("PaintSpectrum"));
  // The next showing takes the samples from the windows again.
  t.w().ShowSetup(0);
  EXPECT_EQ(t.d().RxFont, before.RxFont);
  EXPECT_EQ(t.d().Colours[0], before.FFTBackground);
  EXPECT_FALSE(t.d().FontsChanged);
  EXPECT_EQ(t.d().RxSample->Widget().font().pointSize(), before.RxFont.FontSize);
}

TEST(SetupForm, ClosingByTheTitleBarIsCancel) {
  Opened t;
  Choose(t.d().MessageChannelBox, "5");
  t.w().engine().display.DisplayPause = 3000;
  t.d().close();
  EXPECT_FALSE(t.d().isVisible());
  EXPECT_EQ(t.s().MessageChannel, 1);
  EXPECT_EQ(t.w().engine().display.DisplayPause, 0);
}

TEST(SetupForm, RigTuningThatFailsToStartShowsNone) {
  Opened t;
  t.parts.onRigRestart = [&] {
    t.s().TuneRig = 0;
    t.s().TuneVFOBtoA = 0;
  };
  Choose(t.d().TuneRigByBox, "RIT");
  t.d().TuneBABox->setChecked(true);
  t.d().ApplySetupDialog();
  EXPECT_EQ(t.parts.Count("RigRestart"), 1);
  EXPECT_EQ(Shown(t.d().TuneRigByBox), "NONE");
  EXPECT_EQ(Shown(t.d().TuneBABox), "0");
  EXPECT_EQ(t.s().TuneRig, 0);
  // Nothing changed since: no second start.
  t.d().ApplySetupDialog();
  EXPECT_EQ(t.parts.Count("RigRestart"), 1);
}

TEST(SetupForm, TheRigServersSetupTellsThatRigctldHasNoDialogAndRestartsRigControl) {
  for (const int result : {0, 1}) {
    SCOPED_TRACE(result);
    Opened t;
    t.parts.rigSetupResult = result;
    t.d().ShowOmniSetupButton1->click();
    EXPECT_TRUE(t.parts.Has("RigSetupDialog"));
    ASSERT_EQ(t.parts.boxes.size(), 1u);
    EXPECT_EQ(t.parts.boxes[0].first, result == 0 ? "OmniRig" : "OmniRig Error");
    EXPECT_NE(t.parts.boxes[0].second.find("rigctld has no setup dialog"), std::string::npos);
    EXPECT_EQ(t.parts.boxes[0].second.find("Problem with OmniRig starting!") != std::string::npos,
              result != 0);
    t.d().ApplySetupDialog();
    EXPECT_EQ(t.parts.Count("RigRestart"), 1);
    EXPECT_FALSE(t.d().OmniSetupUsed);
  }
}

TEST(SetupForm, ASecondClickDuringTheWaitsOfApplyDoesNothing) {
  Opened t;
  Choose(t.d().InputCardNumBox, "2  pulse");
  Choose(t.d().ExCanalBox, "3");
  int inner = 0;
  t.parts.onProcessMessages = [&] {
    ++inner;
    t.d().SetupApplyClick();
    t.d().SetupSaveClick();
    t.d().SetupOKClick();
    t.d().close();
  };
  t.d().SetupApplyClick();
  t.parts.onProcessMessages = nullptr;
  EXPECT_GT(inner, 0);
  EXPECT_EQ(t.parts.Count("ExchangeInit 3"), 1);
  EXPECT_EQ(t.parts.Count("OpenSoundInput"), 1);
  EXPECT_TRUE(t.d().isVisible());
  // The flag is cleared again.
  Choose(t.d().ExCanalBox, "4");
  t.d().SetupApplyClick();
  EXPECT_EQ(t.parts.Count("ExchangeInit 4"), 1);
}

TEST(SetupForm, AFailedExchangeLibraryIsReported) {
  Opened t;
  t.parts.exchangeOk = false;
  Choose(t.d().ExCanalBox, "2");
  t.d().ApplySetupDialog();
  EXPECT_FALSE(t.w().ExchangeLibraryActive);
  ASSERT_EQ(t.parts.boxes.size(), 1u);
  EXPECT_EQ(t.parts.boxes[0],
            std::make_pair(std::string("Error"), std::string("ZOZARIRI.DLL initialization error!")));
}

TEST(SetupForm, HalfDuplexClosesTheDeviceTheOtherDirectionDoesNotUse) {
  for (const bool transmitting : {false, true}) {
    SCOPED_TRACE(transmitting);
    Opened t([](TRxForm& w) {
      w.settings().UseDuplex = 1;
      w.engine().tx.UseDuplex = true;
    });
    t.parts.transmitting = transmitting;
    t.d().DuplexCardBox->setChecked(false);
    t.d().ApplySetupDialog();
    EXPECT_EQ(ReopeningCalls(t.parts),
              std::vector<std::string>{transmitting ? "CloseSoundInput" : "CloseSoundOutput"});
    EXPECT_FALSE(t.w().engine().tx.UseDuplex);
  }
}

TEST(SetupForm, ShowSetupSelectsPagesOneToNineAndStaysOnTop) {
  Opened t;
  for (int page = 1; page <= 9; ++page) {
    t.d().PageControl->setCurrentIndex(9);
    t.w().ShowSetup(page);
    EXPECT_EQ(t.d().PageControl->currentIndex(), page - 1) << page;
  }
  for (int page : {0, 10, -1}) {
    t.d().PageControl->setCurrentIndex(9);
    t.w().ShowSetup(page);
    EXPECT_EQ(t.d().PageControl->currentIndex(), 9) << page;
  }
  EXPECT_TRUE(t.d().isVisible());
  EXPECT_TRUE(t.d().windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(t.w().engine().display.DisplayPause, 3000);
  t.d().SetupOKClick();
  EXPECT_FALSE(t.d().isVisible());
  EXPECT_EQ(t.w().engine().display.DisplayPause, 0);
  // The menu item fills the dialog anew.
  t.s().MessageChannel = 6;
  t.w().MenuItem("Setup")->trigger();
  EXPECT_TRUE(t.d().isVisible());
  EXPECT_EQ(Shown(t.d().MessageChannelBox), "6");
}

TEST(SetupForm, TheWaterfallPreviewPaintsThePaletteAndTheMarks) {
  Opened t([](TRxForm& w) {
    w.settings().Waterfall.RxMarkColor = 0x0000FF;
    w.settings().Waterfall.TxMarkColor = 0x00FF00;
  });
  WaterfallPreview& wf = *t.d().WfImage;
  const int w = wf.width(), h = wf.height();
  Type(t.d().CoefficientEdits[0], QStringLiteral("+0.20"));
  EXPECT_TRUE(t.d().WaterfallChanged);
  TWaterfallSettings expected = t.s().Waterfall;
  expected.H0 = 0.2;
  for (int x : {0, w / 2, w - 1}) {
    if (x == wf.MarkColumn()) continue;
    const TRgb c = WaterfallColour(expected, double(x) / w);
    EXPECT_EQ(wf.PixelAt(x, 0), QColor(c.r, c.g, c.b)) << x;
    EXPECT_EQ(wf.PixelAt(x, h - 1), QColor(c.r, c.g, c.b)) << x;
  }
  t.d().WfImageMouseDown(40);
  EXPECT_EQ(wf.PixelAt(40, 0), QColor(255, 0, 0));      // RX mark over the whole height
  EXPECT_EQ(wf.PixelAt(40, h - 1), QColor(0, 255, 0));  // TX mark over the lower three quarters
  t.d().WfImageMouseMove(60, false);
  EXPECT_EQ(wf.MarkColumn(), 40);
  t.d().WfImageMouseMove(60, true);
  EXPECT_EQ(wf.MarkColumn(), 60);
  t.d().ApplySetupDialog();
  EXPECT_DOUBLE_EQ(t.s().Waterfall.H0, 0.2);
  EXPECT_DOUBLE_EQ(t.s().Waterfall.H1, -0.9);  // the edits left alone keep their values
}

// A decimal comma in the user's locale: the coefficients still show and read with ".".
TEST(SetupForm, WaterfallCoefficientsAreLocaleFree) {
  test::TestDir dir;
  const std::string command =
      "localedef -i de_DE -f UTF-8 '" + (dir.path() / "de_DE.UTF-8").string() + "' 2>/dev/null";
  if (std::system(command.c_str()) != 0) GTEST_SKIP() << "localedef cannot make de_DE.UTF-8";
  setenv("LOCPATH", dir.path().c_str(), 1);
  const std::string old = std::setlocale(LC_ALL, nullptr);
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "de_DE.UTF-8 cannot be used";
  char printed[16];
  std::snprintf(printed, sizeof printed, "%.2f", 0.7);
  EXPECT_STREQ(printed, "0,70");  // the locale is in force
  {
    Opened t;
    EXPECT_EQ(Shown(t.d().CoefficientEdits[0]), "+0.70");
    EXPECT_EQ(Shown(t.d().CoefficientEdits[1]), "-0.90");
    EXPECT_EQ(Shown(t.d().InSamplingRateEdit), "11025.00");
    Type(t.d().CoefficientEdits[3], QStringLiteral("+0.55"));
    t.d().ApplySetupDialog();
    EXPECT_DOUBLE_EQ(t.s().Waterfall.S1, 0.55);
    EXPECT_DOUBLE_EQ(t.s().Waterfall.H0, 0.7);
  }
  std::setlocale(LC_ALL, old.c_str());
  unsetenv("LOCPATH");
}

// Save: the dialog's values are applied and written; the file loads back to what it shows.
using SetupFileTest = test::WorkingDirTest;

TEST_F(SetupFileTest, SaveWritesTheFileThatLoadsBackToTheDialogsSettings) {
  TSettingsFile file(Store(""));
  Opened t({}, [&file](TRxFormDeps& d) { d.settings = &file; });
  Type(t.d().MyCallEdit, QStringLiteral("dk0xyz"));
  Choose(t.d().TimeZoneBox, "UTC +02:00");
  Choose(t.d().OutputCardNumBox, "DEFAULT");
  Type(t.d().CoefficientEdits[5], QStringLiteral("+0.25"));
  Choose(t.d().ModeAsBox, "BPSK-31");
  Type(t.d().ModeAsEdit, QStringLiteral("PSK"));
  t.d().WithCallBox->setChecked(false);
  t.d().SaveButton->click();
  EXPECT_TRUE(t.parts.boxes.empty());
  EXPECT_TRUE(t.d().isVisible());

  SettingsValues loaded;
  IniFile ini;
  ASSERT_EQ(ini.Load("VESTREL.INI"), IniFile::LoadResult::kLoaded);
  ReadSettings(ini, loaded.Targets());
  const TAppSettings& s = t.s();
  EXPECT_EQ(loaded.settings.MyCall, "DK0XYZ");
  EXPECT_EQ(loaded.settings.UTCoffset, -120);
  EXPECT_EQ(loaded.settings.OutSoundCardNumber, -1);
  EXPECT_DOUBLE_EQ(loaded.settings.Waterfall.L1, 0.25);
  EXPECT_EQ(loaded.settings.WithCall, 0);
  EXPECT_EQ(loaded.modeReportNames[kModeBpsk31], "PSK");
  // Every setting the file holds is the one the dialog left.
  TAppSettings fromFile = loaded.settings;
  fromFile.RxFreq = s.RxFreq;  // the fallback bins are not saved
  fromFile.TxFreq = s.TxFreq;
  EXPECT_TRUE(fromFile == s);
  // A dialog filled from the loaded file shows the same.
  Opened again([&loaded](TRxForm& w) {
    w.settings() = loaded.settings;
    w.engine().modeSwitch.ModeReportNames = loaded.modeReportNames;
    w.engine().modeSwitch.ReportModeWhenChanged = loaded.reportModeWhenChanged;
  });
  for (QWidget* c : t.dialog->findChildren<QWidget*>()) {
    if (c->objectName().isEmpty() || Shown(c) == "?") continue;
    auto* other = again.dialog->findChild<QWidget*>(c->objectName());
    ASSERT_NE(other, nullptr);
    if (c == t.d().ModeAsBox || c == t.d().ModeAsEdit) continue;  // which mode is shown is the dialog's own
    EXPECT_EQ(Shown(other), Shown(c)) << c->objectName().toStdString();
  }
}

}  // namespace
}  // namespace vestrel

namespace vestrel {
namespace {

// As a new user: open Setup, set the call sign, the sound devices and a font, Save, start the
// program again. The real engine runs on the fake sound card; the settings file is the real one.
TEST_F(SetupFileTest, ANewUsersCallDevicesAndFontAreKeptAndAppliedAfterARestart) {
  TSettingsFile file(Store(""));
  FakeWaveBackend card;
  ThreeDevices(card);
  auto start = [&](RecordingFormParts& parts) {
    return std::make_unique<Form>(parts, UniqueSemaphoreName("newuser"), std::vector<std::string>{}, nullptr,
                                  false, &card, [&file](TRxFormDeps& d) { d.settings = &file; });
  };
  {
    RecordingFormParts parts;
    auto f = start(parts);
    f->Ticks(20);
    EXPECT_EQ(card.in.device, kWaveDefaultDevice);
    test::FakeFontDialogs fonts;
    TSetupForm dialog(*f->form, {&fonts, &card});
    f->form->SetForms(nullptr, &dialog, nullptr);
    f->form->MenuItem("Setup")->trigger();
    ASSERT_TRUE(dialog.isVisible());
    Type(dialog.MyCallEdit, QStringLiteral("dl9new"));
    Choose(dialog.InputCardNumBox, "2  pulse");
    Choose(dialog.OutputCardNumBox, "1  plughw:CARD=B");
    TFontSetting font = f->form->settings().RxFont;
    font.FontName = "DejaVu Sans Mono";
    font.FontSize = 14;
    font.FontStyle = 0;
    fonts.fontAnswer = font;
    dialog.RxFontButton->click();
    dialog.SaveButton->click();
    // Applied at once: the capture device is the chosen one, the window has the font.
    EXPECT_EQ(card.in.device, 2);
    EXPECT_TRUE(f->form->sound().InputOpen());
    EXPECT_EQ(f->form->RxMemo->font().pointSize(), 14);
    dialog.OKButton->click();
    EXPECT_FALSE(dialog.isVisible());
    for (const auto& [caption, text] : parts.boxes) ADD_FAILURE() << caption << ": " << text;
  }
  card.in = {};
  RecordingFormParts parts;
  auto f = start(parts);
  f->Ticks(20);
  const TAppSettings& s = f->form->settings();
  EXPECT_EQ(s.MyCall, "DL9NEW");
  EXPECT_EQ(s.SoundCardNumber, 2);
  EXPECT_EQ(s.OutSoundCardNumber, 1);
  EXPECT_EQ(card.in.device, 2);
  EXPECT_TRUE(f->form->sound().InputOpen());
  EXPECT_EQ(s.RxFont.FontName, "DejaVu Sans Mono");
  EXPECT_EQ(f->form->RxMemo->font().pointSize(), 14);
  EXPECT_EQ(f->form->RxMemo->font().family().toStdString(), "DejaVu Sans Mono");
  // A transmission would open the chosen playback device.
  f->form->sound().OpenSoundOutput();
  EXPECT_EQ(card.out.device, 1);
  f->form->sound().CloseSoundOutput();
}

// The engine's own transmit state: a device change while transmitting ends the transmission
// (PTT off, back to receive) before the devices close, and the new capture device opens.
TEST(SetupForm, ADeviceChangeWhileTransmittingReturnsTheEngineToReceiveFirst) {
  FakeWaveBackend card;
  ThreeDevices(card);
  RecordingFormParts parts;
  Form f(parts, UniqueSemaphoreName("txdev"), {}, nullptr, false, &card);
  f.Ticks(20);
  test::FakeFontDialogs fonts;
  TSetupForm dialog(*f.form, {&fonts, &card});
  f.form->SetForms(nullptr, &dialog, nullptr);
  f.form->ShowSetup(1);
  TEngine& engine = f.form->engine();
  f.form->sound().OpenSoundOutput();
  engine.tx.TxState = 2;
  engine.tx.TxActive = true;
  parts.log.clear();
  bool receivingWhenClosed = false;
  parts.onProcessMessages = [&] { receivingWhenClosed = engine.tx.TxState == 0 && !engine.tx.TxActive; };
  Choose(dialog.InputCardNumBox, "0  plughw:CARD=A");
  dialog.ApplySetupDialog();
  EXPECT_TRUE(receivingWhenClosed);  // already during the pause before the devices close
  EXPECT_EQ(engine.tx.TxState, 0);
  EXPECT_TRUE(parts.Has("SetPtt 0"));
  EXPECT_TRUE(parts.Has("Notify 110"));  // the logger hears of the return to receive
  EXPECT_FALSE(f.form->sound().OutputOpen());
  EXPECT_TRUE(f.form->sound().InputOpen());
  EXPECT_EQ(card.in.device, 0);
  EXPECT_FALSE(engine.tx.SoundDevicesBusy);
}

}  // namespace
}  // namespace vestrel
