// ctest-labels: acceptance
// Editing in the typing window with the keys everyone knows: Ctrl+Z undoes typing and
// Ctrl+Shift+Z redoes it, Ctrl+C copies to the desktop's clipboard and Ctrl+V pastes; the
// transmission then sends what the window shows, once.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "acceptance/acceptance_fixture.h"
#include "acceptance/text_windows.h"
#include "support/child_process.h"
#include "support/tool_runner.h"

namespace vestrel::acceptance {
namespace {

using namespace std::chrono_literals;

constexpr const char* kText = "CQ DE XX0XXX";

size_t CountOf(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

using TypingWindow = AcceptanceTest;

TEST_F(TypingWindow, UndoRedoCopyAndPasteWorkWithTheirUsualKeys) {
  if (!test::HaveProgram("rigctld")) GTEST_SKIP() << "rigctld is not installed";
  if (!test::HaveProgram("xclip")) GTEST_SKIP() << "xclip is not installed";
  SessionOptions options;
  options.rigKeying = true;
  AcceptanceSession session(options);
  ASSERT_TRUE(session.StartReadyToKey());
  ASSERT_TRUE(session.Activate());

  const Screenshot blank = session.WindowShot();
  const Rect receive = FindReceivePane(blank);
  ASSERT_GT(receive.height, 20) << "no receive window found";
  const uint32_t background = blank.MostCommon(receive);
  const std::vector<ColourRun> windows = TextWindows(blank, background);
  ASSERT_EQ(windows.size(), 3u) << "no typing window found";
  // Its text, left of the middle, inside its margin.
  const Rect typing{4, windows.back().top + 2, blank.width / 2, windows.back().Length() - 4};
  // Clicked right of the part whose ink is counted: the pointer stays out of it.
  ASSERT_TRUE(session.Click(blank.width * 3 / 4, typing.y + typing.height / 2));

  // Typed text shows; Ctrl+Z takes it back, Ctrl+Shift+Z brings it again.
  auto ink = [&] { return session.WindowShot().CountInk(background, typing); };
  ASSERT_TRUE(session.Type(kText));
  EXPECT_TRUE(AcceptanceSession::WaitFor([&] { return ink() > 100; }, 20s)) << "the typed text does not show";
  const int typed = ink();
  ASSERT_TRUE(session.Key("ctrl+z"));
  EXPECT_TRUE(AcceptanceSession::WaitFor([&] { return ink() < 40; }, 20s))
      << "Ctrl+Z did not undo the typing";
  ASSERT_TRUE(session.Key("ctrl+shift+z"));
  EXPECT_TRUE(AcceptanceSession::WaitFor([&] { return ink() > typed - 40; }, 20s))
      << "Ctrl+Shift+Z did not redo the typing";

  // The line selected and copied: the desktop's clipboard holds it.
  ASSERT_TRUE(session.Key("shift+Home ctrl+c"));
  const std::vector<std::string> readClipboard{
      "env", DisplayVariable(session), "xclip", "-o", "-selection", "clipboard"};
  std::string clipboard;
  EXPECT_TRUE(AcceptanceSession::WaitFor(
      [&] {
        clipboard = test::RunProgram(readClipboard).out;
        return clipboard == kText;
      },
      20s))
      << "clipboard: " << clipboard;
  // Pasted after a blank at the end: the line twice (the caret blinks, so more than one and a
  // half times the ink).
  ASSERT_TRUE(session.Key("End space ctrl+v"));
  EXPECT_TRUE(AcceptanceSession::WaitFor([&] { return ink() > typed * 3 / 2; }, 20s))
      << "Ctrl+V pasted nothing";
  session.KeepShot(session.WindowShot(), "acceptance_typing_window_pasted");

  // On the air: the window's text goes out, each part once; once it is heard, TX ends it.
  const size_t start = session.PlaybackSamples();
  ASSERT_TRUE(session.Key("Scroll_Lock"));
  EXPECT_TRUE(session.WaitRigKeyed(true)) << "Scroll Lock keyed nothing";
  std::string plain;
  auto hear = [&] {
    const std::optional<std::string> heard = DecodeWithVestrel(session.Playback(start), "RTTY");
    plain = heard ? RttyPlain(*heard) : "(vestrel-decode is not built)";
  };
  EXPECT_TRUE(AcceptanceSession::WaitFor(
      [&] {
        hear();
        return plain.find("CQ DE XX0XXX CQ DE XX0XXX") != std::string::npos;
      },
      60s))
      << plain;
  ASSERT_TRUE(session.Key("Scroll_Lock"));
  EXPECT_TRUE(session.WaitRigKeyed(false, 60s)) << "the transmission does not end";
  EXPECT_TRUE(session.WaitPlaybackDrained());
  hear();
  EXPECT_EQ(CountOf(plain, "XX0XXX"), 2u) << plain;

  session.Terminate();
  EXPECT_EQ(session.WaitExit(), 0) << session.ProgramOutput();
}

}  // namespace
}  // namespace vestrel::acceptance
