#pragma once
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/engine_driver.h"
#include "app/form_parts.h"
#include "app/message_boxes.h"
#include "engine/sound_control.h"
#include "io/message_box.h"

namespace vestrel::test {

// Every seam of the main window in one recorder: each call appends its name to `log`.
class RecordingFormParts : public SettingsPart,
                           public LoggerLinkPart,
                           public DisplayPart,
                           public TransmitPart,
                           public MacroPart,
                           public RigPart,
                           public CapturePart,
                           public PortsPart,
                           public ExchangeLibraryPart,
                           public AutomationPart,
                           public CallsignPart,
                           public EngineDriver,
                           public SoundControl,
                           public MessageBoxSink,
                           public AppControl {
 public:
  void Log(std::string s) { log.push_back(std::move(s)); }
  int Count(const std::string& s) const {
    int n = 0;
    for (const auto& e : log) n += (e == s);
    return n;
  }
  bool Has(const std::string& s) const { return Count(s) > 0; }

  // SettingsPart
  void LoadSettings(const std::string&, const SettingsTargets& t) override {
    Log("LoadSettings");
    t.settings.ExCanal = exCanal;
    t.settings.UseDuplex = useDuplex;
    if (onLoadSettings) onLoadSettings(t.settings);
  }
  // LoggerLinkPart
  void NotifyCommand(int code) override { Log("Notify " + std::to_string(code)); }
  void HandleCommand(uint32_t w, uint32_t l) override {
    Log("LoggerCommand " + std::to_string(w) + " " + std::to_string(l));
  }
  void ClearQsoPanel() override { Log("ClearQsoPanel"); }
  void PickWord(const std::string& text, int, int) override { Log("PickWord " + text); }
  // DisplayPart
  void BuildWaterfallPalette() override { Log("BuildWaterfallPalette"); }
  void SetZoom(int z) override { Log("SetZoom " + std::to_string(z)); }
  void PaintSpectrum() override { Log("PaintSpectrum"); }
  bool TuneToSignal() override {
    Log("TuneToSignal");
    return false;
  }
  void ReplayLastAudio(int seconds) override { Log("ReplayLastAudio " + std::to_string(seconds)); }
  void RepaintOscillogram() override { Log("RepaintOscillogram"); }
  void LayoutChanged() override { Log("LayoutChanged"); }
  // TransmitPart
  void PumpTxText() override {
    Log("PumpTxText");
    if (onPumpTxText) onPumpTxText();
  }
  void SetTransmit(bool on) override {
    Log(std::string("SetTransmit ") + (on ? "1" : "0"));
    transmitting = on;
  }
  void SetPause(bool on) override { Log(std::string("SetPause ") + (on ? "1" : "0")); }
  bool Transmitting() const override { return transmitting; }
  void ClearPausePoint() override { Log("ClearPausePoint"); }
  // MacroPart
  void RunMacro(int n) override { Log("RunMacro " + std::to_string(n)); }
  // RigPart
  void Open() override { Log("RigOpen"); }
  void Restart() override {
    Log("RigRestart");
    if (onRigRestart) onRigRestart();
  }
  int ShowSetupDialog() override {
    Log("RigSetupDialog");
    return rigSetupResult;
  }
  // CapturePart
  void OpenTextCapture(const std::string& name) override { Log("OpenTextCapture " + name); }
  void CloseCaptureFiles() override { Log("CloseCaptureFiles"); }
  void ToggleTextCapture() override { Log("ToggleTextCapture"); }
  void ToggleWaveCapture() override { Log("ToggleWaveCapture"); }
  void DecodeFromFile1Click() override { Log("DecodeFromFile"); }
  // PortsPart
  void ClosePorts(bool abandoned) override { Log(std::string("ClosePorts ") + (abandoned ? "1" : "0")); }
  void ClosePortsToReopen() override { Log("ClosePortsToReopen"); }
  void SetPttPort(int type, int number, int pttPin, int powerPin1, int powerPin2) override {
    Log("SetPttPort " + std::to_string(type) + " " + std::to_string(number) + " " + std::to_string(pttPin) + " " +
        std::to_string(powerPin1) + " " + std::to_string(powerPin2));
  }
  void SetDataExchangePort(int n) override { Log("SetDataExchangePort " + std::to_string(n)); }
  void ClosePortDriver() override { Log("ClosePortDriver"); }
  void SetPortDriverMissing() override {
    Log("SetPortDriverMissing");
    portDriverMissing = true;
  }
  bool PortDriverMissing() const override { return portDriverMissing; }
  void SetPtt(bool on) override { Log(std::string("SetPtt ") + (on ? "1" : "0")); }
  // ExchangeLibraryPart
  bool Init(int channel) override {
    Log("ExchangeInit " + std::to_string(channel));
    return exchangeOk;
  }
  void Deactivate() override { ++exchangeDeactivations; }
  // AutomationPart
  void SetClientCount(int n) override { Log("SetClientCount " + std::to_string(n)); }
  // CallsignPart
  void SetOwnCall(const std::string& call) override { Log("SetOwnCall " + call); }
  // EngineDriver (the converter's rates and the devices kept apart from the log, which the
  // start-up order is checked against)
  void InitInputConverter(double rate) override { inputRates.push_back(rate); }
  void SetSoundDevices(const SoundSettings& s) override { soundDevices.push_back(s); }
  void StartObjects() override { Log("StartObjects"); }
  void ApplySpeedShiftMode() override { Log("ApplySpeedShiftMode"); }
  void ProcessSoundInput() override { Log("ProcessSoundInput"); }
  uint32_t PlaybackBuffersQueued() const override { return queued; }
  void SetEngineClosing() override { Log("SetEngineClosing"); }
  void StopSlotTimer() override { Log("StopSlotTimer"); }
  void ForceFiguresCase() override { Log("ForceFigures"); }
  void ForceLettersCase() override { Log("ForceLetters"); }
  void ShiftRxFrequency(int units) override { Log("ShiftRxFrequency " + std::to_string(units)); }
  void ShiftTxFrequency(int units) override { Log("ShiftTxFrequency " + std::to_string(units)); }
  SoundControl* Sound() override { return this; }
  // SoundControl
  bool InputOpen() const override { return inputOpen; }
  bool OutputOpen() const override { return outputOpen; }
  void OpenSoundInput() override {
    Log("OpenSoundInput");
    inputOpen = true;
    if (onOpenSoundInput) onOpenSoundInput();
  }
  void CloseSoundInput() override {
    Log("CloseSoundInput");
    inputOpen = false;
  }
  void OpenSoundOutput() override {
    Log("OpenSoundOutput");
    outputOpen = true;
  }
  void CloseSoundOutput() override {
    Log("CloseSoundOutput");
    outputOpen = false;
  }
  int WriteOutput(uint32_t) override { return 0; }
  // MessageBoxSink
  void ShowMessage(std::string_view caption, std::string_view text) override {
    boxes.emplace_back(std::string(caption), std::string(text));
    Log("Box " + std::string(text));
    if (onBox) onBox();
  }
  // AppControl
  void Terminate() override { Log("Terminate"); }
  void ProcessMessages() override {
    ++processRounds;
    if (onProcessMessages) onProcessMessages();
  }
  void SleepMs(int ms) override {
    if (realSleep) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }

  std::vector<std::string> log;
  std::vector<std::pair<std::string, std::string>> boxes;  // (caption, text)
  std::function<void()> onPumpTxText;
  std::function<void()> onProcessMessages;
  std::function<void()> onBox;
  std::function<void()> onOpenSoundInput;  // runs while the box is shown (its own message loop)
  std::function<void()> onRigRestart;
  std::function<void(TAppSettings&)> onLoadSettings;
  std::vector<double> inputRates;
  std::vector<SoundSettings> soundDevices;
  int rigSetupResult = 0;
  int exchangeDeactivations = 0;
  bool portDriverMissing = false;
  int exCanal = 0;
  int useDuplex = 0;
  bool exchangeOk = true;
  bool transmitting = false;
  bool inputOpen = false, outputOpen = false;
  uint32_t queued = 0;
  int processRounds = 0;
  bool realSleep = true;  // false: the shutdown's wait rounds pass at once
};

}  // namespace vestrel::test
