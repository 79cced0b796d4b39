#pragma once
#include <QEvent>
#include <QImage>
#include <QMainWindow>
#include <QTimer>
#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/app_settings.h"
#include "app/command_line.h"
#include "app/engine_driver.h"
#include "app/form_parts.h"
#include "app/key_table.h"
#include "app/macro_table.h"
#include "app/message_boxes.h"
#include "app/call_find.h"
#include "app/qt_file_dialogs.h"
#include "app/qt_shell_opener.h"
#include "app/received_text_sink.h"
#include "app/text_capture_stream.h"
#include "io/serial_workers.h"
#include "engine/engine.h"
#include "engine/engine_window.h"
#include "engine/sound_control.h"
#include "engine/tx_seams.h"
#include "io/file_dialogs.h"
#include "io/message_box.h"
#include "io/rig/rig_server.h"
#include "io/termination_request.h"
#include "platform/clock.h"
#include "platform/port_backend.h"
#include "platform/presence_semaphore.h"
#include "platform/serial_port.h"
#include "platform/wave_device.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QSplitter;
class QGridLayout;
class QToolButton;

namespace vestrel {

class MessageBus;
class NoSoundDevices;
class StyledMemoWidget;
class TMacrosForm;
class TSetupForm;
class TFastMacrosForm;
class TFormMacroHost;

// A message posted to the main window (both parameters 0).
class TPostedMessage : public QEvent {
 public:
  static const QEvent::Type kType;
  explicit TPostedMessage(uint32_t message) : QEvent(kType), message(message) {}
  const uint32_t message;
};

// Everything the main window uses that a test replaces. Null entries get the program's own.
struct TRxFormDeps {
  MessageBoxSink* boxes = nullptr;
  WaveBackend* waveBackend = nullptr;  // null: ALSA
  AppControl* app = nullptr;
  SoundControl* sound = nullptr;
  EngineDriver* engine = nullptr;
  SerialWorkers* workers = nullptr;
  SettingsPart* settings = nullptr;
  LoggerLinkPart* logger = nullptr;
  DisplayPart* display = nullptr;
  TransmitPart* transmit = nullptr;
  MacroPart* macros = nullptr;
  RigPart* rig = nullptr;
  RigServer* rigServer = nullptr;  // for the program's rig link; null: rigctld at the "Rigctld" addresses
  CapturePart* capture = nullptr;
  PortsPart* ports = nullptr;  // null: the keying ports over the two below
  ModemLineControl* modemLines = nullptr;  // null: the system's
  PortBackend* portBackend = nullptr;      // null: ppdev
  ExchangeLibraryPart* exchange = nullptr;
  ExchangePortPart* exchangePort = nullptr;
  AutomationPart* automation = nullptr;
  CallsignPart* callsigns = nullptr;
  FileDialogs* dialogs = nullptr;  // null: QFileDialog
  ShellOpener* opener = nullptr;   // null: the desktop's
  Clock* clock = nullptr;          // null: the system's clocks
  std::vector<std::string> args;  // the command line without the program name
  std::string presenceName = PresenceSemaphore::kDefaultName;
  bool realTimer = true;   // false: the test calls Timer1Timer itself
  bool useDBus = true;
};

// The main window. It owns the engine (TEngine) and starts it on the 19th tick of its 100 ms
// timer, drives it by posted messages and the timer, and stops it once on close.
class TRxForm : public QMainWindow,
                public EngineWindow,
                public TerminationRequest,
                public TxTextPump,
                public LoggerLink,
                public PttControl,
                public TxKeyingPort,
                public FatalErrorSink,
                public ReceivedTextHost,
                public CallHighlighter {
 public:
  explicit TRxForm(TRxFormDeps deps = {});
  ~TRxForm() override;

  void SetForms(TMacrosForm* macros, TSetupForm* setup, TFastMacrosForm* fast);

  // EngineWindow
  void SetPanelText(int panel, std::string_view text) override;
  void SetMenuChecked(std::string_view item, bool checked) override;
  void SetMenuVisible(std::string_view item, bool visible) override;
  void SetMenuEnabled(std::string_view item, bool enabled) override;
  void SetFilterLabel(std::string_view text) override;
  void ReportModeToLogger(std::string_view modeName) override;
  void ReopenKeyingPorts() override;
  void ShowFileError(std::string_view caption, std::string_view text) override;
  void Post(uint32_t message) override;  // any thread
  // TerminationRequest: the loop ends after the current message; the shutdown follows.
  void RequestTermination() override;
  // What the transmit pump needs of the window.
  void PumpTxText() override;
  void ShowSentChar() override;
  bool InputAllSent() const override;
  void SetTxButton(bool down) override;
  void NotifyCommand(int command) override;
  void SetPtt(bool on) override;
  bool KeyingPortOpen() const override;
  void WriteTxdByte(uint8_t code) override;
  void ShowError(std::string_view text, std::string_view caption) override;
  void RequestTerminate() override { RequestTermination(); }
  // TxState of the engine, or the transmit control's own view of it.
  bool Transmitting() const override;
  // The received-text sink: every decoded character, status text and echoed sent character.
  void PutRxChar(uint8_t ch) { rxSink_->PutRxChar(ch); }
  void PutRxString(std::string_view text) { rxSink_->PutRxString(text); }
  ReceivedTextSink& receivedText() { return *rxSink_; }

  // Start-up.
  void FormCreate();
  void StartEngine();
  // The settings file: every setting (setup dialog, automation), or the macro texts and
  // button names (macro editor). A failure is reported once; the file stays as it was.
  bool SaveSettings();
  bool SaveMacros();
  // The running window.
  void Dispatch(uint32_t message);
  void Timer1Timer();
  void FormResize();
  bool FormKeyDown(int key, KeyModifiers mods);  // true: consumed
  // Every wheel event over the window comes here and is taken (delta: 120 a notch).
  void FormMouseWheel(int delta);
  void FormKeyUp(KeyModifiers mods);
  void OnTopButtonClick();
  void BeaconButtonClick();
  // BeaconUpDown changed: the new period.
  void BeaconEditChange();
  // A key or mouse press in Input, a mouse press in RxMemo or a click in the spectrum: with
  // BeaconOffAtClick on, a running beacon is switched off.
  void BeaconOffByPress();
  // The receive window's mouse: a press holds its scrolling and clears the display pause; the
  // release hands the selection, or with CatchWordByOneClick the word under the caret, to the
  // QSO panel.
  void RxMemoMouseDown();
  void RxMemoMouseUp(int globalX, int globalY);
  // Tuning (rx_form_tuning.cpp): the spectrum's mouse handlers (x in pixels of FFTBox), the
  // scale's click, the click's follow-up (AFC passes, replay, rig), and the tuning buttons.
  void FFTBoxMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers mods, int x);
  void FFTBoxMouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods, int x);
  void FFTBoxMouseUp(Qt::KeyboardModifiers mods);
  void ScaleImageMouseUp(Qt::KeyboardModifiers mods);
  // The tone position (units) under column x of FFTBox, by the origin the displays paint with.
  int32_t SpectrumPositionAt(int x) const;
  void TuneToClick(int clickedSpectrum, Qt::KeyboardModifiers mods);
  void AfcButtonClick();
  void TxAfcButtonClick();
  void ReverseButtonClick();
  void ShowMacroBank(KeyModifiers mods);
  // The macro buttons (rx_form_macro_buttons.cpp). The first row acts on the mouse press, in the
  // bank of the modifiers held, and the other rows on the click; a right press on any button
  // opens the fast macro editor of its function key.
  void MacroButtonMouseDown(int n, KeyModifiers mods, bool rightButton);
  void ButMacroClick(int n);
  void ButMacroMouseDown(int n, bool rightButton);
  void Panel2MouseMove(KeyModifiers mods);
  void EditFastMacro(int n);
  void ApplyMacroButtonFont();
  void UpdateMacroButtonHints();
  // Macro texts and button captions are bytes, shown through the code page of the receive font.
  int MacroCodePage() const;
  // "Edit Macros" (rx_form_macro_editors.cpp): the full macro editor, filled and shown on top.
  void EditMacroses1Click();
  // An editor changed the macro table: the buttons' captions and hints follow.
  void MacroTableEdited();
  // The fast editor's "Save": the macro texts and button names of the numbers given, into the
  // settings file that SaveMacros writes. A failure is reported once; the file stays as it was.
  bool SaveMacroKeys(std::span<const int> numbers);
  // The modifiers held now, asked of the system: the window misses a key released while
  // another window had the keyboard.
  KeyModifiers HeldModifiers() const;
  int MacroBank() const { return macroBank_; }
  // The Mode, Speed, Shift and Filters menus and the tuning step buttons (rx_form_menus.cpp).
  void RTTY1Click();
  void ASCII71Click();
  void ASCII81Click();
  void BPSK311Click();
  void BPSK631Click();
  void BPSK1251Click();
  void QPSK311Click();
  void QPSK631Click();
  void NormalSync1Click();
  void FastSync1Click();
  void AMTORARQ1Click();
  void AX251Click();
  void AX25UHF1Click();
  void DTMF1Click();
  void MFSK161Click();
  void MFSK81Click();
  void PACTORFEC1Click();
  void PS2x51Click();
  void PS33x51Click();
  void N1p5625Baud1Click();
  void N2Baud1Click();
  void N3p125Baud1Click();
  void N4Baud1Click();
  void N5Baud1Click();
  void N6p25Baud1Click();
  void N10Baud1Click();
  void N12p5Baud1Click();
  void N25Baud1Click();
  void N45Baud1Click();
  void N50Baud1Click();
  void N57Baud1Click();
  void N75Baud1Click();
  void N100Baud1Click();
  void N110Baud1Click();
  void N150Baud1Click();
  void N200Baud1Click();
  void N250Baud1Click();
  void N300Baud1Click();
  void N500Baud1Click();
  void N600Baud1Click();
  void N1000Baud1Click();
  void N1200Baud1Click();
  void N4HzShift1Click();
  void N5HzShift1Click();
  void N10HzShift1Click();
  void N20HzShift1Click();
  void N22HzShift1Click();
  void N25HzShift1Click();
  void N50HzShift1Click();
  void N85HzShift1Click();
  void N100HzShift1Click();
  void N150HzShift1Click();
  void N170HzShift1Click();
  void N182HzShift1Click();
  void N200HzShift1Click();
  void N250HzShift1Click();
  void N300HzShift1Click();
  void N400HzShift1Click();
  void N425HzShift1Click();
  void N450HzShift1Click();
  void N500HzShift1Click();
  void N600HzShift1Click();
  void N850HzShift1Click();
  void N1000HzShift1Click();
  void N1200HzShift1Click();
  void Optimal1Click();
  void WidePolar1Click();
  void Narrow1Click();
  // txPair: Ctrl or the right button was held.
  void ButtonLeft1MouseDown(bool txPair);
  void ButtonRight1MouseDown(bool txPair);
  void ButtonLeft5MouseDown(bool txPair);
  void ButtonRight5MouseDown(bool txPair);
  // Shutdown.
  void ShutdownEngine();
  void ExitClick();
  void FormDestroy();
  // Inbound logger command ("BRK_CW").
  void HandleBrkCw(uint32_t wParam, uint32_t lParam);
  void MenuOpened();
  void MenuClosed();
  // The window's own File and Help items (rx_form_menu_handlers.cpp).
  void ClearBuffer1Click();
  // The receive window into a text file chosen in the save dialog (also Ctrl+S).
  void SaveBuffer1Click();
  void Contents1Click();
  // The About box, modal; nothing while one is open.
  void About1Click();
  void ContactUs1Click();
  // A key in Sent moves the focus to Input; a mouse release on TunePanel, or the pointer
  // entering it from another area of the window, moves it to Sent.
  void FocusHelpers(QObject* watched, QEvent* e);
  // The property of the menus whose opening pauses the displays.
  static constexpr const char* kPausesDisplays = "pausesDisplays";

  // Commands that other Parts call; ignored once the shutdown has begun where they would
  // key the transmitter.
  void SetTransmit(bool on);
  void SetPause(bool on) override;
  // The TX and Pause buttons.
  void TxButtonClick() { SetTransmit(!Transmitting()); }
  void PauseButtonClick() { SetPause(!transmit_->Paused()); }
  void RunMacro(int n);
  // The data-exchange COM port, 1..99; anything else is none.
  void SetDataExchangePort(int n);

  // The setup dialog and what it changes (rx_form_setup.cpp). ShowSetup fills the dialog from
  // the settings and shows it on top, at page pageNum - 1 for pageNum 1..9 (the automation
  // method's numbering); nothing before the engine start has loaded the settings.
  void ShowSetup(int pageNum);
  // Back to receive at once, without waiting for the end of the transmission: PTT off, the
  // playback device closed, the transmit state cleared.
  void StopTransmissionNow();
  // The oscillogram strip, the QSO edit fields and the rows of macro buttons (0 hides them).
  void ShowOscillogram(bool on);
  void ShowEditFields(bool on);
  void ShowMacroRows(int rows);
  int MacroRows() const;
  // The fonts and colours of the text windows and the macro buttons, from the settings.
  void ApplyFontSettings();
  PortsPart& ports() { return *ports_; }
  ExchangeLibraryPart& exchangeLibrary() { return exchange_; }
  ExchangePortPart& exchangePort() { return exchangePort_; }
  RigPart& rig() { return *rig_; }
  DisplayPart& display() { return display_; }
  CallsignPart& callsigns() { return *callsigns_; }
  TransmitPart& transmit() { return *transmit_; }
  MacroPart& macros() { return macros_; }
  FileDialogs& dialogs() { return dialogs_; }
  LoggerLinkPart& loggerLink() { return logger_; }
  AutomationPart& automation() { return automation_; }
  MessageBoxSink& boxes() { return boxes_; }

  TEngine& engine() { return *engine_; }
  EngineDriver& engineDriver() { return *engineDriver_; }
  SoundControl& sound() { return *sound_; }
  TAppSettings& settings() { return settings_; }
  TMacroTable& macroTable() { return macroTable_; }
  SerialWorkers& workers() { return *workers_; }
  AppControl& appControl() { return app_; }
  CapturePart& capturePart() { return capture_; }
  MessageBus* messageBus() { return bus_.get(); }
  const PresenceSemaphore& presence() const { return presence_; }
  QAction* MenuItem(std::string_view caption) const;
  QLabel* Panel(int index) const { return panels_[index]; }

  // State of the start-up, the timer and the shutdown.
  int StartupCountdown = 100000;
  int ShutdownDone = 0;
  bool EngineStarted = false;  // StartEngine has run to its end
  bool ExchangeLibraryActive = false;
  bool Timer1Enabled = false;
  int TickCounter = 0;
  bool BeaconOn = false;
  int BeaconSeconds = 0;
  int LastFreeBuffers = 0;   // the number last shown in panel 11
  int ResizeCount = 0;       // layouts made by FormResize
  CommandLineSwitches CommandLine;

  // The text capture file, written by the received-text sink.
  TextCaptureStream TextCaptureFile;

  // Controls that other Parts act on, by the names they use.
  StyledMemoWidget* RxMemo = nullptr;
  StyledMemoWidget* Input = nullptr;
  QPlainTextEdit* Sent = nullptr;
  QLineEdit* CallEdit = nullptr;
  QLineEdit* RSTEdit = nullptr;
  QLineEdit* NameEdit = nullptr;
  QLineEdit* OtherEdit = nullptr;
  QPushButton* ClearEditButton = nullptr;
  QWidget* QsoPanel = nullptr;
  QWidget* Panel2 = nullptr;  // the macro buttons
  std::array<QPushButton*, 37> ButMacro{};  // 1..36; built by FormCreate
  std::array<QPushButton*, 37> MacroButtons{};  // the table filled by StartEngine
  QWidget* TunePanel = nullptr;
  std::array<QPushButton*, 6> TuneButtons{};  // "<", ">", "<<", ">>", Replay, Save
  QPushButton* ReplayButton() const { return TuneButtons[4]; }
  QPushButton* SaveButton() const { return TuneButtons[5]; }
  // The window's rows, one above the other; the operator drags the bars between them. The
  // macro buttons, the QSO fields and the oscillogram keep the height they are given.
  QSplitter* Panes = nullptr;
  QWidget* DisplayPane = nullptr;  // the buttons beside the spectrum, its scale and tuning row
  QWidget* FFTBox = nullptr;
  QWidget* ScalePanel = nullptr;
  QWidget* PaintBox1 = nullptr;
  QLabel* FilterLabel = nullptr;
  QLabel* FileLabel = nullptr;  // " Decoding from file " while a file is decoded
  QToolButton* TxButton = nullptr;
  QToolButton* PauseButton = nullptr;
  QToolButton* AfcButton = nullptr;
  QToolButton* TxAfcButton = nullptr;
  QToolButton* SqlButton = nullptr;
  QSpinBox* SqlUpDown = nullptr;
  QToolButton* ReverseButton = nullptr;
  QSpinBox* AfcUpDown = nullptr;       // "Local AFC Deviation", Hz in steps of 5
  QSpinBox* AfcLimitUpDown = nullptr;  // "Global AFC Deviation", Hz
  static constexpr int kMaxAfcDeviationSteps = 100;
  static constexpr int kMaxAfcLimitHz = 4000;
  QToolButton* OnTopButton = nullptr;
  QToolButton* BeaconButton = nullptr;
  QSpinBox* BeaconUpDown = nullptr;
  QTimer Timer1;

  static constexpr int kMacroButtonHeight = 22;
  static constexpr int kOscillogramHeight = 15;
  // The rows the operator sizes, as designed, and the least any of them keeps.
  static constexpr int kDesignRxHeight = 160, kDesignDisplayHeight = 140, kDesignSentHeight = 48,
                       kDesignInputHeight = 64, kMinPaneHeight = 16;

  // The design geometry, before the saved values are applied.
  static constexpr int kDesignLeft = 60, kDesignTop = 40, kDesignWidth = 800, kDesignHeight = 600;

 protected:
  bool event(QEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  friend class TFormMacroHost;  // the macro escapes' targets

  void BuildControls();
  void BuildMenus();
  QAction* AddItem(QMenu* menu, const char* caption);
  void FillMacroButtonTable();
  SettingsTargets Targets();
  // The loaded settings into the mode record, the engine's flags and the controls; and the
  // controls' state back into the settings before a save.
  void ApplyLoadedSettings();
  void TakeSettingsFromControls();
  // The saved row heights and editor rectangles, to the controls and back.
  void ApplyPaneSettings();
  void TakePaneSettings();
  int DisplayPaneExtra() const;
  void ShowSaveFailure(const std::string& error);
  void ShowDefaultDirectoryNotice(const std::string& notice);
  void ConnectMacroButtons();
  void ShowMacroCaptions();
  void ConnectModeMenus();
  void SelectAmtorFec(bool fastSync);
  void StepTones(int units, bool txPair);
  void RunKeyAction(const KeyCommand& cmd);
  void BuildTuningControls(QWidget* parent, QGridLayout* grid, int row);
  void ApplyTuningSettings();
  bool TuningMouseEvent(QObject* watched, QEvent* e);  // true: taken
  // ReceivedTextHost
  bool ExchangeLibraryOn() const override { return ExchangeLibraryActive; }
  int CurrentMode() const override;
  bool BeaconRunning() const override { return BeaconOn; }
  void StopBeacon() override;
  void ReportReceiveWindowFailure(const std::string& text) override;
  void FreeBufferPanel();
  // Spectrum, waterfall and oscillogram repaints: skipped while 3 or more capture buffers wait,
  // unless a file is decoded in real time.
  bool DisplaysKeepUp() const;
  // CallHighlighter: a caught call in the receive window.
  void HighlightRange(int32_t start, int32_t stop, int32_t colour) override;

  template <typename D, typename T>
  static T& Use(T* given, std::unique_ptr<T>& own) {
    if (given != nullptr) return *given;
    own = std::make_unique<D>();
    return *own;
  }

  TRxFormDeps deps_;
  TAppSettings settings_;
  TMacroTable macroTable_;

  std::unique_ptr<QtMessageBoxes> ownBoxes_;
  std::unique_ptr<AppControl> ownApp_;
  std::unique_ptr<SettingsPart> ownSettings_;
  std::unique_ptr<LoggerLinkPart> ownLogger_;
  std::unique_ptr<DisplayPart> ownDisplay_;
  std::unique_ptr<TransmitPart> ownTransmit_;
  std::unique_ptr<MacroPart> ownMacros_;
  std::unique_ptr<RigPart> ownRig_;
  std::unique_ptr<CapturePart> ownCapture_;
  std::unique_ptr<PortsPart> ownPorts_;
  std::unique_ptr<ExchangeLibraryPart> ownExchange_;
  std::unique_ptr<ExchangePortPart> ownExchangePort_;
  std::unique_ptr<AutomationPart> ownAutomation_;
  std::unique_ptr<CallsignPart> ownCallsigns_;
  std::unique_ptr<QtFileDialogs> ownDialogs_;
  std::unique_ptr<QtShellOpener> ownOpener_;
  std::unique_ptr<SystemClock> ownClock_;
  MessageBoxSink& boxes_;
  FileDialogs& dialogs_;
  ShellOpener& opener_;
  bool aboutShown_ = false;
  bool savingBuffer_ = false;
  QWidget* pointerArea_ = nullptr;  // the area of the window the pointer last entered
  Clock& clock_;
  AppControl& app_;
  SettingsPart& settingsPart_;
  LoggerLinkPart& logger_;
  DisplayPart& display_;
  TransmitPart* transmit_ = nullptr;  // made once the controls and the engine exist
  MacroPart& macros_;
  RigPart* rig_ = nullptr;  // made once the engine exists
  CapturePart& capture_;
  PortsPart* ports_ = nullptr;  // made once the workers' semaphores exist
  ExchangeLibraryPart& exchange_;
  ExchangePortPart& exchangePort_;
  AutomationPart& automation_;
  CallsignPart* callsigns_ = nullptr;  // made once the receive window exists

  std::unique_ptr<ReceivedTextSink> rxSink_;
  std::unique_ptr<TEngine> engine_;
  std::unique_ptr<EngineDriver> ownEngineDriver_;
  EngineDriver* engineDriver_ = nullptr;
  std::unique_ptr<NoSoundDevices> ownSound_;
  SoundControl* sound_ = nullptr;
  std::unique_ptr<SerialWorkers> ownWorkers_;
  SerialWorkers* workers_ = nullptr;
  std::unique_ptr<MessageBus> bus_;
  PresenceSemaphore presence_;

  std::array<QLabel*, 13> panels_{};
  std::map<std::string, QAction*, std::less<>> menuItems_;
  std::vector<QMenu*> menus_;
  TMacrosForm* macrosForm_ = nullptr;
  TSetupForm* setupForm_ = nullptr;
  TFastMacrosForm* fastMacrosForm_ = nullptr;

  int macroBank_ = 0;
  bool timerBusy_ = false;
  bool wndProcHooked_ = false;
  bool destroyed_ = false;
  // The spectrum's mouse: an Alt-drag running and its last x, the button of the click.
  bool dragging_ = false;
  int dragStartX_ = 0;
  Qt::MouseButton clickButton_ = Qt::NoButton;
  bool tuneBusy_ = false;
};

}  // namespace vestrel
