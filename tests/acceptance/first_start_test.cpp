// ctest-labels: acceptance
// A first start with no settings file: RTTY that minimodem sends on the default tones comes in
// through the sound card, shows in the receive window and lands in the capture file named with
// /C.
#include <gtest/gtest.h>

#include <string>

#include "acceptance/acceptance_fixture.h"
#include "support/tool_runner.h"

namespace vestrel::acceptance {
namespace {

using namespace std::chrono_literals;

constexpr const char* kLine = "CQ CQ DE XX0XXX XX0XXX PSE K";

using FirstStart = AcceptanceTest;

TEST_F(FirstStart, RttyFromTheSoundCardShowsInTheReceiveWindowAndTheCaptureFile) {
  if (!test::HaveProgram("minimodem")) GTEST_SKIP() << "minimodem is not installed";
  SessionOptions options;
  // The engine starts some two seconds after the window shows; the receive window is blank
  // until the signal comes, some seconds later.
  options.capture.assign(size_t(kSampleRate) * 6, 0);
  for (int i = 0; i < 2; ++i) {
    const std::vector<int16_t> rtty = MinimodemRtty(std::string("RYRY ") + kLine + "\r\n");
    ASSERT_FALSE(rtty.empty());
    options.capture.insert(options.capture.end(), rtty.begin(), rtty.end());
  }
  options.args = {"/C", "received.txt"};
  AcceptanceSession session(options);
  ASSERT_TRUE(session.Start());

  // The window as it is first drawn, before any signal.
  Rect pane;
  const Screenshot blank = WaitReceivePane(session, 100, 40, pane);
  ASSERT_TRUE(pane.height > 40 && pane.width > 100) << "no receive window found";
  const uint32_t background = blank.MostCommon(pane);

  // The receive window shows the text: glyphs on its background where there were none.
  Screenshot shown;
  EXPECT_TRUE(AcceptanceSession::WaitFor(
      [&] {
        shown = session.WindowShot();
        return shown.width == blank.width && shown.CountInk(background, pane) > 200;
      },
      90s))
      << session.ProgramOutput();
  EXPECT_LT(blank.CountInk(background, pane), 20) << "the receive window was not blank before the signal";
  // Once the sound card has delivered the whole signal and a little more, it has all come in.
  const size_t heard = options.capture.size() + size_t(kSampleRate) * 3;
  EXPECT_TRUE(AcceptanceSession::WaitFor([&] { return session.CapturedSamples() > heard; }, 90s));
  shown = session.WindowShot();
  session.KeepShot(shown, "acceptance_first_start");
  EXPECT_GT(shown.CountInk(background, pane), 2 * 200);  // both lines

  // The capture file holds everything once the program has ended.
  session.Terminate();
  EXPECT_EQ(session.WaitExit(), 0) << session.ProgramOutput();
  const std::string captured = session.ReadFile("received.txt");
  const size_t first = captured.find(kLine);
  EXPECT_NE(first, std::string::npos) << captured;
  EXPECT_NE(captured.find(kLine, first + 1), std::string::npos) << captured;
}

}  // namespace
}  // namespace vestrel::acceptance
