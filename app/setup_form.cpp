// The setup dialog's pages and controls, and its buttons.
#include "app/setup_form.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <array>
#include <functional>

#include "app/font_dialogs.h"
#include "app/rx_form.h"
#include "app/setup_tables.h"
#include "platform/alsa_wave.h"

namespace vestrel {

namespace {

QString Text(const char* s) {
  return QString::fromLatin1(s);
}

template <typename W>
W* Named(W* w, const char* name) {
  w->setObjectName(Text(name));
  return w;
}

QComboBox* List(QWidget* parent, const char* name, std::initializer_list<const char*> items = {}) {
  auto* box = Named(new QComboBox(parent), name);
  for (const char* item : items) box->addItem(Text(item));
  box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  return box;
}

QCheckBox* Check(QWidget* parent, const char* caption, const char* name) {
  return Named(new QCheckBox(Text(caption), parent), name);
}

// One line of a page: the widgets from the left, the rest of the line empty.
void AddLine(QVBoxLayout* column, std::initializer_list<QWidget*> widgets) {
  auto* line = new QHBoxLayout();
  for (QWidget* w : widgets) line->addWidget(w);
  line->addStretch(1);
  column->addLayout(line);
}

QLabel* Label(QWidget* page, const char* text) {
  return new QLabel(QString::fromLatin1(text), page);
}

// The exchange speeds offered; any other can be typed.
constexpr const char* kExchangeSpeeds[] = {"110",  "300",   "600",   "1200",  "2400",  "4800",
                                           "9600", "14400", "19200", "38400", "57600", "115200"};

}  // namespace

TSetupForm::TSetupForm(TRxForm& form, TSetupFormDeps deps)
    : QDialog(nullptr),
      form_(form),
      ownDialogs_(deps.dialogs == nullptr ? std::make_unique<QtFontDialogs>() : nullptr),
      dialogs_(deps.dialogs != nullptr ? *deps.dialogs : *ownDialogs_) {
  if (deps.devices != nullptr) {
    devices_ = deps.devices;
  } else {
    ownDevices_ = std::make_unique<AlsaWaveBackend>();
    devices_ = ownDevices_.get();
  }
  setObjectName(QStringLiteral("TSetupForm"));
  setWindowTitle(QStringLiteral("Setup"));
  // A dialog border with the system menu only: no minimise, maximise or context help.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);

  auto* column = new QVBoxLayout(this);
  PageControl = Named(new QTabWidget(this), "PageControl");
  // Every page's tab in sight: the dialog is as wide as the ten of them.
  PageControl->setUsesScrollButtons(false);
  column->addWidget(PageControl);
  BuildInterfacePage();
  BuildMoxPage();
  BuildTuningPage();
  BuildTextPage();
  BuildViewPage();
  BuildFontsPage();
  BuildColoursPage();
  BuildWaterfallPage();
  BuildAx25Page();
  BuildOtherPage();

  auto* buttons = new QHBoxLayout();
  buttons->addStretch(1);
  OKButton = Named(new QPushButton(QStringLiteral("OK"), this), "SetupOK");
  ApplyButton = Named(new QPushButton(QStringLiteral("Apply"), this), "SetupApply");
  SaveButton = Named(new QPushButton(QStringLiteral("Save"), this), "SetupSave");
  CancelButton = Named(new QPushButton(QStringLiteral("Cancel"), this), "SetupCancel");
  for (QPushButton* b : {OKButton, ApplyButton, SaveButton, CancelButton}) {
    b->setAutoDefault(false);
    buttons->addWidget(b);
  }
  OKButton->setDefault(true);
  column->addLayout(buttons);
  connect(OKButton, &QPushButton::clicked, this, [this] { SetupOKClick(); });
  connect(ApplyButton, &QPushButton::clicked, this, [this] { SetupApplyClick(); });
  connect(SaveButton, &QPushButton::clicked, this, [this] { SetupSaveClick(); });
  connect(CancelButton, &QPushButton::clicked, this, [this] { SetupCancelClick(); });

  // Every control whose state stands for a setting.
  for (QWidget* w : findChildren<QWidget*>()) {
    if (qobject_cast<QComboBox*>(w) != nullptr || qobject_cast<QLineEdit*>(w) != nullptr ||
        qobject_cast<QCheckBox*>(w) != nullptr || qobject_cast<QRadioButton*>(w) != nullptr ||
        qobject_cast<QSpinBox*>(w) != nullptr) {
      // The line edits inside combo boxes and spin boxes are part of those.
      if (qobject_cast<QComboBox*>(w->parentWidget()) == nullptr &&
          qobject_cast<QSpinBox*>(w->parentWidget()) == nullptr) {
        controls_.push_back(w);
      }
    }
  }
  // The dialog's size is that of its pages: nothing is squeezed.
  layout()->setSizeConstraint(QLayout::SetFixedSize);
}

TSetupForm::~TSetupForm() = default;

QWidget* TSetupForm::AddPage(const char* caption) {
  auto* page = new QWidget(PageControl);
  PageControl->addTab(page, Text(caption));
  return page;
}

void TSetupForm::BuildInterfacePage() {
  QWidget* page = AddPage("Interface");
  auto* grid = new QGridLayout(page);

  auto* ptt = new QGroupBox(QStringLiteral("PTT port"), page);
  auto* pttGrid = new QGridLayout(ptt);
  PortTypeBox = List(ptt, "PortTypeBox");
  for (const char* caption : PortTypeCaptions()) PortTypeBox->addItem(Text(caption));
  PortNumberBox = List(ptt, "PortNumberBox");
  XPortEdit = Named(new QLineEdit(ptt), "XPortEdit");
  XPortEdit->setInputMask(QStringLiteral(">HHHH"));
  XPortEdit->setMaximumWidth(60);
  PttPinBox = List(ptt, "PttPinBox");
  Power1PinBox = List(ptt, "Power1PinBox");
  Power2PinBox = List(ptt, "Power2PinBox");
  WexlinPinsLabel = Named(new QLabel(QStringLiteral("+pins 16,1"), ptt), "WexlinPinsLabel");
  FskCheckBox = Check(ptt, "Produce FSK output at TxD", "FskCheckBox");
  pttGrid->addWidget(new QLabel(QStringLiteral("Port type:"), ptt), 0, 0);
  pttGrid->addWidget(PortTypeBox, 0, 1, 1, 2);
  pttGrid->addWidget(new QLabel(QStringLiteral("Port:"), ptt), 1, 0);
  pttGrid->addWidget(PortNumberBox, 1, 1);
  pttGrid->addWidget(XPortEdit, 1, 2);
  pttGrid->addWidget(new QLabel(QStringLiteral("PTT pin:"), ptt), 2, 0);
  pttGrid->addWidget(PttPinBox, 2, 1);
  pttGrid->addWidget(WexlinPinsLabel, 2, 2);
  pttGrid->addWidget(new QLabel(QStringLiteral("Power pins:"), ptt), 3, 0);
  pttGrid->addWidget(Power1PinBox, 3, 1);
  pttGrid->addWidget(Power2PinBox, 3, 2);
  pttGrid->addWidget(FskCheckBox, 4, 0, 1, 3);
  grid->addWidget(ptt, 0, 0);

  auto* exchange = new QGroupBox(QStringLiteral("Data exchange"), page);
  auto* exForm = new QFormLayout(exchange);
  DataExBox = List(exchange, "DataExBox", {"NONE"});
  for (int n = 1; n <= 99; ++n) DataExBox->addItem(QStringLiteral("COM%1").arg(n));
  ExSpeedBox = List(exchange, "ExSpeedBox");
  ExSpeedBox->setEditable(true);
  ExSpeedBox->setInsertPolicy(QComboBox::NoInsert);
  for (const char* s : kExchangeSpeeds) ExSpeedBox->addItem(Text(s));
  ExCanalBox = List(exchange, "ExCanalBox", {"NONE"});
  MessageChannelBox = List(exchange, "MessageChannelBox");
  for (int n = 1; n <= 9; ++n) ExCanalBox->addItem(QString::number(n));
  for (int n = 0; n <= 9; ++n) MessageChannelBox->addItem(QString::number(n));
  exForm->addRow(QStringLiteral("Data exchange port:"), DataExBox);
  exForm->addRow(QStringLiteral("Data exch. speed:"), ExSpeedBox);
  exForm->addRow(QStringLiteral("Exchange DLL channel:"), ExCanalBox);
  exForm->addRow(QStringLiteral("Messages channel:"), MessageChannelBox);
  grid->addWidget(exchange, 0, 1);

  auto* sound = new QGroupBox(QStringLiteral("Sound card"), page);
  auto* soundGrid = new QGridLayout(sound);
  InputCardNumBox = List(sound, "InputCardNumBox");
  OutputCardNumBox = List(sound, "OutputCardNumBox");
  InputCardChannelBox = List(sound, "InputCardChannelBox", {"Mono", "Left", "Right"});
  OutputCardChannelBox = List(sound, "OutputCardChannelBox", {"Mono", "Left", "Right"});
  InSamplingRateEdit = Named(new QLineEdit(sound), "InSamplingRateEdit");
  OutSamplingRateEdit = Named(new QLineEdit(sound), "OutSamplingRateEdit");
  DuplexCardBox = Check(sound, "Use duplex sound card", "DuplexCardBox");
  soundGrid->addWidget(new QLabel(QStringLiteral("Input:"), sound), 0, 0);
  soundGrid->addWidget(InputCardNumBox, 0, 1);
  soundGrid->addWidget(InputCardChannelBox, 0, 2);
  soundGrid->addWidget(new QLabel(QStringLiteral("Output:"), sound), 1, 0);
  soundGrid->addWidget(OutputCardNumBox, 1, 1);
  soundGrid->addWidget(OutputCardChannelBox, 1, 2);
  soundGrid->addWidget(new QLabel(QStringLiteral("Real input sampling rate:"), sound), 2, 0, 1, 2);
  soundGrid->addWidget(InSamplingRateEdit, 2, 2);
  soundGrid->addWidget(new QLabel(QStringLiteral("Real output sampling rate:"), sound), 3, 0, 1, 2);
  soundGrid->addWidget(OutSamplingRateEdit, 3, 2);
  soundGrid->addWidget(DuplexCardBox, 4, 0, 1, 3);
  grid->addWidget(sound, 1, 0, 1, 2);

  auto* flags = new QVBoxLayout();
  WholeWordBox = Check(page, "Send whole word only", "WholeWordBox");
  AfcAtMouseBox = Check(page, "AFC at mouse click", "AfcAtMouseBox");
  ContCarrierBox = Check(page, "Continuous carrier while idle", "ContCarrierBox");
  for (QWidget* w : {WholeWordBox, AfcAtMouseBox, ContCarrierBox}) flags->addWidget(w);
  grid->addLayout(flags, 2, 0, 1, 2);
  grid->setRowStretch(3, 1);

  connect(PortTypeBox, &QComboBox::activated, this, [this] { PortTypeBoxChange(); });
  connect(PortNumberBox, &QComboBox::activated, this, [this] { PortNumberBoxChange(); });
  connect(DataExBox, &QComboBox::activated, this, [this] { PortNumberBoxChange(); });
  for (QComboBox* pin : {PttPinBox, Power1PinBox, Power2PinBox}) {
    connect(pin, &QComboBox::activated, this, [this] { PttPinBoxChange(); });
  }
}

void TSetupForm::BuildMoxPage() {
  QWidget* page = AddPage("MOX && Beacon");
  auto* column = new QVBoxLayout(page);
  TxAtKeyboardBox = Check(page, "TX at keyboard press", "TxAtKeyboardBox");
  RxAtFreeBufferBox = Check(page, "RX at free buffer", "RxAtFreeBufferBox");
  BeaconOffAtClickBox = Check(page, "Beacon off at mouse click", "BeaconOffAtClickBox");
  BeaconOffAtMyCallBox = Check(page, "Beacon off if my callsign ", "BeaconOffAtMyCallBox");
  MyCallEdit = Named(new QLineEdit(page), "MyCallEdit");
  BeaconOffAtTwoCallsBox =
      Check(page, "Beacon off if any callsign is received twice", "BeaconOffAtTwoCallsBox");
  for (QWidget* w : {TxAtKeyboardBox, RxAtFreeBufferBox, BeaconOffAtClickBox}) column->addWidget(w);
  AddLine(column, {BeaconOffAtMyCallBox, MyCallEdit, Label(page, "is received")});
  column->addWidget(BeaconOffAtTwoCallsBox);
  column->addStretch(1);
}

void TSetupForm::BuildTuningPage() {
  QWidget* page = AddPage("Tuning");
  auto* grid = new QGridLayout(page);
  TuneRigByBox = List(page, "TuneRigByBox", {"NONE", "RIT", "Main VFO"});
  RigNumberBox = List(page, "RigNumberBox", {"RIG1", "RIG2"});
  TuneBABox = Check(page, "Follow VFOB by VFOA with offset, Hz:", "TuneBABox");
  TuneBAEdit = Named(new QLineEdit(page), "TuneBAEdit");
  TuneBAEdit->setMaximumWidth(70);
  ShowOmniSetupButton1 = Named(new QPushButton(QStringLiteral("Go"), page), "ShowOmniSetupButton1");
  UseWheelBox = Check(page, "Use mouse wheel for tuning", "UseWheelBox");
  WheelSpeedEdit = Named(new QSpinBox(page), "WheelSpeedEdit");
  WheelSpeedEdit->setRange(-10, 10);
  grid->addWidget(new QLabel(QStringLiteral("Tune RIG by:"), page), 0, 0);
  grid->addWidget(TuneRigByBox, 0, 1);
  grid->addWidget(RigNumberBox, 0, 2);
  grid->addWidget(TuneBABox, 1, 0, 1, 2);
  grid->addWidget(TuneBAEdit, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("Show Omni-Rig Setup:"), page), 2, 0);
  grid->addWidget(ShowOmniSetupButton1, 2, 1);
  grid->addWidget(UseWheelBox, 3, 0, 1, 2);
  grid->addWidget(WheelSpeedEdit, 3, 2);
  grid->setRowStretch(4, 1);
  grid->setColumnStretch(3, 1);
  connect(ShowOmniSetupButton1, &QPushButton::clicked, this, [this] { ShowOmniSetupButton1Click(); });
}

void TSetupForm::BuildTextPage() {
  QWidget* page = AddPage("Text");
  auto* column = new QVBoxLayout(page);
  auto* alphabet = new QGroupBox(QStringLiteral(" RTTY/AMTOR alphabet "), page);
  auto* radios = new QVBoxLayout(alphabet);
  static constexpr const char* kAlphabets[4] = {"English charset", "Russian  charset", "Swedish Charset",
                                                "English/Russian extended charset"};
  static constexpr const char* kNames[4] = {"EnglishCharsetButton", "RussianCharsetButton",
                                            "SwedishCharsetButton", "ExtendedCharsetButton"};
  for (int i = 0; i < 4; ++i) {
    AlphabetButtons[size_t(i)] = Named(new QRadioButton(Text(kAlphabets[i]), alphabet), kNames[i]);
    radios->addWidget(AlphabetButtons[size_t(i)]);
  }
  column->addWidget(alphabet);
  UnshiftOnSpaceBox = Check(page, "Unshift on space", "UnshiftOnSpaceBox");
  ExtendedBaudotBox = Check(page, "Extended Baudot", "ExtendedBaudotBox");
  BackspaceHandlingBox = Check(page, "Backspace handling", "BackspaceHandlingBox");
  CatchWordByOneClickBox = Check(page, "Catch word by one mouse click", "CatchWordByOneClickBox");
  ContestModeBox = Check(page, "Catch word in contest mode", "ContestModeBox");
  CopyTransferredDataBox = Check(page, "Copy transferred data to clippboard", "CopyTransferredDataBox");
  for (QWidget* w : {UnshiftOnSpaceBox, ExtendedBaudotBox, BackspaceHandlingBox, CatchWordByOneClickBox,
                     ContestModeBox, CopyTransferredDataBox}) {
    column->addWidget(w);
  }
  UseOtherAsBox = List(page, "UseOtherAsBox");
  for (const CodeItem& item : UseOtherItems()) UseOtherAsBox->addItem(Text(item.caption));
  AddLine(column, {Label(page, "Use \"Other\" field as:"), UseOtherAsBox});
  column->addStretch(1);
}

void TSetupForm::BuildViewPage() {
  QWidget* page = AddPage("View");
  auto* column = new QVBoxLayout(page);
  OscShowBox = Check(page, "Show oscillogram window", "OscShowBox");
  PhaseShowBox = Check(page, "Show phase indicator in PSK (Alt-I)", "PhaseShowBox");
  EditFieldsShowBox = Check(page, "Show edit fields", "EditFieldsShowBox");
  LogOscillogramBox = Check(page, "Logarithmic oscillogram scale (Ctrl-Z)", "LogOscillogramBox");
  LogSpectrumBox = Check(page, "Logarithmic spectrogram scale (Alt-Z)", "LogSpectrumBox");
  WaterFallBox = Check(page, "Spectrogram as waterfall (Alt-W)", "WaterFallBox");
  ShowSentInRxBox = Check(page, "Show sent symbols in RX window", "ShowSentInRxBox");
  for (QWidget* w : {OscShowBox, PhaseShowBox, EditFieldsShowBox, LogOscillogramBox, LogSpectrumBox,
                     WaterFallBox, ShowSentInRxBox}) {
    column->addWidget(w);
  }
  NumOfMacroBox = List(page, "NumOfMacroBox", {"Hide", "1", "2", "3"});
  AddLine(column, {Label(page, "Number of macros buttons rows:"), NumOfMacroBox});
  column->addStretch(1);
}

void TSetupForm::BuildFontsPage() {
  QWidget* page = AddPage("Fonts && colors");
  auto* grid = new QGridLayout(page);
  auto setButton = [&](QWidget* parent, const char* name) {
    auto* b = Named(new QPushButton(QStringLiteral("Set"), parent), name);
    b->setAutoDefault(false);
    return b;
  };
  // One group per sample: the sample on the left, its labelled "Set" buttons on the right.
  auto sampleGroup = [&](const char* title, const char* sampleName, const char* text, int row) {
    auto* group = new QGroupBox(Text(title), page);
    auto* g = new QGridLayout(group);
    auto* sample = Named(new MemoTextSample(group), sampleName);
    sample->SetSampleText(text);
    sample->setFixedSize(340, 70);
    g->addWidget(sample, 0, 0, 4, 1);
    g->setColumnStretch(3, 1);         // the room left over stays right of the buttons
    g->setColumnMinimumWidth(1, 130);  // the buttons of the three samples in one column
    grid->addWidget(group, row, 0);
    return std::pair{group, g};
  };
  auto addSet = [&](QGridLayout* g, QWidget* parent, int row, const char* label, const char* name) {
    g->addWidget(new QLabel(Text(label), parent), row, 1);
    QPushButton* b = setButton(parent, name);
    g->addWidget(b, row, 2);
    return b;
  };
  {
    auto [group, g] = sampleGroup("RX window", "RxSample", kRxSampleText, 0);
    RxSample = group->findChild<MemoTextSample*>(QStringLiteral("RxSample"));
    RxFontButton = addSet(g, group, 0, "Font:", "RxFontButton");
    RxBackButton = addSet(g, group, 1, "Background:", "RxBackButton");
    CallColorButton = addSet(g, group, 2, "Received callsign:", "CallColorButton");
  }
  {
    auto [group, g] = sampleGroup("Sent window", "SentSample", kSentSampleText, 1);
    SentSample = group->findChild<MemoTextSample*>(QStringLiteral("SentSample"));
    SentFontButton = addSet(g, group, 0, "Font:", "SentFontButton");
    SentBackButton = addSet(g, group, 1, "Background:", "SentBackButton");
  }
  {
    auto [group, g] = sampleGroup("TX window", "TxSample", kTxSampleText, 2);
    TxSample = group->findChild<MemoTextSample*>(QStringLiteral("TxSample"));
    TxFontButton = addSet(g, group, 0, "Font:", "TxFontButton");
    TxBackButton = addSet(g, group, 1, "Background:", "TxBackButton");
    TxSentFontButton = addSet(g, group, 2, "Sent symbols:", "TxSentFontButton");
  }
  auto* macros = new QGroupBox(QStringLiteral("Macro buttons"), page);
  auto* mg = new QGridLayout(macros);
  MacroSampleButton = Named(new QPushButton(QStringLiteral("F1"), macros), "MacroSampleButton");
  MacroSampleButton->setFocusPolicy(Qt::NoFocus);
  MacroSampleButton->setAutoDefault(false);
  mg->addWidget(MacroSampleButton, 0, 0);
  mg->setColumnStretch(0, 1);
  SetMacroFontButton = addSet(mg, macros, 0, "Font:", "SetMacroFontButton");
  grid->addWidget(macros, 3, 0);
  grid->setRowStretch(4, 1);

  connect(RxFontButton, &QPushButton::clicked, this, [this] { RxFontButtonClick(); });
  connect(RxBackButton, &QPushButton::clicked, this, [this] { RxBackButtonClick(); });
  connect(CallColorButton, &QPushButton::clicked, this, [this] { CallColorButtonClick(); });
  connect(SentFontButton, &QPushButton::clicked, this, [this] { SentFontButtonClick(); });
  connect(SentBackButton, &QPushButton::clicked, this, [this] { SentBackButtonClick(); });
  connect(TxFontButton, &QPushButton::clicked, this, [this] { TxFontButtonClick(); });
  connect(TxBackButton, &QPushButton::clicked, this, [this] { TxBackButtonClick(); });
  connect(TxSentFontButton, &QPushButton::clicked, this, [this] { TxSentFontButtonClick(); });
  connect(SetMacroFontButton, &QPushButton::clicked, this, [this] { SetMacroFontButtonClick(); });
}

void TSetupForm::BuildColoursPage() {
  QWidget* page = AddPage("Spectr. && Osc. colors");
  auto* grid = new QGridLayout(page);
  static constexpr const char* kLabels[8] = {"Spectrogram background",
                                             "Current spectrum",
                                             "Peak spectrum",
                                             "RX mark",
                                             "TX mark",
                                             "Oscillogram background",
                                             "Signal",
                                             "AFC threshold and zero line"};
  static constexpr const char* kNames[8] = {"SpecBackButton",    "FastSpecButton",    "SlowSpecButton",
                                            "RxMarkColorButton", "TxMarkColorButton", "OscBackButton",
                                            "OscColorButton",    "OscMarkButton"};
  const std::array<std::function<void()>, 8> handlers = {
      [this] { SpecBackButtonClick(); },    [this] { FastSpecButtonClick(); },
      [this] { SlowSpecButtonClick(); },    [this] { RxMarkColorButtonClick(); },
      [this] { TxMarkColorButtonClick(); }, [this] { OscBackButtonClick(); },
      [this] { OscColorButtonClick(); },    [this] { OscMarkButtonClick(); }};
  for (int i = 0; i < 8; ++i) {
    grid->addWidget(new QLabel(Text(kLabels[i]), page), i, 0);
    auto* b = Named(new QPushButton(QStringLiteral("Set"), page), kNames[i]);
    b->setAutoDefault(false);
    grid->addWidget(b, i, 1);
    DisplayColourButtons[size_t(i)] = b;
    connect(b, &QPushButton::clicked, this, handlers[size_t(i)]);
  }
  SpectrumPreview = Named(new ColoursPreview(ColoursPreview::Kind::kSpectrum, page), "SpectrumPreview");
  OscPreview = Named(new ColoursPreview(ColoursPreview::Kind::kOscillogram, page), "OscPreview");
  grid->addWidget(SpectrumPreview, 0, 2, 5, 1);
  grid->addWidget(OscPreview, 5, 2, 3, 1);
  grid->setColumnStretch(2, 1);
}

void TSetupForm::BuildWaterfallPage() {
  QWidget* page = AddPage("Waterfall");
  auto* grid = new QGridLayout(page);
  static constexpr const char* kRows[3] = {"Hue =", "Saturation =", "Lightness ="};
  static constexpr const char* kNames[6] = {"H0Edit", "H1Edit", "S0Edit", "S1Edit", "L0Edit", "L1Edit"};
  for (int row = 0; row < 3; ++row) {
    grid->addWidget(new QLabel(Text(kRows[row]), page), row, 0);
    for (int k = 0; k < 2; ++k) {
      auto* e = Named(new QLineEdit(page), kNames[row * 2 + k]);
      // A sign, one digit, the point and two decimals: -9.99 .. +9.99.
      e->setInputMask(QStringLiteral("#9.99;_"));
      e->setMaximumWidth(70);
      CoefficientEdits[size_t(row * 2 + k)] = e;
      grid->addWidget(e, row, 1 + k * 2);
      connect(e, &QLineEdit::textEdited, this, [this] { H0EditChange(); });
    }
    grid->addWidget(new QLabel(QStringLiteral("+"), page), row, 2);
    grid->addWidget(new QLabel(QStringLiteral("x amplitude"), page), row, 4);
  }
  RxMarkButton = Named(new QPushButton(QStringLiteral("RX mark color"), page), "RxMarkButton");
  TxMarkButton = Named(new QPushButton(QStringLiteral("TX mark color"), page), "TxMarkButton");
  for (QPushButton* b : {RxMarkButton, TxMarkButton}) b->setAutoDefault(false);
  grid->addWidget(RxMarkButton, 3, 1, 1, 2);
  grid->addWidget(TxMarkButton, 3, 3, 1, 2);
  WfImage = Named(new WaterfallPreview(page), "WfImage");
  WfImage->setFixedSize(360, 60);
  WfImage->SetMarkColumn(360 / 3);
  grid->addWidget(WfImage, 4, 0, 1, 5);
  grid->setRowStretch(5, 1);
  grid->setColumnStretch(5, 1);
  connect(RxMarkButton, &QPushButton::clicked, this, [this] { RxMarkButtonClick(); });
  connect(TxMarkButton, &QPushButton::clicked, this, [this] { TxMarkButtonClick(); });
  WfImage->onMouseDown = [this](int x) { WfImageMouseDown(x); };
  WfImage->onMouseMove = [this](int x, bool left) { WfImageMouseMove(x, left); };
}

void TSetupForm::BuildAx25Page() {
  QWidget* page = AddPage("AX25");
  auto* column = new QVBoxLayout(page);
  KissBox = Check(page, "KISS mode", "KissBox");
  column->addWidget(KissBox);
  column->addStretch(1);
}

void TSetupForm::BuildOtherPage() {
  QWidget* page = AddPage("Other");
  auto* column = new QVBoxLayout(page);
  TimeZoneBox = List(page, "TimeZoneBox");
  for (const CodeItem& item : TimeZoneItems()) TimeZoneBox->addItem(Text(item.caption));
  AddLine(column, {Label(page, "Time zone: "), TimeZoneBox});
  WhenChangedBox = Check(page, "Send Mode to logger when mode was changed", "WhenChangedBox");
  WithCallBox = Check(page, "Send Mode to logger together with callsign", "WithCallBox");
  column->addWidget(WhenChangedBox);
  column->addWidget(WithCallBox);
  ModeAsBox = List(page, "ModeAsBox");
  for (const CodeItem& item : ModeAsItems()) ModeAsBox->addItem(Text(item.caption));
  ModeAsEdit = Named(new QLineEdit(page), "ModeAsEdit");
  AddLine(column, {Label(page, "Send mode"), ModeAsBox, Label(page, "as"), ModeAsEdit});
  BinaryTransferBox = Check(page, "Do not strip received NIL symbols from capture file and exchange channels",
                            "BinaryTransferBox");
  PutTimeToFileBox = Check(page, "Put time marks to a capture file", "PutTimeToFileBox");
  SavePs2x5Box =
      Check(page, "Save received PS2x5 and PS33x5 transmissions in separate files", "SavePs2x5Box");
  for (QWidget* w : {BinaryTransferBox, PutTimeToFileBox, SavePs2x5Box}) column->addWidget(w);
  column->addStretch(1);
  connect(ModeAsBox, &QComboBox::activated, this, [this] { ModeAsBoxChange(); });
  connect(ModeAsEdit, &QLineEdit::textEdited, this, [this] { ModeAsEditChange(); });
}

void TSetupForm::SetupOKClick() {
  if (applying_) return;
  ApplySetupDialog();
  setWindowFlag(Qt::WindowStaysOnTopHint, false);
  hide();
  form_.engine().display.DisplayPause = 0;
}

void TSetupForm::SetupApplyClick() {
  if (applying_) return;
  form_.engine().display.DisplayPause = 3000;
  ApplySetupDialog();
}

void TSetupForm::SetupSaveClick() {
  if (applying_) return;
  form_.engine().display.DisplayPause = 3000;
  ApplySetupDialog();
  form_.SaveSettings();
}

void TSetupForm::SetupCancelClick() {
  // Nothing is applied; the next showing fills the dialog anew.
  if (applying_) return;
  setWindowFlag(Qt::WindowStaysOnTopHint, false);
  hide();
  form_.engine().display.DisplayPause = 0;
}

void TSetupForm::closeEvent(QCloseEvent* e) {
  // Not while an apply waits: it would go on behind a closed dialog. The stay-on-top style is
  // set anew at every showing.
  if (applying_) {
    e->ignore();
    return;
  }
  form_.engine().display.DisplayPause = 0;
  e->accept();
}

void TSetupForm::reject() {
  SetupCancelClick();
}

}  // namespace vestrel
