#pragma once
#include <string>

#include "app/capture_streams.h"
#include "app/form_parts.h"
#include "io/file_dialogs.h"
#include "io/message_box.h"
#include "io/shell_opener.h"
#include "io/wave_commands.h"
#include "platform/clock.h"

namespace vestrel {

class TRxForm;

// The window's capture files and audio files: the text and KISS capture files, the wave
// capture, decoding from a file and the audio history, with the capture indicator of status
// panel 4, and the receive window opened in the text editor.
class TCaptureFiles final : public CapturePart, private WaveCommandsHost, private CaptureStreamsHost {
 public:
  TCaptureFiles(TRxForm& form, MessageBoxSink& boxes, FileDialogs& dialogs, ShellOpener& opener, Clock& clock);

  void OpenTextCapture(const std::string& name) override { streams_.OpenTextCaptureFile(name); }
  void OpenCaptureFile1Click() override { streams_.OpenCaptureFile1Click(); }
  void CloseCaptureFile1Click() override { streams_.CloseCaptureFile1Click(); }
  void ToggleTextCapture() override { streams_.ToggleTextCapture(); }
  void OpenKISSCaptureFile1Click() override { streams_.OpenKISSCaptureFile1Click(); }
  void CloseKISSCaptureFile1Click() override { streams_.CloseKISSCaptureFile1Click(); }
  void CloseCaptureFiles() override { streams_.CloseAll(); }
  KissOutput* KissCapture() override { return &streams_.kiss(); }
  void OpenBufferInEditor() override;

  void OpenWaveCaptureFile1Click() override { wave_.OpenWaveCaptureFile1Click(); }
  void CloseWaveCaptureFile1Click() override { wave_.CloseWaveCaptureFile1Click(); }
  void ToggleWaveCapture() override { wave_.ToggleWaveCapture(); }
  void DecodeFromFile1Click() override { wave_.DecodeFromFile1Click(); }
  void DecodeWavFile(const std::string& name, bool paced) override { wave_.DecodeWavFile(name, paced); }
  void ReplayButtonClick() override { wave_.ReplayButtonClick(); }
  void SaveButtonClick() override { wave_.SaveButtonClick(); }
  void ReplayLastAudio(int seconds) override { wave_.ReplayLastAudio(seconds); }
  void SaveLastAudio(int seconds, bool decodeAfter) override { wave_.SaveLastAudio(seconds, decodeAfter); }
  void ShowCaptureStatus() override;
  void StartAudioHistory() override { wave_.StartHistory(); }
  CaptureAudioLink* AudioLink() override { return &wave_; }

  WaveCommands& wave() { return wave_; }
  TCaptureStreams& streams() { return streams_; }

 private:
  // WaveCommandsHost
  // WaveCommandsHost and CaptureStreamsHost
  void SetMenuEnabled(std::string_view item, bool enabled) override;
  void SetReplayButtonEnabled(bool enabled) override;
  void SetSaveButtonEnabled(bool enabled) override;
  void FocusSentMemo() override;
  void SetFileLabel(std::string_view text) override;
  void SetDisplayPause(int ticks) override;
  int32_t UtcOffsetSetting() const override;
  bool EngineClosing() const override;
  void FeedInputBlock(const int16_t* samples, int source) override;
  uint32_t CaptureBuffersFull() const override;
  void ProcessSoundInput() override;
  void ProcessMessages() override;
  void PostWaveInData() override;

  TRxForm& form_;
  WaveCommands wave_;
  TCaptureStreams streams_;
};

}  // namespace vestrel
