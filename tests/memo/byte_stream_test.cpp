#include "memo/byte_stream.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "memo/memo_errors.h"

namespace vestrel {
namespace {

TEST(ByteStream, MemoryReadWriteSeek) {
  TMemoryStream m;
  m.Write("abcdef", 6);
  EXPECT_EQ(m.Size(), 6);
  m.SetPosition(2);
  m.Write("XY", 2);
  m.SetPosition(100);  // clamped to the end
  EXPECT_EQ(m.Position(), 6);
  m.SetPosition(0);
  char buf[8] = {};
  EXPECT_EQ(m.Read(buf, 8), 6u);
  EXPECT_STREQ(buf, "abXYef");
  EXPECT_EQ(m.Read(buf, 8), 0u);
}

TEST(ByteStream, FileRoundTripAndErrors) {
  const auto path = std::filesystem::temp_directory_path() / ("vestrel_stream_" + std::to_string(::getpid()));
  {
    TFileStream f(path, TFileStream::fmCreate);
    f.Write("line 1\r\n\xe9", 9);
    EXPECT_EQ(f.Size(), 9);
  }
  {
    TFileStream f(path, TFileStream::fmOpenRead);
    EXPECT_EQ(f.Size(), 9);
    unsigned char buf[16];
    EXPECT_EQ(f.Read(buf, 16), 9u);
    EXPECT_EQ(buf[8], 0xE9);
    f.SetPosition(5);
    EXPECT_EQ(f.Read(buf, 1), 1u);
    EXPECT_EQ(buf[0], '1');
    EXPECT_THROW(f.Write("x", 1), EStreamError);  // opened for reading
  }
  std::filesystem::remove(path);
  try {
    TFileStream f(path, TFileStream::fmOpenRead);
    ADD_FAILURE();
  } catch (const EStreamError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + path.string() + "\"");
  }
}

}  // namespace
}  // namespace vestrel
