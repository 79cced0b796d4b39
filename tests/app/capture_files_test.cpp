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
#include <fstream>
#include <iterator>

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
          d.opener = &opener;
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
  struct Opener : ShellOpener {
    bool OpenDocument(const std::string& path) override {
      opened.push_back(path);
      return true;
    }
    std::vector<std::string> opened;
  } opener;
  test::Form f;
};

std::string FileText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

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

// The text capture from the menu and Alt+L, the KISS capture of received packet frames,
// panel 4 with both, their close messages; the shutdown closes what is still open.
TEST_F(CaptureFilesTest, TextAndKissCaptureFromTheMenu) {
  QAction* openText = w().MenuItem("Open Capture File (Alt-L)");
  QAction* closeText = w().MenuItem("Close Capture File (Alt-L)");
  QAction* openKiss = w().MenuItem("Open KISS Capture File");
  QAction* closeKiss = w().MenuItem("Close KISS Capture File");
  EXPECT_TRUE(openText->isEnabled() && openKiss->isEnabled());
  EXPECT_FALSE(closeText->isEnabled() || closeKiss->isEnabled());
  dialogs.answer = (cwd.path() / "rx.txt").string();
  openText->trigger();
  EXPECT_EQ(dialogs.requests.back().title, "Open capture file");
  EXPECT_FALSE(openText->isEnabled());
  EXPECT_TRUE(closeText->isEnabled());
  EXPECT_EQ(w().Panel(4)->text(), QStringLiteral("CapT"));
  w().PutRxString("CQ DE XX0XXX\n");
  dialogs.answer = (cwd.path() / "kiss.bin").string();
  openKiss->trigger();
  EXPECT_EQ(dialogs.requests.back().title, "Open KISS capture file");
  EXPECT_EQ(w().Panel(4)->text(), QStringLiteral("T+K"));
  const uint8_t frame[] = {0x01, 0xC0, 0x02, 0xAA, 0xBB};  // the last two are the check bytes
  w().engine().packetOutput.PutAx25Frame(frame);
  closeKiss->trigger();
  EXPECT_EQ(parts.boxes.back(), (std::pair<std::string, std::string>{"File Closed", "KISS Capture file was closed"}));
  EXPECT_EQ(FileText("kiss.bin"), std::string("\xC0\x00\x01\xDB\xDC\x02\xC0", 7));
  EXPECT_EQ(w().Panel(4)->text(), QStringLiteral("CapT"));
  EXPECT_TRUE(w().FormKeyDown(Qt::Key_L, KeyModifiers{false, false, true, false}));  // Alt+L closes
  EXPECT_EQ(parts.boxes.back(), (std::pair<std::string, std::string>{"File Closed", "Capture file was closed"}));
  EXPECT_EQ(FileText("rx.txt"), "CQ DE XX0XXX\n");
  EXPECT_EQ(w().Panel(4)->text(), QString());
  EXPECT_TRUE(openText->isEnabled());
  EXPECT_FALSE(closeText->isEnabled());

  // Both open at the shutdown: written out, without a message.
  const size_t boxes = parts.boxes.size();
  dialogs.answer = (cwd.path() / "rx.txt").string();
  w().FormKeyDown(Qt::Key_L, KeyModifiers{false, false, true, false});
  dialogs.answer = (cwd.path() / "kiss.bin").string();
  openKiss->trigger();
  w().PutRxString("PSE K");
  w().engine().packetOutput.PutAx25Frame(frame);
  w().ShutdownEngine();
  EXPECT_EQ(parts.boxes.size(), boxes);
  EXPECT_EQ(FileText("rx.txt"), "CQ DE XX0XXX\nPSE K");
  EXPECT_EQ(FileText("kiss.bin"), std::string("\xC0\x00\x01\xDB\xDC\x02\xC0", 7) + std::string("\xC0\x00\x01\xDB\xDC\x02\xC0", 7));
}

TEST_F(CaptureFilesTest, CtrlNOpensTheReceiveWindowInTheEditor) {
  w().PutRxString("CQ DE XX0XXX\nPSE K");
  w().FormKeyDown(Qt::Key_N, KeyModifiers{false, true, false, false});
  EXPECT_EQ(FileText("~~tmpbuf.txt"), "CQ DE XX0XXX\r\nPSE K");
  EXPECT_EQ(opener.opened, std::vector<std::string>{"~~tmpbuf.txt"});
  EXPECT_EQ(w().engine().display.DisplayPause, 400);
  // Where it cannot be written, nothing is opened.
  fs::remove("~~tmpbuf.txt");
  fs::create_directory("~~tmpbuf.txt");
  w().MenuItem("Open Buffer in Notepad (Ctrl-N)")->trigger();
  EXPECT_EQ(parts.boxes.back(), (std::pair<std::string, std::string>{"File Error", "File Write Error!"}));
  EXPECT_EQ(opener.opened.size(), 1u);
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
