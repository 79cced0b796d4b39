// The settings file seen from the window: what the loaded values set, and what a save takes
// back from the controls.
#include <QApplication>
#include <QFont>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QToolButton>
#include <cstdlib>

#include "app/fast_macros_form.h"
#include "app/font_setting_qt.h"
#include "app/macros_form.h"
#include "app/rx_form.h"
#include "app/settings_file.h"
#include "memo/qt/styled_memo_widget.h"

namespace vestrel {

SettingsTargets TRxForm::Targets() {
  return {settings_, macroTable_, engine_->modeSwitch.ModeReportNames, engine_->modeSwitch.ReportModeWhenChanged};
}

void TRxForm::ShowDefaultDirectoryNotice(const std::string& notice) {
  RxMemo->SetTextBuf(ToBytes(notice));
}

void TRxForm::ApplyLoadedSettings() {
  const TAppSettings& s = settings_;
  TModemParams& p = engine_->params;
  // The mode record; StartEngine switches speed, shift and mode from it.
  ApplyToModemParams(s, p);
  engine_->rates.OutSamplingFreq = s.OutSamplingFreq;
  engineDriver_->SetSoundDevices({s.SoundCardNumber, s.InputCardChannel, s.OutSoundCardNumber});

  TTxState& tx = engine_->tx;
  tx.UseDuplex = s.UseDuplex != 0;
  tx.NoDittle = s.NoDittle != 0;
  tx.RxAtFreeBuffer = s.RxAtFreeBuffer != 0;
  tx.UseTxD = s.UseTxD != 0;
  tx.ExtendedBaudot = s.ExtendedBaudot != 0;
  tx.OutputCardChannel = s.OutputCardChannel;
  engine_->baudot.UnshiftOnSpace = s.UnshiftOnSpace != 0 ? 1 : 0;
  engine_->baudot.ExtendedBaudot = s.ExtendedBaudot != 0 ? 1 : 0;
  if (s.ExtendedBaudot == 0) engine_->baudot.ResetThird();
  engine_->amtorFec.AmtorFastSync = s.DoFastSync != 0 ? 1 : 0;
  engine_->blockCapture.save = s.SavePs2x5 != 0;
  engine_->packetOutput.IsKISS = s.IsKISS != 0;

  if (OnTopButton->isChecked() != (s.OnTop != 0)) {
    OnTopButton->setChecked(s.OnTop != 0);
    OnTopButtonClick();
  }
  AfcButton->setChecked(s.AFC != 0);
  TxAfcButton->setChecked(s.TxAfc != 0);
  SqlButton->setChecked(s.IsSquelch != 0);
  SqlUpDown->setValue(s.SquelchThreshold);
  ReverseButton->setChecked(p.Reverse != 0);
  ApplyTuningSettings();
  BeaconUpDown->setValue(s.BeaconPeriod);
  if (s.DoFastSync != 0) SetMenuChecked("Fast Sync", true);
  if (s.UnshiftOnSpace != 0) SetPanelText(7, "UoS");
  display_.SetZoom(p.Zoom);
  ShowOscillogram(s.OscShow != 0);
  ShowEditFields(s.EditFieldsShow != 0);
  // The macro panel's saved height selects its rows; -1 leaves them as designed.
  if (s.ButMacroHeight != -1) ShowMacroRows(s.ButMacroHeight / kMacroButtonHeight);
  ApplyPaneSettings();
  // A beacon left on stays on: its first call comes after a full period.
  BeaconOn = s.IsBeacon != 0;
  BeaconSeconds = 0;
  BeaconButton->setChecked(BeaconOn);

  ApplyFontSettings();
}

namespace {

// An editor window's saved rectangle; -1 keeps that value as it is.
void ApplyWindowRect(QWidget* w, int left, int top, int height, int width) {
  if (w == nullptr) return;
  w->move(left != -1 ? left : w->x(), top != -1 ? top : w->y());
  w->resize(width != -1 ? width : w->width(), height != -1 ? height : w->height());
}

// An editor window's rectangle as a save writes it: kept as loaded while the window has never
// been on the screen and no value placed it.
void TakeWindowRect(const QWidget* w, int32_t& left, int32_t& top, int32_t& height, int32_t& width) {
  if (w == nullptr) return;
  if (!w->testAttribute(Qt::WA_WState_Created) && left == -1 && top == -1 && height == -1 && width == -1)
    return;
  left = w->x();
  top = w->y();
  height = w->height();
  width = w->width();
}

}  // namespace

int TRxForm::DisplayPaneExtra() const {
  // The spectrum fills its pane's height but for the scale and the tuning row.
  return ScalePanel->maximumHeight() + TunePanel->maximumHeight();
}

void TRxForm::ApplyPaneSettings() {
  const TAppSettings& s = settings_;
  // The fixed rows take their saved height while they are shown at all.
  if (s.DHeight > 1 && s.OscShow != 0) PaintBox1->setFixedHeight(s.DHeight);
  if (s.EditFieldsHeight > 1 && s.EditFieldsShow != 0) QsoPanel->setFixedHeight(s.EditFieldsHeight);
  QList<int> sizes = Panes->sizes();
  auto set = [&](QWidget* pane, int32_t height) {
    if (height != -1) sizes[Panes->indexOf(pane)] = std::max(height, 1);
  };
  set(RxMemo, s.RHeight);
  set(DisplayPane, s.FHeight == -1 ? -1 : s.FHeight + DisplayPaneExtra());
  set(Sent, s.SHeight);
  set(Input, s.IHeight);
  for (QWidget* fixed : {Panel2, QsoPanel, PaintBox1}) sizes[Panes->indexOf(fixed)] = fixed->maximumHeight();
  Panes->setSizes(sizes);
  ApplyWindowRect(macrosForm_, s.MacroLeft, s.MacroTop, s.MacroHeight, s.MacroWidth);
  ApplyWindowRect(fastMacrosForm_, s.FastMacroLeft, s.FastMacroTop, s.FastMacroHeight, s.FastMacroWidth);
}

void TRxForm::TakePaneSettings() {
  TAppSettings& s = settings_;
  // Until the window has been laid out on the screen its rows have no heights of their own.
  if (isVisible()) {
    const QList<int> sizes = Panes->sizes();
    auto height = [&](QWidget* pane) { return sizes[Panes->indexOf(pane)]; };
    s.RHeight = height(RxMemo);
    s.FHeight = height(DisplayPane) - DisplayPaneExtra();
    s.DHeight = height(PaintBox1);
    s.SHeight = height(Sent);
    s.IHeight = height(Input);
    s.ButMacroHeight = height(Panel2);
    s.EditFieldsHeight = height(QsoPanel);
  }
  TakeWindowRect(macrosForm_, s.MacroLeft, s.MacroTop, s.MacroHeight, s.MacroWidth);
  TakeWindowRect(fastMacrosForm_, s.FastMacroLeft, s.FastMacroTop, s.FastMacroHeight, s.FastMacroWidth);
}

void TRxForm::ApplyFontSettings() {
  const TAppSettings& s = settings_;
  // The memo draws in its own font; the widget keeps the Qt font and colours as well, where
  // the setup dialog takes its sample.
  ApplyMemoFontSetting(*RxMemo, s.RxFont);
  ApplyFontSetting(*RxMemo, s.RxFont, QPalette::Text, true);
  ApplyMemoFontSetting(*Input, s.InputFont);
  ApplyFontSetting(*Input, s.InputFont, QPalette::Text, true);
  ApplyFontSetting(*Sent, s.SentFont, QPalette::Text, true);
  ApplyFontSetting(*ButMacro[1], s.ButtonFont, QPalette::ButtonText, false);
  ApplyMacroButtonFont();
}

void TRxForm::TakeSettingsFromControls() {
  TAppSettings& s = settings_;
  s.OnTop = OnTopButton->isChecked() ? 1 : 0;
  s.AFC = AfcButton->isChecked() ? 1 : 0;
  s.TxAfc = TxAfcButton->isChecked() ? 1 : 0;
  s.IsSquelch = SqlButton->isChecked() ? 1 : 0;
  s.SquelchThreshold = SqlUpDown->value();
  s.BeaconPeriod = BeaconUpDown->value();
  s.DoFastSync = engine_->amtorFec.AmtorFastSync;
  s.IsBeacon = BeaconOn ? 1 : 0;
  TakePaneSettings();
  // The measures the start applies: the frame's position (move), the size inside it (resize).
  s.Left = x();
  s.Top = y();
  s.Height = height();
  s.Width = width();
  TakeFromModemParams(engine_->params, s);
}

void TRxForm::ShowSaveFailure(const std::string& error) {
  boxes_.ShowMessage("Vestrel - Settings File Error", error + "\r\nThe settings file was left as it was.");
}

bool TRxForm::SaveSettings() {
  TakeSettingsFromControls();
  const std::string error = settingsPart_.SaveSettings(CommandLine.settingsPath, Targets());
  if (!error.empty()) ShowSaveFailure(error);
  return error.empty();
}

bool TRxForm::SaveMacros() {
  const std::string error = settingsPart_.SaveMacros(CommandLine.settingsPath, macroTable_);
  if (!error.empty()) ShowSaveFailure(error);
  return error.empty();
}

}  // namespace vestrel
