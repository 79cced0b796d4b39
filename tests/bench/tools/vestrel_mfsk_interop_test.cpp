// ctest-labels: interop
// vestrel-encode and vestrel-decode in MFSK16 and MFSK8 against other programs: fldigi both
// ways (in a private PulseAudio with Xvfb, driven over XML-RPC): fldigi decodes our
// transmissions, and our receiver decodes fldigi's, recorded off its output, with the band in
// the middle of the passband and moved away from it; and multimon-ng reads the CW
// identification after MFSK text. The sound runs in real time, so the texts are short; under
// load the sound server may drop a stretch of audio, so each exchange is tried up to three
// times.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "support/fldigi_fixture.h"
#include "support/sound_peers.h"
#include "support/tool_runner.h"

namespace vestrel {
namespace {

using test::RunTool;
using test::ShellQuote;

constexpr int kAttempts = 3;

// fldigi's names of the modes are ours; its carrier is the band's centre, as our --rx-hz and
// --tx-hz are.
struct Case {
  const char* mode;
  int centreHz;
};
const Case kCases[] = {{"MFSK16", 1500}, {"MFSK16", 1137}, {"MFSK8", 1500}, {"MFSK8", 2011}};

using MfskFldigiInterop = test::FldigiFixture;

TEST_F(MfskFldigiInterop, DecodesOurTransmissions) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.mode << " at " << c.centreHz << " Hz");
    const std::string text = std::string("CQ de VESTREL ") + c.mode + " 0123 k";
    const std::string raw =
        Encode(text, std::string("--mode ") + c.mode + " --tx-hz " + std::to_string(c.centreHz));
    const std::string got = FldigiHears(raw, c.mode, c.centreHz, text, kAttempts);
    EXPECT_NE(got.find(text), std::string::npos) << "fldigi received \"" << got << "\"";
  }
}

TEST_F(MfskFldigiInterop, OurReceiverDecodesFldigi) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.mode << " at " << c.centreHz << " Hz");
    const std::string text = std::string("fldigi sends ") + c.mode + " 4567";
    std::string got;
    for (int attempt = 0; attempt < kAttempts && got.find(text) == std::string::npos; ++attempt) {
      ASSERT_TRUE(fldigi_->SetUp(c.mode, c.centreHz));
      const std::string raw = test::TempPath("fldigi.raw");
      ASSERT_TRUE(world_->StartRecording(raw, 11025));
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
      const bool sent = fldigi_->Transmit(text, std::chrono::seconds(90));
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
      world_->StopRecording();
      ASSERT_TRUE(sent) << "fldigi did not finish its transmission";
      const test::ToolResult r = RunTool(ShellQuote(decoder) + " --mode " + c.mode + " --rx-hz " +
                                         std::to_string(c.centreHz) + " " + ShellQuote(raw));
      EXPECT_EQ(r.exitCode, 0) << r.err;
      got = r.out;
    }
    EXPECT_NE(got.find(text), std::string::npos) << "we received \"" << got << "\"";
  }
}

// multimon-ng reads the CW identification sent after MFSK text, keyed on the band's first tone
// (the highest under Reverse) through the PSK shaper at 31.25 Bd.
TEST(MfskCwInterop, MultimonReadsTheIdentificationAfterMfskText) {
  const std::string encoder = test::BenchToolPath("vestrel-encode");
  if (encoder.empty()) GTEST_SKIP() << "vestrel-encode is not built";
  for (const char* p : {"multimon-ng", "sox"}) {
    if (!test::HaveProgram(p)) GTEST_SKIP() << p << " is not installed";
  }
  for (const char* options : {"--mode MFSK16 --tx-hz 1000", "--mode MFSK8 --tx-hz 1200 --reverse"}) {
    SCOPED_TRACE(options);
    const std::string txt = test::TempPath("text.txt"), raw = test::TempPath("tx.raw");
    const std::string raw22 = test::TempPath("cw22.raw");
    std::ofstream(txt, std::ios::binary) << "73";
    ASSERT_EQ(RunTool(ShellQuote(encoder) + " " + options + " --cw ' DE VESTREL' " + ShellQuote(txt) + " > " +
                      ShellQuote(raw))
                  .exitCode,
              0);
    ASSERT_EQ(RunTool("sox -q -t raw -r 11025 -e signed -b 16 -c 1 " + ShellQuote(raw) +
                      " -t raw -r 22050 -e signed -b 16 -c 1 " + ShellQuote(raw22) + " pad 0 1")
                  .exitCode,
              0);
    const test::ToolResult r = RunTool("multimon-ng -q -c -a MORSE_CW -d 53 -g 53 -t raw " + ShellQuote(raw22));
    EXPECT_NE(r.out.find("DE VESTREL"), std::string::npos) << r.out;
  }
}

}  // namespace
}  // namespace vestrel
