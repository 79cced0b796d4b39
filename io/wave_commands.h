#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "io/capture_audio_link.h"
#include "io/file_dialogs.h"
#include "io/message_box.h"
#include "io/wave_buff.h"
#include "io/wave_read.h"
#include "io/wave_write.h"
#include "platform/clock.h"

namespace vestrel {

// What the audio-file commands need of the main window and the receive chain. GUI thread only.
class WaveCommandsHost {
 public:
  virtual void SetMenuEnabled(std::string_view item, bool enabled) = 0;
  virtual void SetReplayButtonEnabled(bool enabled) = 0;
  virtual void SetSaveButtonEnabled(bool enabled) = 0;
  virtual void FocusSentMemo() = 0;
  virtual void SetFileLabel(std::string_view text) = 0;
  virtual void SetDisplayPause(int ticks) = 0;
  // Status panel 4 from the capture flags.
  virtual void ShowCaptureStatus() = 0;
  // The setting "UTCoffset": minutes added to the local time for UTC; -1 the system's UTC.
  virtual int32_t UtcOffsetSetting() const = 0;
  // The shutdown has begun.
  virtual bool EngineClosing() const = 0;
  // One 2048-sample block into the receive chain; source 1 a file decoded at its pace, 2 at once.
  virtual void FeedInputBlock(const int16_t* samples, int source) = 0;
  virtual uint32_t CaptureBuffersFull() const = 0;
  virtual void ProcessSoundInput() = 0;
  virtual void ProcessMessages() = 0;
  virtual void PostWaveInData() = 0;

 protected:
  ~WaveCommandsHost() = default;
};

// The WAV files of the terminal and the commands on them: decoding a file instead of the sound
// card, the wave capture file of the received audio, and the audio history of the last minute,
// replayed through the decoders or saved under "Waves". The capture handler reaches it as its
// CaptureAudioLink. GUI thread only.
class WaveCommands final : public CaptureAudioLink {
 public:
  static constexpr const char* kDecodeItem = "Decode From File";
  static constexpr const char* kOpenCaptureItem = "Open Wave Capture File (Alt-V)";
  static constexpr const char* kCloseCaptureItem = "Close Wave Capture File (Alt-V)";
  static constexpr const char* kReplayFile = "~~~tmp~~.wav";
  static constexpr const char* kSaveFile = "~~~tmp1~.wav";
  static constexpr const char* kWaveFilter = "Wave files (*.wav);;All files (*)";
  static constexpr int kHistorySeconds = 60;
  static constexpr uint32_t kBlock = TWaveBuff::kBlockSamples;
  // A paced decode feeds one block (about 186 ms of audio) per 100 ms, waiting in 30 ms steps.
  static constexpr uint64_t kPacedBlockMs = 100;
  static constexpr uint32_t kPacedWaitMs = 30;

  WaveCommands(WaveCommandsHost& host, MessageBoxSink& boxes, FileDialogs& dialogs, Clock& clock);

  // The history of the engine start: 60 s at 11025 Hz.
  void StartHistory();

  // "Decode From File": asks for a file and decodes it at its pace.
  void DecodeFromFile1Click();
  // Feeds the file's audio to the receive chain in place of the sound card's; paced: one block
  // per 100 ms, else as fast as it goes.
  void DecodeWavFile(const std::string& name, bool paced);
  // Wave capture of the received audio (the two menu items and the hot key).
  void OpenWaveCaptureFile1Click();
  void CloseWaveCaptureFile1Click();
  void ToggleWaveCapture();
  // The "Replay" button: the last minute through the decoders again.
  void ReplayButtonClick();
  void ReplayLastAudio(int seconds);
  // The "Save" button: the last minute into "Waves".
  void SaveButtonClick();
  void SaveLastAudio(int seconds, bool decodeAfter);

  // CaptureAudioLink
  bool DecodingFile() const override { return decodingFile_; }
  void PushHistory(const int16_t* samples, uint32_t count) override;
  bool WaveCaptureOn() const override { return waveCapture_; }
  bool AppendWaveCapture(const int16_t* samples, uint32_t count) override;
  void CloseWaveCapture() override { CloseWaveCaptureFile1Click(); }

  const TWaveBuff& history() const { return history_; }
  TWaveWrite& captureWriter() { return capture_; }
  // The name the last save went to ("" when it failed).
  const std::string& lastSavedName() const { return lastSaved_; }

 private:
  // The saved audio's start as a calendar time: UTC, or local time plus the UTCoffset setting.
  CivilTime SaveTime(int seconds);

  WaveCommandsHost& host_;
  MessageBoxSink& boxes_;
  FileDialogs& dialogs_;
  Clock& clock_;
  TWaveWrite capture_;
  TWaveRead reader_;
  TWaveBuff history_;
  std::vector<int16_t> block_;
  std::string lastSaved_;
  bool waveCapture_ = false;
  bool decodingFile_ = false;
  // Re-entry flags: a message box or the decode loop processes messages.
  bool decodeBusy_ = false, dialogBusy_ = false, openBusy_ = false, closeBusy_ = false, saveBusy_ = false;
};

// Renames `from` to `to` without ever replacing a file: when `to` is taken, the next free name
// with "-2", "-3", ... before the extension. The name used, or "" when the rename failed.
std::string RenameKeepingBoth(const std::string& from, const std::string& to);

}  // namespace vestrel
