// ctest-labels: integration
// The program's window on a real X server (Xvfb) with ALSA's file plug-in as the sound card:
// the engine starts, the capture device opens and delivers blocks, and a screenshot is saved
// to build/<name>/tests/screenshots/main_window.png.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "app/engine_driver.h"
#include "app/rx_form.h"
#include "support/fake_sound_links.h"
#include "support/qt_test_app.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;

// An ALSA set-up whose default device captures from a raw file and plays into /dev/null.
fs::path MakeAlsaHome() {
  const fs::path home = fs::temp_directory_path() / ("vestrel_screen_home_" + std::to_string(getpid()));
  fs::create_directories(home);
  const fs::path raw = home / "capture.raw";
  {
    // 30 s of a 1000 Hz tone, 16-bit mono at 11025 samples/s.
    std::ofstream out(raw, std::ios::binary);
    std::vector<int16_t> s(11025 * 30);
    for (size_t i = 0; i < s.size(); ++i) s[i] = int16_t(8000 * ((i / 5) % 2 ? 1 : -1));
    out.write(reinterpret_cast<const char*>(s.data()), std::streamsize(s.size() * 2));
  }
  std::ofstream(home / ".asoundrc") << "pcm.!default {\n  type file\n  slave.pcm \"null\"\n  file \"/dev/null\"\n"
                                    << "  infile \"" << raw.string() << "\"\n  format \"raw\"\n}\n";
  return home;
}

TEST(RxFormScreen, WindowAppearsTheEngineStartsAndCaptureRuns) {
  if (std::getenv("VESTREL_UNDER_XVFB") == nullptr) {
    if (std::system("command -v xvfb-run > /dev/null 2>&1") != 0) GTEST_SKIP() << "xvfb-run is not installed";
    const fs::path home = MakeAlsaHome();
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const std::string cmd = "HOME='" + home.string() + "' VESTREL_UNDER_XVFB=1 QT_QPA_PLATFORM=xcb " +
                            "xvfb-run -a -s '-screen 0 1024x768x24' '" + self +
                            "' --gtest_filter=RxFormScreen.WindowAppearsTheEngineStartsAndCaptureRuns";
    const int status = std::system(cmd.c_str());
    fs::remove_all(home);
    EXPECT_EQ(status, 0);
    return;
  }
  test::TestApp();
  test::RecordingMessageBox boxes;
  TRxFormDeps deps;
  deps.boxes = &boxes;
  deps.useDBus = false;
  deps.presenceName = "/vestrel_screen_test_" + std::to_string(getpid());
  TRxForm form(std::move(deps));
  form.show();
  for (int i = 0; i < 200 && form.StartupCountdown != 0; ++i) QTest::qWait(50);
  ASSERT_EQ(form.StartupCountdown, 0);
  EXPECT_TRUE(form.EngineStarted);
  EXPECT_TRUE(form.sound().InputOpen());
  auto* driver = dynamic_cast<TEngineDriver*>(&form.engineDriver());
  ASSERT_NE(driver, nullptr);
  for (int i = 0; i < 200 && driver->receiveChain().blocksOut < 3; ++i) QTest::qWait(50);
  EXPECT_GE(driver->receiveChain().blocksOut, 3u);  // the capture road reaches the block cutter
  for (const auto& [caption, text] : boxes.shown) {
    // The exchange library is not part of this build; nothing else may fail.
    EXPECT_EQ(text, "ZOZARIRI.DLL initialization error!") << caption;
  }
  QTest::qWait(300);
  const fs::path dir = fs::path(VESTREL_BINARY_DIR) / "tests" / "screenshots";
  fs::create_directories(dir);
  const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
  EXPECT_TRUE(shot.save(QString::fromStdString((dir / "main_window.png").string())));
  EXPECT_TRUE(form.grab().save(QString::fromStdString((dir / "main_window_only.png").string())));
  form.close();
  EXPECT_EQ(form.ShutdownDone, 1);
  EXPECT_FALSE(form.sound().InputOpen());
}

}  // namespace
}  // namespace vestrel
