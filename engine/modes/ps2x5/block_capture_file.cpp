#include "engine/modes/ps2x5/block_capture_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <system_error>

#include "engine/engine_window.h"
#include "platform/clock.h"

namespace vestrel {

namespace {

constexpr const char* kCaption = "Vestrel - Block File Error";
constexpr int kMaxSuffix = 9999;  // "-2" .. "-9999" tried before giving up

// "<stem>.<ext>", or "<stem>-<n>.<ext>" for n >= 2.
std::string Numbered(const std::string& stem, const char* ext, int n) {
  if (n < 2) return stem + ext;
  return stem + "-" + std::to_string(n) + ext;
}

// Moves `from` to `to` unless `to` exists: 0, or the error (EEXIST when the name is taken).
int MoveNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // A file system without the no-replace rename: a hard link never replaces either.
  if (::link(from.c_str(), to.c_str()) != 0) return errno;
  ::unlink(from.c_str());
  return 0;
}

}  // namespace

TBlockCaptureFile::~TBlockCaptureFile() {
  if (file_ != nullptr) Close(true, 0);
}

void TBlockCaptureFile::Report(const std::string& text) {
  if (reported_) return;
  reported_ = true;
  window_.ShowFileError(kCaption, text);
}

void TBlockCaptureFile::Open() {
  if (file_ != nullptr) Close(true, 0);
  if (!settings_.save) return;
  const int64_t now = settings_.clock != nullptr ? settings_.clock->UtcSeconds() : std::time(nullptr);
  start_ = static_cast<uint32_t>(now);

  const std::filesystem::path& dir = settings_.directory;
  std::error_code ec;
  if (!dir.empty() && !std::filesystem::is_directory(dir, ec)) std::filesystem::create_directories(dir, ec);
  char stem[32];
  std::snprintf(stem, sizeof stem, "~~~%011u", start_);
  int error = 0;
  for (int n = 1; n <= kMaxSuffix; ++n) {
    const std::filesystem::path path = dir / Numbered(stem, ".tmp", n);
    // "x": created here, never an existing file opened and emptied.
    file_ = std::fopen(path.c_str(), "wbx");
    if (file_ != nullptr) {
      tempPath_ = path;
      return;
    }
    error = errno;
    if (error != EEXIST) break;
  }
  Report("Cannot create a file for the received message in " + dir.string() + ": " + std::strerror(error));
}

void TBlockCaptureFile::Write(std::string_view bytes) {
  if (file_ != nullptr && !bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file_);
}

void TBlockCaptureFile::Close(bool lost, int rateTenths) {
  if (file_ == nullptr) return;
  const bool written = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!written) {
    Report("Cannot write " + tempPath_.string() + "; the received message stays there.");
    return;
  }
  char stem[48];
  std::snprintf(stem, sizeof stem, "%011u-R%c-%04d", start_, lost ? 'E' : 'O', rateTenths);
  int error = 0;
  for (int n = 1; n <= kMaxSuffix; ++n) {
    const std::filesystem::path path = tempPath_.parent_path() / Numbered(stem, ".TXT", n);
    error = MoveNoReplace(tempPath_, path);
    if (error == 0) {
      finalPath_ = path;
      reported_ = false;
      return;
    }
    if (error != EEXIST) break;
  }
  Report("Cannot name the received message " + std::string(stem) + ".TXT (" + std::strerror(error) +
         "); it stays in " + tempPath_.string());
}

}  // namespace vestrel
