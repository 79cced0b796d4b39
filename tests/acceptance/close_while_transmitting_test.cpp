// ctest-labels: acceptance
// Closing the program while it transmits, by the window's close button and by SIGTERM: the rig
// is released, the capture file named with /C holds what was received before the
// transmission, and the program ends with status 0.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "acceptance/acceptance_fixture.h"
#include "support/tool_runner.h"

namespace vestrel::acceptance {
namespace {

using namespace std::chrono_literals;

constexpr const char* kLine = "CQ CQ DE XX0XXX XX0XXX PSE K";

enum class CloseBy { kCloseButton, kSigterm };
void PrintTo(CloseBy by, std::ostream* os) {
  *os << (by == CloseBy::kCloseButton ? "the close button" : "SIGTERM");
}

class CloseWhileTransmitting : public AcceptanceTest, public ::testing::WithParamInterface<CloseBy> {};

TEST_P(CloseWhileTransmitting, ReleasesTheRigKeepsTheCaptureFileAndExitsWithZero) {
  if (!test::HaveProgram("minimodem")) GTEST_SKIP() << "minimodem is not installed";
  if (!test::HaveProgram("rigctld")) GTEST_SKIP() << "rigctld is not installed";
  SessionOptions options;
  options.rigKeying = true;
  options.capture.assign(size_t(kSampleRate) * 4, 0);
  const std::vector<int16_t> rtty = MinimodemRtty(std::string("RYRY ") + kLine + "\r\n");
  ASSERT_FALSE(rtty.empty());
  options.capture.insert(options.capture.end(), rtty.begin(), rtty.end());
  options.args = {"/C", "received.txt"};
  AcceptanceSession session(options);
  ASSERT_TRUE(session.StartReadyToKey());

  // The whole signal and a little more has come in before the transmission starts.
  const size_t heard = options.capture.size() + size_t(kSampleRate) * 2;
  ASSERT_TRUE(AcceptanceSession::WaitFor([&] { return session.CapturedSamples() > heard; }, 90s));
  ASSERT_TRUE(session.Activate());
  ASSERT_TRUE(session.Key("Scroll_Lock"));
  ASSERT_TRUE(session.WaitRigKeyed(true)) << "Ctrl+T keyed nothing";

  if (GetParam() == CloseBy::kCloseButton) {
    ASSERT_TRUE(session.ClickCloseButton());
  } else {
    ASSERT_TRUE(session.Terminate());
  }
  EXPECT_EQ(session.WaitExit(), 0) << session.ProgramOutput();
  EXPECT_EQ(session.RigKeyed(), false) << "the rig stays keyed after the program ended";
  EXPECT_NE(session.ReadFile("received.txt").find(kLine), std::string::npos)
      << session.ReadFile("received.txt");
}

INSTANTIATE_TEST_SUITE_P(Ways, CloseWhileTransmitting,
                         ::testing::Values(CloseBy::kCloseButton, CloseBy::kSigterm),
                         [](const ::testing::TestParamInfo<CloseBy>& info) {
                           return info.param == CloseBy::kCloseButton ? std::string("CloseButton")
                                                                      : std::string("Sigterm");
                         });

}  // namespace
}  // namespace vestrel::acceptance
