// ctest-labels: gui integration
// The receive road inside the program: capture buffers of the fake sound backend, posted as
// the capture callback posts them, through the window's message map, the sound devices, the
// input converter and the block processor to the start-stop decoder and the received-text
// sink (the receive window).
#include "app/engine_driver.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "engine/engine.h"
#include "io/capture_ring.h"
#include "platform/fake_wave.h"
#include "support/encoder_audio.h"
#include "support/recording_form.h"

namespace vestrel {
namespace {

using test::Form;
using test::RecordingFormParts;

// Captured audio of `mode`, delivered two buffers at a time as a card delivers them while the
// window is busy, into an engine started the program's way; what the receive window shows.
std::string ReceiveWindowAfter(const std::string& mode, const std::string& text, int32_t switchTo) {
  std::vector<int16_t> audio = test::EncodeWithHarness(mode, text);
  if (audio.empty()) return "(the encoder harness is not built)";
  audio.insert(audio.begin(), 11025, 0);  // a second of silence before and after
  audio.insert(audio.end(), 11025, 0);

  FakeWaveBackend backend;
  RecordingFormParts parts;
  Form f(parts, test::UniqueSemaphoreName("road"), {}, nullptr, false, &backend);
  TRxForm& w = *f.form;
  f.Ticks(20);
  EXPECT_TRUE(w.sound().InputOpen());
  EXPECT_EQ(backend.in.queue.size(), CaptureRing::kCount);
  if (switchTo >= 0) w.engine().modeSwitch.SetMode(switchTo);

  size_t pos = 0;
  int posts = 0;
  while (pos < audio.size()) {
    posts += backend.DeliverInput(2, [&](WaveHeader& h) {
      const size_t n = std::min<size_t>(CaptureRing::kFrames, audio.size() - pos);
      std::memset(h.data, 0, CaptureRing::kFrames * 2);
      std::memcpy(h.data, audio.data() + pos, n * 2);
      h.bytesRecorded = CaptureRing::kFrames * 2;
      pos += n;
    });
    QCoreApplication::sendPostedEvents(&w);  // WM_WAVEIN_DATA into ProcessSoundInput
  }
  EXPECT_GT(posts, 0);
  EXPECT_EQ(backend.in.queue.size(), CaptureRing::kCount);  // every buffer went back to the card
  const std::string shown = w.RxMemo->toPlainText().toStdString();
  w.ShutdownEngine();
  EXPECT_FALSE(w.sound().InputOpen());
  return shown;
}

TEST(EngineDriver, CapturedRttyReachesTheReceiveWindow) {
  if (!std::filesystem::exists(std::string(VESTREL_BENCH_DIR) + "/vestrel-encode"))
    GTEST_SKIP() << "the encoder harness is not built";
  const std::string shown = ReceiveWindowAfter("rtty", "RYRY THE QUICK BROWN FOX 73\r\n", -1);
  EXPECT_NE(shown.find("THE QUICK BROWN FOX 73"), std::string::npos) << shown;
}

// Started in the program's order (the receiver enabled before its rate is set), the PSK
// receiver runs at 31.25 Bd: BPSK31 blocks come back, decoded.
TEST(EngineDriver, CapturedBpsk31ReachesTheReceiveWindow) {
  if (!std::filesystem::exists(std::string(VESTREL_BENCH_DIR) + "/vestrel-encode"))
    GTEST_SKIP() << "the encoder harness is not built";
  const std::string shown = ReceiveWindowAfter("BPSK31", "CQ CQ de VESTREL bpsk31 pse k", kModeBpsk31);
  EXPECT_NE(shown.find("CQ CQ de VESTREL bpsk31 pse k"), std::string::npos) << shown;
}

}  // namespace
}  // namespace vestrel
