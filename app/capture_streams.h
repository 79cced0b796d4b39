#pragma once
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

#include "app/text_capture_stream.h"
#include "engine/modes/packet/kiss_output.h"
#include "io/file_dialogs.h"
#include "io/message_box.h"
#include "io/shell_opener.h"
#include "platform/clock.h"

namespace vestrel {

class TStrings;

// What the capture-file commands need of the main window. GUI thread only.
class CaptureStreamsHost {
 public:
  virtual void SetMenuEnabled(std::string_view item, bool enabled) = 0;
  virtual void SetDisplayPause(int ticks) = 0;
  // Status panel 4 from the capture flags.
  virtual void ShowCaptureStatus() = 0;

 protected:
  ~CaptureStreamsHost() = default;
};

// The KISS capture file: received packet frames as KISS frames, appended. Writes are buffered;
// a failed write stays in the stream's error flag and shows when it is closed.
class KissCaptureStream final : public KissOutput {
 public:
  bool IsOpen() const { return file_ != nullptr; }
  void Attach(std::FILE* file) { file_ = file; }
  std::FILE* Detach() {
    std::FILE* f = file_;
    file_ = nullptr;
    return f;
  }
  void WriteKiss(std::span<const uint8_t> kissFrame) override {
    if (file_ != nullptr) std::fwrite(kissFrame.data(), 1, kissFrame.size(), file_);
  }

 private:
  std::FILE* file_ = nullptr;
};

// The text and KISS capture files with their menu items and messages, and the receive window
// opened in the desktop's text editor. The text stream is the one the received-text sink
// writes; the KISS stream is the packet receiver's capture output. GUI thread only.
class TCaptureStreams {
 public:
  static constexpr const char* kOpenTextItem = "Open Capture File (Alt-L)";
  static constexpr const char* kCloseTextItem = "Close Capture File (Alt-L)";
  static constexpr const char* kOpenKissItem = "Open KISS Capture File";
  static constexpr const char* kCloseKissItem = "Close KISS Capture File";
  static constexpr const char* kFilter = "Text files (*.txt);;All files (*)";
  static constexpr const char* kBufferFile = "~~tmpbuf.txt";

  TCaptureStreams(CaptureStreamsHost& host, MessageBoxSink& boxes, FileDialogs& dialogs, ShellOpener& opener,
                  TextCaptureStream& text)
      : host_(host), boxes_(boxes), dialogs_(dialogs), opener_(opener), text_(text) {}
  ~TCaptureStreams() { CloseAll(); }

  // The text capture: asks for a file ("Open capture file") and opens it; opens a named file
  // (also the command line's "/C"); closes it with its message; Alt+L toggles.
  void OpenCaptureFile1Click();
  bool OpenTextCaptureFile(const std::string& name);
  void CloseCaptureFile1Click();
  void ToggleTextCapture();
  // The KISS capture, the same way.
  void OpenKISSCaptureFile1Click();
  bool OpenKissCaptureFile(const std::string& name);
  void CloseKISSCaptureFile1Click();
  // The shutdown: both streams closed and written out, without a message.
  void CloseAll();
  // Ctrl+N: the lines of the receive window saved to "~~tmpbuf.txt" in the working directory
  // and that file opened in the editor; a failed save shows an error and opens nothing.
  void OpenBufferinN1Click(TStrings& lines);

  bool TextCaptureOn() const { return text_.IsOpen(); }
  bool KissCaptureOn() const { return kiss_.IsOpen(); }
  KissCaptureStream& kiss() { return kiss_; }

 // The texts and menu items of one kind of capture file.
  struct Kind;

 private:
  template <typename Stream>
  bool Open(const Kind& kind, Stream& stream, const std::string& name);
  template <typename Stream>
  void Close(const Kind& kind, Stream& stream, bool withMessage);
  template <typename Stream>
  void AskAndOpen(const Kind& kind, Stream& stream, bool& busyFlag);

  CaptureStreamsHost& host_;
  MessageBoxSink& boxes_;
  FileDialogs& dialogs_;
  ShellOpener& opener_;
  TextCaptureStream& text_;
  KissCaptureStream kiss_;
  // One re-entry guard per handler.
  bool openTextBusy_ = false, closeTextBusy_ = false, openKissBusy_ = false, closeKissBusy_ = false;
  bool bufferBusy_ = false;
};

// Opens `name` for binary append, creating it when missing; null when it cannot be opened.
std::FILE* OpenAppendStream(const std::string& name);
// Closes a stream; false when closing or any earlier write reported an error.
bool CloseStream(std::FILE* file);

// Seconds since 1970-01-01 00:00 UTC from the clock; 0 when the time cannot be given as such.
uint32_t GetUnixTime(Clock& clock);

}  // namespace vestrel
