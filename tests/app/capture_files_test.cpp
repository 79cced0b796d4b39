// ctest-labels: gui integration
// The audio files inside the program: the File menu's wave capture and "Decode From File", the
// Alt+Q hot key, the Replay and Save buttons and status panel 4, on the program's engine with the
// fake sound backend.
#include "app/capture_files.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <filesystem>

#include "engine/engine.h"
#include "platform/fake_wave.h"
#include "support/encoder_audio.h"
#include "support/fake_clock.h"
#include "support/fake_file_dialogs.h"
#include "support/recording_form.h"
#include "support/temp_dir.h"
#include "support/wave_bytes.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;
using test::RecordingFormParts;

// The window with its own capture part and the program's engine, started.
class CaptureFilesTest : public testing::Test {
 protected:
  CaptureFilesTest()
      : f(parts, test::UniqueSemaphoreName("capture"), {}, nullptr, false, &backend, [this](TRxFormDeps& d) {
          d.capture = nullptr;
          d.dialogs = &dialogs;
          d.clock = &clock;
        }) {
    parts.realSleep = false;
    f.Ticks(20);
  }
  TRxForm& w() { return *f.form; }
  std::string Shown() const { return test::RxText(*f.form); }

  test::ScopedWorkingDir cwd;
  FakeWaveBackend backend;
  RecordingFormParts parts;
  test::FakeFileDialogs dialogs;
  test::FakeClock clock;
  test::Form f;
};

TEST_F(CaptureFilesTest, WaveCaptureFromTheHotKeyAndTheMenu) {
  ASSERT_TRUE(w().EngineStarted);
  QAction* open = w().MenuItem("Open Wave Capture File (Alt-V)");
  QAction* close = w().MenuItem("Close Wave Capture File (Alt-V)");
  EXPECT_TRUE(open->isEnabled());
  EXPECT_FALSE(close->isEnabled());
  dialogs.answer = (cwd.path() / "cap.wav").string();
  EXPECT_TRUE(w().FormKeyDown(Qt::Key_Q, KeyModifiers{false, false, true, false}));
  EXPECT_EQ(w().Panel(4)->text(), QStringLiteral("CapW"));
  EXPECT_FALSE(open->isEnabled());
  EXPECT_TRUE(close->isEnabled());
  close->trigger();
  EXPECT_EQ(parts.boxes.back(),
            (std::pair<std::string, std::string>{"File Closed", "Wave capture file was closed"}));
  EXPECT_EQ(w().Panel(4)->text(), QString());
  EXPECT_TRUE(open->isEnabled());
  EXPECT_FALSE(close->isEnabled());
  EXPECT_TRUE(fs::exists("cap.wav"));
  open->trigger();
  EXPECT_EQ(w().Panel(4)->text(), QStringLiteral("CapW"));
}

TEST_F(CaptureFilesTest, ReplayRightAfterTheStartDecodesNothing) {
  auto* capture = dynamic_cast<TCaptureFiles*>(&w().capturePart());
  ASSERT_NE(capture, nullptr);
  EXPECT_EQ(capture->wave().history().SlotCount(), 325u);
  w().ReplayButton()->click();
  EXPECT_TRUE(fs::exists("~~~tmp~~.wav"));
  EXPECT_EQ(Shown(), "");
  EXPECT_TRUE(w().ReplayButton()->isEnabled());
  EXPECT_TRUE(w().MenuItem("Decode From File")->isEnabled());
  EXPECT_TRUE(w().Sent->hasFocus() || !w().isActiveWindow());
}

TEST_F(CaptureFilesTest, DecodeFromFileShowsTheTextAndTheSaveButtonKeepsTheMinute) {
  std::vector<int16_t> audio = test::EncodeWithHarness("rtty", "RYRY THE QUICK BROWN FOX 73\r\n");
  if (audio.empty()) GTEST_SKIP() << "the encoder harness is not built";
  audio.insert(audio.begin(), 11025, 0);
  audio.insert(audio.end(), 11025, 0);
  test::WriteBytes("rtty.wav", test::MonoWave(audio));
  dialogs.answer = "rtty.wav";
  QString labelWhileDecoding;
  bool itemWhileDecoding = true;
  parts.onProcessMessages = [&] {
    labelWhileDecoding = w().FileLabel->text();
    itemWhileDecoding = w().MenuItem("Decode From File")->isEnabled();
  };
  w().MenuItem("Decode From File")->trigger();
  parts.onProcessMessages = nullptr;
  EXPECT_NE(Shown().find("THE QUICK BROWN FOX 73"), std::string::npos) << Shown();
  EXPECT_EQ(labelWhileDecoding, QStringLiteral(" Decoding from file "));
  EXPECT_FALSE(itemWhileDecoding);
  EXPECT_EQ(w().FileLabel->text(), QString());
  EXPECT_TRUE(w().MenuItem("Decode From File")->isEnabled());
  // Paced: one block per 100 ms of the (fake) clock.
  EXPECT_GE(clock.nowMs - 5000, (audio.size() / 2048) * 100);

  // The file's audio went to the receiver only; the history holds what the card captured.
  clock.utcSeconds = test::UtcOf(2024, 3, 5, 12, 0, 30);
  w().SaveButton()->click();
  EXPECT_TRUE(fs::exists("Waves/2024-03-05/11_59_30.wav"));
  EXPECT_TRUE(w().SaveButton()->isEnabled());
}

TEST_F(CaptureFilesTest, ClosingTheWindowEndsAPacedDecode) {
  test::WriteBytes("long.wav", test::MonoWave(std::vector<int16_t>(11025 * 60, 0)));
  dialogs.answer = "long.wav";
  int rounds = 0;
  parts.onProcessMessages = [&] {
    if (++rounds == 10) w().close();
  };
  w().MenuItem("Decode From File")->trigger();
  parts.onProcessMessages = nullptr;
  EXPECT_EQ(w().ShutdownDone, 1);
  // Some 3 blocks of the 323 were fed (4 rounds of 30 ms each), then the loop saw the shutdown;
  // the shutdown's own wait adds its rounds.
  EXPECT_LT(clock.nowMs - 5000, 1000u);
}

}  // namespace
}  // namespace vestrel
