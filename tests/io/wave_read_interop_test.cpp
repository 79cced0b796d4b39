// ctest-labels: interop
// WAV files made by sox read through TWaveRead, and the writer's files read by soxi.
#include <gtest/gtest.h>

#include <cstdlib>

#include "io/wave_read.h"
#include "io/wave_write.h"
#include "support/temp_dir.h"
#include "support/tool_runner.h"
#include "support/wave_bytes.h"

namespace vestrel {
namespace {

using test::ShellQuote;

std::vector<int16_t> ReadAll(TWaveRead& r) {
  std::vector<int16_t> out;
  while (r.FramesRemaining() > 0) out.push_back(r.ReadSample());
  return out;
}

// The last of the output: the filters have settled.
std::vector<int16_t> Tail(std::vector<int16_t> s) {
  s.erase(s.begin(), s.begin() + std::min<size_t>(s.size(), 200));
  return s;
}

TEST(WaveReadInterop, FilesMadeBySox) {
  if (!test::HaveProgram("sox")) GTEST_SKIP() << "sox is not installed";
  test::TempDir dir;
  struct Case {
    const char* what;
    const char* format;   // sox's output options
    const char* effects;  // after "synth 1 sine 1000"
    WaveFormatVerdict verdict;
    double leftTone;  // amplitude of the 1000 Hz tone read, of full scale; -1: not read
  };
  using V = WaveFormatVerdict;
  const Case cases[] = {
      {"11025 Hz mono", "-r 11025 -c 1 -b 16", "vol 0.5", V::kDecodable, 0.5},
      {"22050 Hz mono", "-r 22050 -c 1 -b 16", "vol 0.5", V::kDecodable, 0.5},
      {"44100 Hz mono", "-r 44100 -c 1 -b 16", "vol 0.5", V::kDecodable, 0.5},
      {"stereo, left", "-r 11025 -c 2 -b 16", "vol 0.5 remix 1 0", V::kDecodable, 0.5},
      {"stereo, right alone", "-r 11025 -c 2 -b 16", "vol 0.5 remix 0 1", V::kDecodable, 0},
      {"8-bit unsigned", "-r 11025 -c 1 -b 8 -e unsigned-integer", "vol 0.5", V::kDecodable, 0.5},
      {"48000 Hz", "-r 48000 -c 1 -b 16", "", V::kUnsupportedRate, -1},
      {"float", "-r 11025 -c 1 -b 32 -e floating-point", "", V::kUnsupportedFormat, -1},
      {"extensible (24-bit)", "-r 11025 -c 1 -b 24", "", V::kUnsupportedFormat, -1},
      {"24-bit, tag 1", "-r 11025 -c 1 -b 24 -t wavpcm", "", V::kUnsupportedFormat, -1},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string out = (dir / (std::to_string(++n) + ".wav")).string();
    const test::ToolResult made = test::RunTool(std::string("sox -D -n ") + c.format + " " + ShellQuote(out) +
                                                " synth 1 sine 1000 " + c.effects);
    ASSERT_EQ(made.exitCode, 0) << made.err;
    TWaveRead r;
    ASSERT_EQ(r.Open(out), 0);
    EXPECT_EQ(CheckDecodable(r.Format()), c.verdict);
    if (c.leftTone < 0) continue;
    const std::vector<int16_t> s = Tail(ReadAll(r));
    EXPECT_NEAR(s.size(), 11025 - 200, 2);
    EXPECT_NEAR(test::ToneAmplitude(s, 1000, 11025) / 32768, c.leftTone, 0.02);
  }
  // An 8-bit file's middle byte is silence.
  const std::string silence = (dir / "silence8.wav").string();
  ASSERT_EQ(
      test::RunTool("sox -D -n -r 11025 -c 1 -b 8 -e unsigned-integer " + ShellQuote(silence) + " trim 0 0.1")
          .exitCode,
      0);
  TWaveRead r;
  ASSERT_EQ(r.Open(silence), 0);
  const std::vector<int16_t> s = ReadAll(r);
  EXPECT_EQ(s.size(), 1103u);
  EXPECT_TRUE(std::all_of(s.begin(), s.end(), [](int16_t v) { return v == 0; }));
}

// 45 s written as the capture writes them (blocks of 2048 frames): soxi reads the closed
// file's exact length.
TEST(WaveReadInterop, SoxiReadsTheWritersFile) {
  if (!test::HaveProgram("soxi")) GTEST_SKIP() << "soxi is not installed";
  test::TempDir dir;
  const std::string name = dir / "capture.wav";
  TWaveWrite w;
  ASSERT_EQ(w.Open(name, 1, 16, 11025), 0);
  const std::vector<int16_t> block = test::Sine(1000, 11025, 2048, 8000);
  const int blocks = 45 * 11025 / 2048 + 1;
  for (int n = 0; n < blocks; ++n) ASSERT_EQ(w.Write(block.data(), 2048), 0);
  ASSERT_EQ(w.Close(), 0);
  const test::ToolResult d = test::RunTool("soxi -D " + ShellQuote(name));
  ASSERT_EQ(d.exitCode, 0) << d.err;
  EXPECT_NEAR(std::atof(d.out.c_str()), blocks * 2048 / 11025.0, 1e-4);  // 45.15 s
  EXPECT_EQ(std::lround(std::atof(d.out.c_str())), 45);
  const test::ToolResult s = test::RunTool("soxi -s " + ShellQuote(name));
  EXPECT_EQ(std::atol(s.out.c_str()), blocks * 2048L);
}

}  // namespace
}  // namespace vestrel
