// ctest-labels: integration
// The program's window on a real X server (Xvfb) with ALSA's file plug-in as the sound card:
// the engine starts, the capture device opens and its audio reaches the demodulator, and a screenshot is saved
// to build/<name>/tests/screenshots/main_window.png. And with a window manager (openbox), which
// frames the window: its saved position is the frame's, and comes back.
#include <gtest/gtest.h>
#include <semaphore.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "app/engine_driver.h"
#include "app/rx_form.h"
#include "app/settings_file.h"
#include "support/alsa_test_config.h"
#include "support/child_process.h"
#include "support/encoder_audio.h"
#include "support/fake_sound_links.h"
#include "support/qt_test_app.h"
#include "support/recording_form.h"
#include "support/test_dir.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;

// RTTY from the encoder harness (a 1000 Hz tone without it) as the capture source, 16-bit
// mono at 11025 samples/s.
fs::path WriteCaptureSource(const fs::path& dir) {
  std::vector<int16_t> s;
  for (int i = 0; i < 3; ++i) {
    const auto part = test::EncodeWithHarness("rtty", "RYRY CQ CQ DE XX0XXX XX0XXX PSE K\r\n");
    s.insert(s.end(), part.begin(), part.end());
  }
  if (s.empty()) {
    s.resize(11025 * 30);
    for (size_t i = 0; i < s.size(); ++i) s[i] = int16_t(std::lround(8000 * std::sin(2 * M_PI * 1000.0 * double(i) / 11025.0)));
  }
  s.resize(s.size() + 11025 * 30);  // then silence until the test ends
  const fs::path raw = dir / "capture.raw";
  std::ofstream out(raw, std::ios::binary);
  out.write(reinterpret_cast<const char*>(s.data()), std::streamsize(s.size() * 2));
  return raw;
}

TEST(RxFormScreen, WindowAppearsTheEngineStartsAndCaptureRuns) {
#ifndef NDEBUG
  // The sound card delivers in real time; an unoptimised build decodes slower than that and
  // would only fall further behind.
  GTEST_SKIP() << "needs an optimised build to keep up with a real-time capture device";
#endif
  if (std::getenv("VESTREL_UNDER_XVFB") == nullptr) {
    if (std::system("command -v xvfb-run > /dev/null 2>&1") != 0) GTEST_SKIP() << "xvfb-run is not installed";
    // ALSA's default device captures from a raw file and plays into another.
    test::SoundTestDir dir;
    const fs::path conf =
        test::AlsaTestConfig::WriteFilePcm(dir.path(), WriteCaptureSource(dir.path()), dir.path() / "out.raw");
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const std::string cmd = "ALSA_CONFIG_PATH='" + conf.string() + "' VESTREL_UNDER_XVFB=1 QT_QPA_PLATFORM=xcb " +
                            "timeout -k 10 180 xvfb-run -a -s '-screen 0 1024x768x24' '" + self +
                            "' --gtest_filter=RxFormScreen.WindowAppearsTheEngineStartsAndCaptureRuns";
    // Bounded: a capture device without pacing can flood a loaded machine's GUI thread.
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    return;
  }
  test::TestApp();
  test::RecordingMessageBox boxes;
  TRxFormDeps deps;
  deps.boxes = &boxes;
  deps.useDBus = false;
  const std::string presenceName = "/vestrel_screen_test_" + std::to_string(getpid());
  deps.presenceName = presenceName;
  TRxForm form(std::move(deps));
  form.show();
  for (int i = 0; i < 200 && form.StartupCountdown != 0; ++i) QTest::qWait(50);
  ASSERT_EQ(form.StartupCountdown, 0);
  EXPECT_TRUE(form.EngineStarted);
  EXPECT_TRUE(form.sound().InputOpen());
  auto* driver = dynamic_cast<TEngineDriver*>(&form.engineDriver());
  ASSERT_NE(driver, nullptr);
  const int32_t before = form.engine().params.LevelRingIndex;
  for (int i = 0; i < 200 && form.engine().params.LevelRingIndex == before; ++i) QTest::qWait(50);
  // The capture road reaches the demodulator, which writes the oscillogram levels.
  EXPECT_NE(form.engine().params.LevelRingIndex, before);
  for (const auto& [caption, text] : boxes.shown) {
    // The exchange library is not part of this build; nothing else may fail.
    EXPECT_EQ(text, "ZOZARIRI.DLL initialization error!") << caption;
  }
  // The capture device delivers in real time: the first line is in some eight seconds after the start.
  for (int i = 0; i < 400 && test::RxText(form).find("PSE K") == std::string::npos; ++i) QTest::qWait(50);
  if (fs::exists(fs::path(VESTREL_BENCH_DIR) / "vestrel-encode")) {
    // The window shows the text of the RTTY that came in through the sound card.
    EXPECT_NE(test::RxText(form).find("CQ CQ DE XX0XXX XX0XXX PSE K"), std::string::npos)
        << test::RxText(form);
    // And draws it: glyphs on its lines, nothing but background below the last.
    const QImage shown = form.RxMemo->viewport()->grab().toImage();
    const QColor base = shown.pixelColor(shown.width() - 1, shown.height() - 1);
    const int textBottom =
        form.RxMemo->getTotalLineCount() * form.RxMemo->getLineHeight() - form.RxMemo->getTopOrigin();
    auto ink = [&](int top, int bottom) {
      int n = 0;
      for (int y = std::max(top, 0); y < std::min(bottom, shown.height()); ++y)
        for (int x = 0; x < shown.width(); ++x) n += shown.pixelColor(x, y) != base;
      return n;
    };
    EXPECT_GT(ink(0, textBottom), 100);
    EXPECT_EQ(ink(textBottom + 2, shown.height()), 0);
  }
  const fs::path dir = fs::path(VESTREL_BINARY_DIR) / "tests" / "screenshots";
  fs::create_directories(dir);
  const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
  EXPECT_TRUE(shot.save(QString::fromStdString((dir / "main_window.png").string())));
  EXPECT_TRUE(form.grab().save(QString::fromStdString((dir / "main_window_only.png").string())));
  form.close();
  EXPECT_EQ(form.ShutdownDone, 1);
  EXPECT_FALSE(form.sound().InputOpen());
  sem_unlink(presenceName.c_str());
}

}  // namespace
}  // namespace vestrel

// gtest prints points as x,y.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QPoint& p, std::ostream* os) { *os << p.x() << "," << p.y(); }
QT_END_NAMESPACE

namespace vestrel {
namespace {

// Where X has the frame of a window: the client's absolute position less the frame extents
// that the window manager announced.
QPoint FrameOnX(WId client) {
  const std::string id = std::to_string(client);
  const test::RunResult info = test::RunProgram({"xwininfo", "-id", id});
  const test::RunResult extents = test::RunProgram({"xprop", "-id", id, "_NET_FRAME_EXTENTS"});
  auto number = [](const std::string& text, const std::string& key) {
    const size_t at = text.find(key);
    return at == std::string::npos ? -100000 : std::atoi(text.c_str() + at + key.size());
  };
  // "_NET_FRAME_EXTENTS(CARDINAL) = left, right, top, bottom"
  int left = 0, right = 0, top = 0;
  const size_t eq = extents.out.find('=');
  if (eq != std::string::npos) {
    std::istringstream in(extents.out.substr(eq + 1));
    char comma = 0;
    in >> left >> comma >> right >> comma >> top;
  }
  return {number(info.out, "Absolute upper-left X:") - left, number(info.out, "Absolute upper-left Y:") - top};
}

TEST(RxFormScreen, UnderAWindowManagerTheSavedFramePositionComesBack) {
  if (std::getenv("VESTREL_UNDER_XVFB") == nullptr) {
    for (const char* tool : {"xvfb-run", "openbox", "xwininfo", "xprop"}) {
      if (std::system(("command -v " + std::string(tool) + " > /dev/null 2>&1").c_str()) != 0) {
        GTEST_SKIP() << tool << " is not installed";
      }
    }
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const std::string cmd = "VESTREL_UNDER_XVFB=1 QT_QPA_PLATFORM=xcb timeout -k 10 180 xvfb-run -a -s "
                            "'-screen 0 1024x768x24' '" + self +
                            "' --gtest_filter=RxFormScreen.UnderAWindowManagerTheSavedFramePositionComesBack";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    return;
  }
  test::TestApp();
  test::ChildProcess wm({"openbox", "--sm-disable"});
  ASSERT_TRUE(wm.Started());
  auto managed = [] {
    return test::RunProgram({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}).out.find("window id") !=
           std::string::npos;
  };
  for (int i = 0; i < 100 && !managed(); ++i) QTest::qWait(100);
  ASSERT_TRUE(managed());

  test::SoundTestDir dir;
  const std::string ini = (dir.path() / "VESTREL.INI").string();
  // Shows the window saved in `ini` and returns its frame's position, as Qt and as X see it;
  // with `resave` the window then saves its own settings into `ini`.
  // The settings file of the program itself, with a registry store that has no files.
  TSettingsFile file(
      RegistryStore({(dir.path() / "absent1.ini").string(), (dir.path() / "absent2.ini").string()}));
  auto open = [&](const char* tag, QPoint* onX, bool resave = false) {
    test::RecordingFormParts parts;
    test::Form f(parts, test::UniqueSemaphoreName(tag), {"/F" + ini}, nullptr, false, nullptr,
                 [&](TRxFormDeps& d) { d.settings = &file; });
    TRxForm& w = *f.form;
    w.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
    // The frame arrives after the window is mapped.
    for (int i = 0; i < 100 && w.frameGeometry() == w.geometry(); ++i) QTest::qWait(50);
    QTest::qWait(200);
    EXPECT_NE(w.frameGeometry(), w.geometry()) << "no frame: is the window manager running?";
    *onX = FrameOnX(w.winId());
    EXPECT_GT(w.geometry().top(), w.frameGeometry().top());  // the title bar lies above the client
    if (resave) {
      f.Ticks(20);  // the engine start loads the file; a save writes every key
      EXPECT_TRUE(w.SaveSettings());
    }
    return w.pos();
  };
  auto save = [&](QPoint at) {
    std::ofstream(ini, std::ios::binary) << "[Screen]\r\nLeft=" << at.x() << "\r\nTop=" << at.y()
                                         << "\r\nHeight=500\r\nWidth=830\r\n";
  };
  QPoint onX;
  // A Top of 10 keeps the whole title bar on the screen.
  save({100, 10});
  EXPECT_EQ(open("wm1", &onX), QPoint(100, 10));
  EXPECT_EQ(onX, QPoint(100, 10));
  // Where the window came up, saved and restored, is where it comes back.
  std::ofstream(ini, std::ios::binary) << "[Screen]\r\nLeft=-1\r\n";
  const QPoint first = open("wm2", &onX);
  EXPECT_EQ(onX, first);
  save(first);
  EXPECT_EQ(open("wm3", &onX), first);
  EXPECT_EQ(onX, first);
  // Saved by the window itself, three times over: the frame stays where it was, the size too.
  save({100, 100});
  for (const char* tag : {"wm4", "wm5", "wm6"}) {
    SCOPED_TRACE(tag);
    EXPECT_EQ(open(tag, &onX, true), QPoint(100, 100));
    EXPECT_EQ(onX, QPoint(100, 100));
    const std::string text = test::ReadFile(ini);
    EXPECT_NE(text.find("\r\nLeft=100\r\nTop=100\r\nHeight=500\r\nWidth=830\r\n"), std::string::npos) << text;
  }
}

}  // namespace
}  // namespace vestrel
