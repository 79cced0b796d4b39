#include "app/rx_form.h"
#include "memo/byte_string.h"

#include <QAction>
#include <QApplication>
#include <QMouseEvent>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cstdio>
#include <initializer_list>

#include "app/automation_server.h"
#include "app/callsigns.h"
#include "app/capture_files.h"
#include "app/displays.h"
#include "app/fast_macros_form.h"
#include "app/form_layout.h"
#include "app/form_macros.h"
#include "app/keying_ports.h"
#include "app/macros_form.h"
#include "app/exchange_port.h"
#include "app/linked_exchange_library.h"
#include "app/logger_link.h"
#include "app/message_bus.h"
#include "app/no_sound_devices.h"
#include "app/rig_link.h"
#include "app/settings_file.h"
#include "app/transmit_control.h"
#include "memo/qt/styled_memo_widget.h"

namespace vestrel {

const QEvent::Type TPostedMessage::kType = static_cast<QEvent::Type>(QEvent::registerEventType());

namespace {

QToolButton* MakeToggle(QWidget* parent, const char* caption, const char* name) {
  auto* b = new QToolButton(parent);
  b->setText(QString::fromLatin1(caption));
  b->setObjectName(QString::fromLatin1(name));
  b->setCheckable(true);
  b->setMinimumWidth(56);
  return b;
}

QWidget* DarkBox(QWidget* parent, const char* name) {
  auto* w = new QWidget(parent);
  w->setObjectName(QString::fromLatin1(name));
  w->setAutoFillBackground(true);
  QPalette p = w->palette();
  p.setColor(QPalette::Window, Qt::black);
  w->setPalette(p);
  return w;
}

QString Latin(std::string_view s) { return QString::fromLatin1(s.data(), qsizetype(s.size())); }

}  // namespace

TRxForm::TRxForm(TRxFormDeps deps)
    : deps_(std::move(deps)),
      boxes_(deps_.boxes != nullptr ? *deps_.boxes : *(ownBoxes_ = std::make_unique<QtMessageBoxes>())),
      dialogs_(deps_.dialogs != nullptr ? *deps_.dialogs : *(ownDialogs_ = std::make_unique<QtFileDialogs>())),
      opener_(deps_.opener != nullptr ? *deps_.opener : *(ownOpener_ = std::make_unique<QtShellOpener>())),
      clock_(deps_.clock != nullptr ? *deps_.clock : *(ownClock_ = std::make_unique<SystemClock>())),
      app_(Use<AppControl>(deps_.app, ownApp_)),
      settingsPart_(Use<TSettingsFile>(deps_.settings, ownSettings_)),
      logger_(deps_.logger != nullptr ? *deps_.logger : *(ownLogger_ = std::make_unique<TLoggerLink>(*this))),
      display_(Use<TDisplays>(deps_.display, ownDisplay_)),
      macros_(deps_.macros != nullptr ? *deps_.macros : *(ownMacros_ = MakeFormMacros(*this))),
      capture_(deps_.capture != nullptr
                   ? *deps_.capture
                   : *(ownCapture_ = std::make_unique<TCaptureFiles>(*this, boxes_, dialogs_, opener_, clock_))),
      exchange_(Use<LinkedExchangeLibrary>(deps_.exchange, ownExchange_)),
      exchangePort_(Use<TExchangePort>(deps_.exchangePort, ownExchangePort_)),
      automation_(deps_.automation != nullptr ? *deps_.automation
                                           : *(ownAutomation_ = std::make_unique<TAutomationServer>(*this))),
      presence_(deps_.presenceName) {
  setObjectName(QStringLiteral("TRxForm"));
  setWindowTitle(QStringLiteral("Vestrel"));
  BuildControls();
  BuildMenus();
  ConnectModeMenus();
  if (deps_.callsigns != nullptr) {
    callsigns_ = deps_.callsigns;
  } else {
    ownCallsigns_ = std::make_unique<TCallsigns>(*RxMemo, *this, settings_, *this);
    callsigns_ = ownCallsigns_.get();
  }
  rxSink_ = std::make_unique<ReceivedTextSink>(
      *RxMemo, ReceivedTextLinks{*this, settings_, clock_, TextCaptureFile, exchange_, exchangePort_, *callsigns_,
                                 automation_, logger_});
  engine_ = std::make_unique<TEngine>(*this, *rxSink_);
  // The block modes' message files are named by their start time.
  engine_->blockCapture.clock = &clock_;
  // Received packet frames are also written to the KISS capture file while it is open.
  engine_->packetOutput.SetCaptureOutput(capture_.KissCapture());
  // Received packet frames leave as KISS through the exchange library's link and the port.
  engine_->packetOutput.SetExchangeOutputs(exchange_.Kiss(), exchangePort_.Kiss());
  if (deps_.engine != nullptr) {
    engineDriver_ = deps_.engine;
  } else {
    TxPumpLinks links;
    links.ptt = this;
    links.text = this;
    links.logger = this;
    links.keying = this;
    links.fatal = this;
    ownEngineDriver_ =
        std::make_unique<TEngineDriver>(*engine_, boxes_, *this, deps_.waveBackend, links, capture_.AudioLink());
    engineDriver_ = ownEngineDriver_.get();
  }
  sound_ = deps_.sound != nullptr ? deps_.sound : engineDriver_->Sound();
  if (sound_ == nullptr) {
    ownSound_ = std::make_unique<NoSoundDevices>(boxes_);
    sound_ = ownSound_.get();
  }
  if (deps_.workers != nullptr) {
    workers_ = deps_.workers;
  } else {
    ownWorkers_ = std::make_unique<SerialWorkers>();
    workers_ = ownWorkers_.get();
  }
  // The rig link keys the rig for the keying ports, so it is made first.
  TRigLink* rigLink = nullptr;
  if (deps_.rig != nullptr) {
    rig_ = deps_.rig;
  } else {
    auto own = std::make_unique<TRigLink>(*this, deps_.rigServer);
    rigLink = own.get();
    rig_ = rigLink;
    ownRig_ = std::move(own);
  }
  // The program's own exchange port opens with the keying port and passes the rig's keying
  // paths on.
  auto* ownExchangePort = static_cast<TExchangePort*>(ownExchangePort_.get());
  KeyingPortHooks* hooks = rigLink;
  if (ownExchangePort != nullptr) {
    ownExchangePort->Connect({workers_->shared(), &boxes_, this, &macros_, &exchange_, &engine_->params,
                              &settings_.IsKISS, &engine_->bufFifo, &engine_->packetChannel, rigLink});
    hooks = ownExchangePort;
  }
  if (deps_.ports != nullptr) {
    ports_ = deps_.ports;
  } else {
    TKeyingPorts::Links links;
    links.boxes = &boxes_;
    links.lines = deps_.modemLines;
    links.backend = deps_.portBackend;
    links.hooks = hooks;
    links.transmitting = [this] { return Transmitting(); };
    links.useTxD = &engine_->tx.UseTxD;
    links.modem = &engine_->params;
    auto own = std::make_unique<TKeyingPorts>(settings_, workers_->shared(), links);
    if (ownExchangePort != nullptr) ownExchangePort->AttachPorts(&own->ports());
    ports_ = own.get();
    ownPorts_ = std::move(own);
  }
  // The program's displays draw the engine's spectrum and levels into the window's boxes.
  if (auto* displays = dynamic_cast<TDisplays*>(ownDisplay_.get())) {
    DisplayLinks links;
    links.engine = engine_.get();
    links.settings = &settings_;
    links.window = this;
    links.clock = &clock_;
    links.box = FFTBox;
    links.scalePanel = ScalePanel;
    links.strip = PaintBox1;
    links.scaleMouseUp = [this] { ScaleImageMouseUp(QGuiApplication::keyboardModifiers()); };
    displays->Attach(links);
  }
  if (deps_.transmit != nullptr) {
    transmit_ = deps_.transmit;
  } else {
    ownTransmit_ = std::make_unique<TTransmitControl>(*this);
    transmit_ = ownTransmit_.get();
  }
  // The COM writer reports its failures through the window's messages.
  workers_->shared()->SetPoster(this);
  Timer1.setInterval(100);
  connect(&Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
  FormCreate();
}

TRxForm::~TRxForm() {
  qApp->removeEventFilter(this);
  FormDestroy();
}

void TRxForm::SetForms(TMacrosForm* macros, TSetupForm* setup, TFastMacrosForm* fast) {
  macrosForm_ = macros;
  setupForm_ = setup;
  fastMacrosForm_ = fast;
}

void TRxForm::BuildControls() {
  auto* central = new QWidget(this);
  auto* frame = new QVBoxLayout(central);
  frame->setContentsMargins(2, 2, 2, 2);
  Panes = new QSplitter(Qt::Vertical, central);
  Panes->setObjectName(QStringLiteral("Panes"));
  Panes->setHandleWidth(2);
  Panes->setChildrenCollapsible(false);
  frame->addWidget(Panes);
  // Each row joins the splitter with its share of a taller window.
  auto addPane = [this](QWidget* pane, int stretch) {
    Panes->addWidget(pane);
    Panes->setStretchFactor(Panes->indexOf(pane), stretch);
  };

  RxMemo = new StyledMemoWidget(central);
  RxMemo->setObjectName(QStringLiteral("RxMemo"));
  RxMemo->setReadOnly(true);
  // Received text comes in as one bracket per character; undo would take it all back at once.
  RxMemo->setUndoMaxLevel(0);
  addPane(RxMemo, 5);

  // Three rows of 12 macro buttons, placed by FormResize.
  Panel2 = new QWidget(central);
  Panel2->setObjectName(QStringLiteral("Panel2"));
  constexpr int kButtonHeight = kMacroButtonHeight;
  // One pixel below the last row, as a saved height of three rows gives it back.
  Panel2->setFixedHeight(3 * (kButtonHeight + 2) + 1);
  for (int n = 1; n <= 36; ++n) {
    auto* b = new QPushButton(Panel2);
    b->setObjectName(QStringLiteral("ButMacro%1").arg(n));
    b->setFocusPolicy(Qt::NoFocus);
    const int row = (n - 1) / 12, col = (n - 1) % 12;
    b->setGeometry(2 + col * 52, 2 + row * (kButtonHeight + 2), 50, kButtonHeight);
    ButMacro[n] = b;
  }
  addPane(Panel2, 0);

  // The QSO panel, placed by hand: its last edit takes the width the others leave
  // (FormResize), so no layout may feed that width back into the window's minimum.
  QsoPanel = new QWidget(central);
  QsoPanel->setObjectName(QStringLiteral("QsoPanel"));
  QsoPanel->setFixedHeight(24);
  auto addEdit = [&](const char* label, const char* name, int x, int labelWidth, int width) {
    // The caption's "&" letter is shown underlined; its Alt key belongs to the key table.
    auto* l = new QLabel(QString::fromLatin1(label).replace(QRegularExpression(QStringLiteral("&(.)")),
                                                            QStringLiteral("<u>\\1</u>")),
                         QsoPanel);
    l->setTextFormat(Qt::RichText);
    l->setGeometry(x, 3, labelWidth, 18);
    auto* e = new QLineEdit(QsoPanel);
    e->setObjectName(QString::fromLatin1(name));
    e->setGeometry(x + labelWidth, 1, width, 22);
    return e;
  };
  CallEdit = addEdit("&C:", "CallEdit", 2, 30, 90);
  RSTEdit = addEdit("&R:", "RSTEdit", 126, 28, 40);
  NameEdit = addEdit("&N:", "NameEdit", 198, 40, 84);
  // 364 + 46 (gap, Clear and the panel's margin) leaves the 410 that FormResize keeps.
  OtherEdit = addEdit("&O:", "OtherEdit", 324, 40, 25);
  ClearEditButton = new QPushButton(QStringLiteral("Cle&ar"), QsoPanel);
  ClearEditButton->setShortcut(QKeySequence());  // Alt+A is the key table's
  ClearEditButton->setObjectName(QStringLiteral("ClearEditButton"));
  ClearEditButton->setFocusPolicy(Qt::NoFocus);
  ClearEditButton->setGeometry(364 + 25 + 2, 1, 40, 22);
  addPane(QsoPanel, 0);

  // Buttons, spectrum with its scale and tuning row, oscillogram.
  DisplayPane = new QWidget(central);
  DisplayPane->setObjectName(QStringLiteral("DisplayPane"));
  auto* displays = new QHBoxLayout(DisplayPane);
  displays->setContentsMargins(0, 0, 0, 0);
  auto* buttons = new QGridLayout();
  TxButton = MakeToggle(central, "TX", "TxButton");
  PauseButton = MakeToggle(central, "Pause", "PauseButton");
  AfcButton = MakeToggle(central, "AFC", "AfcButton");
  TxAfcButton = MakeToggle(central, "TxAFC", "TxAfcButton");
  SqlButton = MakeToggle(central, "SQL", "SqlButton");
  SqlUpDown = new QSpinBox(central);
  SqlUpDown->setObjectName(QStringLiteral("SqlUpDown"));
  SqlUpDown->setRange(0, 100);
  SqlUpDown->setValue(settings_.SquelchThreshold);
  ReverseButton = MakeToggle(central, "Reverse", "ReverseButton");
  OnTopButton = MakeToggle(central, "OnTop", "OnTopButton");
  BeaconButton = MakeToggle(central, "Beacon", "BeaconButton");
  BeaconUpDown = new QSpinBox(central);
  BeaconUpDown->setObjectName(QStringLiteral("BeaconUpDown"));
  BeaconUpDown->setRange(3, 999);
  BeaconUpDown->setValue(settings_.BeaconPeriod);
  for (QWidget* w : std::initializer_list<QWidget*>{TxButton, PauseButton, AfcButton, TxAfcButton, SqlButton,
                                                    SqlUpDown, ReverseButton, OnTopButton, BeaconButton,
                                                    BeaconUpDown}) {
    w->setFocusPolicy(Qt::NoFocus);
  }
  buttons->addWidget(TxButton, 0, 0);
  buttons->addWidget(PauseButton, 0, 1);
  buttons->addWidget(AfcButton, 1, 0);
  buttons->addWidget(TxAfcButton, 1, 1);
  buttons->addWidget(SqlButton, 2, 0);
  buttons->addWidget(SqlUpDown, 2, 1);
  buttons->addWidget(ReverseButton, 3, 0);
  buttons->addWidget(OnTopButton, 3, 1);
  buttons->addWidget(BeaconButton, 4, 0);
  buttons->addWidget(BeaconUpDown, 4, 1);
  BuildTuningControls(central, buttons, 5);
  displays->addLayout(buttons);

  auto* spectrum = new QVBoxLayout();
  spectrum->setSpacing(0);
  FFTBox = DarkBox(central, "FFTBox");
  FFTBox->setMinimumHeight(100);
  spectrum->addWidget(FFTBox, 1);
  ScalePanel = new QWidget(central);
  ScalePanel->setObjectName(QStringLiteral("ScalePanel"));
  ScalePanel->setFixedHeight(14);
  auto* scaleRow = new QHBoxLayout(ScalePanel);
  scaleRow->setContentsMargins(0, 0, 0, 0);
  scaleRow->addStretch(1);
  FileLabel = new QLabel(ScalePanel);
  FileLabel->setObjectName(QStringLiteral("FileLabel"));
  scaleRow->insertWidget(0, FileLabel);
  FilterLabel = new QLabel(ScalePanel);
  FilterLabel->setObjectName(QStringLiteral("FilterLabel"));
  scaleRow->addWidget(FilterLabel);
  spectrum->addWidget(ScalePanel);
  TunePanel = new QWidget(central);
  TunePanel->setObjectName(QStringLiteral("TunePanel"));
  TunePanel->setFixedHeight(26);
  static constexpr const char* kTuneCaptions[6] = {"<", ">", "<<", ">>", "Replay", "Save"};
  static constexpr int kTuneWidths[6] = {30, 30, 30, 30, 60, 60};
  // Designed side by side from the left; FormResize centres them from the 20th tick on.
  const std::array<int, 6> tuneX = TuningButtonsX(0);
  for (int i = 0; i < 6; ++i) {
    auto* b = new QPushButton(QString::fromLatin1(kTuneCaptions[i]), TunePanel);
    b->setFocusPolicy(Qt::NoFocus);
    b->setGeometry(tuneX[i], 2, kTuneWidths[i], 22);
    TuneButtons[i] = b;
  }
  spectrum->addWidget(TunePanel);
  displays->addLayout(spectrum, 1);

  addPane(DisplayPane, 3);
  // The oscillogram strip across the window.
  PaintBox1 = DarkBox(central, "PaintBox1");
  PaintBox1->setFixedHeight(kOscillogramHeight);
  addPane(PaintBox1, 0);

  Sent = new QPlainTextEdit(central);
  Sent->setObjectName(QStringLiteral("Sent"));
  Sent->setReadOnly(true);
  Sent->setMinimumHeight(kMinPaneHeight);
  addPane(Sent, 0);
  Input = new StyledMemoWidget(central);
  Input->setObjectName(QStringLiteral("Input"));
  Input->setMinimumHeight(kMinPaneHeight);
  // The typing window is short and edited at the send position: laid out at once, no thread.
  Input->setUpdateMode(umImmediate);
  addPane(Input, 2);
  // The designed rows; the splitter scales them to the window it is shown in.
  Panes->setSizes({kDesignRxHeight, Panel2->maximumHeight(), QsoPanel->maximumHeight(), kDesignDisplayHeight,
                   PaintBox1->maximumHeight(), kDesignSentHeight, kDesignInputHeight});
  setCentralWidget(central);

  // Panels 0..11 and the mode's extra panel 12, each as wide as the widest texts it shows
  // (mode names, speeds, four-digit frequencies, capture and beacon states, block counters).
  static const std::initializer_list<const char*> kWidestTexts[13] = {
      {"AMT-FEC", "AMT-ARQ", "BPSK125", "ASCII-8", "PACTOR", "MFSK16", "AX25-U"},
      {"100/200 Bd", "1200.00 Bd", "7.8125 Bd"},
      {"9999 Hz"},
      {"1200 Hz"},
      {"T+K+W", "CapW"},
      {"9999 Hz"},
      {"1200 Hz"},
      {"UoS"},
      {"RIT", "VFO", "NoPTT"},
      {"n:15 e:8"},
      {"BEA:999", "BEA:W"},
      {"FrB: 8"},
      {"o:-12/-123/-12"}};
  // One row of their own, closer together than the status bar would set them, so that the
  // designed width holds them all.
  auto* panelRow = new QWidget(this);
  auto* panelLayout = new QHBoxLayout(panelRow);
  panelLayout->setContentsMargins(0, 0, 0, 0);
  panelLayout->setSpacing(2);
  for (int i = 0; i < 13; ++i) {
    auto* l = new QLabel(panelRow);
    l->setObjectName(QStringLiteral("Panel%1").arg(i));
    l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    int width = 0;
    for (const char* text : kWidestTexts[i]) {
      l->setText(QString::fromLatin1(text));
      width = std::max(width, l->sizeHint().width());
    }
    l->clear();
    l->setMinimumWidth(width);
    panelLayout->addWidget(l, i == 12 ? 1 : 0);
    panels_[i] = l;
  }
  statusBar()->addWidget(panelRow, 1);
  // The status bar would let the window grow narrower than its panels, cutting them; its
  // panels' width is the window's minimum.
  statusBar()->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  connect(OnTopButton, &QToolButton::clicked, this, [this] { OnTopButtonClick(); });
  connect(BeaconButton, &QToolButton::clicked, this, [this] {
    BeaconButton->setChecked(BeaconOn);  // the click handler decides the state
    BeaconButtonClick();
  });
  connect(BeaconUpDown, &QSpinBox::valueChanged, this, [this] { BeaconEditChange(); });
  // The click handlers decide the buttons' state.
  connect(TxButton, &QToolButton::clicked, this, [this](bool on) {
    TxButton->setChecked(!on);
    TxButtonClick();
  });
  connect(PauseButton, &QToolButton::clicked, this, [this](bool on) {
    PauseButton->setChecked(!on);
    PauseButtonClick();
  });
  connect(AfcButton, &QToolButton::toggled, this, [this](bool on) { engineDriver_->SetAfc(on); });
  connect(SqlButton, &QToolButton::toggled, this, [this](bool on) { engineDriver_->SetSquelch(on); });
  connect(SqlUpDown, &QSpinBox::valueChanged, this, [this](int v) { engineDriver_->SetSquelchPosition(v); });
  connect(ClearEditButton, &QPushButton::clicked, this, [this] { logger_.ClearQsoPanel(); });
  connect(ReplayButton(), &QPushButton::clicked, this, [this] { capture_.ReplayButtonClick(); });
  connect(SaveButton(), &QPushButton::clicked, this, [this] { capture_.SaveButtonClick(); });
  ConnectMacroButtons();
}

QAction* TRxForm::AddItem(QMenu* menu, const char* caption) {
  QAction* a = menu->addAction(QString::fromLatin1(caption));
  menuItems_.emplace(caption, a);
  return a;
}

void TRxForm::BuildMenus() {
  QMenuBar* bar = menuBar();
  // Only some menus pause the displays while they are open (the hook in FormCreate).
  auto addMenu = [&](const char* caption, bool pausesDisplays = false) {
    QMenu* m = bar->addMenu(QString::fromLatin1(caption));
    m->setProperty(kPausesDisplays, pausesDisplays);
    menuItems_.emplace(caption, m->menuAction());
    menus_.push_back(m);
    return m;
  };
  QMenu* file = addMenu("File", true);
  connect(AddItem(file, "Clear Buffer (Alt-D)"), &QAction::triggered, this, [this] { ClearBuffer1Click(); });
  connect(AddItem(file, "Save Buffer (Ctrl-S)"), &QAction::triggered, this, [this] { SaveBuffer1Click(); });
  connect(AddItem(file, "Open Buffer in Notepad (Ctrl-N)"), &QAction::triggered, this,
          [this] { capture_.OpenBufferInEditor(); });
  file->addSeparator();
  connect(AddItem(file, "Open Capture File (Alt-L)"), &QAction::triggered, this,
          [this] { capture_.OpenCaptureFile1Click(); });
  QAction* closeText = AddItem(file, "Close Capture File (Alt-L)");
  closeText->setEnabled(false);  // until a capture file is open
  connect(closeText, &QAction::triggered, this, [this] { capture_.CloseCaptureFile1Click(); });
  connect(AddItem(file, "Open Wave Capture File (Alt-V)"), &QAction::triggered, this,
          [this] { capture_.OpenWaveCaptureFile1Click(); });
  QAction* closeWave = AddItem(file, "Close Wave Capture File (Alt-V)");
  closeWave->setEnabled(false);  // until a capture file is open
  connect(closeWave, &QAction::triggered, this, [this] { capture_.CloseWaveCaptureFile1Click(); });
  connect(AddItem(file, "Open KISS Capture File"), &QAction::triggered, this,
          [this] { capture_.OpenKISSCaptureFile1Click(); });
  QAction* closeKiss = AddItem(file, "Close KISS Capture File");
  closeKiss->setEnabled(false);
  connect(closeKiss, &QAction::triggered, this, [this] { capture_.CloseKISSCaptureFile1Click(); });
  file->addSeparator();
  AddItem(file, "Send Text File");
  AddItem(file, "Send a File (Bypass Input Window)");
  file->addSeparator();
  connect(AddItem(file, "Decode From File"), &QAction::triggered, this, [this] { capture_.DecodeFromFile1Click(); });
  file->addSeparator();
  connect(AddItem(file, "Exit"), &QAction::triggered, this, [this] { ExitClick(); });

  QAction* setup = bar->addAction(QStringLiteral("Setup"));
  menuItems_.emplace("Setup", setup);
  connect(setup, &QAction::triggered, this, [this] { ShowSetup(0); });

  QMenu* mode = addMenu("Mode", true);
  for (const char* c : {"RTTY", "ASCII-7", "ASCII-8"}) AddItem(mode, c);
  mode->addSeparator();
  QMenu* amtor = mode->addMenu(QStringLiteral("AMTOR-FEC"));
  menuItems_.emplace("AMTOR-FEC", amtor->menuAction());
  AddItem(amtor, "Normal Sync");
  AddItem(amtor, "Fast Sync");
  AddItem(mode, "AMTOR-ARQ (RX Only)");
  mode->addSeparator();
  AddItem(mode, "PACTOR1-FEC (RX Only)");
  mode->addSeparator();
  AddItem(mode, "PS2x5");
  AddItem(mode, "PS33x5");
  mode->addSeparator();
  for (const char* c : {"BPSK-31", "QPSK-31", "BPSK-63", "QPSK-63", "BPSK-125"}) AddItem(mode, c);
  mode->addSeparator();
  AddItem(mode, "MultiFSK-8");
  AddItem(mode, "MultiFSK-16");
  mode->addSeparator();
  AddItem(mode, "AX25 (HF)");
  AddItem(mode, "AX25 (UHF)");
  mode->addSeparator();
  AddItem(mode, "DTMF RX Only)");

  QMenu* speed = addMenu("Speed", true);
  for (const char* c : {"1.5625 Baud", "2 Baud", "3.125 Baud", "4 Baud", "5 Baud", "6.25 Baud", "10 Baud",
                        "12.5 Baud", "25 Baud", "45 Baud", "50 Baud", "57 Baud", "75 Baud", "100 Baud",
                        "110 Baud", "150 Baud", "200 Baud", "250 Baud", "300 Baud", "500 Baud", "600 Baud",
                        "1000 Baud", "1200 Baud"}) {
    AddItem(speed, c);
  }
  QMenu* shift = addMenu("Shift", true);
  for (const char* c : {"4 Hz", "5 Hz", "10 Hz", "20 Hz", "23 Hz", "25 Hz", "50 Hz", "85 Hz", "100 Hz", "150 Hz",
                        "170 Hz", "182 Hz", "200 Hz", "250 Hz", "300 Hz", "400 Hz", "425 Hz", "450 Hz", "500 Hz",
                        "600 Hz", "850 Hz", "1000 Hz", "1200 Hz"}) {
    AddItem(shift, c);
  }
  QMenu* filters = addMenu("Filters");
  for (const char* c : {"Narrow", "Optimal", "Wide (Polar)"}) AddItem(filters, c);
  QMenu* zoom = addMenu("Zoom");
  for (int z = 1; z <= 5; ++z) {
    const std::string caption = std::to_string(z) + ":1 (Alt-" + std::to_string(z) + ")";
    QAction* a = zoom->addAction(QString::fromStdString(caption));
    menuItems_.emplace(caption, a);
    connect(a, &QAction::triggered, this, [this, z] { display_.SetZoom(z); });
  }
  QAction* editMacros = bar->addAction(QStringLiteral("Edit Macros"));
  menuItems_.emplace("Edit Macros", editMacros);
  connect(editMacros, &QAction::triggered, this, [this] { EditMacroses1Click(); });
  QMenu* help = addMenu("Help", true);
  connect(AddItem(help, "Contents"), &QAction::triggered, this, [this] { Contents1Click(); });
  connect(AddItem(help, "About"), &QAction::triggered, this, [this] { About1Click(); });
  connect(AddItem(help, "Contact us"), &QAction::triggered, this, [this] { ContactUs1Click(); });
}

QAction* TRxForm::MenuItem(std::string_view caption) const {
  auto it = menuItems_.find(caption);
  return it == menuItems_.end() ? nullptr : it->second;
}

void TRxForm::SetPanelText(int panel, std::string_view text) {
  if (panel >= 0 && panel < int(panels_.size())) panels_[panel]->setText(Latin(text));
}

void TRxForm::SetMenuChecked(std::string_view item, bool checked) {
  if (QAction* a = MenuItem(item)) {
    a->setCheckable(true);
    a->setChecked(checked);
  }
}

void TRxForm::SetMenuVisible(std::string_view item, bool visible) {
  if (QAction* a = MenuItem(item)) a->setVisible(visible);
}

void TRxForm::SetMenuEnabled(std::string_view item, bool enabled) {
  if (QAction* a = MenuItem(item)) a->setEnabled(enabled);
}

void TRxForm::SetFilterLabel(std::string_view text) { FilterLabel->setText(Latin(text)); }

void TRxForm::ReportModeToLogger(std::string_view modeName) {
  logger_.ExportQsoField("Mode", std::string(modeName), kQsoMode);
}

void TRxForm::ReopenKeyingPorts() {
  // After the shutdown nothing would close them again.
  if (ShutdownDone != 0) return;
  ports_->ReopenPorts();
}

void TRxForm::RequestTermination() { app_.Terminate(); }

void TRxForm::PumpTxText() { transmit_->PumpTxText(); }

void TRxForm::ShowSentChar() { transmit_->ShowSentChar(); }

bool TRxForm::InputAllSent() const { return transmit_->InputAllSent(); }

void TRxForm::SetTxButton(bool down) { TxButton->setChecked(down); }

void TRxForm::NotifyCommand(int command) { logger_.NotifyCommand(command); }

void TRxForm::SetPtt(bool on) { ports_->SetPtt(on); }

bool TRxForm::KeyingPortOpen() const { return ports_->KeyingPortOpen(); }

void TRxForm::WriteTxdByte(uint8_t code) { ports_->WriteTxdByte(code); }

void TRxForm::ShowError(std::string_view text, std::string_view caption) { boxes_.ShowMessage(caption, text); }

void TRxForm::ShowFileError(std::string_view caption, std::string_view text) { boxes_.ShowMessage(caption, text); }

bool TRxForm::Transmitting() const { return transmit_->Transmitting() || engine_->tx.TxState != 0; }

int TRxForm::CurrentMode() const { return engine_->params.Mode; }

void TRxForm::ReportReceiveWindowFailure(const std::string& text) {
  // The sink runs inside a decoder's block loop: the box, with its own message loop, comes
  // once that work is done.
  QTimer::singleShot(0, this, [this, text] { boxes_.ShowMessage("Vestrel - Receive Window Error", text); });
}

void TRxForm::Post(uint32_t message) { QCoreApplication::postEvent(this, new TPostedMessage(message)); }

bool TRxForm::event(QEvent* e) {
  if (e->type() == TPostedMessage::kType) {
    Dispatch(static_cast<TPostedMessage*>(e)->message);
    return true;
  }
  return QMainWindow::event(e);
}

void TRxForm::RxMemoMouseDown() {
  receivedText().SetRxMouseDown(true);
  engine_->display.DisplayPause = 0;
}

void TRxForm::RxMemoMouseUp(int globalX, int globalY) {
  receivedText().SetRxMouseDown(false);
  std::string word;
  if (RxMemo->SelLength() != 0) {
    word = ToChars(RxMemo->getSelText());
    RxMemo->setSelLength(0);
  } else if (settings_.CatchWordByOneClick != 0) {
    word = ToChars(RxMemo->getCurrentWord());
  }
  if (!word.empty()) logger_.PickWord(word, globalX, globalY);
}

bool TRxForm::eventFilter(QObject* watched, QEvent* e) {
  FocusHelpers(watched, e);
  // A press in the typing window, the receive window or the spectrum may stop the beacon.
  if (e->type() == QEvent::MouseButtonPress) {
    if (watched == Input->viewport() || watched == RxMemo->viewport() || watched == FFTBox) BeaconOffByPress();
    if (watched == RxMemo->viewport()) RxMemoMouseDown();
  }
  if (e->type() == QEvent::MouseButtonRelease && watched == RxMemo->viewport()) {
    auto* m = static_cast<QMouseEvent*>(e);
    // The right button's release is the memo's own menu.
    if (m->button() == Qt::LeftButton) {
      const QPoint at = m->globalPosition().toPoint();
      RxMemoMouseUp(at.x(), at.y());
    }
  }
  if (TuningMouseEvent(watched, e)) return true;
  // The window sees every key of its own controls first.
  if (e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease) {
    auto* w = qobject_cast<QWidget*>(watched);
    if (w != nullptr && w->window() == this) {
      auto* k = static_cast<QKeyEvent*>(e);
      const Qt::KeyboardModifiers m = k->modifiers();
      KeyModifiers mods{(m & Qt::ShiftModifier) != 0, (m & Qt::ControlModifier) != 0,
                        (m & Qt::AltModifier) != 0, (m & Qt::KeypadModifier) != 0};
      // Platforms differ in whether a modifier key's own event carries its modifier.
      const bool down = e->type() == QEvent::KeyPress;
      if (k->key() == Qt::Key_Control) mods.ctrl = down;
      if (k->key() == Qt::Key_Alt) mods.alt = down;
      if (k->key() == Qt::Key_Shift) mods.shift = down;
      if (e->type() == QEvent::KeyPress) {
        if (FormKeyDown(k->key(), mods)) return true;
        // A key the window did not take goes on to the typing window.
        if (watched == Input) BeaconOffByPress();
        return false;
      }
      FormKeyUp(mods);
    }
  }
  // And every wheel event: it tunes, and is taken from the control under the pointer.
  if (e->type() == QEvent::Wheel) {
    auto* w = qobject_cast<QWidget*>(watched);
    if (w != nullptr && w->window() == this) {
      FormMouseWheel(static_cast<QWheelEvent*>(e)->angleDelta().y());
      e->accept();
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, e);
}

void TRxForm::resizeEvent(QResizeEvent* e) {
  QMainWindow::resizeEvent(e);
  FormResize();
}

void TRxForm::closeEvent(QCloseEvent* e) {
  // FormCloseQuery: closing is always allowed, after the engine has stopped.
  ShutdownEngine();
  app_.SleepMs(100);
  e->accept();
}

}  // namespace vestrel
