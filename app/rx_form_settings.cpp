// The settings file seen from the window: what the loaded values set, and what a save takes
// back from the controls.
#include <QApplication>
#include <QFont>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <cstdlib>

#include "app/font_setting_qt.h"
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

  ApplyFontSettings();
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
