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

TEST(EngineDriver, CapturedRttyReachesTheReceiveWindow) {
  std::vector<int16_t> audio = test::EncodeWithHarness("rtty", "RYRY THE QUICK BROWN FOX 73\r\n");
  if (audio.empty()) GTEST_SKIP() << "the encoder harness is not built";
  audio.insert(audio.begin(), 11025, 0);  // a second of silence before and after
  audio.insert(audio.end(), 11025, 0);

  FakeWaveBackend backend;
  RecordingFormParts parts;
  Form f(parts, test::UniqueSemaphoreName("road"), {}, nullptr, false, &backend);
  TRxForm& w = *f.form;
  f.Ticks(20);
  ASSERT_TRUE(w.sound().InputOpen());
  EXPECT_EQ(backend.in.queue.size(), CaptureRing::kCount);

  size_t pos = 0;
  int posts = 0;
  while (pos < audio.size()) {
    // Two buffers at a time, as a card delivers them while the window is busy.
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
  EXPECT_NE(shown.find("THE QUICK BROWN FOX 73"), std::string::npos) << shown;

  w.ShutdownEngine();
  EXPECT_FALSE(w.sound().InputOpen());
}

}  // namespace
}  // namespace vestrel
