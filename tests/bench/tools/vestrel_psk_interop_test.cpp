// ctest-labels: interop
// vestrel-encode and vestrel-decode in the PSK modes against other programs: fldigi both ways
// (in a private PulseAudio with Xvfb, driven over XML-RPC), psk31lx listening, and
// multimon-ng reading our CW identification. The sound runs in real time; under load the sound
// server may drop a stretch of audio, so each exchange is tried up to three times, and a
// recording of fldigi with a dropout is made again.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/fldigi_fixture.h"
#include "support/sound_peers.h"
#include "support/tool_runner.h"

namespace vestrel {
namespace {

using test::RunTool;
using test::ShellQuote;

constexpr int kAttempts = 3;

// The headless tools without a shared peer.
using PskPeers = test::HeadlessTools;

// fldigi's names of our modes are ours.
const char* const kModes[] = {"BPSK31", "BPSK63", "BPSK125", "QPSK31", "QPSK63"};

using FldigiInterop = test::FldigiFixture;

// fldigi decodes our five modes to the text sent. Its QPSK decoder hands out the last
// characters only once some 130 further bits have come, so every text ends in blanks that
// carry it past that.
TEST_F(FldigiInterop, DecodesOurTransmissions) {
  for (const char* mode : kModes) {
    SCOPED_TRACE(mode);
    const std::string text = std::string("CQ CQ de VESTREL ") + mode + " test 0123456789 pse k";
    const std::string raw =
        Encode(text + std::string(48, ' '), std::string("--mode ") + mode + " --tx-hz 1500");
    const std::string got = FldigiHears(raw, mode, 1500, text, kAttempts);
    EXPECT_NE(got.find(text), std::string::npos) << "fldigi received \"" << got << "\"";
  }
}

constexpr int kDropoutRetakes = 5;
// The best take may lose a character or two to the start of fldigi's transmission or a stretch
// the sound server dropped without leaving silence; a receiver that is broken loses most.
constexpr double kMaxErrorRate = 0.1;

// Our receiver decodes fldigi's transmissions of the five modes, recorded off its output.
TEST_F(FldigiInterop, OurReceiverDecodesFldigi) {
  for (const char* mode : kModes) {
    SCOPED_TRACE(mode);
    const std::string text = std::string("fldigi sends ") + mode + " the quick brown fox 0123456789";
    const Take best = BestTakeOfFldigi(text, mode, 1500, std::string("--mode ") + mode + " --rx-hz 1500",
                                       kAttempts, kDropoutRetakes);
    EXPECT_LE(best.errorRate, kMaxErrorRate)
        << "we received \"" << best.decoded << "\" at best of " << best.takes << " takes (" << best.dropouts
        << " made again for a dropout)";
  }
}

// psk31lx, listening through the same kind of private sound server, decodes our BPSK31 and
// QPSK31 (its QPSK expects the upper sideband, our normal sense). It misreads a signal at full
// scale, so ours is played at half, as a sound card's input level would be set.
TEST_F(PskPeers, Psk31lxDecodesOurBpsk31AndQpsk31) {
  for (const char* p : {"psk31lx", "tmux", "pulseaudio", "paplay", "pactl", "Xvfb", "sox"}) {
    if (!test::HaveProgram(p)) GTEST_SKIP() << p << " is not installed";
  }
  for (bool qpsk : {false, true}) {
    const std::string mode = qpsk ? "QPSK31" : "BPSK31";
    SCOPED_TRACE(mode);
    const std::string text = "psk31lx hears " + mode + " from VESTREL 73";
    const std::string full = Encode(text + std::string(16, ' '), "--mode " + mode + " --tx-hz 1000");
    const std::string raw = test::TempPath("half.raw");
    ASSERT_EQ(RunTool("sox -q -t raw -r 11025 -e signed -b 16 -c 1 " + ShellQuote(full) + " -t raw " +
                      ShellQuote(raw) + " vol 0.5")
                  .exitCode,
              0);
    std::string got;
    for (int attempt = 0; attempt < kAttempts && got.find(text) == std::string::npos; ++attempt) {
      test::PrivateSoundWorld world;
      ASSERT_TRUE(world.Ready()) << world.Error();
      test::Psk31lxPeer psk31lx(world, qpsk, 1000);
      ASSERT_TRUE(psk31lx.Ready()) << "psk31lx did not come up";
      ASSERT_TRUE(world.Play(raw, 11025));
      // psk31lx shows the text as it decodes it: wait until it is there, or the screen has
      // stopped changing.
      got = psk31lx.ReceivedText();
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      for (std::string before; got.find(text) == std::string::npos && got != before &&
                               std::chrono::steady_clock::now() < deadline;) {
        before = got;
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        got = psk31lx.ReceivedText();
      }
    }
    EXPECT_NE(got.find(text), std::string::npos) << "psk31lx received \"" << got << "\"";
  }
}

// multimon-ng reads our CW identification at 31.25 Bd: a dit is keyed for a symbol and two
// half-symbol ramps (53 ms from half amplitude to half amplitude), the gap after an element
// 2.3 symbols. At 62.5 and 125 Bd (27 and 13 ms dits, some 45 and 90 words a minute) its
// timing does not follow. The tail that stops the PSK carrier just before reads as a letter of
// its own, kept apart by a word space; a second of silence after lets it finish the last one.
TEST_F(PskPeers, MultimonReadsOurCwIdentification) {
  for (const char* p : {"multimon-ng", "sox"}) {
    if (!test::HaveProgram(p)) GTEST_SKIP() << p << " is not installed";
  }
  const std::string raw = Encode("", "--mode BPSK31 --tx-hz 1000 --cw ' CQ DE VESTREL 73'");
  const std::string raw22 = test::TempPath("cw22.raw");
  ASSERT_EQ(RunTool("sox -q -t raw -r 11025 -e signed -b 16 -c 1 " + ShellQuote(raw) +
                    " -t raw -r 22050 -e signed -b 16 -c 1 " + ShellQuote(raw22) + " pad 0 1")
                .exitCode,
            0);
  const test::ToolResult r = RunTool("multimon-ng -q -c -a MORSE_CW -d 53 -g 53 -t raw " + ShellQuote(raw22));
  EXPECT_NE(r.out.find("CQ DE VESTREL 73"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace vestrel
