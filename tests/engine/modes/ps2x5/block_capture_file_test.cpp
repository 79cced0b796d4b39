#include "engine/modes/ps2x5/block_capture_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "support/fake_clock.h"
#include "support/fake_engine_window.h"
#include "support/temp_dir.h"
#include "support/tool_runner.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;

// Every file below dir with its bytes.
std::map<std::string, std::string> Contents(const fs::path& dir) {
  std::map<std::string, std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file()) out[fs::relative(e.path(), dir).string()] = test::ReadWholeFile(e.path().string());
  return out;
}

void Put(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

class BlockCaptureFileTest : public ::testing::Test {
 protected:
  BlockCaptureFileTest() {
    settings.directory = dir.path() / "REC";
    settings.save = true;
    settings.clock = &clock;
    clock.utcSeconds = 77;
  }
  test::TempDir dir;
  test::FakeClock clock;
  test::FakeEngineWindow window;
  BlockCaptureSettings settings;
};

TEST_F(BlockCaptureFileTest, WritesUnderTheTemporaryNameThenMovesToTheFinalOne) {
  TBlockCaptureFile file(settings, window);
  file.Open();
  ASSERT_TRUE(file.IsOpen());
  EXPECT_EQ(file.StartTime(), 77u);
  EXPECT_EQ(file.TempPath(), settings.directory / "~~~00000000077.tmp");
  file.Write("abc");
  file.Close(true, 1000);
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(Contents(settings.directory), (std::map<std::string, std::string>{{"00000000077-RE-1000.TXT", "abc"}}));
  EXPECT_EQ(file.FinalPath(), settings.directory / "00000000077-RE-1000.TXT");
}

// Names that exist are never reused: the temporary and the final file take the next free
// names, and no existing file's bytes change.
TEST_F(BlockCaptureFileTest, ExistingTemporaryAndFinalNamesAreKept) {
  fs::create_directories(settings.directory);
  Put(settings.directory / "~~~00000000077.tmp", "left over from a crash");
  Put(settings.directory / "~~~00000000077-2.tmp", "another");
  Put(settings.directory / "00000000077-RO-0000.TXT", "an earlier message");
  const auto before = Contents(settings.directory);
  TBlockCaptureFile file(settings, window);
  file.Open();
  EXPECT_EQ(file.TempPath().filename(), "~~~00000000077-3.tmp");
  file.Write("new");
  file.Close(false, 0);
  EXPECT_EQ(file.FinalPath().filename(), "00000000077-RO-0000-2.TXT");
  auto after = Contents(settings.directory);
  EXPECT_EQ(after["00000000077-RO-0000-2.TXT"], "new");
  after.erase("00000000077-RO-0000-2.TXT");
  EXPECT_EQ(after, before);
  EXPECT_TRUE(window.fileErrors.empty());
}

TEST_F(BlockCaptureFileTest, SavingOffWritesNothing) {
  settings.save = false;
  TBlockCaptureFile file(settings, window);
  file.Open();
  EXPECT_FALSE(file.IsOpen());
  file.Write("x");
  file.Close(false, 0);
  EXPECT_FALSE(fs::exists(settings.directory));
}

// A capture directory that is a file (as good as unwritable, even for root): reported once,
// nothing written, the file untouched; the next message says nothing new.
TEST_F(BlockCaptureFileTest, ADirectoryThatCannotBeWrittenIsReportedOnce) {
  Put(settings.directory, "not a directory");
  TBlockCaptureFile file(settings, window);
  for (int i = 0; i < 3; ++i) {
    file.Open();
    EXPECT_FALSE(file.IsOpen());
    file.Write("lost");
    file.Close(false, 0);
  }
  ASSERT_EQ(window.fileErrors.size(), 1u);
  EXPECT_NE(window.fileErrors[0].find("Block File Error"), std::string::npos);
  EXPECT_EQ(test::ReadWholeFile(settings.directory.string()), "not a directory");
}

// A move that fails keeps the temporary file (here the final name is too long for the
// system's path limit while the temporary one is not) and is reported once; a later message
// that can be saved clears the report.
TEST_F(BlockCaptureFileTest, AFailedMoveKeepsTheTemporaryFileAndIsReportedOnce) {
  // Nested directories up to a path of 4074 characters: the temporary file's path
  // ("/~~~00000000077.tmp", 19 more) fits within 4095, the final one (24 more) does not.
  fs::path deep = dir.path();
  const size_t target = 4074;
  while (deep.string().size() + 201 < target) deep /= std::string(200, 'd');
  deep /= std::string(target - deep.string().size() - 1, 'e');
  ASSERT_EQ(deep.string().size(), target);
  fs::create_directories(deep);
  settings.directory = deep;
  TBlockCaptureFile file(settings, window);
  for (int i = 0; i < 2; ++i) {
    file.Open();
    ASSERT_TRUE(file.IsOpen());
    file.Write("kept");
    file.Close(false, 0);
  }
  ASSERT_EQ(window.fileErrors.size(), 1u);
  EXPECT_NE(window.fileErrors[0].find("~~~00000000077.tmp"), std::string::npos);
  EXPECT_EQ(test::ReadWholeFile((deep / "~~~00000000077.tmp").string()), "kept");
  EXPECT_EQ(test::ReadWholeFile((deep / "~~~00000000077-2.tmp").string()), "kept");

  settings.directory = dir.path() / "short";
  file.Open();
  file.Close(false, 0);
  settings.directory = deep;
  file.Open();
  file.Close(false, 0);
  EXPECT_EQ(window.fileErrors.size(), 2u);
}

TEST_F(BlockCaptureFileTest, AFileStillOpenAtTheEndIsMovedMarkedLost) {
  {
    TBlockCaptureFile file(settings, window);
    file.Open();
    file.Write("cut short");
  }
  EXPECT_EQ(Contents(settings.directory),
            (std::map<std::string, std::string>{{"00000000077-RE-0000.TXT", "cut short"}}));
}

}  // namespace
}  // namespace vestrel
