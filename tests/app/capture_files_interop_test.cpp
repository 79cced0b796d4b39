// ctest-labels: gui interop
// minimodem's RTTY as WAV files at 11025, 22050 and 44100 Hz, decoded from the file by the
// program (its engine on the fake sound backend); and the same through the "Decode From File"
// menu on a real X server (Xvfb), with a screenshot kept in
// build/<name>/tests/screenshots/decode_from_file.png.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <cstdlib>
#include <filesystem>

#include "app/rx_form.h"
#include "engine/engine.h"
#include "platform/fake_wave.h"
#include "support/fake_file_dialogs.h"
#include "support/fake_sound_links.h"
#include "support/recording_form.h"
#include "support/temp_dir.h"
#include "support/tool_runner.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;
using test::ShellQuote;

constexpr const char* kText = "RYRY CQ CQ DE XX0XXX XX0XXX PSE K";

// minimodem's RTTY 45.45/170 on the program's default pair (mark 1785, space 1615).
bool MakeMinimodemWave(const fs::path& out, int rate) {
  const test::ToolResult r = test::RunTool("echo " + ShellQuote(kText) + " | minimodem --tx rtty -R " +
                                           std::to_string(rate) + " -M 1785 -S 1615 -f " + ShellQuote(out));
  return r.exitCode == 0 && fs::exists(out);
}

TEST(CaptureFilesInterop, MinimodemWavesDecodeFromTheFile) {
  if (!test::HaveProgram("minimodem")) GTEST_SKIP() << "minimodem is not installed";
  for (int rate : {11025, 22050, 44100}) {
    SCOPED_TRACE(rate);
    test::TempDir dir;
    const fs::path wav = dir / "rtty.wav";
    ASSERT_TRUE(MakeMinimodemWave(wav, rate));
    FakeWaveBackend backend;
    test::RecordingFormParts parts;
    parts.realSleep = false;
    test::Form f(parts, test::UniqueSemaphoreName("minimodem"), {}, nullptr, false, &backend,
                 [](TRxFormDeps& d) { d.capture = nullptr; });
    f.Ticks(20);
    TRxForm& w = *f.form;
    // minimodem sends no LTRS after a space that follows figures.
    w.engine().baudot.UnshiftOnSpace = 1;
    w.capturePart().DecodeWavFile(wav.string(), false);
    EXPECT_TRUE(parts.boxes.empty());
    const std::string shown = test::RxText(w);
    EXPECT_NE(shown.find(kText), std::string::npos) << shown;
  }
}

TEST(CaptureFilesInterop, DecodeFromFileOnTheScreen) {
#ifndef NDEBUG
  GTEST_SKIP() << "the screenshot is taken in the optimised build";
#endif
  if (!test::HaveProgram("minimodem")) GTEST_SKIP() << "minimodem is not installed";
  if (std::getenv("VESTREL_UNDER_XVFB") == nullptr) {
    if (!test::HaveProgram("xvfb-run")) GTEST_SKIP() << "xvfb-run is not installed";
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const std::string cmd =
        "VESTREL_UNDER_XVFB=1 QT_QPA_PLATFORM=xcb timeout -k 10 120 xvfb-run -a -s "
        "'-screen 0 1024x768x24' " +
        ShellQuote(self) + " --gtest_filter=CaptureFilesInterop.DecodeFromFileOnTheScreen";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    return;
  }
  test::TestApp();
  test::TempDir dir;
  const fs::path wav = dir / "minimodem.wav";
  ASSERT_TRUE(MakeMinimodemWave(wav, 11025));
  FakeWaveBackend backend;
  test::RecordingMessageBox boxes;
  test::FakeFileDialogs dialogs;
  dialogs.answer = wav.string();
  TRxFormDeps deps;
  deps.boxes = &boxes;
  deps.waveBackend = &backend;
  deps.dialogs = &dialogs;
  deps.useDBus = false;
  deps.presenceName = test::UniqueSemaphoreName("decode_screen");
  TRxForm form(std::move(deps));
  form.show();
  for (int i = 0; i < 200 && !form.EngineStarted; ++i) QTest::qWait(50);
  ASSERT_TRUE(form.EngineStarted);
  form.engine().baudot.UnshiftOnSpace = 1;
  form.MenuItem("Decode From File")->trigger();  // paced: some 3 s for the 6 s of audio
  const std::string shown = test::RxText(form);
  EXPECT_NE(shown.find(kText), std::string::npos) << shown;
  for (const auto& [caption, text] : boxes.shown) {
    EXPECT_EQ(text, "ZOZARIRI.DLL initialization error!") << caption;  // the library is not in this build
  }
  QTest::qWait(200);
  const fs::path shots = fs::path(VESTREL_BINARY_DIR) / "tests" / "screenshots";
  fs::create_directories(shots);
  EXPECT_TRUE(QGuiApplication::primaryScreen()->grabWindow(0).save(
      QString::fromStdString((shots / "decode_from_file.png").string())));
  form.close();
  sem_unlink(form.presence().name().c_str());
}

}  // namespace
}  // namespace vestrel
