#include "io/wave_write.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "io/wave_read.h"
#include "support/fifo_sink.h"
#include "support/temp_dir.h"
#include "support/wave_bytes.h"

namespace vestrel {
namespace {

using test::Bytes;
using test::Get32;

TEST(WaveWrite, HeaderOfAnOpenedAndOfAClosedFile) {
  test::TempDir dir;
  const std::string name = dir / "a.wav";
  TWaveWrite w;
  ASSERT_EQ(w.Open(name, 1, 16, 11025), 0);
  const std::vector<int16_t> samples{1, -2, 3, -32768, 32767};
  ASSERT_EQ(w.Write(samples.data(), 5), 0);
  ASSERT_EQ(w.Close(), 0);
  // clang-format off
  const Bytes expect = {'R', 'I', 'F', 'F', 46, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                        16, 0, 0, 0, 1, 0, 1, 0, 0x11, 0x2B, 0, 0, 0x22, 0x56, 0, 0,  // 11025, 22050
                        2, 0, 16, 0, 'd', 'a', 't', 'a', 10, 0, 0, 0,
                        1, 0, 0xFE, 0xFF, 3, 0, 0, 0x80, 0xFF, 0x7F};
  // clang-format on
  EXPECT_EQ(test::ReadBytes(name), expect);

  // Opened and closed at once: sizes 36 and 0.
  ASSERT_EQ(w.Open(name, 2, 8, 8000), 0);
  ASSERT_EQ(w.Close(), 0);
  const Bytes b = test::ReadBytes(name);
  ASSERT_EQ(b.size(), 44u);
  EXPECT_EQ(Get32(b, 4), 36u);
  EXPECT_EQ(Get32(b, 28), 16000u);  // byte rate = block align 2 x 8000
  EXPECT_EQ(b[32], 2);
  EXPECT_EQ(Get32(b, 40), 0u);
}

TEST(WaveWrite, NothingOpenAndUncreatableFiles) {
  TWaveWrite w;
  const int16_t s[2] = {};
  EXPECT_EQ(w.Write(s, 1), 1);
  EXPECT_EQ(w.UpdateHeader(), 1);
  EXPECT_EQ(w.Close(), 1);
  EXPECT_EQ(w.Open("/nonexistent-dir/x.wav", 1, 16, 11025), 1);
  EXPECT_FALSE(w.IsOpen());
}

// The sizes are rewritten in place once more than 661500 bytes (30 s) were written since the
// last rewrite, at the first write that passes it, and only then.
TEST(WaveWrite, HeaderFollowsEvery30SecondsOnTheMedium) {
  test::TempDir dir;
  const std::string name = dir / "b.wav";
  TWaveWrite w;
  ASSERT_EQ(w.Open(name, 1, 16, 11025), 0);
  const std::vector<int16_t> block(2048, 7);
  std::vector<uint32_t> rewrittenAt;  // blocks after which the file's data size changed
  uint32_t shown = 0;
  for (int n = 1; n <= 400; ++n) {
    ASSERT_EQ(w.Write(block.data(), 2048), 0);
    const Bytes header = test::ReadHeader(name);
    const uint32_t onDisk = Get32(header, 40);
    if (onDisk != shown) {
      rewrittenAt.push_back(n);
      EXPECT_EQ(onDisk, n * 4096u);
      EXPECT_EQ(Get32(header, 4), n * 4096u + 36);
      shown = onDisk;
    }
  }
  // 661500 / 4096 = 161.5: block 162 passes; 2052 bytes are left over, so 161 more pass again.
  EXPECT_EQ(rewrittenAt, (std::vector<uint32_t>{162, 323}));
  ASSERT_EQ(w.Close(), 0);
  EXPECT_EQ(Get32(test::ReadHeader(name), 40), 400u * 4096);
}

// A capture whose program died at 40 s (killed: nothing closed, at most the last stdio buffer
// lost) reads as the 30 s of its last header rewrite.
TEST(WaveWrite, ACaptureCutOffAt40SecondsReadsAsItsLastRewrite) {
  test::TempDir dir;
  const std::string name = dir / "cut.wav";
  const uint32_t blocks = 40 * 11025 / 2048 + 1;  // 216 blocks, 40.1 s
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    TWaveWrite w;
    const std::vector<int16_t> block(2048, 5);
    int r = w.Open(name, 1, 16, 11025);
    for (uint32_t n = 0; n < blocks && r == 0; ++n) r = w.Write(block.data(), 2048);
    _exit(r);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  struct stat st {};
  ASSERT_EQ(stat(name.c_str(), &st), 0);
  EXPECT_GT(uint64_t(st.st_size), 39u * 22050);  // the audio reached the file
  TWaveRead r;
  ASSERT_EQ(r.Open(name), 0);
  EXPECT_EQ(r.FramesRemaining(), 162u * 2048);  // 30.09 s
}

// Near 4 GB of data a write that would carry the data size past 0xFFFFFFFF - 36 is refused: the
// sizes would wrap and the header would claim a few bytes. The file closes with a header that
// says what it holds.
TEST(WaveWrite, AWriteThatWouldPassThe32BitSizesIsRefusedAndTheHeaderStaysValid) {
  test::TempDir dir;
  const std::string name = dir / "big.wav";
  TWaveWrite w;
  ASSERT_EQ(w.Open(name, 1, 16, 11025), 0);
  const std::vector<int16_t> block(2048, 1000);
  const uint32_t start = TWaveWrite::kMaxDataBytes - 6000;  // a hole of silence, not 4 GB written
  ASSERT_EQ(w.SkipForTest(start), 0);
  ASSERT_EQ(w.Write(block.data(), 2048), 0);
  EXPECT_EQ(w.Write(block.data(), 2048), 2);  // 8192 bytes more would pass the limit
  EXPECT_FALSE(w.IsOpen());

  const uint32_t dataBytes = start + 4096;
  struct stat st {};
  ASSERT_EQ(stat(name.c_str(), &st), 0);
  EXPECT_EQ(uint64_t(st.st_size), 44u + dataBytes);
  TWaveRead r;
  ASSERT_EQ(r.Open(name), 0);
  EXPECT_EQ(r.Remaining(), dataBytes);  // the header's own size, not one bounded by the file
  EXPECT_EQ(Get32(test::ReadHeader(name), 4), dataBytes + 36);
  EXPECT_LE(uint64_t{dataBytes} + 36, 0xFFFFFFFFu);
}

// A header rewrite that fails (here: a pipe, where the position cannot be told) closes the file
// and the write that ran it reports the failure.
TEST(WaveWrite, AFailedHeaderRewriteFailsTheWriteThatRanIt) {
  test::TempDir dir;
  test::FifoSink fifo(dir / "pipe.wav");
  ASSERT_TRUE(fifo.ok());
  TWaveWrite w;
  ASSERT_EQ(w.Open(fifo.path(), 1, 16, 11025), 0);
  const std::vector<int16_t> block(2048, 3);
  int result = 0;
  int blocks = 0;
  while (result == 0 && blocks < 200) {
    result = w.Write(block.data(), 2048);
    ++blocks;
  }
  EXPECT_EQ(blocks, 162);  // the first write past 661500 bytes
  EXPECT_EQ(result, 6);    // the position could not be told
  EXPECT_FALSE(w.IsOpen());
  EXPECT_EQ(w.Close(), 1);
}

}  // namespace
}  // namespace vestrel
