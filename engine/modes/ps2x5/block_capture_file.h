#pragma once
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace vestrel {

class Clock;
class EngineWindow;

// Where the block-mode receivers keep their messages: one file per message in `directory`
// (relative paths from the working directory), written only while `save` is on. The window
// turns it on from the setting "SavePs2x5" (on unless the settings say 0), the headless decoder
// with --save-blocks; an engine nobody configures writes no file into its working directory.
// The start time of a message comes from `clock` (the system's UTC time when none is given).
// Shared by the PS2X5 and PS33X5 receivers.
struct BlockCaptureSettings {
  std::filesystem::path directory{"PS2X5_REC"};
  bool save = false;
  Clock* clock = nullptr;
};

// The file of one received block-mode message. While the message runs it is written under the
// temporary name "~~~<start>.tmp"; when it ends it moves to "<start>-R<E|O>-<rate>.TXT" (start:
// seconds since 1970 UTC, 11 digits; E when a block was lost, else O; rate: symbol errors in
// tenths of a percent, 4 digits). No file is ever deleted or replaced: a name that exists
// gets the next free one with "-2", "-3", ... before the extension, and a move that fails
// leaves the temporary file. A failure is reported once through the window (again only after
// a message has been saved in between). A file still open when the object goes is moved to
// its final name, marked lost. GUI thread only.
class TBlockCaptureFile {
 public:
  TBlockCaptureFile(const BlockCaptureSettings& settings, EngineWindow& window)
      : settings_(settings), window_(window) {}
  ~TBlockCaptureFile();
  TBlockCaptureFile(const TBlockCaptureFile&) = delete;
  TBlockCaptureFile& operator=(const TBlockCaptureFile&) = delete;

  // Starts the file of a new message (one still open is finished first, marked lost). Nothing
  // when saving is off or the directory cannot take a file (reported).
  void Open();
  void Write(std::string_view bytes);
  // Closes the file and moves it to its final name: lost gives E, rateTenths 0..1000.
  void Close(bool lost, int rateTenths);

  bool IsOpen() const { return file_ != nullptr; }
  uint32_t StartTime() const { return start_; }
  // The last file's names (empty before the first).
  const std::filesystem::path& TempPath() const { return tempPath_; }
  const std::filesystem::path& FinalPath() const { return finalPath_; }

 private:
  void Report(const std::string& text);

  const BlockCaptureSettings& settings_;
  EngineWindow& window_;
  std::FILE* file_ = nullptr;
  uint32_t start_ = 0;
  std::filesystem::path tempPath_;
  std::filesystem::path finalPath_;
  bool reported_ = false;
};

}  // namespace vestrel
