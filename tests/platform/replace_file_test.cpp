// Replacing a file whole: short writes are continued, a failed write keeps the old file and
// leaves nothing beside it, and a link keeps pointing at the replaced file.
#include "platform/replace_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/temp_dir.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void Write(const fs::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

size_t FilesIn(const fs::path& dir) {
  size_t n = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir)) ++n;
  return n;
}

// Takes at most three bytes a call.
ssize_t ThreeAtATime(int fd, const void* data, size_t size) {
  return ::write(fd, data, size < 3 ? size : 3);
}

// Takes the first 7 bytes, then fails as a full disk does.
size_t failingWritten = 0;
ssize_t FailAfterSeven(int fd, const void* data, size_t size) {
  if (failingWritten >= 7) {
    errno = ENOSPC;
    return -1;
  }
  const size_t n = std::min(size, 7 - failingWritten);
  failingWritten += n;
  return ::write(fd, data, n);
}

TEST(ReplaceFile, ShortWritesAreContinuedAndReplaceTheOldContents) {
  test::TempDir dir;
  const fs::path p = dir / "out.txt";
  Write(p, "an old and longer text than the new one");
  const std::string text("line one\r\nline \x00two\r\n\xff", 22);
  const ReplaceFileResult r = ReplaceFileContents(p.string(), text, ThreeAtATime);
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(Read(p), text);
  EXPECT_EQ(FilesIn(dir.path()), 1u);
}

TEST(ReplaceFile, AWriteFailingHalfWayKeepsTheOldFile) {
  test::TempDir dir;
  const fs::path p = dir / "out.txt";
  Write(p, "old contents");
  failingWritten = 0;
  const ReplaceFileResult r = ReplaceFileContents(p.string(), std::string(100, 'x'), FailAfterSeven);
  EXPECT_EQ(r.stage, ReplaceFileResult::kWrite);
  EXPECT_EQ(r.error, ENOSPC);
  EXPECT_EQ(Read(p), "old contents");
  EXPECT_EQ(FilesIn(dir.path()), 1u);  // the temporary file is gone
}

TEST(ReplaceFile, AFolderThatCannotTakeAFileFailsAtCreation) {
  test::TempDir dir;
  Write(dir / "plain", "x");
  // A file where the folder should be: no user, root included, can create anything in it.
  const ReplaceFileResult r = ReplaceFileContents((dir / "plain" / "out.txt").string(), "text");
  EXPECT_EQ(r.stage, ReplaceFileResult::kCreate);
  EXPECT_EQ(r.error, ENOTDIR);
  EXPECT_EQ(Read(dir / "plain"), "x");
}

TEST(ReplaceFile, AnEmptyTextGivesAnEmptyFileAndModeAndLinkAreKept) {
  test::TempDir dir;
  const fs::path real = dir / "real.txt";
  Write(real, "before");
  ASSERT_EQ(::chmod(real.c_str(), 0600), 0);
  fs::create_symlink(real, dir / "link.txt");
  EXPECT_TRUE(ReplaceFileContents((dir / "link.txt").string(), "").ok());
  EXPECT_TRUE(fs::is_symlink(dir / "link.txt"));
  EXPECT_EQ(fs::file_size(real), 0u);
  struct stat st {};
  ASSERT_EQ(::stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

}  // namespace
}  // namespace vestrel
