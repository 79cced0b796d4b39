#include "platform/replace_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

namespace vestrel {

namespace {

bool WriteAll(int fd, std::string_view data, WriteCall write) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      // No progress and no error: nothing more will be taken.
      errno = EIO;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

ReplaceFileResult ReplaceFileContents(const std::string& path, std::string_view bytes, WriteCall write) {
  namespace fs = std::filesystem;
  if (write == nullptr) write = ::write;
  ReplaceFileResult r;
  std::error_code ec;
  fs::path target = path;
  if (fs::is_symlink(target, ec)) {
    const fs::path resolved = fs::weakly_canonical(target, ec);
    if (!ec) target = resolved;
  }
  r.target = target.string();
  mode_t mode = 0644;
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0) mode = old.st_mode & 07777;

  std::string temp = target.string() + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    r.stage = ReplaceFileResult::kCreate;
    r.error = errno;
    return r;
  }
  int err = 0;
  if (!WriteAll(fd, bytes, write)) err = errno;
  if (err == 0 && ::fchmod(fd, mode) != 0) err = errno;
  if (err == 0 && ::fsync(fd) != 0) err = errno;
  // Closed once, whatever happened: a second close could hit a descriptor another thread
  // has opened since.
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && ::rename(temp.c_str(), target.c_str()) != 0) err = errno;
  if (err != 0) {
    ::unlink(temp.c_str());
    r.stage = ReplaceFileResult::kWrite;
    r.error = err;
  }
  return r;
}

}  // namespace vestrel
