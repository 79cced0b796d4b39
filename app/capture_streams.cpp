#include "app/capture_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <utility>

#include "memo/strings.h"

namespace vestrel {

struct TCaptureStreams::Kind {
  const char* title;
  const char* openItem;
  const char* closeItem;
  const char* closed;
  const char* errors;
};

namespace {

constexpr const char* kFileError = "File Error";

const TCaptureStreams::Kind* TextKind();
const TCaptureStreams::Kind* KissKind();

// A guard flag held for one handler's run.
class Busy {
 public:
  explicit Busy(bool& flag) : flag_(flag), entered_(!flag) { flag_ = true; }
  ~Busy() {
    if (entered_) flag_ = false;
  }
  bool Reentered() const { return !entered_; }

 private:
  bool& flag_;
  bool entered_;
};

}  // namespace

std::FILE* OpenAppendStream(const std::string& name) {
  const int fd = ::open(name.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  std::FILE* f = ::fdopen(fd, "ab");
  if (f == nullptr) ::close(fd);
  return f;
}

bool CloseStream(std::FILE* file) {
  const bool earlier = std::ferror(file) != 0;
  const bool closed = std::fclose(file) == 0;
  return closed && !earlier;
}

template <typename Stream>
bool TCaptureStreams::Open(const Kind& kind, Stream& stream, const std::string& name) {
  // Opening again: the earlier file is closed first, so nothing it buffered is lost.
  std::FILE* old = stream.Detach();
  if (old != nullptr && !CloseStream(old)) boxes_.ShowMessage(kFileError, kind.errors);
  std::FILE* f = OpenAppendStream(name);
  if (f == nullptr) {
    boxes_.ShowMessage(kFileError, "File Open Error!");
    // The menu stays as it was, unless an open file was closed above.
    if (old != nullptr) {
      host_.SetMenuEnabled(kind.openItem, true);
      host_.SetMenuEnabled(kind.closeItem, false);
      host_.ShowCaptureStatus();
    }
    return false;
  }
  stream.Attach(f);
  host_.SetMenuEnabled(kind.openItem, false);
  host_.SetMenuEnabled(kind.closeItem, true);
  host_.ShowCaptureStatus();
  return true;
}

template <typename Stream>
void TCaptureStreams::Close(const Kind& kind, Stream& stream, bool withMessage) {
  if (std::FILE* f = stream.Detach()) {
    const bool ok = CloseStream(f);
    if (withMessage) {
      if (ok) {
        boxes_.ShowMessage("File Closed", kind.closed);
      } else {
        boxes_.ShowMessage(kFileError, kind.errors);
      }
    }
  }
  if (!withMessage) return;
  host_.SetMenuEnabled(kind.closeItem, false);
  host_.SetMenuEnabled(kind.openItem, true);
  host_.ShowCaptureStatus();
}

bool TCaptureStreams::OpenTextCaptureFile(const std::string& name) { return Open(*TextKind(), text_, name); }

bool TCaptureStreams::OpenKissCaptureFile(const std::string& name) { return Open(*KissKind(), kiss_, name); }

template <typename Stream>
void TCaptureStreams::AskAndOpen(const Kind& kind, Stream& stream, bool& busyFlag) {
  const Busy busy(busyFlag);
  if (busy.Reentered()) return;
  FileDialogRequest request;
  request.title = kind.title;
  request.filter = kFilter;
  request.confirmOverwrite = false;  // the file is appended to
  request.hideReadOnly = true;
  request.keepWorkingDirectory = true;
  std::string name;
  if (dialogs_.SaveFileName(request, name)) Open(kind, stream, name);
}

void TCaptureStreams::OpenCaptureFile1Click() { AskAndOpen(*TextKind(), text_, openTextBusy_); }

void TCaptureStreams::OpenKISSCaptureFile1Click() { AskAndOpen(*KissKind(), kiss_, openKissBusy_); }

void TCaptureStreams::CloseCaptureFile1Click() {
  const Busy busy(closeTextBusy_);
  if (busy.Reentered()) return;
  host_.SetDisplayPause(0);
  Close(*TextKind(), text_, true);
}

void TCaptureStreams::CloseKISSCaptureFile1Click() {
  const Busy busy(closeKissBusy_);
  if (busy.Reentered()) return;
  host_.SetDisplayPause(0);
  Close(*KissKind(), kiss_, true);
}

void TCaptureStreams::ToggleTextCapture() {
  if (TextCaptureOn()) {
    CloseCaptureFile1Click();
  } else {
    OpenCaptureFile1Click();
  }
}

void TCaptureStreams::CloseAll() {
  Close(*TextKind(), text_, false);
  Close(*KissKind(), kiss_, false);
}

void TCaptureStreams::OpenBufferinN1Click(TStrings& lines) {
  const Busy busy(bufferBusy_);
  if (busy.Reentered()) return;
  host_.SetDisplayPause(400);
  const TByteString text = lines.GetTextStr();
  // A file left from an earlier run must not be shown as if it were this window's text.
  std::FILE* f = std::fopen(kBufferFile, "wb");
  bool written = f != nullptr;
  if (f != nullptr) {
    written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    written = CloseStream(f) && written;
  }
  if (!written) {
    boxes_.ShowMessage(kFileError, "File Write Error!");
    return;
  }
  opener_.OpenDocument(kBufferFile);
}

uint32_t GetUnixTime(Clock& clock) {
  const int64_t seconds = clock.UtcSeconds();
  if (seconds < 0 || seconds > int64_t{UINT32_MAX}) return 0;
  return static_cast<uint32_t>(seconds);
}

namespace {

const TCaptureStreams::Kind* TextKind() {
  static constexpr TCaptureStreams::Kind kind{"Open capture file", TCaptureStreams::kOpenTextItem,
                                              TCaptureStreams::kCloseTextItem, "Capture file was closed",
                                              "There was errors in capture file!"};
  return &kind;
}

const TCaptureStreams::Kind* KissKind() {
  static constexpr TCaptureStreams::Kind kind{"Open KISS capture file", TCaptureStreams::kOpenKissItem,
                                              TCaptureStreams::kCloseKissItem, "KISS Capture file was closed",
                                              "There was errors in KISS capture file!"};
  return &kind;
}

}  // namespace

}  // namespace vestrel
