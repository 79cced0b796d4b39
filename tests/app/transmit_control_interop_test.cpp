// ctest-labels: gui interop
// End to end through the real playback path: text typed into the typing window after TX, then
// TX off, goes through the program's RTTY transmitter into the playback side of ALSA's file
// plug-in; minimodem decodes the recording to the typed text. The PTT is on before the first
// buffer is written and off after the last, and the program is back in receive with its input
// open.
#include <gtest/gtest.h>

#include <QTest>
#include <QToolButton>
#include <filesystem>

#include "memo/qt/styled_memo_widget.h"
#include "support/playback_interop.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;
using test::RecordingPtt;

TEST(TransmitControlInterop, TypedTextGoesOutAsRttyThatMinimodemDecodes) {
  if (const std::string tool = test::PlaybackInterop::MissingTool(); !tool.empty()) {
    GTEST_SKIP() << tool << " is not installed";
  }
  test::PlaybackInterop io;
  {
    TRxForm form(io.Deps("txinterop"));
    io.Start(form);
    ASSERT_TRUE(form.EngineStarted);
    ASSERT_EQ(form.engine().params.Mode, kModeRtty);
    EXPECT_TRUE(form.sound().InputOpen());

    form.TxButtonClick();
    ASSERT_TRUE(form.Transmitting());
    QTest::keyClicks(form.Input, "CQ CQ DE VE5TRL VE5TRL K");
    QTest::keyClick(form.Input, Qt::Key_Return);
    // Everything typed is queued before the end.
    test::WaitUntil([&] { return form.InputAllSent(); }, 10000);
    form.TxButtonClick();
    test::WaitUntil([&] { return !form.Transmitting(); }, 10000);
    EXPECT_FALSE(form.Transmitting());
    EXPECT_TRUE(form.sound().InputOpen());
    EXPECT_FALSE(form.TxButton->isChecked());
    EXPECT_TRUE(io.boxes.shown.empty());

    // PTT on before the first buffer, off once the last has played.
    const std::vector<RecordingPtt::Switch>& switches = io.ptt.switches;
    ASSERT_GE(switches.size(), 2u);
    EXPECT_TRUE(switches.front().on);
    EXPECT_EQ(switches.front().bytes, 0u);
    EXPECT_EQ(switches.front().inFlight, 0u);
    const RecordingPtt::Switch last = switches.back();
    EXPECT_FALSE(last.on);
    EXPECT_EQ(last.inFlight, 0u);
    // The file plug-in writes behind the device's play position by the card buffer (0.5 s,
    // 5513 frames here), which it flushes when the output closes; a period more at most.
    const uint64_t written = fs::file_size(io.playbackFile());
    EXPECT_LE(written - last.bytes, 2u * (5513u + 276u));
    test::PlaybackInterop::Finish(form);
  }
  const std::string decoded = io.Decode();
  EXPECT_NE(decoded.find("CQ CQ DE VE5TRL VE5TRL K"), std::string::npos) << decoded;
}

}  // namespace
}  // namespace vestrel
