// ctest-labels: interop
// vestrel-encode and vestrel-decode in MFSK16 and MFSK8 against other programs: fldigi both
// ways (in a private PulseAudio with Xvfb, driven over XML-RPC): fldigi decodes our
// transmissions, and our receiver decodes fldigi's, recorded off its output, with the band in
// the middle of the passband and moved away from it; and multimon-ng reads the CW
// identification after MFSK text. The sound runs in real time, so the texts are short; under
// load the sound server may drop a stretch of audio, so each exchange is tried up to three
// times, and a recording of fldigi with a dropout is made again.
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

constexpr int kDropoutRetakes = 5;
// As in the PSK modes: a character or two lost to a dropped stretch at most; a broken receiver
// loses most.
constexpr double kMaxErrorRate = 0.1;

TEST_F(MfskFldigiInterop, OurReceiverDecodesFldigi) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.mode << " at " << c.centreHz << " Hz");
    const std::string text = std::string("fldigi sends ") + c.mode + " 4567";
    const Take best = BestTakeOfFldigi(
        text, c.mode, c.centreHz, std::string("--mode ") + c.mode + " --rx-hz " + std::to_string(c.centreHz),
        kAttempts, kDropoutRetakes);
    EXPECT_LE(best.errorRate, kMaxErrorRate)
        << "we received \"" << best.decoded << "\" at best of " << best.takes << " takes (" << best.dropouts
        << " made again for a dropout)";
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
    const test::ToolResult r =
        RunTool("multimon-ng -q -c -a MORSE_CW -d 53 -g 53 -t raw " + ShellQuote(raw22));
    EXPECT_NE(r.out.find("DE VESTREL"), std::string::npos) << r.out;
  }
}

}  // namespace
}  // namespace vestrel
