// ctest-labels: gui integration interop
// The displays of the running program on a real X server (Xvfb), the sound card being ALSA's
// file plug-in: minimodem's RTTY on the default pair in the spectrum view and in the waterfall,
// and a BPSK31 signal of the encoder harness with the phase scope. The screenshots go beside the
// main window's, to build/<name>/tests/screenshots/.
#include <gtest/gtest.h>
#include <semaphore.h>
#include <unistd.h>

#include <QTest>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <vector>
#include <string>

#include "app/displays.h"
#include "app/rx_form.h"
#include "support/alsa_test_config.h"
#include "support/encoder_audio.h"
#include "support/fake_sound_links.h"
#include "support/qt_test_app.h"
#include "support/recording_form.h"
#include "support/test_dir.h"
#include "support/tool_runner.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;
using test::ShellQuote;

fs::path ScreenshotDir() {
  const fs::path dir = fs::path(VESTREL_BINARY_DIR) / "tests" / "screenshots";
  fs::create_directories(dir);
  return dir;
}

// Runs this test again under xvfb-run with the capture source `raw`; false when it skipped.
bool RunUnderXvfb(const std::string& filter, const fs::path& raw, const test::TestDir& dir) {
  const fs::path conf = test::AlsaTestConfig::WriteFilePcm(dir.path(), raw, dir.path() / "out.raw");
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  const std::string cmd = "ALSA_CONFIG_PATH=" + ShellQuote(conf.string()) + " VESTREL_UNDER_XVFB=1 " +
                          "VESTREL_TEST_DIR=" + ShellQuote(dir.path().string()) + " QT_QPA_PLATFORM=xcb " +
                          "timeout -k 10 180 xvfb-run -a -s '-screen 0 1024x768x24' " + ShellQuote(self) +
                          " --gtest_filter=" + filter;
  return std::system(cmd.c_str()) == 0;
}

// The program's window with the settings of `ini`, started and capturing.
struct Running {
  explicit Running(const fs::path& ini) {
    test::TestApp();
    TRxFormDeps deps;
    deps.boxes = &boxes;
    deps.useDBus = false;
    deps.presenceName = "/vestrel_displays_screen_" + std::to_string(getpid());
    deps.args = {"/F" + ini.string()};
    form = std::make_unique<TRxForm>(std::move(deps));
    form->resize(900, 650);
    form->show();
    for (int i = 0; i < 200 && form->StartupCountdown != 0; ++i) QTest::qWait(50);
  }
  ~Running() {
    const std::string name = form->presence().name();
    form->close();
    form.reset();
    sem_unlink(name.c_str());
  }
  TDisplays* displays() { return dynamic_cast<TDisplays*>(&form->display()); }
  // The spectrum box with the scale under it, as the screen shows them.
  void Save(const char* name) {
    const QRect area = form->FFTBox->geometry().united(form->ScalePanel->geometry());
    const QImage shot = form->centralWidget()->grab(area).toImage();
    EXPECT_TRUE(shot.save(QString::fromStdString((ScreenshotDir() / name).string())));
  }
  test::RecordingMessageBox boxes;
  std::unique_ptr<TRxForm> form;
};

// The palette entry (the level) of each column of waterfall lines, summed over the lines; the
// two strongest columns at least `gap` columns apart, each the middle of its run of equal sums.
std::pair<int, int> TwoStrongest(const QImage& lines, const WaterfallPalette& palette, int gap) {
  const QImage& line = lines;
  std::map<QRgb, int> entryOf;
  for (int e = 0; e <= WaterfallPalette::kSteps; ++e) {
    const TRgb c = palette.Rgb(e);
    entryOf[qRgb(c.r, c.g, c.b)] = e;
  }
  std::vector<int> level(size_t(line.width()));
  for (int y = 0; y < lines.height(); ++y)
    for (int x = 0; x < line.width(); ++x) level[size_t(x)] += entryOf[lines.pixel(x, y) | 0xFF000000u];
  auto middleOfRun = [&](int x) {
    int a = x, b = x;
    while (a > 0 && level[size_t(a - 1)] == level[size_t(x)]) --a;
    while (b + 1 < line.width() && level[size_t(b + 1)] == level[size_t(x)]) ++b;
    return (a + b) / 2;
  };
  int first = 0;
  for (int x = 1; x < line.width(); ++x)
    if (level[size_t(x)] > level[size_t(first)]) first = x;
  first = middleOfRun(first);

  int second = -1;
  for (int x = 0; x < line.width(); ++x) {
    if (std::abs(x - first) < gap) continue;
    if (second < 0 || level[size_t(x)] > level[size_t(second)]) second = x;
  }
  second = middleOfRun(second);
  return {std::min(first, second), std::max(first, second)};
}

TEST(DisplaysScreen, MinimodemRttyInTheSpectrumAndTheWaterfall) {
#ifndef NDEBUG
  GTEST_SKIP() << "needs an optimised build to keep up with a real-time capture device";
#endif
  if (std::getenv("VESTREL_UNDER_XVFB") == nullptr) {
    for (const char* tool : {"xvfb-run", "minimodem", "sox"}) {
      if (!test::HaveProgram(tool)) GTEST_SKIP() << tool << " is not installed";
    }
    test::TestDir dir;
    const fs::path wav = dir.path() / "tx.wav", raw = dir.path() / "in.raw";
    std::string text;
    // Plain text, whose random marks and spaces put the spectrum's peaks on the two tones.
    for (int i = 0; i < 10; ++i) text += "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123456789\n";
    const test::ToolResult made = test::RunTool(
        "printf %s " + ShellQuote(text) + " | minimodem --tx rtty -M 1785 -S 1615 -R 11025 -f " +
        ShellQuote(wav.string()) + " && sox " + ShellQuote(wav.string()) + " -t raw -r 11025 -e signed -b 16 -c 1 -L " +
        ShellQuote(raw.string()) + " gain -6");
    ASSERT_EQ(made.exitCode, 0) << made.err;
    std::ofstream(raw, std::ios::binary | std::ios::app) << std::string(11025 * 2 * 60, '\0');
    EXPECT_TRUE(RunUnderXvfb("DisplaysScreen.MinimodemRttyInTheSpectrumAndTheWaterfall", raw, dir));
    return;
  }
  const fs::path ini = fs::path(std::getenv("VESTREL_TEST_DIR")) / "VESTREL.INI";
  std::ofstream(ini, std::ios::binary) << "[RTTY]\r\nMode=0\r\nWaterFall=0\r\n";
  Running r(ini);
  ASSERT_EQ(r.form->StartupCountdown, 0);
  ASSERT_TRUE(r.form->sound().InputOpen());
  TDisplays* displays = r.displays();
  ASSERT_NE(displays, nullptr);
  // A few seconds of signal in the spectrum view.
  QTest::qWait(3000);
  ASSERT_FALSE(displays->Shown().isNull());
  r.Save("spectrum_view.png");
  // The waterfall: the band history scrolls down under the markers.
  r.form->settings().WaterFall = 1;
  r.form->display().LayoutChanged();
  QTest::qWait(3000);
  r.Save("waterfall_view.png");
  // The newest lines together (single 186 ms lines of keyed FSK are noisy).
  const QImage line = displays->NewestWaterfallLines(8);
  ASSERT_FALSE(line.isNull());
  const DisplayGeometry& g = displays->Geometry();
  const auto [lo, hi] = TwoStrongest(line, displays->Palette(), 10 * g.zoom);
  auto hzAt = [&](int x) { return (double(x - g.Origin()) / g.zoom + 55.0) * 11025.0 / 2048.0; };
  // The keyed signal's own spectrum (45.45 Bd, 170 Hz shift, continuous phase) peaks a little
  // outside its two tones: averaged over the whole transmission at 1609.6 and 1787.1 Hz (bins
  // 299 and 332), so the brightest columns are allowed a bin and a half.
  constexpr double kBinHz = 11025.0 / 2048.0;
  EXPECT_NEAR(hzAt(lo), 1615.0, 1.5 * kBinHz) << lo;
  EXPECT_NEAR(hzAt(hi), 1785.0, 1.5 * kBinHz) << hi;
}

TEST(DisplaysScreen, Bpsk31ShowsThePhaseScope) {
#ifndef NDEBUG
  GTEST_SKIP() << "needs an optimised build to keep up with a real-time capture device";
#endif
  if (std::getenv("VESTREL_UNDER_XVFB") == nullptr) {
    if (!test::HaveProgram("xvfb-run")) GTEST_SKIP() << "xvfb-run is not installed";
    std::vector<int16_t> s;
    for (int i = 0; i < 3; ++i) {
      const auto part = test::EncodeWithHarness("BPSK31", "CQ CQ CQ DE XX0XXX XX0XXX XX0XXX PSE K\n");
      s.insert(s.end(), part.begin(), part.end());
    }
    if (s.empty()) GTEST_SKIP() << "the encoder harness is not built";
    s.resize(s.size() + 11025 * 60);
    test::TestDir dir;
    const fs::path raw = dir.path() / "in.raw";
    std::ofstream(raw, std::ios::binary)
        .write(reinterpret_cast<const char*>(s.data()), std::streamsize(s.size() * 2));
    EXPECT_TRUE(RunUnderXvfb("DisplaysScreen.Bpsk31ShowsThePhaseScope", raw, dir));
    return;
  }
  const fs::path ini = fs::path(std::getenv("VESTREL_TEST_DIR")) / "VESTREL.INI";
  std::ofstream(ini, std::ios::binary) << "[RTTY]\r\nMode=1\r\nRxFrequency=1700\r\nWaterFall=0\r\nPhaseShow=1\r\n";
  Running r(ini);
  ASSERT_EQ(r.form->StartupCountdown, 0);
  ASSERT_EQ(r.form->engine().params.Mode, kModeBpsk31);
  TDisplays* displays = r.displays();
  ASSERT_NE(displays, nullptr);
  QTest::qWait(3000);
  ASSERT_TRUE(displays->CirTune().Visible());
  r.Save("phase_scope.png");
  // The scope square holds the symbols' vectors: something besides its empty picture.
  const int side = displays->Geometry().scopeSide;
  ASSERT_GT(side, 0);
  const QImage shown = displays->Shown().copy(0, 0, side, displays->Shown().height());
  const QColor empty = shown.pixelColor(side / 2, 2);
  int drawn = 0;
  for (int y = 0; y < shown.height(); ++y)
    for (int x = 0; x < side; ++x) drawn += shown.pixelColor(x, y) != empty;
  EXPECT_GT(drawn, 0);
  EXPECT_GT(r.form->engine().psk.Decisions, 10u);
}

}  // namespace
}  // namespace vestrel
