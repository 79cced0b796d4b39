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

#include "app/rx_form.h"
#include "app/settings_file.h"

namespace vestrel {

namespace {

// A plain colour (0x00BBGGRR) into a palette role; a system colour (negative) leaves the
// role to the palette of the desktop.
void SetColour(QPalette& palette, const QPalette& system, QPalette::ColorRole role, int32_t colour) {
  if (colour < 0) {
    palette.setColor(role, system.color(role));
  } else {
    palette.setColor(role, QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF));
  }
}

// The face as saved; a face this machine lacks is matched by Qt, and the setting keeps the
// saved name. The size in points decides over the height in pixels.
void ApplyFont(QWidget& w, const TFontSetting& f, QPalette::ColorRole text, bool background) {
  constexpr int kLargest = 500;
  QFont font(QString::fromLatin1(f.FontName.data(), qsizetype(f.FontName.size())));
  const int64_t pixels = f.FontHeight < 0 ? -int64_t{f.FontHeight} : f.FontHeight;
  if (pixels > 0 && pixels <= kLargest) font.setPixelSize(pixels);
  if (f.FontPitch == 2) {
    font.setFixedPitch(true);
    font.setStyleHint(QFont::TypeWriter);
  } else if (f.FontPitch == 1) {
    font.setFixedPitch(false);
  }
  if (f.FontSize > 0 && f.FontSize <= kLargest) font.setPointSize(f.FontSize);
  font.setBold((f.FontStyle & 1) != 0);
  font.setItalic((f.FontStyle & 2) != 0);
  font.setUnderline((f.FontStyle & 4) != 0);
  font.setStrikeOut((f.FontStyle & 8) != 0);
  w.setFont(font);
  const QPalette system = QApplication::palette(&w);
  QPalette palette = w.palette();
  SetColour(palette, system, text, f.FontColor);
  if (background) SetColour(palette, system, QPalette::Base, f.Background);
  w.setPalette(palette);
}

}  // namespace

SettingsTargets TRxForm::Targets() {
  return {settings_, macroTable_, engine_->modeSwitch.ModeReportNames, engine_->modeSwitch.ReportModeWhenChanged};
}

void TRxForm::ShowDefaultDirectoryNotice(const std::string& notice) {
  QString text = QString::fromLocal8Bit(notice.data(), qsizetype(notice.size()));
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  RxMemo->setPlainText(text);
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
  BeaconUpDown->setValue(s.BeaconPeriod);
  if (s.DoFastSync != 0) SetMenuChecked("Fast Sync", true);
  if (s.UnshiftOnSpace != 0) SetPanelText(7, "UoS");
  display_.SetZoom(p.Zoom);

  ApplyFont(*RxMemo, s.RxFont, QPalette::Text, true);
  ApplyFont(*Input, s.InputFont, QPalette::Text, true);
  ApplyFont(*Sent, s.SentFont, QPalette::Text, true);
  for (int n = 1; n <= 36; ++n) ApplyFont(*ButMacro[n], s.ButtonFont, QPalette::ButtonText, false);
}

void TRxForm::TakeSettingsFromControls() {
  TAppSettings& s = settings_;
  s.OnTop = OnTopButton->isChecked() ? 1 : 0;
  s.AFC = AfcButton->isChecked() ? 1 : 0;
  s.TxAfc = TxAfcButton->isChecked() ? 1 : 0;
  s.IsSquelch = SqlButton->isChecked() ? 1 : 0;
  s.SquelchThreshold = SqlUpDown->value();
  s.BeaconPeriod = BeaconUpDown->value();
  const QRect g = geometry();
  s.Left = g.x();
  s.Top = g.y();
  s.Height = g.height();
  s.Width = g.width();
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
