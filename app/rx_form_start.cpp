// The window's creation and the deferred engine start.
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <algorithm>
#include <cstdlib>
#include <ctime>

#include "app/automation_registration.h"
#include "app/message_bus.h"
#include "app/rx_form.h"
#include "app/macro_edits.h"
#include "app/screen_settings.h"
#include "memo/qt/styled_memo_widget.h"

namespace vestrel {

namespace {
}

void TRxForm::FormCreate() {
  // Defaults of the settings, the logger link and the own-call watch.
  settings_ = TAppSettings{};
  settingsPart_.SetDefaults(settings_);
  logger_.SetDefaults();
  callsigns_->SetOwnCall(settings_.MyCall);
  // The input converter at the nominal rate until the settings give the card's.
  engineDriver_->InitInputConverter(settings_.SamplingFreq);
  // PS33X5 converter, PS2X5 capture folder, PSK rate.
  engineDriver_->PrepareConverters();
  // Random seed and the default button captions (the port semaphores live with the serial
  // workers, the sine table with the engine).
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  macroTable_.SetDefaultMacros();
  macroTable_.SetDefaultButtonNames();
  // Settings path, command line, default directory, registry flag.
  CommandLine = ParseCommandLine(deps_.args);
  const std::string notice =
      settingsPart_.CheckDefaultDirectory(CommandLine.settingsPath, CommandLine.settingsPathGiven);
  if (!notice.empty()) ShowDefaultDirectoryNotice(notice);
  if (settingsPart_.ReadIsx64Flag()) ports_->SetPortDriverMissing();
  // The automation server answers from now on; what needs the settings waits for the engine.
  if (deps_.useDBus) automation_.Register(ReadAutomationSwitches(deps_.args).activated);
  // Geometry and the two general keys; -1 keeps the designed value. Left and Top are where the
  // window's frame (title bar and border) goes, Width and Height the size inside it.
  const ScreenSettings screen = ReadScreenSettings(CommandLine.settingsPath);
  QRect g(kDesignLeft, kDesignTop, kDesignWidth, kDesignHeight);
  if (screen.Left != -1) g.moveLeft(screen.Left);
  if (screen.Top != -1) g.moveTop(screen.Top);
  if (screen.Height != -1) g.setHeight(screen.Height);
  if (screen.Width != -1) g.setWidth(screen.Width);
  // Saved on a larger or another monitor: no bigger than the desktop, and never wholly
  // outside it, where the window could be neither seen nor closed.
  QRect desktop;
  for (const QScreen* s : QGuiApplication::screens()) desktop |= s->availableGeometry();
  if (!desktop.isEmpty()) {
    g.setWidth(std::min(g.width(), desktop.width()));
    g.setHeight(std::min(g.height(), desktop.height()));
    if (!g.intersects(desktop)) g.moveTo(kDesignLeft, kDesignTop);
  }
  resize(g.size());
  move(g.topLeft());
  settings_.OnTop = screen.OnTop;
  if (screen.OnTop != 0) {
    OnTopButton->setChecked(true);
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
  }
  settings_.UTCoffset = screen.UTCoffset;
  // The level ring (the displays keep their own images and palette).
  engineDriver_->ClearLevelRing();
  // The window's own message handling: keys first, menu loop pauses the displays.
  qApp->installEventFilter(this);
  for (QMenu* m : menus_) {
    if (m->property(kPausesDisplays).toBool()) connect(m, &QMenu::aboutToShow, this, [this] { MenuOpened(); });
    connect(m, &QMenu::aboutToHide, this, [this] { MenuClosed(); });
  }
  wndProcHooked_ = true;
  // The countdown to the engine start.
  if (StartupCountdown > 20) {
    StartupCountdown = 20;
    Timer1Enabled = true;
    if (deps_.realTimer) Timer1.start();
  }
}

void TRxForm::FillMacroButtonTable() {
  if (MacroButtons[1] != nullptr) return;
  for (int n = 1; n <= 36; ++n) MacroButtons[n] = ButMacro[n];
}

void TRxForm::UpdateMacroButtonHints() {
  for (int n = 1; n <= 36; ++n) {
    MacroButtons[n]->setToolTip(MacroBytesToText(macroTable_.Macro[n], MacroCodePage()));
  }
}

void TRxForm::StartEngine() {
  FillMacroButtonTable();
  settingsPart_.LoadSettings(CommandLine.settingsPath, Targets());
  ApplyLoadedSettings();
  callsigns_->SetOwnCall(settings_.MyCall);
  // The loaded port set opens the keying port (a failure shows a box).
  ports_->ApplyPortSettings();
  if (ShutdownDone != 0) return;
  // The input converter at the card's loaded rate.
  engineDriver_->InitInputConverter(settings_.SamplingFreq);
  // The /C capture file; its name is forgotten once used.
  if (!CommandLine.captureFile.empty()) {
    capture_.OpenTextCapture(CommandLine.captureFile);
    CommandLine.captureFile.clear();
  }
  // The macro buttons take the loaded captions and hints.
  ShowMacroCaptions();
  UpdateMacroButtonHints();
  // The logger messages "BRK_CW" and "Tandel_Message" on the session bus.
  if (deps_.useDBus) {
    bus_ = std::make_unique<MessageBus>(*this, [this](uint32_t w, uint32_t l) { HandleBrkCw(w, l); });
    bus_->Register();
  }
  // Tell the logger: pause off, back to receive.
  NotifyCommand(100);
  NotifyCommand(110);
  logger_.ClearQsoPanel();
  Input->setFocus();
  display_.BuildWaterfallPalette();
  // The audio history first, then every engine object started, then the loaded speed, shift
  // and mode applied.
  capture_.StartAudioHistory();
  engineDriver_->StartObjects();
  engineDriver_->ApplySpeedShiftMode();
  // The exchange library, when an exchange channel is set.
  if (settings_.ExCanal != 0) {
    ExchangeLibraryActive = exchange_.Init(settings_.ExCanal);
    if (!ExchangeLibraryActive) boxes_.ShowMessage("Error", "ZOZARIRI.DLL initialization error!");
  }
  // A message box runs a message loop of its own, in which the window may be closed: once the
  // shutdown has run, nothing more may be opened or started, since nothing would stop it again.
  if (ShutdownDone != 0) return;
  // The serial events and the three worker threads. A failure to create either event or to
  // start the first thread ends the program once the current message is done; the remaining
  // steps still run.
  if (!workers_->CreateComEvent()) {
    boxes_.ShowMessage("Error", "COM-event creation error!");
    app_.Terminate();
  }
  if (ShutdownDone != 0) return;
  if (!workers_->StartRsThread()) {
    boxes_.ShowMessage("Error", "RsThread start failed!");
    app_.Terminate();
  }
  if (ShutdownDone != 0) return;
  if (!workers_->CreateExTxEvent()) {
    boxes_.ShowMessage("Error", "RsExTxEvent creation error!");
    app_.Terminate();
  }
  if (ShutdownDone != 0) return;
  workers_->StartExchangeThreads();
  // Rig control, then the sound input (and the output too in full duplex).
  rig_->Open();
  if (ShutdownDone != 0) return;
  engine_->tx.SoundDevicesBusy = true;
  sound_->OpenSoundInput();
  if (settings_.UseDuplex != 0 && ShutdownDone == 0) sound_->OpenSoundOutput();
  engine_->tx.SoundDevicesBusy = false;
  if (ShutdownDone != 0) {
    // Closed while a device failure was shown.
    sound_->CloseSoundInput();
    sound_->CloseSoundOutput();
    return;
  }
  // The presence semaphore: every running instance adds 3; no single-instance test is made.
  presence_.Announce();
  EngineStarted = true;
}

}  // namespace vestrel
