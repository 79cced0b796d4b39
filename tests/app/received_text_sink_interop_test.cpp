// ctest-labels: gui interop
// End to end through the real capture path: minimodem's RTTY on the program's default pair,
// through sox into the capture source of ALSA's file plug-in; the window, started by its own
// timer, opens the ALSA device, decodes and shows exactly the sent text in the receive window,
// and another program reading the exchange channel gets the same bytes.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/rx_form.h"
#include "io/zozariri/exchange_segment.h"
#include "support/alsa_test_config.h"
#include "support/child_process.h"
#include "support/fake_sound_links.h"
#include "support/minimodem_capture.h"
#include "support/recording_form.h"
#include "support/temp_dir.h"
#include "support/tool_runner.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSent = "CQ CQ DE XX0XXX XX0XXX PSE K\n";
constexpr int kChannel = 5;

TEST(ReceivedTextSinkInterop, MinimodemThroughTheSoundCardReachesTheWindowAndTheExchangeChannel) {
  for (const char* tool : {"minimodem", "sox"}) {
    if (!test::HaveProgram(tool)) GTEST_SKIP() << tool << " is not installed";
  }
  test::TempDir dir;
  ASSERT_EQ(test::UseMinimodemRttyCapture(dir.path(), kSent), "");

  const std::string prefix = "vestrel-rxsink-" + std::to_string(getpid());
  setenv("VESTREL_ZOZARIRI_PREFIX", prefix.c_str(), 1);
  const fs::path ini = dir / "VESTREL.INI";
  std::ofstream(ini, std::ios::binary) << "[RTTY]\r\nExCanal=" << kChannel << "\r\n";

  test::ScopedWorkingDir cwd;
  test::TestApp();
  test::RecordingMessageBox boxes;
  TRxFormDeps deps;
  deps.boxes = &boxes;
  deps.useDBus = false;
  deps.args = {"/F", ini.string()};
  deps.presenceName = test::UniqueSemaphoreName("rxsink");
  {
    TRxForm form(std::move(deps));
    for (int i = 0; i < 200 && !form.EngineStarted; ++i) QTest::qWait(50);
    ASSERT_TRUE(form.EngineStarted);
    EXPECT_TRUE(form.sound().InputOpen());
    EXPECT_TRUE(form.ExchangeLibraryActive);
    // The capture device delivers the 6 s of signal; then a while of silence.
    for (int i = 0; i < 600 && test::RxText(form).find("PSE K\r\n") == std::string::npos; ++i)
      QTest::qWait(50);
    QTest::qWait(500);
    EXPECT_EQ(test::RxText(form), "CQ CQ DE XX0XXX XX0XXX PSE K\r\n");
    EXPECT_TRUE(boxes.shown.empty());

    const test::RunResult peer =
        test::RunProgram({"env", "VESTREL_ZOZARIRI_PREFIX=" + prefix,
                          std::string(VESTREL_BINARY_DIR) + "/io/zozariri/zozariri-peer", "get",
                          std::to_string(kChannel), "200"});
    EXPECT_EQ(peer.status, 0);
    EXPECT_EQ(peer.out, kSent);
    form.close();
    sem_unlink(form.presence().name().c_str());
  }
  shm_unlink(ExchangeSegment::SegmentName(kChannel).c_str());
  unsetenv("VESTREL_ZOZARIRI_PREFIX");
}

}  // namespace
}  // namespace vestrel
