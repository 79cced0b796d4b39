// ctest-labels: acceptance
// A long reception: once the text outgrows the receive window its vertical scroll bar shows;
// dragged up, the bar shows older text and new text leaves that view alone; dragged back to
// the bottom, the view follows the text again. The wheel tunes, so the bar is the mouse's way.
#include <gtest/gtest.h>

#include <string>

#include "acceptance/acceptance_fixture.h"
#include "support/tool_runner.h"

namespace vestrel::acceptance {
namespace {

using namespace std::chrono_literals;

// Pixels that differ between two shots of one size inside `r`.
int Changed(const Screenshot& a, const Screenshot& b, const Rect& r) {
  if (a.width != b.width || a.height != b.height) return r.width * r.height;
  int n = 0;
  for (int y = r.y; y < r.y + r.height; ++y)
    for (int x = r.x; x < r.x + r.width; ++x) n += a.At(x, y) != b.At(x, y);
  return n;
}

using ReceiveScrollBar = AcceptanceTest;

TEST_F(ReceiveScrollBar, ALongReceptionShowsTheBarWhichScrollsBackAndReturnsToTheFollowingView) {
  if (!test::HaveProgram("minimodem")) GTEST_SKIP() << "minimodem is not installed";
  SessionOptions options;
  // Short lines, many of them: the receive window overflows within seconds and text keeps
  // coming while the bar is used. The capture starts with silence, as the window is blank
  // until the engine starts.
  options.capture.assign(size_t(kSampleRate) * 5, 0);
  std::string text = "RYRY\r\n";
  for (int i = 0; i < 40; ++i) text += std::string(1, char('A' + i % 26)) + std::to_string(i % 10) + "\r\n";
  const std::vector<int16_t> rtty = MinimodemRtty(text);
  ASSERT_FALSE(rtty.empty());
  options.capture.insert(options.capture.end(), rtty.begin(), rtty.end());
  AcceptanceSession session(options);
  ASSERT_TRUE(session.Start());

  Rect pane;
  const Screenshot blank = WaitReceivePane(session, 200, 60, pane);
  ASSERT_TRUE(pane.height > 60 && pane.width > 200) << "no receive window found";
  const uint32_t background = blank.MostCommon(pane);
  // The bar takes the right edge of the window; the short lines never reach it. The text
  // area is the upper left, where the lines are and the caret (on the last line) is not.
  const Rect bar{pane.x + pane.width - 10, pane.y, 10, pane.height};
  const Rect textArea{pane.x, pane.y, pane.width / 2, pane.height / 2};
  const int barX = bar.x + 4;
  EXPECT_LT(blank.CountNot(background, bar), bar.height) << "a bar before any text";

  // Text arrives and outgrows the window: the bar shows.
  Screenshot shot;
  ASSERT_TRUE(AcceptanceSession::WaitFor(
      [&] {
        shot = session.WindowShot();
        return shot.width == blank.width && shot.CountNot(background, bar) > bar.height * 3;
      },
      90s))
      << "no scroll bar once the text outgrew the window\n"
      << session.ProgramOutput();
  session.KeepShot(shot, "acceptance_receive_bar_shown");
  ASSERT_GT(shot.CountInk(background, textArea), 100);
  // Some lines more, so that the oldest are well out of view.
  const size_t overflowAt = session.CapturedSamples();
  ASSERT_TRUE(AcceptanceSession::WaitFor(
      [&] { return session.CapturedSamples() > overflowAt + 8 * size_t(kSampleRate); }, 60s));

  // At the bottom the thumb stands right above the bar's lower arrow: dragged from there to
  // the top, the view shows the oldest text.
  const Screenshot following = session.WindowShot();
  ASSERT_TRUE(session.Drag(barX, pane.y + pane.height - 20, barX, pane.y - 40));
  Screenshot back;
  EXPECT_TRUE(AcceptanceSession::WaitFor(
      [&] {
        back = session.WindowShot();
        return Changed(back, following, textArea) > 50;
      },
      20s))
      << "dragging the bar up did not move the view";
  // New text comes: the bar's thumb shrinks or moves, the text stays where it was.
  Screenshot later;
  EXPECT_TRUE(AcceptanceSession::WaitFor(
      [&] {
        later = session.WindowShot();
        return Changed(later, back, bar) > 0;
      },
      30s))
      << "no more text arrived";
  session.KeepShot(later, "acceptance_receive_bar_scrolled_back");
  EXPECT_EQ(Changed(later, back, textArea), 0) << "new text moved the view the operator scrolled back";

  // Back at the bottom: the view follows the text again.
  ASSERT_TRUE(session.Drag(barX, pane.y + 20, barX, pane.y + pane.height + 60));
  const Screenshot bottom = session.WindowShot();
  EXPECT_TRUE(
      AcceptanceSession::WaitFor([&] { return Changed(session.WindowShot(), bottom, textArea) > 50; }, 30s))
      << "the view back at the bottom does not follow new text";
  EXPECT_GT(Changed(bottom, later, textArea), 50) << "dragging the bar down did not move the view";
  session.KeepShot(session.WindowShot(), "acceptance_receive_bar_following");

  session.Terminate();
  EXPECT_EQ(session.WaitExit(), 0) << session.ProgramOutput();
}

}  // namespace
}  // namespace vestrel::acceptance
