// The running window: posted messages, the 100 ms timer, layout, hot keys and the shutdown.
#include <QApplication>
#include <QCursor>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTextCursor>
#include <QToolButton>

#include "app/form_layout.h"
#include "app/rx_form.h"
#include "engine/mode_table.h"
#include "io/com_writer.h"
#include "io/exchange_port.h"
#include "memo/qt/styled_memo_widget.h"

namespace vestrel {

namespace {
constexpr int kPlaybackBuffers = 8;
constexpr int kWorkerWaitRounds = 350;  // 30 ms each: about 10.5 s for the workers to stop
constexpr int kWorkerWaitMs = 30;
}  // namespace

// A machine that lags behind the card drops display repaints, never samples; a file decoded
// in real time is paced by the program, so its displays are always drawn.
bool TRxForm::DisplaysKeepUp() const {
  return engineDriver_->CaptureBuffersWaiting() < 3 || engineDriver_->DecodingFileInRealTime();
}

void TRxForm::Dispatch(uint32_t message) {
  switch (message) {
    case WM_SENT_ECHO: ShowSentChar(); break;
    case WM_PUMP_TX: PumpTxText(); break;
    // Other programs' messages mean nothing before the engine runs.
    case WM_TX_OFF: if (EngineStarted) SetTransmit(false); break;
    case WM_PAUSE_ON: if (EngineStarted) SetPause(true); break;
    case WM_TX_ON: if (EngineStarted) SetTransmit(true); break;
    case WM_BEACON_OFF: if (EngineStarted) StopBeacon(); break;
    case WM_SPECTRUM_READY:
      if (DisplaysKeepUp()) display_.PaintSpectrum();
      break;
    case WM_WAVEIN_DATA: engineDriver_->ProcessSoundInput(); break;
    case WM_WAVEOUT_DONE: engineDriver_->PumpTxAudio(); break;
    // Once the shutdown has begun the port is closing anyway.
    case WM_COM_WRITE_ERROR: if (ShutdownDone == 0) ports_->ShowComWriteError(); break;
    case WM_EXCHANGE_WRITE_ERROR: if (ShutdownDone == 0) exchangePort_.ShowExchangeWriteError(); break;
    // The exchange port's bytes go through its parser here, beside the other two.
    case WM_EXCHANGE_INPUT: exchangePort_.TakePortInput(); break;
    default: break;
  }
}

void TRxForm::HandleBrkCw(uint32_t wParam, uint32_t lParam) {
  if (StartupCountdown != 0) return;
  logger_.HandleCommand(wParam, lParam);
}

void TRxForm::MenuOpened() {
  if (StartupCountdown == 0) engine_->display.DisplayPause = 400;
}

void TRxForm::MenuClosed() {
  if (StartupCountdown == 0) engine_->display.DisplayPause = 0;
}

void TRxForm::FreeBufferPanel() {
  const int free = kPlaybackBuffers - static_cast<int>(engineDriver_->PlaybackBuffersQueued());
  // A rise by exactly one is not shown: the count flickers by one while transmitting.
  if (free < LastFreeBuffers || free >= LastFreeBuffers + 2) {
    SetPanelText(11, "FrB: " + std::to_string(free));
    LastFreeBuffers = free;
  }
}

void TRxForm::Timer1Timer() {
  transmit_->TickTypingCountdown();
  if (timerBusy_) {
    ++TickCounter;
    return;
  }
  timerBusy_ = true;
  if (StartupCountdown != 0) {
    --StartupCountdown;
    if (StartupCountdown == 1) {
      StartEngine();
    } else if (StartupCountdown == 0) {
      FormResize();
    }
    timerBusy_ = false;
    return;
  }
  int& pause = engine_->display.DisplayPause;
  if (pause != 0) --pause;
  if (!isActiveWindow()) pause = 0;
  if (engineDriver_->LevelsFlagged() && DisplaysKeepUp()) {
    display_.RepaintOscillogram();
    update();
    engineDriver_->ClearLevelsFlag();
  }
  FreeBufferPanel();
  if (Transmitting() && engineDriver_->PlaybackBuffersQueued() < kPlaybackBuffers) {
    engineDriver_->PumpTxAudio();
  }
  if (engineDriver_->CaptureBuffersWaiting() > 0) engineDriver_->ProcessSoundInput();
  PumpTxText();
  ShowSentChar();
  if (Transmitting()) {
    TickCounter = 0;
    BeaconSeconds = 0;
  } else {
    if (TickCounter == 0 && BeaconOn && BeaconSeconds == 0) {
      SetPanelText(10, "BEA:" + std::to_string(settings_.BeaconPeriod));
    }
    ++TickCounter;
  }
  if (TickCounter > 9) {
    TickCounter -= 10;
    if (BeaconOn) {
      ++BeaconSeconds;
      if (BeaconSeconds < settings_.BeaconPeriod) {
        SetPanelText(10, "BEA:" + std::to_string(settings_.BeaconPeriod - BeaconSeconds));
      } else {
        BeaconSeconds = 0;
        RunMacro(36);
        SetPanelText(10, "BEA:W");
      }
    }
    if (!Transmitting()) rig_->AdjustSplit();
  }
  if (engineDriver_->PacketTimingChanged()) engineDriver_->RecomputePacketTiming();
  // Last: a refusal's message box waits for the operator, and the tick's audio work is done.
  rig_->ReportRefusals();
  timerBusy_ = false;
}

void TRxForm::FormResize() {
  if (StartupCountdown != 0 || ShutdownDone != 0) return;
  FillMacroButtonTable();
  OtherEdit->resize(OtherEditWidth(width()), OtherEdit->height());
  ClearEditButton->move(OtherEdit->x() + OtherEdit->width() + 2, ClearEditButton->y());
  const MacroColumns cols = ComputeMacroColumns(Panel2->width());
  for (int n = 1; n <= 36; ++n) {
    QPushButton* b = MacroButtons[n];
    b->setGeometry(cols.ColumnX((n - 1) % 12), b->y(), cols.width, b->height());
  }
  const std::array<int, 6> xs = TuningButtonsX(TunePanel->width());
  for (int i = 0; i < 6; ++i) TuneButtons[i]->move(xs[i], TuneButtons[i]->y());
  ++ResizeCount;
}

bool TRxForm::FormKeyDown(int key, KeyModifiers mods) {
  engine_->display.DisplayPause = 0;
  const KeyCommand cmd = DecodeFormKey(key, mods);
  // Once the shutdown has begun a hot key opens, starts or restarts nothing (its wait still
  // delivers keys); a consumed key is still taken from the text windows.
  if (cmd.action != KeyAction::kNone && ShutdownDone == 0) RunKeyAction(cmd);
  ShowMacroBank(mods);
  return cmd.consumed;
}

void TRxForm::FormKeyUp(KeyModifiers mods) { ShowMacroBank(mods); }

void TRxForm::FormMouseWheel(int delta) {
  // Before the engine start the settings are not loaded; once the shutdown has begun nothing
  // is tuned.
  if (!EngineStarted || ShutdownDone != 0) return;
  rig_->MouseWheel(delta);
}

void TRxForm::RunKeyAction(const KeyCommand& cmd) {
  using A = KeyAction;
  switch (cmd.action) {
    case A::kNone: break;
    case A::kForceFigures: engineDriver_->ForceFiguresCase(); break;
    case A::kForceLetters: engineDriver_->ForceLettersCase(); break;
    case A::kTogglePause: SetPause(!PauseButton->isChecked()); break;
    case A::kRunMacro: RunMacro(cmd.arg); break;
    case A::kToggleTransmit: SetTransmit(!Transmitting()); break;
    case A::kInsertRxEscape:
      Input->SetSelTextBuf(ToBytes("`[rx]"));
      Input->setFocus();
      break;
    case A::kShiftRxTone: engineDriver_->ShiftRxFrequency(cmd.arg); break;
    case A::kZoom: display_.SetZoom(cmd.arg); break;
    case A::kClearQso: logger_.ClearQsoPanel(); break;
    case A::kFocusCall: CallEdit->setFocus(); break;
    case A::kFocusRst: RSTEdit->setFocus(); break;
    case A::kFocusName: NameEdit->setFocus(); break;
    case A::kFocusOther: OtherEdit->setFocus(); break;
    case A::kClearRx: ClearBuffer1Click(); break;
    case A::kToggleAfc: AfcButton->setChecked(!(AfcButton->isChecked() || settings_.TuneRig != 0)); break;
    case A::kTogglePhaseShow:
      if (ModeRowOf(engine_->params.Mode).receiver == RxFamily::kPsk) {
        settings_.PhaseShow = settings_.PhaseShow != 0 ? 0 : 1;
        display_.LayoutChanged();
      }
      break;
    case A::kToggleTextCapture: capture_.ToggleTextCapture(); break;
    case A::kToggleWaveCapture: capture_.ToggleWaveCapture(); break;
    case A::kToggleWaterFall:
      settings_.WaterFall = settings_.WaterFall != 0 ? 0 : 1;
      display_.LayoutChanged();
      break;
    case A::kToggleLogSpectrum: settings_.LogarithmicSpectrum = settings_.LogarithmicSpectrum != 0 ? 0 : 1; break;
    case A::kDecodeFromFile: capture_.DecodeFromFile1Click(); break;
    case A::kBeaconClick: BeaconButtonClick(); break;
    case A::kOpenBufferInEditor: capture_.OpenBufferInEditor(); break;
    case A::kSaveBuffer: SaveBuffer1Click(); break;
    case A::kToggleTuneRig:
      settings_.TuneRig = settings_.TuneRig != 0 ? 0 : settings_.LastTuneRig;
      rig_->Restart();
      break;
    case A::kToggleLogOscillogram:
      settings_.LogarithmicOscillogram = settings_.LogarithmicOscillogram != 0 ? 0 : 1;
      break;
  }
}

void TRxForm::SetTransmit(bool on) {
  // Once the shutdown has begun the sound output is closed: nothing may key the transmitter.
  // Before the engine start neither the settings nor the devices are there to key it with.
  if (on && (ShutdownDone != 0 || !EngineStarted)) return;
  // What was received before our transmission cannot complete the own call after it.
  if (on) callsigns_->ResetOwnCallWatch();
  transmit_->SetTransmit(on);
}

void TRxForm::SetPause(bool on) { transmit_->SetPause(on); }

void TRxForm::SetDataExchangePort(int n) {
  if (ShutdownDone != 0) return;
  ports_->SetDataExchangePort(n);
}

void TRxForm::RunMacro(int n) {
  // A macro may key the transmitter (see SetTransmit).
  if (ShutdownDone != 0 || !EngineStarted) return;
  macros_.RunMacro(n);
}

void TRxForm::OnTopButtonClick() {
  const bool wasVisible = isVisible();
  setWindowFlag(Qt::WindowStaysOnTopHint, OnTopButton->isChecked());
  // Changing the flag rebuilds the window, which hides it.
  if (wasVisible) show();
  // With automation clients the window must not be closed by the user.
  if (automation_.ClientCount() > 0) SetMenuEnabled("Exit", false);
}

void TRxForm::BeaconButtonClick() {
  BeaconSeconds = 0;
  BeaconOn = !BeaconOn;
  BeaconButton->setChecked(BeaconOn);
  if (BeaconOn) {
    RunMacro(36);
    SetPanelText(10, "BEA:W");
    logger_.NotifyCommand(125);
  } else {
    SetPanelText(10, " ");
    logger_.NotifyCommand(124);
  }
}

void TRxForm::BeaconEditChange() { settings_.BeaconPeriod = BeaconUpDown->value(); }

void TRxForm::BeaconOffByPress() {
  if (settings_.BeaconOffAtClick != 0 && BeaconOn) BeaconButtonClick();
}

void TRxForm::HighlightRange(int32_t start, int32_t stop, int32_t colour) {
  // The caught call keeps the window font's bold/italic/underline/strike-out bits and takes the
  // call colour as its text colour, with no background of its own.
  const auto style = static_cast<uint8_t>((RxMemo->Font().Style & 0x0F) | 0x10);
  RxMemo->SetDynStyle(start, stop, style, false, 0, 0, clNone, colour, false);
}

void TRxForm::StopBeacon() {
  BeaconSeconds = 0;
  BeaconOn = false;
  BeaconButton->setChecked(false);
  SetPanelText(10, " ");
  logger_.NotifyCommand(124);
}

void TRxForm::ShutdownEngine() {
  // Automation events stop; the rest runs once.
  automation_.SetClientCount(0);
  if (ShutdownDone != 0) return;
  ShutdownDone = 1;
  // The exchange library, the sound callbacks and the three workers are told to stop.
  ExchangeLibraryActive = false;
  exchange_.Deactivate();
  engineDriver_->SetEngineClosing();
  workers_->RequestStop();
  // The timers stop.
  Timer1.stop();
  Timer1Enabled = false;
  engineDriver_->StopSlotTimer();
  // Sound input and output close.
  sound_->CloseSoundInput();
  sound_->CloseSoundOutput();
  // The audio has stopped: the transmitter goes off now, not after the wait for the workers
  // (up to 10.5 s of keyed dead air).
  ports_->SetPtt(false);
  // The capture files close and write out what they hold, the block modes' open message files
  // close, the logger hears that the program closes, the presence count is taken back.
  capture_.CloseCaptureFiles();
  engine_->Shutdown();
  logger_.NotifyCommand(99);
  presence_.Withdraw();
  // The wait for the workers; posted work still drains while they stop.
  for (int round = 0; round < kWorkerWaitRounds && workers_->AnyRunning(); ++round) {
    app_.ProcessMessages();
    app_.SleepMs(kWorkerWaitMs);
  }
  // A worker that did not stop is abandoned; what it uses stays open.
  workers_->ReleaseThreads();
  // The transmitter is released first, whatever ended the program; then the ports close.
  ports_->SetPtt(false);
  ports_->ClosePorts(workers_->anyAbandoned());
  // Last the serial events.
  workers_->CloseEvents();
}

void TRxForm::ExitClick() {
  ShutdownEngine();
  app_.SleepMs(100);
  app_.Terminate();
}

void TRxForm::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  // A worker that outlives the window posts nothing more.
  workers_->shared()->SetPoster(nullptr);
  automation_.SetClientCount(0);
  ShutdownEngine();
  ports_->ClosePortDriver();
}

}  // namespace vestrel
