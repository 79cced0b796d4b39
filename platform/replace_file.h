#pragma once
#include <sys/types.h>

#include <string>
#include <string_view>

namespace vestrel {

// The system call that writes to a descriptor; a test passes one that fails or writes short.
using WriteCall = ssize_t (*)(int fd, const void* data, size_t size);

// What ReplaceFileContents did: done, or the stage that failed with its errno.
struct ReplaceFileResult {
  enum Stage { kDone, kCreate, kWrite } stage = kDone;
  int error = 0;
  std::string target;  // the file replaced (a link's target when the path is a link)

  bool ok() const { return stage == kDone; }
};

// Writes `bytes` as the whole new contents of `path`: into a temporary file beside it, which then
// replaces it, so that a failure at any point leaves the old file (or no file) as it was. A
// link is followed, so that the file it names is replaced and the link stays; an existing
// file keeps its permissions. Short writes are continued. The temporary file is closed once
// and removed on failure.
ReplaceFileResult ReplaceFileContents(const std::string& path, std::string_view bytes,
                                      WriteCall write = nullptr);

}  // namespace vestrel
