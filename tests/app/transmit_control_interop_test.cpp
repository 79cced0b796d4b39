// ctest-labels: gui interop
// End to end through the real playback path: text typed into the typing window after TX, then
// TX off, goes through the program's RTTY transmitter into the playback side of ALSA's file
// plug-in; minimodem decodes the recording to the typed text. The PTT is on before the first
// buffer is written and off after the last, and the program is back in receive with its input
// open.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QTest>
#include <QToolButton>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/rx_form.h"
#include "memo/qt/styled_memo_widget.h"
#include "support/alsa_test_config.h"
#include "support/fake_sound_links.h"
#include "support/recording_form.h"
#include "support/temp_dir.h"
#include "support/tool_runner.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;
using test::ShellQuote;

// The keying line, with how much audio the playback file held at each switch.
class RecordingPtt : public PortsPart {
 public:
  explicit RecordingPtt(fs::path out) : out_(std::move(out)) {}
  void SetPtt(bool on) override {
    std::error_code ec;
    const auto size = fs::exists(out_, ec) ? fs::file_size(out_, ec) : 0;
    switches.push_back(
        {on, static_cast<uint64_t>(size), buffers != nullptr ? buffers->InFlight.load() : 99u});
  }
  struct Switch {
    bool on;
    uint64_t bytes;     // in the playback file
    uint32_t inFlight;  // playback buffers written and not yet played
  };
  std::vector<Switch> switches;
  const TxAudioBuffers* buffers = nullptr;

 private:
  fs::path out_;
};

TEST(TransmitControlInterop, TypedTextGoesOutAsRttyThatMinimodemDecodes) {
  for (const char* tool : {"minimodem", "sox"}) {
    if (!test::HaveProgram(tool)) GTEST_SKIP() << tool << " is not installed";
  }
  test::TempDir dir;
  const fs::path in = dir / "in.raw", out = dir / "out.raw", wav = dir / "out.wav";
  // Silence to receive, more than the test reads.
  std::ofstream(in, std::ios::binary) << std::string(11025 * 2 * 60, '\0');
  test::AlsaTestConfig::Use(test::AlsaTestConfig::WriteFilePcm(dir.path(), in, out));
  const fs::path ini = dir / "VESTREL.INI";
  std::ofstream(ini, std::ios::binary) << "[RTTY]\r\n";

  test::ScopedWorkingDir cwd;
  test::TestApp();
  test::RecordingMessageBox boxes;
  RecordingPtt ptt(out);
  TRxFormDeps deps;
  deps.boxes = &boxes;
  deps.ports = &ptt;
  deps.useDBus = false;
  deps.args = {"/F", ini.string()};
  deps.presenceName = test::UniqueSemaphoreName("txinterop");
  {
    TRxForm form(std::move(deps));
    ptt.buffers = &form.engine().txBuffers;
    form.show();
    for (int i = 0; i < 200 && !form.EngineStarted; ++i) QTest::qWait(50);
    ASSERT_TRUE(form.EngineStarted);
    ASSERT_EQ(form.engine().params.Mode, kModeRtty);
    EXPECT_TRUE(form.sound().InputOpen());

    form.TxButtonClick();
    ASSERT_TRUE(form.Transmitting());
    QTest::keyClicks(form.Input, "CQ CQ DE VE5TRL VE5TRL K");
    QTest::keyClick(form.Input, Qt::Key_Return);
    // Everything typed is queued before the end.
    for (int i = 0; i < 400 && !form.InputAllSent(); ++i) QTest::qWait(25);
    form.TxButtonClick();
    for (int i = 0; i < 400 && form.Transmitting(); ++i) QTest::qWait(25);
    EXPECT_FALSE(form.Transmitting());
    EXPECT_TRUE(form.sound().InputOpen());
    EXPECT_FALSE(form.TxButton->isChecked());
    EXPECT_TRUE(boxes.shown.empty());

    // PTT on before the first buffer, off once the last has played.
    ASSERT_GE(ptt.switches.size(), 2u);
    EXPECT_TRUE(ptt.switches.front().on);
    EXPECT_EQ(ptt.switches.front().bytes, 0u);
    EXPECT_EQ(ptt.switches.front().inFlight, 0u);
    const RecordingPtt::Switch last = ptt.switches.back();
    EXPECT_FALSE(last.on);
    EXPECT_EQ(last.inFlight, 0u);
    // The file plug-in writes behind the device's play position by the card buffer (0.5 s,
    // 5513 frames here), which it flushes when the output closes; a period more at most.
    const uint64_t written = fs::file_size(out);
    EXPECT_LE(written - last.bytes, 2u * (5513u + 276u));
    form.close();
    sem_unlink(form.presence().name().c_str());
  }

  const test::ToolResult converted = test::RunTool("sox -t raw -r 11025 -e signed -b 16 -c 1 -L " +
                                                   ShellQuote(out.string()) + " " + ShellQuote(wav.string()));
  ASSERT_EQ(converted.exitCode, 0) << converted.err;
  const test::ToolResult decoded =
      test::RunTool("minimodem --rx rtty -M 1785 -S 1615 -q -f " + ShellQuote(wav.string()));
  EXPECT_NE(decoded.out.find("CQ CQ DE VE5TRL VE5TRL K"), std::string::npos) << decoded.out;
}

}  // namespace
}  // namespace vestrel
