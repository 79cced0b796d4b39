// ctest-labels: interop
// minimodem transmits, sox converts to raw 11025 samples/s, vestrel-decode receives.
#include <gtest/gtest.h>

#include <string>

#include "support/tool_runner.h"

namespace vestrel {
namespace {

using test::ShellQuote;

class MinimodemInterop : public ::testing::Test {
 protected:
  void SetUp() override {
    tool = test::BenchToolPath("vestrel-decode");
    if (tool.empty()) GTEST_SKIP() << "vestrel-decode is not built";
    if (!test::HaveProgram("minimodem") || !test::HaveProgram("sox"))
      GTEST_SKIP() << "minimodem or sox missing";
  }

  // minimodem's audio of `text` in `baudmode`, as raw signed 16-bit samples at 11025/s. Its
  // tones are full scale; 6 dB down keeps the rate conversion from clipping.
  std::string Transmit(const std::string& baudmode, const std::string& text) {
    const std::string textPath = test::TempPath("text.txt");
    const std::string wav = test::TempPath("tx.wav");
    const std::string raw = test::TempPath("tx.raw");
    {
      FILE* f = std::fopen(textPath.c_str(), "wb");
      std::fwrite(text.data(), 1, text.size(), f);
      std::fclose(f);
    }
    const test::ToolResult tx =
        test::RunTool("minimodem --tx " + baudmode + " -f " + ShellQuote(wav), textPath);
    EXPECT_EQ(tx.exitCode, 0) << tx.err;
    const test::ToolResult conv =
        test::RunTool("sox " + ShellQuote(wav) + " -t raw -r 11025 -e signed -b 16 -c 1 -L " +
                      ShellQuote(raw) + " gain -6");
    EXPECT_EQ(conv.exitCode, 0) << conv.err;
    return raw;
  }

  std::string tool;
};

// minimodem "rtty": 45.45 Bd Baudot, 1.5 stop bits, mark 1585 Hz and space 1415 Hz: centre
// 1500 Hz, mark on the upper tone as ours.
TEST_F(MinimodemInterop, Rtty4545) {
  const std::string text =
      "RYRYRY CQ CQ DE VESTREL THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123456789 ?-/.,\n";
  const std::string raw = Transmit("rtty", text);
  for (const char* filter : {"optimal", "wide", "narrow"}) {
    SCOPED_TRACE(filter);
    const test::ToolResult r = test::RunTool(ShellQuote(tool) + " --mode RTTY --rx-hz 1500 --filter " +
                                             filter + " " + ShellQuote(raw));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, text);
  }
}

// minimodem "1200": Bell 202, 8N1 ASCII, mark 1200 Hz and space 2200 Hz: centre 1700 Hz,
// shift 1000 Hz, mark on the lower tone, so --reverse.
TEST_F(MinimodemInterop, Bell202Ascii1200) {
  std::string text;
  for (int c = 32; c < 127; ++c) text.push_back(static_cast<char>(c));
  text += "\nThe quick brown fox jumps over the lazy dog.\n";
  const std::string raw = Transmit("1200", text);
  for (const char* filter : {"optimal", "wide", "narrow"}) {
    SCOPED_TRACE(filter);
    const test::ToolResult r = test::RunTool(
        ShellQuote(tool) + " --mode ASCII-8 --baud 1200 --shift 1000 --rx-hz 1700 --reverse --filter " +
        filter + " " + ShellQuote(raw));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, text);
  }
}

// minimodem "300": Bell 103 originate, 8N1, mark 1270 Hz and space 1070 Hz: centre 1170 Hz,
// shift 200 Hz, mark upper.
TEST_F(MinimodemInterop, Bell103Ascii300) {
  const std::string text =
      "Bell 103 at 300 baud: 0123456789 ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz\n";
  const std::string raw = Transmit("300", text);
  const test::ToolResult r = test::RunTool(
      ShellQuote(tool) + " --mode ASCII-8 --baud 300 --shift 200 --rx-hz 1170 " + ShellQuote(raw));
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, text);
}

}  // namespace
}  // namespace vestrel
