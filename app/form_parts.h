#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "app/app_settings.h"
#include "app/macro_table.h"
#include "engine/mode_number.h"
#include "engine/modes/packet/kiss_output.h"
#include "io/capture_audio_link.h"

namespace vestrel {

// The main window calls the features that are built apart from it through these small
// interfaces. Each default does nothing, or reports the feature as absent, and claims no
// success it did not have. Tests replace them with recording fakes.

// Where the settings file's values live: the settings, the macro table, and the logger's mode
// names with their report switch (held by the mode switch).
struct SettingsTargets {
  TAppSettings& settings;
  TMacroTable& macros;
  std::array<std::string, kModeCount>& modeReportNames;
  bool& reportModeWhenChanged;
};

// The settings file, the default directory and the registry flags.
class SettingsPart {
 public:
  virtual ~SettingsPart() = default;
  virtual void SetDefaults(TAppSettings&) {}
  // Reads every key of the settings file; a missing file or key gives the defaults.
  virtual void LoadSettings(const std::string& /*path*/, const SettingsTargets&) {}
  // Write every setting (SaveSettings) or the macro texts and button names (SaveMacros) into
  // the file. Empty when saved; otherwise what went wrong, and the file is as it was.
  virtual std::string SaveSettings(const std::string& /*path*/, const SettingsTargets&) {
    return "no settings file";
  }
  virtual std::string SaveMacros(const std::string& /*path*/, const TMacroTable&) { return "no settings file"; }
  // Only the macro texts and button names of the numbers given (the fast editor's three keys).
  virtual std::string SaveMacroKeys(const std::string& /*path*/, const TMacroTable&, std::span<const int> /*numbers*/) {
    return "no settings file";
  }
  // When no settings path was given and the file is missing: may move to the default
  // directory; then the notice for the receive window (CR LF line ends), else empty.
  virtual std::string CheckDefaultDirectory(const std::string& /*path*/, bool /*pathGiven*/) { return {}; }
  // The store's "Isx64" flag: the port-I/O driver is not to be used.
  virtual bool ReadIsx64Flag() { return false; }
};

// The logger link and the QSO panel.
class LoggerLinkPart {
 public:
  virtual ~LoggerLinkPart() = default;
  virtual void SetDefaults() {}
  virtual void NotifyCommand(int /*code*/) {}
  // An inbound "BRK_CW" command.
  virtual void HandleCommand(uint32_t /*wParam*/, uint32_t /*lParam*/) {}
  virtual void ClearQsoPanel() {}
  // OtherEdit was left: its text exported under the key that UseOther selects.
  virtual void OtherEditExit() {}
  // A word picked out of the receive window, at the pointer's screen position: to the call or
  // number field in contest mode, otherwise into the field popup.
  virtual void PickWord(const std::string& /*text*/, int /*globalX*/, int /*globalY*/) {}
  // A key of the export section (ExportIniFile, ExportIniSection), its value written without
  // quotes.
  virtual void WriteExportKey(const std::string& /*key*/, const std::string& /*value*/) {}
  // "Tandel_Message" with a command code and the QsoFieldCode bits of what changed.
  virtual void BroadcastQsoChange(int /*code*/, uint32_t /*fields*/) {}
  // One QSO field to the logger: the clipboard, the export key (quoted) with its broadcast, and
  // the automation event.
  virtual void ExportQsoField(const std::string& /*key*/, const std::string& /*value*/, uint32_t /*code*/) {}
};

// The spectrum, waterfall, oscillogram and phase-vector displays.
class DisplayPart {
 public:
  virtual ~DisplayPart() = default;
  virtual void BuildWaterfallPalette() {}
  virtual void PaintSpectrum() {}
  virtual void RepaintOscillogram() {}
  virtual void SetZoom(int /*zoom*/) {}
  // The display layout changed (waterfall or phase scope switched).
  virtual void LayoutChanged() {}
  // The box column of bin 55 (tone position 880 units) as last laid out: a click at column x
  // is at ((x - origin) x 16 + Zoom / 2) / Zoom + 880 units.
  virtual int DisplayOrigin() const { return 0; }
};

// The transmit text control and the text pump, with the transmit state flags.
class TransmitPart {
 public:
  virtual ~TransmitPart() = default;
  virtual void PumpTxText() {}
  virtual void ShowSentChar() {}
  virtual void SetTransmit(bool /*on*/) {}
  virtual void SetPause(bool /*on*/) {}
  virtual bool Transmitting() const { return false; }  // TxState != 0
  virtual bool Paused() const { return false; }
  // The send position has reached the end of the typed text.
  virtual bool InputAllSent() const { return true; }
  // SentCount: characters at the start of Input already handed to the transmitter.
  virtual int32_t SentChars() const { return 0; }
  virtual void ClearPausePoint() {}
  // Lowers the typing countdown of the text pump by one tick when it is non-zero.
  virtual void TickTypingCountdown() {}
  // Sets the typing hold (10 ticks of 100 ms), as a key press in Input does.
  virtual void HoldTyping() {}
  // A pump pass is running (a macro or key arriving now is deferred, never waited for).
  virtual bool PumpBusy() const { return false; }
  virtual void KeepCaretAfterSent() {}
  // Inserts text at Input's caret, replacing its selection (the result of a macro).
  virtual void InsertAtCaret(const std::string& /*text*/) {}

  // Empties Input with its send position; a raw file send counts as ended (the "cl" escape,
  // which also empties the symbol queue and clears the pause point).
  virtual void ClearInput() {}
};

// The macro language.
class MacroPart {
 public:
  virtual ~MacroPart() = default;
  virtual void RunMacro(int /*n*/) {}
  // Performs the first "~[" escape of text; true when one was found (and removed). Callers loop, bounded.
  virtual bool ExpandMacroEscape(std::string& /*text*/) { return false; }
  // A named value for the macros (automation SetVal), and one byte of the automation channel
  // of the exchange-input parser (automation AddSymbol).
  virtual void SetVal(const std::string& /*name*/, const std::string& /*value*/) {}
  virtual void AddSymbol(int /*symbol*/) {}
};

// The rig-control link.
class RigPart {
 public:
  virtual ~RigPart() = default;
  virtual void Open() {}
  // Once a second while receiving: an unkey by CAT still owed, then the split transmit
  // frequency re-applied.
  virtual void AdjustSplit() {}
  // At transmit switching: the split transmit frequency, any change applied at once.
  virtual void SplitAtTransmit() {}
  // StartRigControl: rig tuning started anew from TuneRig, RigNumber and TuneVFOBtoA; a rig
  // that cannot be reached or lacks what they need switches them off in the settings.
  virtual void Restart() {}
  // The rig-control server's own setup: 1 when the server cannot be reached, else 0.
  virtual int ShowSetupDialog() { return 1; }
  // A mouse-wheel delta over the window (120 a notch).
  virtual void MouseWheel(int /*delta*/) {}
  // Click-to-tune with rig tuning on (TuneRig): the rig brought onto the signal and the
  // receive tones onto the transmit tones. True when the tones moved, so that the caller pushes
  // the receive pair to the decoders again.
  virtual bool TuneToSignal() { return false; }
  // Every tick of the main timer: writes the rig refused shown, and the not-keyed mark kept.
  virtual void ReportRefusals() {}
};

// Capture files (text, KISS, wave), decoding from a file, the audio history, and opening the
// receive buffer in an editor.
class CapturePart {
 public:
  virtual ~CapturePart() = default;
  // The text capture file: the command line's "/C" name, the two menu items and Alt+L.
  virtual void OpenTextCapture(const std::string& /*name*/) {}
  virtual void OpenCaptureFile1Click() {}
  virtual void CloseCaptureFile1Click() {}
  virtual void ToggleTextCapture() {}
  // The KISS capture file of received packet frames: the two menu items.
  virtual void OpenKISSCaptureFile1Click() {}
  virtual void CloseKISSCaptureFile1Click() {}
  // The shutdown: both capture files closed, without a message.
  virtual void CloseCaptureFiles() {}
  virtual void OpenWaveCaptureFile1Click() {}
  virtual void CloseWaveCaptureFile1Click() {}
  virtual void ToggleWaveCapture() {}
  // "Decode From File": a file chosen in the open dialog, decoded at its pace.
  virtual void DecodeFromFile1Click() {}
  virtual void DecodeWavFile(const std::string& /*name*/, bool /*paced*/) {}
  // The "Replay" and "Save" buttons, and the same for any number of seconds (macros, tuning).
  virtual void ReplayButtonClick() {}
  virtual void SaveButtonClick() {}
  virtual void ReplayLastAudio(int /*seconds*/) {}
  virtual void SaveLastAudio(int /*seconds*/, bool /*decodeAfter*/) {}
  // Status panel 4 from the capture flags.
  virtual void ShowCaptureStatus() {}
  // The audio history of the engine start.
  virtual void StartAudioHistory() {}
  // What the capture handler calls for each block; null: no audio files.
  virtual CaptureAudioLink* AudioLink() { return nullptr; }
  // Where the packet receiver writes its KISS capture; null: none.
  virtual KissOutput* KissCapture() { return nullptr; }
  // Ctrl+N: the receive window in the desktop's text editor.
  virtual void OpenBufferInEditor() {}
};

// The PTT and keying ports and the port-I/O driver.
class PortsPart {
 public:
  virtual ~PortsPart() = default;
  // The port set as loaded from the settings file: the keying port with its pins, and the
  // data-exchange port with it.
  virtual void ApplyPortSettings() {}
  virtual void SetPttPort(int /*type*/, int /*number*/, int /*pttPin*/, int /*powerPin1*/, int /*powerPin2*/) {}
  virtual void SetDataExchangePort(int /*n*/) {}
  // workersAbandoned: a serial worker did not stop, so the ports it uses must stay open.
  virtual void ClosePorts(bool /*workersAbandoned*/) {}
  // Closes both ports before their settings change; SetPttPort opens them again.
  virtual void ClosePortsToReopen() {}
  virtual void ReopenPorts() {}
  // The transmitter's push-to-talk line; without a keying port there is nothing to key.
  virtual void SetPtt(bool /*on*/) {}
  virtual void ClosePortDriver() {}
  // FSK on the keying port's TxD line: whether there is one, and a code for it.
  virtual bool KeyingPortOpen() const { return false; }
  virtual void WriteTxdByte(uint8_t /*code*/) {}
  // A failed write to the TxD line, posted by its writer thread: shown once.
  virtual void ShowComWriteError() {}
  // The port-I/O driver is not to be used on this machine (the store's "Isx64").
  virtual void SetPortDriverMissing() {}
  // Set by SetPortDriverMissing, or once the driver failed to open: no parallel-port keying.
  virtual bool PortDriverMissing() const { return false; }
};

// The exchange library.
class ExchangeLibraryPart {
 public:
  virtual ~ExchangeLibraryPart() = default;
  // Non-zero result of the library's initialisation for the channel; false when absent.
  virtual bool Init(int /*channel*/) { return false; }
  // Takes the link out of use (the shutdown); the library has no closing call.
  virtual void Deactivate() {}
  // A received byte for the other program.
  virtual void Put(uint8_t /*symbol*/) {}
  // Where the packet receiver hands received frames as KISS; null when absent.
  virtual KissOutput* Kiss() { return nullptr; }
  // The next byte the other program sent, 0..255; negative when none waits or out of use.
  virtual int Get() { return -1; }
};

// The data-exchange port's outgoing queue, as the received-text sink hands it bytes.
class ExchangePortPart {
 public:
  virtual ~ExchangePortPart() = default;
  // One character of the automation methods AddSymbol/AddString, into the automation
  // channel's state of the exchange-input parser (macros and escapes as on the port).
  virtual void AddSymbol(int /*symbol*/) {}

  // A port is open (ExchangeComHandle is not -1).
  virtual bool IsOpen() const { return false; }
  // False when the queue refused the byte.
  virtual bool QueueExchangeByte(uint8_t /*c*/) { return false; }
  // One pull of the text pump: text that the exchange peers sent goes to append (on the GUI thread).
  virtual void PullExchangeText(const std::function<void(const std::string&)>& /*append*/) {}
  // Where the packet receiver hands received frames as KISS; null when absent.
  virtual KissOutput* Kiss() { return nullptr; }
  // WM_EXCHANGE_INPUT: the bytes the port's reader moved over go through the port's parser.
  virtual void TakePortInput() {}
  // WM_EXCHANGE_WRITE_ERROR: a failed write of the port's writer, shown once.
  virtual void ShowExchangeWriteError() {}
};

// The callsign catcher, the own-call watch and the beacon.
class CallsignPart {
 public:
  virtual ~CallsignPart() = default;
  // The own call sign (MyCall) for the watch that stops the beacon when it is received; an
  // empty one switches BeaconOffAtMyCall off.
  virtual void SetOwnCall(const std::string& /*call*/) {}
  // TCallFind::FeedChar: 0 nothing; 1 a callsign was accepted that differs from the previous
  // one, or it ended while transmitting; 2 the previous callsign again. transmitted: TxState,
  // or the character is the echo of our own transmission.
  virtual int FeedCallChar(uint8_t /*ch*/, bool /*transmitted*/) { return 0; }
  // The callsign accepted last, and where it starts in the receive window (-1: nowhere).
  virtual std::string CurrentCall() const { return {}; }
  virtual int32_t CallPosition() const { return -1; }
  // The callsign accepted last ended while transmitting: it is our own text.
  virtual bool CallDuringTx() const { return false; }
  // TCallFind::Highlight: colours `call` in the receive window.
  virtual void Highlight(const std::string& /*call*/, int32_t /*colour*/) {}
  virtual void ClearNewCall() {}
  // TMyCallFind::FeedChar: true when the own call has just been received and stops the beacon.
  virtual bool FeedMyCallChar(uint8_t /*ch*/, bool /*transmitted*/) { return false; }
  // TMyCallFind::Reset: a transmission starts.
  virtual void ResetOwnCallWatch() {}
};

// The automation server.
class AutomationPart {
 public:
  virtual ~AutomationPart() = default;
  virtual void SetClientCount(int /*n*/) {}
  virtual int ClientCount() const { return 0; }
  // The OnCallsign event to every client.
  virtual void FireOnCallsign(const std::string& /*call*/) {}
  // OnCommand(code) to every client; OnCommandEx(code | sequence, fields, text) to each client
  // with its own sequence number.
  virtual void FireOnCommand(uint32_t /*code*/) {}
  virtual void FireOnCommandEx(uint32_t /*code*/, uint32_t /*fields*/, const std::string& /*text*/) {}
  // Offers the server on the session bus; activated: started by the bus for a client, so the
  // program ends when its last client leaves.
  virtual void Register(bool /*activated*/) {}
};

}  // namespace vestrel
