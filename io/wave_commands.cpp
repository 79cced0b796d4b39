#include "io/wave_commands.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>

namespace vestrel {

namespace {

namespace fs = std::filesystem;

// Some thousand tries: enough for any burst of saves within one second.
constexpr int kMaxNameSuffix = 9999;

std::string Format(const char* format, int a, int b, int c) {
  char text[64];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

// 0, or the errno of the failure; EEXIST when `to` is taken.
int RenameNoReplace(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // A file system without the flag: a second link never replaces either.
  if (link(from.c_str(), to.c_str()) != 0) return errno;
  unlink(from.c_str());
  return 0;
}

// A missing directory is created; false when it is neither there nor can be made.
bool EnsureDirectory(const fs::path& dir) {
  std::error_code ec;
  if (fs::is_directory(dir, ec)) return true;
  return fs::create_directory(dir, ec) && !ec;
}

}  // namespace

std::string RenameKeepingBoth(const std::string& from, const std::string& to) {
  const fs::path target(to);
  const std::string stem = (target.parent_path() / target.stem()).string();
  const std::string extension = target.extension().string();
  std::string name = to;
  for (int n = 2;; ++n) {
    const int r = RenameNoReplace(from, name);
    if (r == 0) return name;
    if (r != EEXIST || n > kMaxNameSuffix) return {};
    name = stem + "-" + std::to_string(n) + extension;
  }
}

WaveCommands::WaveCommands(WaveCommandsHost& host, MessageBoxSink& boxes, FileDialogs& dialogs, Clock& clock)
    : host_(host), boxes_(boxes), dialogs_(dialogs), clock_(clock), block_(kBlock) {}

void WaveCommands::StartHistory() {
  history_.SetLength(kHistorySeconds, 11025.0);
}

void WaveCommands::PushHistory(const int16_t* samples, uint32_t count) {
  if (count == kBlock) history_.Push(samples);
}

bool WaveCommands::AppendWaveCapture(const int16_t* samples, uint32_t count) {
  return capture_.Write(samples, count) == 0;
}

void WaveCommands::DecodeFromFile1Click() {
  if (dialogBusy_) return;
  dialogBusy_ = true;
  host_.SetDisplayPause(80);
  FileDialogRequest request;
  request.title = kDecodeItem;
  request.filter = kWaveFilter;
  std::string name;
  if (dialogs_.OpenFileName(request, name)) DecodeWavFile(name, true);
  host_.SetDisplayPause(0);
  dialogBusy_ = false;
}

void WaveCommands::DecodeWavFile(const std::string& name, bool paced) {
  if (decodeBusy_) return;
  decodeBusy_ = true;
  host_.SetMenuEnabled(kDecodeItem, false);
  host_.SetReplayButtonEnabled(false);
  const auto giveUp = [this] {
    host_.SetMenuEnabled(kDecodeItem, true);
    host_.SetReplayButtonEnabled(true);
    decodeBusy_ = false;
  };
  if (reader_.Open(name) != 0) {
    boxes_.ShowMessage("File Error", "File Open Error!");
    giveUp();
    return;
  }
  // Formats the reader would misread (float, 24-bit, blocks it cannot step by) are refused
  // along with foreign tags: decoding them would give noise or never end.
  const WaveFormatVerdict verdict = CheckDecodable(reader_.Format());
  if (verdict != WaveFormatVerdict::kDecodable) {
    boxes_.ShowMessage("File Error", verdict == WaveFormatVerdict::kUnsupportedRate
                                         ? "Unsupported sample rate!"
                                         : "Unsupported audio format!");
    reader_.Close();
    giveUp();
    return;
  }
  decodingFile_ = true;
  host_.SetFileLabel(" Decoding from file ");
  host_.SetDisplayPause(0);
  uint64_t due = clock_.NowMs();
  const int source = paced ? 1 : 2;
  // Every pass reads at least one frame, so the loop ends with the data.
  while (reader_.FramesRemaining() > 0 && !host_.EngineClosing()) {
    due += kPacedBlockMs;
    for (int16_t& s : block_) s = reader_.ReadSample();
    host_.FeedInputBlock(block_.data(), source);
    do {
      // Live audio still reaches the history and the capture file meanwhile.
      if (host_.CaptureBuffersFull() > 0) host_.ProcessSoundInput();
      host_.ProcessMessages();
      if (!paced || host_.EngineClosing()) break;
      clock_.SleepMs(kPacedWaitMs);
    } while (clock_.NowMs() < due);
  }
  decodingFile_ = false;
  reader_.Close();
  // The capture buffers that filled meanwhile get their messages again.
  for (uint32_t n = host_.CaptureBuffersFull(); n > 0; --n) host_.PostWaveInData();
  host_.SetMenuEnabled(kDecodeItem, true);
  host_.SetReplayButtonEnabled(true);
  host_.SetFileLabel("");
  decodeBusy_ = false;
}

void WaveCommands::OpenWaveCaptureFile1Click() {
  if (openBusy_) return;
  openBusy_ = true;
  host_.SetDisplayPause(40);
  FileDialogRequest request;
  request.title = "Open wave capture file";
  request.filter = kWaveFilter;
  request.confirmOverwrite = true;
  request.hideReadOnly = true;
  request.keepWorkingDirectory = true;
  std::string name;
  if (dialogs_.SaveFileName(request, name)) {
    host_.SetMenuEnabled(kOpenCaptureItem, false);
    if (capture_.Open(name, 1, 16, 11025) != 0) {
      boxes_.ShowMessage("File Error", "Wave File Open Error!");
      host_.SetMenuEnabled(kOpenCaptureItem, true);
    } else {
      host_.SetMenuEnabled(kCloseCaptureItem, true);
      waveCapture_ = true;
      host_.ShowCaptureStatus();
    }
  }
  host_.SetDisplayPause(0);
  openBusy_ = false;
}

void WaveCommands::CloseWaveCaptureFile1Click() {
  if (closeBusy_) return;
  closeBusy_ = true;
  waveCapture_ = false;
  if (capture_.Close() != 0) {
    boxes_.ShowMessage("File Error", "There was errors in wave capture file!");
  } else {
    boxes_.ShowMessage("File Closed", "Wave capture file was closed");
  }
  host_.SetMenuEnabled(kCloseCaptureItem, false);
  host_.SetMenuEnabled(kOpenCaptureItem, true);
  host_.ShowCaptureStatus();
  host_.SetDisplayPause(0);
  closeBusy_ = false;
}

void WaveCommands::ToggleWaveCapture() {
  if (waveCapture_) {
    CloseWaveCaptureFile1Click();
  } else {
    OpenWaveCaptureFile1Click();
  }
}

void WaveCommands::ReplayButtonClick() {
  host_.FocusSentMemo();
  host_.SetReplayButtonEnabled(false);
  host_.SetMenuEnabled(kDecodeItem, false);
  ReplayLastAudio(kHistorySeconds);
  // A replay that saved nothing decoded nothing, and nothing else would enable these again.
  if (!decodeBusy_) {
    host_.SetReplayButtonEnabled(true);
    host_.SetMenuEnabled(kDecodeItem, true);
  }
}

void WaveCommands::ReplayLastAudio(int seconds) {
  seconds = std::min(seconds, history_.GetSeconds());
  if (seconds <= 0) return;
  // A decode is running (perhaps of the replay file itself, which saving would overwrite under
  // it), and a second one would not start anyway.
  if (decodeBusy_) return;
  if (history_.SaveLast(kReplayFile, seconds) != 0) {
    boxes_.ShowMessage("Error", "Temporary wave file saving Error!");
    return;
  }
  DecodeWavFile(kReplayFile, false);
}

void WaveCommands::SaveButtonClick() {
  host_.SetSaveButtonEnabled(false);
  host_.FocusSentMemo();
  SaveLastAudio(kHistorySeconds, false);
  host_.SetSaveButtonEnabled(true);
}

CivilTime WaveCommands::SaveTime(int seconds) {
  int64_t t = clock_.UtcSeconds();
  const int32_t offset = host_.UtcOffsetSetting();
  if (offset != -1) t += clock_.LocalOffsetSeconds(t) + int64_t{offset} * 60;
  return BreakDownSeconds(t - seconds);
}

void WaveCommands::SaveLastAudio(int seconds, bool decodeAfter) {
  seconds = std::min(seconds, history_.GetSeconds());
  if (seconds <= 0 || saveBusy_) return;
  saveBusy_ = true;
  lastSaved_.clear();
  // Named after the start of the saved audio.
  const CivilTime t = SaveTime(seconds);
  if (history_.SaveLast(kSaveFile, seconds) != 0)
    boxes_.ShowMessage("Error", "Temporary wave file saving error!");
  const fs::path dir = fs::path("Waves") / Format("%04d-%02d-%02d", t.year, t.month, t.day);
  if (!EnsureDirectory(dir.parent_path()) || !EnsureDirectory(dir)) {
    boxes_.ShowMessage("Error", "Can not create directory!");
  }
  const std::string target = (dir / Format("%02d_%02d_%02d.wav", t.hour, t.minute, t.second)).string();
  // An earlier recording of the same second (two saves at once, a clock set back) is kept.
  lastSaved_ = RenameKeepingBoth(kSaveFile, target);
  if (lastSaved_.empty()) {
    boxes_.ShowMessage("Error", "Temporary wave file renaming error!");
    std::remove(kSaveFile);
  } else if (decodeAfter) {
    DecodeWavFile(lastSaved_, false);
  }
  saveBusy_ = false;
}

}  // namespace vestrel
