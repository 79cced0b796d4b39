// The setup dialog filled from the settings, its handlers, and the settings applied to the
// running program.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <algorithm>
#include <cmath>

#include "app/font_dialogs.h"
#include "app/font_setting_qt.h"
#include "app/rx_form.h"
#include "app/settings_file.h"
#include "app/setup_form.h"
#include "app/setup_tables.h"
#include "engine/engine.h"
#include "memo/code_pages.h"
#include "memo/sm_support.h"

namespace vestrel {

namespace {

QString Latin(std::string_view s) {
  return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

// An index the list holds, else its first item.
void Select(QComboBox* box, int index) {
  box->setCurrentIndex(index >= 0 && index < box->count() ? index : 0);
}

std::string TrimBlanks(std::string s) {
  const size_t first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

QVariant StateOf(const QWidget* w) {
  if (const auto* c = qobject_cast<const QComboBox*>(w)) {
    return c->isEditable() ? QVariant(c->currentText()) : QVariant(c->currentIndex());
  }
  if (const auto* e = qobject_cast<const QLineEdit*>(w)) return e->text();
  if (const auto* b = qobject_cast<const QAbstractButton*>(w)) return b->isChecked();
  if (const auto* s = qobject_cast<const QSpinBox*>(w)) return s->value();
  return {};
}

// The waterfall coefficients in the order of the six edits.
constexpr double TWaterfallSettings::*kCoefficients[6] = {&TWaterfallSettings::H0, &TWaterfallSettings::H1,
                                                          &TWaterfallSettings::S0, &TWaterfallSettings::S1,
                                                          &TWaterfallSettings::L0, &TWaterfallSettings::L1};
// The display colours in the order of DisplayColours.
constexpr int32_t TAppSettings::*kDisplayColours[8] = {
    &TAppSettings::FFTBackground, &TAppSettings::CurrSpectrumColor, &TAppSettings::PeakSpectrumColor,
    &TAppSettings::RxMarkColor,   &TAppSettings::TxMarkColor,       &TAppSettings::OscBackground,
    &TAppSettings::SignalColor,   &TAppSettings::ThresholdColor};

double Coefficient(const QLineEdit* edit, double earlier) {
  const double v = ParseDecimalText(edit->text().toStdString(), earlier);
  return std::isfinite(v) ? std::clamp(v, -9.99, 9.99) : earlier;
}

}  // namespace

// --- state of the controls -------------------------------------------------------------

void TSetupForm::TakeSnapshot() {
  snapshot_.clear();
  for (const QWidget* w : controls_) snapshot_.emplace_back(w, StateOf(w));
}

bool TSetupForm::Changed(const QWidget* control) const {
  for (const auto& [w, state] : snapshot_) {
    if (w == control) return StateOf(w) != state;
  }
  return false;
}

int TSetupForm::Flag(const QCheckBox* box, int32_t current) const {
  if (!Changed(box)) return current;
  return box->isChecked() ? 1 : 0;
}

int TSetupForm::Index(const QComboBox* box, int current, int offset) const {
  if (!Changed(box)) return current;
  return box->currentIndex() + offset;
}

int TSetupForm::CodePage() const {
  return CodePageOfCharset(form_.settings().RxFont.FontCharset);
}

QString TSetupForm::FromCodePage(const std::string& bytes) const {
  return QString::fromStdU16String(ToUtf16(ToBytes(bytes), CodePage()));
}

std::string TSetupForm::ToCodePage(const QString& text) const {
  return ToChars(FromUtf16(text.toStdU16String(), CodePage()));
}

bool TSetupForm::Closing() const {
  return form_.ShutdownDone != 0;
}

void TSetupForm::Pause100Ms() {
  AppControl& app = form_.appControl();
  for (int i = 0; i < 10; ++i) {
    app.SleepMs(10);
    app.ProcessMessages();
  }
}

// --- filling ---------------------------------------------------------------------------

void TSetupForm::LoadSetupDialog() {
  const TAppSettings& s = form_.settings();
  TEngine& engine = form_.engine();
  // 1. The port address; without the port driver the parallel-port types read "NONE".
  XPortEdit->setText(Latin(FormatPortAddress(s.XPortAddress)));
  const bool noDriver = form_.ports().PortDriverMissing();
  for (int type : {2, 3})
    PortTypeBox->setItemText(type, Latin(noDriver ? "NONE" : PortTypeCaptions()[size_t(type)]));
  // 2. The type with its lists, the port, the pins, the FSK line.
  PortTypeBox->setCurrentIndex(s.PttPortType >= 0 && s.PttPortType <= 6 ? s.PttPortType : 0);
  FillPortLists(s.PttPortNumber - 1);
  Select(PttPinBox, s.PttPin);
  Select(Power1PinBox, s.PowerPin1);
  Select(Power2PinBox, s.PowerPin2);
  loadedUseTxD_ = s.UseTxD;
  // 3. The exchange port, its speed, the channels.
  Select(DataExBox, s.ExchangePortNumber);
  ExSpeedBox->setEditText(QString::number(s.ExchangeSpeed));
  PortNumberBoxChange();
  Select(MessageChannelBox, s.MessageChannel);
  Select(ExCanalBox, s.ExCanal);
  // 4. Sound devices and rates, then the other pages' controls.
  FillDeviceLists();
  Select(InputCardNumBox, s.SoundCardNumber + 1);
  Select(OutputCardNumBox, s.OutSoundCardNumber + 2);
  Select(InputCardChannelBox, s.InputCardChannel);
  Select(OutputCardChannelBox, s.OutputCardChannel);
  InSamplingRateEdit->setText(Latin(FormatSampleRate(s.SamplingFreq)));
  OutSamplingRateEdit->setText(Latin(FormatSampleRate(s.OutSamplingFreq)));
  DuplexCardBox->setChecked(s.UseDuplex != 0);
  WholeWordBox->setChecked(s.WordMode != 0);
  AfcAtMouseBox->setChecked(s.AfcAtClick != 0);
  ContCarrierBox->setChecked(ContinuousCarrier);
  TxAtKeyboardBox->setChecked(s.TxAtKeyboard != 0);
  RxAtFreeBufferBox->setChecked(s.RxAtFreeBuffer != 0);
  BeaconOffAtClickBox->setChecked(s.BeaconOffAtClick != 0);
  BeaconOffAtMyCallBox->setChecked(s.BeaconOffAtMyCall != 0);
  BeaconOffAtTwoCallsBox->setChecked(s.BeaconOffAtTwoCalls != 0);
  MyCallEdit->setText(FromCodePage(s.MyCall));
  Select(TuneRigByBox, s.TuneRig);
  Select(RigNumberBox, s.RigNumber - 1);
  TuneBABox->setChecked(s.TuneVFOBtoA != 0);
  TuneBAEdit->setText(Latin(FormatVfoOffset(s.VFOBoffset)));
  UseWheelBox->setChecked(s.UseWheel != 0);
  WheelSpeedEdit->setValue(s.WheelSpeed);
  const int codeSet = engine.params.BaudotCodeSet;
  AlphabetButtons[size_t(codeSet >= 0 && codeSet <= 3 ? codeSet : 0)]->setChecked(true);
  UnshiftOnSpaceBox->setChecked(s.UnshiftOnSpace != 0);
  ExtendedBaudotBox->setChecked(s.ExtendedBaudot != 0);
  BackspaceHandlingBox->setChecked(s.BackspaceHandling != 0);
  CatchWordByOneClickBox->setChecked(s.CatchWordByOneClick != 0);
  ContestModeBox->setChecked(s.ContestMode != 0);
  CopyTransferredDataBox->setChecked(s.CopyTransferredData != 0);
  UseOtherAsBox->setCurrentIndex(IndexOfCode(UseOtherItems(), s.UseOther));
  OscShowBox->setChecked(s.OscShow != 0);
  PhaseShowBox->setChecked(s.PhaseShow != 0);
  EditFieldsShowBox->setChecked(s.EditFieldsShow != 0);
  LogOscillogramBox->setChecked(s.LogarithmicOscillogram != 0);
  LogSpectrumBox->setChecked(s.LogarithmicSpectrum != 0);
  WaterFallBox->setChecked(s.WaterFall != 0);
  ShowSentInRxBox->setChecked(s.ShowSentInRx != 0);
  Select(NumOfMacroBox, form_.MacroRows());
  // 5. The samples in the windows' fonts and colours; the display colours.
  RxFont = s.RxFont;
  SentFont = s.SentFont;
  TxFont = s.InputFont;
  ButtonFont = s.ButtonFont;
  CallColor = s.CallColor;
  SentColor = s.SentColor;
  for (size_t i = 0; i < Colours.size(); ++i) Colours[i] = s.*kDisplayColours[i];
  ShowSamples();
  // 6. The waterfall.
  for (size_t i = 0; i < CoefficientEdits.size(); ++i) {
    CoefficientEdits[i]->setText(Latin(FormatCoefficient(s.Waterfall.*kCoefficients[i])));
  }
  WfRxMarkColor = s.Waterfall.RxMarkColor;
  WfTxMarkColor = s.Waterfall.TxMarkColor;
  ShowWaterfall();
  // 7. KISS, time zone, the logger's mode names, the capture flags.
  KissBox->setChecked(s.IsKISS != 0);
  TimeZoneBox->setCurrentIndex(IndexOfCode(TimeZoneItems(), s.UTCoffset));
  WhenChangedBox->setChecked(engine.modeSwitch.ReportModeWhenChanged);
  WithCallBox->setChecked(s.WithCall != 0);
  ReportNames = engine.modeSwitch.ModeReportNames;
  if (ModeAsBox->currentIndex() < 0) ModeAsBox->setCurrentIndex(0);
  ModeAsBoxChange();
  BinaryTransferBox->setChecked(s.BinaryTransfer != 0);
  PutTimeToFileBox->setChecked(s.PutTimeToFile != 0);
  SavePs2x5Box->setChecked(s.SavePs2x5 != 0);

  FontsChanged = WaterfallChanged = OmniSetupUsed = false;
  TakeSnapshot();
}

void TSetupForm::FillDeviceLists() {
  // "n  name": the number the settings keep, two blanks, the ALSA name.
  auto fill = [](QComboBox* box, std::initializer_list<const char*> first,
                 const std::vector<WaveDeviceInfo>& list) {
    box->clear();
    for (const char* item : first) box->addItem(QString::fromLatin1(item));
    for (size_t n = 0; n < list.size(); ++n) {
      box->addItem(QStringLiteral("%1  %2").arg(n).arg(QString::fromStdString(list[n].name)));
      box->setItemData(box->count() - 1, QString::fromStdString(list[n].description), Qt::ToolTipRole);
    }
  };
  fill(InputCardNumBox, {"DEFAULT"}, devices_->InputDevices());
  fill(OutputCardNumBox, {"The same as Input", "DEFAULT"}, devices_->OutputDevices());
}

void TSetupForm::ShowSamples() {
  RxSample->SetFontSetting(RxFont);
  RxSample->ClearStyleRange();
  RxSample->SetDynStyle(kRxSampleCallStart, kRxSampleCallLength, CallColor);
  SentSample->SetFontSetting(SentFont);
  SentSample->ClearStyleRange();
  TxSample->SetFontSetting(TxFont);
  TxSample->ClearStyleRange();
  TxSample->SetDynStyle(0, kTxSampleSentLength, SentColor);
  ApplyFontSetting(*MacroSampleButton, ButtonFont, QPalette::ButtonText, false);
  SpectrumPreview->SetColours(Colours);
  OscPreview->SetColours(Colours);
}

void TSetupForm::ShowWaterfall() {
  TWaterfallSettings w = form_.settings().Waterfall;
  for (size_t i = 0; i < CoefficientEdits.size(); ++i) {
    w.*kCoefficients[i] = Coefficient(CoefficientEdits[i], w.*kCoefficients[i]);
  }
  w.RxMarkColor = WfRxMarkColor;
  w.TxMarkColor = WfTxMarkColor;
  WfImage->SetPalette(w);
}

// --- handlers --------------------------------------------------------------------------

void TSetupForm::FillPortLists(int numberIndex) {
  int type = PortTypeBox->currentIndex();
  if (type < 0 || type > 6) type = 0;
  if (form_.ports().PortDriverMissing() && (type == 2 || type == 3)) type = 0;
  PortTypeBox->setCurrentIndex(type);

  QStringList numbers;
  int highest = 0;  // the largest index kept
  switch (type) {
    case 2:
    case 3:
      numbers = {QStringLiteral("LPT1"), QStringLiteral("LPT2"), QStringLiteral("LPT3"),
                 QStringLiteral("LPT at address:")};
      highest = 3;
      break;
    case 4:
    case 5:
      numbers = {QStringLiteral("RIG1"), QStringLiteral("RIG2")};
      highest = 1;
      break;
    case 1:
    case 6:
      for (int n = 1; n <= 99; ++n) numbers << QStringLiteral("COM%1").arg(n);
      highest = 98;
      break;
    default:
      numbers = {QString()};
      break;
  }
  PortNumberBox->clear();
  PortNumberBox->addItems(numbers);
  PortNumberBox->setCurrentIndex(numberIndex >= 0 && numberIndex <= highest ? numberIndex : 0);

  QStringList pins;
  int ptt = 0, power1 = 0, power2 = 0;
  switch (type) {
    case 1:
    case 4:
      pins = {QStringLiteral("NONE"), QStringLiteral("DTR"), QStringLiteral("RTS")};
      ptt = 2;
      break;
    case 2:
    case 3:
      pins << QStringLiteral("NONE");
      for (int d = 0; d < 8; ++d) pins << QStringLiteral("D%1 (pin%2)").arg(d).arg(d + 2);
      ptt = type == 2 ? 2 : 6;
      power1 = 7;
      power2 = 8;
      break;
    case 6:
      pins = {QStringLiteral("PTT1"), QStringLiteral("PTT2")};
      break;
    default:
      pins = {QString()};
      break;
  }
  PttPinBox->clear();
  PttPinBox->addItems(pins);
  for (QComboBox* power : {Power1PinBox, Power2PinBox}) {
    power->clear();
    power->addItems(type == 6 ? QStringList{QString()} : pins);
  }
  PttPinBox->setCurrentIndex(ptt);
  Power1PinBox->setCurrentIndex(power1);
  Power2PinBox->setCurrentIndex(power2);
  WexlinPinsLabel->setVisible(type == 3);
  PortNumberBoxChange();
}

void TSetupForm::PortTypeBoxChange() {
  FillPortLists(PortNumberBox->currentIndex());
}

void TSetupForm::PortNumberBoxChange() {
  const int type = PortTypeBox->currentIndex();
  XPortEdit->setVisible((type == 2 || type == 3) && PortNumberBox->currentIndex() == 3);
  // FSK on TxD needs a COM keying port of its own.
  const bool own = type == 1 && DataExBox->currentIndex() != PortNumberBox->currentIndex() + 1;
  FskCheckBox->setEnabled(own);
  FskCheckBox->setChecked(own && loadedUseTxD_ != 0);
}

void TSetupForm::PttPinBoxChange() {
  const int ptt = PttPinBox->currentIndex();
  for (QComboBox* power : {Power1PinBox, Power2PinBox}) {
    if (power->currentIndex() != 0 && power->currentIndex() == ptt) power->setCurrentIndex(0);
  }
}

void TSetupForm::ChooseSampleFont(TFontSetting& font, bool effects) {
  TFontSetting chosen = font;
  if (!dialogs_.ChooseFont(chosen, effects)) return;
  font = chosen;
  ShowSamples();
  FontsChanged = true;
}

void TSetupForm::ChooseColour(int32_t& colour) {
  int32_t chosen = colour;
  if (!dialogs_.ChooseColour(chosen)) return;
  colour = chosen;
  ShowSamples();
  FontsChanged = true;
}

void TSetupForm::RxFontButtonClick() {
  ChooseSampleFont(RxFont, true);
}
void TSetupForm::RxBackButtonClick() {
  ChooseColour(RxFont.Background);
}
void TSetupForm::SentFontButtonClick() {
  ChooseSampleFont(SentFont, true);
}
void TSetupForm::SentBackButtonClick() {
  ChooseColour(SentFont.Background);
}
void TSetupForm::TxFontButtonClick() {
  ChooseSampleFont(TxFont, true);
}
void TSetupForm::TxBackButtonClick() {
  ChooseColour(TxFont.Background);
}
void TSetupForm::TxSentFontButtonClick() {
  ChooseColour(SentColor);
}
void TSetupForm::SetMacroFontButtonClick() {
  ChooseSampleFont(ButtonFont, false);
}
void TSetupForm::CallColorButtonClick() {
  ChooseColour(CallColor);
}
void TSetupForm::SpecBackButtonClick() {
  ChooseColour(Colours[0]);
}
void TSetupForm::FastSpecButtonClick() {
  ChooseColour(Colours[1]);
}
void TSetupForm::SlowSpecButtonClick() {
  ChooseColour(Colours[2]);
}
void TSetupForm::RxMarkColorButtonClick() {
  ChooseColour(Colours[3]);
}
void TSetupForm::TxMarkColorButtonClick() {
  ChooseColour(Colours[4]);
}
void TSetupForm::OscBackButtonClick() {
  ChooseColour(Colours[5]);
}
void TSetupForm::OscColorButtonClick() {
  ChooseColour(Colours[6]);
}
void TSetupForm::OscMarkButtonClick() {
  ChooseColour(Colours[7]);
}

void TSetupForm::H0EditChange() {
  ShowWaterfall();
  WaterfallChanged = true;
}

void TSetupForm::RxMarkButtonClick() {
  if (!dialogs_.ChooseColour(WfRxMarkColor)) return;
  ShowWaterfall();
  WaterfallChanged = true;
}

void TSetupForm::TxMarkButtonClick() {
  if (!dialogs_.ChooseColour(WfTxMarkColor)) return;
  ShowWaterfall();
  WaterfallChanged = true;
}

void TSetupForm::WfImageMouseDown(int x) {
  WfImage->SetMarkColumn(x);
}

void TSetupForm::WfImageMouseMove(int x, bool leftButton) {
  if (leftButton) WfImage->SetMarkColumn(x);
}

void TSetupForm::ModeAsBoxChange() {
  if (ModeAsBox->currentIndex() < 0) ModeAsBox->setCurrentIndex(0);
  ModeAsMode = ModeAsItems()[size_t(ModeAsBox->currentIndex())].value;
  ModeAsEdit->setText(FromCodePage(ReportNames[size_t(ModeAsMode)]));
}

void TSetupForm::ModeAsEditChange() {
  ReportNames[size_t(ModeAsMode)] = TrimBlanks(ToCodePage(ModeAsEdit->text()));
}

void TSetupForm::ShowOmniSetupButton1Click() {
  OmniSetupUsed = true;
  const int result = form_.rig().ShowSetupDialog();
  std::string text =
      "rigctld has no setup dialog of its own: the rig is set up where rigctld is started. Vestrel "
      "reaches RIG1 and RIG2 at the addresses in section [Rigctld] of the settings file (Rig1Host, "
      "Rig1Port, Rig2Host, Rig2Port).";
  if (result != 0) text.insert(0, "Problem with OmniRig starting!\r\n\r\n");
  form_.boxes().ShowMessage(result != 0 ? "OmniRig Error" : "OmniRig", text);
}

// --- applying --------------------------------------------------------------------------

void TSetupForm::ApplySetupDialog() {
  // The waits inside process messages: a second click on OK, Apply or Save returns at once.
  if (applying_ || Closing()) return;
  applying_ = true;
  ApplyPorts();
  TAppSettings& s = form_.settings();
  s.MessageChannel = Index(MessageChannelBox, s.MessageChannel);
  ApplyExchangeLibrary();
  ApplySoundDevices();
  ApplyRates();
  ApplyDuplex();
  ApplyMoxPage();
  ApplyRig();
  ApplyTextPage();
  ApplyViewPage();
  ApplyFonts();
  ApplyWaterfall();
  ApplyOtherPage();
  TakeSnapshot();
  applying_ = false;
}

void TSetupForm::ApplyPorts() {
  TAppSettings& s = form_.settings();
  PortsPart& ports = form_.ports();
  // 1. The parallel-port types are "NONE" without the port driver.
  const int shownType = PortTypeBox->currentIndex();
  if (ports.PortDriverMissing() && (shownType == 2 || shownType == 3)) {
    PortTypeBox->setCurrentIndex(0);
    PortTypeBoxChange();
  }
  // 2. The keying and exchange ports, when any of their controls was changed.
  const bool touched = std::ranges::any_of(
      std::initializer_list<const QWidget*>{PortTypeBox, PortNumberBox, FskCheckBox, DataExBox, ExSpeedBox,
                                            PttPinBox, Power1PinBox, Power2PinBox, XPortEdit},
      [this](const QWidget* w) { return Changed(w); });
  if (!touched) return;
  KeyingPortSettings k = s;
  k.PttPortType = PortTypeBox->currentIndex();
  k.PttPortNumber = PortNumberBox->currentIndex() + 1;
  k.PttPin = PttPinBox->currentIndex();
  k.PowerPin1 = Power1PinBox->currentIndex();
  k.PowerPin2 = Power2PinBox->currentIndex();
  k.ExchangePortNumber = DataExBox->currentIndex();
  k.ExchangeSpeed = ParseExchangeSpeed(ExSpeedBox->currentText().toStdString());
  k.XPortAddress = ParsePortAddress(XPortEdit->text().toStdString()).value_or(s.XPortAddress);
  const bool useTxD = FskCheckBox->isChecked();
  if (static_cast<const KeyingPortSettings&>(s) == k && (s.UseTxD != 0) == useTxD) return;
  if (Closing()) return;
  ports.ClosePortsToReopen();
  static_cast<KeyingPortSettings&>(s) = k;
  s.UseTxD = useTxD ? 1 : 0;
  form_.engine().tx.UseTxD = useTxD;
  ports.SetPttPort(k.PttPortType, k.PttPortNumber, k.PttPin, k.PowerPin1, k.PowerPin2);
  form_.SetDataExchangePort(k.ExchangePortNumber);
}

void TSetupForm::ApplyExchangeLibrary() {
  TAppSettings& s = form_.settings();
  const int channel = Index(ExCanalBox, s.ExCanal);
  if (channel == s.ExCanal) return;
  form_.ExchangeLibraryActive = false;
  form_.exchangeLibrary().Deactivate();
  s.ExCanal = channel;
  if (channel == 0) return;
  Pause100Ms();
  if (Closing()) return;
  form_.ExchangeLibraryActive = form_.exchangeLibrary().Init(channel);
  if (!form_.ExchangeLibraryActive) form_.boxes().ShowMessage("Error", "ZOZARIRI.DLL initialization error!");
}

void TSetupForm::ApplySoundDevices() {
  TAppSettings& s = form_.settings();
  const int input = Index(InputCardNumBox, s.SoundCardNumber, -1);
  const int output = Index(OutputCardNumBox, s.OutSoundCardNumber, -2);
  const int inChannel = Index(InputCardChannelBox, s.InputCardChannel);
  const int outChannel = Index(OutputCardChannelBox, s.OutputCardChannel);
  if (input == s.SoundCardNumber && output == s.OutSoundCardNumber && inChannel == s.InputCardChannel &&
      outChannel == s.OutputCardChannel) {
    return;
  }
  if (Closing()) return;
  // A transmission would lose its playback device with nothing left to end it: back to
  // receive first, PTT off.
  form_.StopTransmissionNow();
  TEngine& engine = form_.engine();
  SoundControl& sound = form_.sound();
  engine.tx.SoundDevicesBusy = true;
  Pause100Ms();
  sound.CloseSoundOutput();
  sound.CloseSoundInput();
  s.SoundCardNumber = input;
  s.OutSoundCardNumber = output;
  s.InputCardChannel = inChannel;
  s.OutputCardChannel = outChannel;
  engine.tx.OutputCardChannel = outChannel;
  form_.engineDriver().SetSoundDevices({input, inChannel, output});
  // The playback device opens again with the next transmission.
  if (!Closing()) sound.OpenSoundInput();
  engine.tx.SoundDevicesBusy = false;
}

void TSetupForm::ApplyRates() {
  TAppSettings& s = form_.settings();
  bool changed = false;
  for (auto [edit, rate] :
       {std::pair{InSamplingRateEdit, &s.SamplingFreq}, std::pair{OutSamplingRateEdit, &s.OutSamplingFreq}}) {
    if (!Changed(edit)) continue;
    const std::optional<double> r = ParseSampleRate(edit->text().toStdString());
    if (r && std::fabs(*r - *rate) > 0.0001) {
      *rate = *r;
      changed = true;
    }
    // A refused rate gives way to the one in use.
    edit->setText(Latin(FormatSampleRate(*rate)));
  }
  if (!changed || Closing()) return;
  EngineDriver& driver = form_.engineDriver();
  driver.InitInputConverter(s.SamplingFreq);
  form_.engine().rates.OutSamplingFreq = s.OutSamplingFreq;
  // Every count derived from the rates follows: speed, shift and mode set again.
  driver.ApplySpeedShiftMode();
}

void TSetupForm::ApplyDuplex() {
  TAppSettings& s = form_.settings();
  const int duplex = Flag(DuplexCardBox, s.UseDuplex);
  if (duplex == s.UseDuplex) return;
  s.UseDuplex = duplex;
  TEngine& engine = form_.engine();
  engine.tx.UseDuplex = duplex != 0;
  if (duplex != 0 || Closing()) return;
  // Half duplex: the device the other direction does not use now closes.
  engine.tx.SoundDevicesBusy = true;
  Pause100Ms();
  if (form_.Transmitting()) {
    form_.sound().CloseSoundInput();
  } else {
    form_.sound().CloseSoundOutput();
  }
  engine.tx.SoundDevicesBusy = false;
}

void TSetupForm::ApplyMoxPage() {
  TAppSettings& s = form_.settings();
  s.WordMode = Flag(WholeWordBox, s.WordMode);
  s.AfcAtClick = Flag(AfcAtMouseBox, s.AfcAtClick);
  s.TxAtKeyboard = Flag(TxAtKeyboardBox, s.TxAtKeyboard);
  s.RxAtFreeBuffer = Flag(RxAtFreeBufferBox, s.RxAtFreeBuffer);
  form_.engine().tx.RxAtFreeBuffer = s.RxAtFreeBuffer != 0;
  s.BeaconOffAtClick = Flag(BeaconOffAtClickBox, s.BeaconOffAtClick);
  s.BeaconOffAtMyCall = Flag(BeaconOffAtMyCallBox, s.BeaconOffAtMyCall);
  s.BeaconOffAtTwoCalls = Flag(BeaconOffAtTwoCallsBox, s.BeaconOffAtTwoCalls);
  if (!Changed(MyCallEdit)) {
    // Without an own call there is nothing to watch for: the own-call watch switches
    // BeaconOffAtMyCall off.
    if (s.MyCall.empty() && s.BeaconOffAtMyCall != 0) {
      form_.callsigns().SetOwnCall(s.MyCall);
      BeaconOffAtMyCallBox->setChecked(s.BeaconOffAtMyCall != 0);
    }
    return;
  }
  // Trimmed, upper case in the code page, at most 15 characters (trimmed again after the cut,
  // as the settings file reads it).
  std::string call = TrimBlanks(ToCodePage(MyCallEdit->text()));
  for (char& c : call) c = static_cast<char>(smUpperChar(static_cast<unsigned char>(c), CodePage()));
  call = TrimBlanks(call.substr(0, 15));
  if (call != s.MyCall) {
    s.MyCall = call;
    form_.callsigns().SetOwnCall(call);
  }
  MyCallEdit->setText(FromCodePage(s.MyCall));
  BeaconOffAtMyCallBox->setChecked(s.BeaconOffAtMyCall != 0);
}

void TSetupForm::ApplyRig() {
  TAppSettings& s = form_.settings();
  const int rigNumber = Index(RigNumberBox, s.RigNumber, 1);
  const int tuneRig = Index(TuneRigByBox, s.TuneRig);
  const int tuneBA = Flag(TuneBABox, s.TuneVFOBtoA);
  const bool restart =
      tuneRig != s.TuneRig || rigNumber != s.RigNumber || tuneBA != s.TuneVFOBtoA || OmniSetupUsed;
  s.RigNumber = rigNumber;
  if (Changed(TuneBAEdit))
    s.VFOBoffset = ParseVfoOffset(TuneBAEdit->text().toStdString()).value_or(s.VFOBoffset);
  TuneBAEdit->setText(Latin(FormatVfoOffset(s.VFOBoffset)));
  if (restart && !Closing()) {
    s.TuneRig = tuneRig;
    s.TuneVFOBtoA = tuneBA;
    form_.rig().Restart();
    // Rig control may have switched both off.
    Select(TuneRigByBox, s.TuneRig);
    TuneBABox->setChecked(s.TuneVFOBtoA != 0);
    OmniSetupUsed = false;
  }
  s.UseWheel = Flag(UseWheelBox, s.UseWheel);
  if (Changed(WheelSpeedEdit)) s.WheelSpeed = WheelSpeedEdit->value();
}

void TSetupForm::ApplyTextPage() {
  TAppSettings& s = form_.settings();
  TEngine& engine = form_.engine();
  if (std::ranges::any_of(AlphabetButtons, [this](const QRadioButton* b) { return Changed(b); })) {
    const auto checked =
        std::ranges::find_if(AlphabetButtons, [](const QRadioButton* b) { return b->isChecked(); });
    if (checked != AlphabetButtons.end()) {
      engine.params.BaudotCodeSet = static_cast<int32_t>(checked - AlphabetButtons.begin());
      s.CodeSet = engine.params.BaudotCodeSet;
    }
  }
  s.UnshiftOnSpace = Flag(UnshiftOnSpaceBox, s.UnshiftOnSpace);
  engine.baudot.UnshiftOnSpace = s.UnshiftOnSpace != 0 ? 1 : 0;
  form_.SetPanelText(7, s.UnshiftOnSpace != 0 ? "UoS" : "");
  const int extended = Flag(ExtendedBaudotBox, s.ExtendedBaudot);
  if (extended != s.ExtendedBaudot) {
    s.ExtendedBaudot = extended;
    engine.tx.ExtendedBaudot = extended != 0;
    engine.baudot.ExtendedBaudot = extended != 0 ? 1 : 0;
    // Without the third register a code set's third shift means nothing.
    if (extended == 0) engine.baudot.ResetThird();
  }
  ContinuousCarrier = ContCarrierBox->isChecked();
  s.BackspaceHandling = Flag(BackspaceHandlingBox, s.BackspaceHandling);
  s.CatchWordByOneClick = Flag(CatchWordByOneClickBox, s.CatchWordByOneClick);
  s.ContestMode = Flag(ContestModeBox, s.ContestMode);
  s.CopyTransferredData = Flag(CopyTransferredDataBox, s.CopyTransferredData);
  if (Changed(UseOtherAsBox)) s.UseOther = UseOtherItems()[size_t(UseOtherAsBox->currentIndex())].value;
}

void TSetupForm::ApplyViewPage() {
  TAppSettings& s = form_.settings();
  DisplayPart& display = form_.display();
  const int osc = Flag(OscShowBox, s.OscShow);
  if (osc != s.OscShow) form_.ShowOscillogram(osc != 0);
  const int phase = Flag(PhaseShowBox, s.PhaseShow);
  if (phase != s.PhaseShow) {
    s.PhaseShow = phase;
    display.LayoutChanged();
  }
  const int fields = Flag(EditFieldsShowBox, s.EditFieldsShow);
  if (fields != s.EditFieldsShow) {
    s.EditFieldsShow = fields;
    form_.ShowEditFields(fields != 0);
  }
  s.LogarithmicOscillogram = Flag(LogOscillogramBox, s.LogarithmicOscillogram);
  s.LogarithmicSpectrum = Flag(LogSpectrumBox, s.LogarithmicSpectrum);
  const int waterfall = Flag(WaterFallBox, s.WaterFall);
  if (waterfall != s.WaterFall) {
    s.WaterFall = waterfall;
    display.LayoutChanged();
  }
  s.ShowSentInRx = Flag(ShowSentInRxBox, s.ShowSentInRx);
  const int rows = Index(NumOfMacroBox, form_.MacroRows());
  if (rows != form_.MacroRows()) {
    form_.ShowMacroRows(rows);
    // The panel's height is how the settings file keeps the rows.
    s.ButMacroHeight = form_.Panel2->height();
  }
}

void TSetupForm::ApplyFonts() {
  if (!FontsChanged) return;
  TAppSettings& s = form_.settings();
  s.RxFont = RxFont;
  s.CallColor = CallColor;
  s.SentFont = SentFont;
  s.InputFont = TxFont;
  s.SentColor = SentColor;
  for (size_t i = 0; i < Colours.size(); ++i) s.*kDisplayColours[i] = Colours[i];
  s.ButtonFont = ButtonFont;
  form_.ApplyFontSettings();
  form_.display().PaintSpectrum();
  form_.display().RepaintOscillogram();
  FontsChanged = false;
}

void TSetupForm::ApplyWaterfall() {
  if (!WaterfallChanged) return;
  TWaterfallSettings& w = form_.settings().Waterfall;
  for (size_t i = 0; i < CoefficientEdits.size(); ++i) {
    if (Changed(CoefficientEdits[i]))
      w.*kCoefficients[i] = Coefficient(CoefficientEdits[i], w.*kCoefficients[i]);
    CoefficientEdits[i]->setText(Latin(FormatCoefficient(w.*kCoefficients[i])));
  }
  w.RxMarkColor = WfRxMarkColor;
  w.TxMarkColor = WfTxMarkColor;
  form_.display().BuildWaterfallPalette();
  form_.display().PaintSpectrum();
  WaterfallChanged = false;
}

void TSetupForm::ApplyOtherPage() {
  TAppSettings& s = form_.settings();
  ModeSwitch& modes = form_.engine().modeSwitch;
  s.IsKISS = Flag(KissBox, s.IsKISS);
  form_.engine().packetOutput.IsKISS = s.IsKISS != 0;
  if (Changed(TimeZoneBox)) s.UTCoffset = TimeZoneItems()[size_t(TimeZoneBox->currentIndex())].value;
  if (Changed(WhenChangedBox)) modes.ReportModeWhenChanged = WhenChangedBox->isChecked();
  s.WithCall = Flag(WithCallBox, s.WithCall);
  modes.ModeReportNames = ReportNames;
  s.BinaryTransfer = Flag(BinaryTransferBox, s.BinaryTransfer);
  s.PutTimeToFile = Flag(PutTimeToFileBox, s.PutTimeToFile);
  s.SavePs2x5 = Flag(SavePs2x5Box, s.SavePs2x5);
}

}  // namespace vestrel
