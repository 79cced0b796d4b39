// ctest-labels: gui integration
// The receive road inside the program: capture buffers of the fake sound backend, posted as
// the capture callback posts them, through the window's message map, the sound devices, the
// input converter and the block processor to the start-stop and packet decoders and the
// received-text sink (the receive window); and the packet slot timer.
#include "app/engine_driver.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QToolButton>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "engine/engine.h"
#include "engine/frequency_unit.h"
#include "engine/mode_number.h"
#include "io/capture_ring.h"
#include "platform/fake_wave.h"
#include "support/ax25_frames.h"
#include "support/encoder_audio.h"
#include "support/packet_engine.h"
#include "support/packet_transmission.h"
#include "support/recording_form.h"

namespace vestrel {
namespace {

using test::Form;
using test::RecordingFormParts;

// The audio as the card delivers it, two capture buffers at a time while the window is busy,
// each delivery's WM_WAVEIN_DATA handled at once (ProcessSoundInput). The posts made.
int Capture(FakeWaveBackend& backend, TRxForm& w, const std::vector<int16_t>& audio) {
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
    QCoreApplication::sendPostedEvents(&w);
  }
  return posts;
}

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

  EXPECT_GT(Capture(backend, w, audio), 0);
  EXPECT_EQ(backend.in.queue.size(), CaptureRing::kCount);  // every buffer went back to the card
  const std::string shown = test::RxText(w);
  EXPECT_NE(shown.find("THE QUICK BROWN FOX 73"), std::string::npos) << shown;

  w.ShutdownEngine();
  EXPECT_FALSE(w.sound().InputOpen());
}

// Started in the program's order (the receiver enabled before its rate is set), the PSK
// receiver runs at 31.25 Bd once BPSK31 is chosen: captured blocks come back, decoded.
TEST(EngineDriver, CapturedBpsk31ReachesTheReceiveWindow) {
  std::vector<int16_t> audio = test::EncodeWithHarness("BPSK31", "CQ CQ de VESTREL bpsk31 pse k");
  if (audio.empty()) GTEST_SKIP() << "the encoder harness is not built";
  audio.insert(audio.begin(), 11025, 0);
  audio.insert(audio.end(), 11025, 0);

  FakeWaveBackend backend;
  RecordingFormParts parts;
  Form f(parts, test::UniqueSemaphoreName("psk"), {}, nullptr, false, &backend);
  TRxForm& w = *f.form;
  f.Ticks(20);
  ASSERT_TRUE(w.sound().InputOpen());
  w.engine().modeSwitch.SetMode(kModeBpsk31);

  EXPECT_GT(Capture(backend, w, audio), 0);
  const std::string shown = test::RxText(w);
  EXPECT_NE(shown.find("CQ CQ de VESTREL bpsk31 pse k"), std::string::npos) << shown;

  w.ShutdownEngine();
}

// The slot timer runs in the packet modes only, at the channel's slot time, and stops for good
// with the shutdown.
TEST(EngineDriver, ThePacketModesRunTheSlotTimer) {
  FakeWaveBackend backend;
  RecordingFormParts parts;
  Form f(parts, test::UniqueSemaphoreName("slot"), {}, nullptr, false, &backend);
  TRxForm& w = *f.form;
  f.Ticks(20);
  auto& driver = dynamic_cast<TEngineDriver&>(w.engineDriver());
  TEngine& e = w.engine();
  e.modeSwitch.SetMode(kModeAx25Uhf);
  EXPECT_TRUE(driver.slotTimer().isActive());
  EXPECT_EQ(driver.slotTimer().interval(), 100);
  // A KISS slot time of 300 ms reaches the timer at the next tick of the main timer.
  e.packetChannel.ApplyKissCommand(3, 30);
  f.Ticks(1);
  EXPECT_EQ(driver.slotTimer().interval(), 300);
  e.modeSwitch.SetMode(kModeRtty);
  EXPECT_FALSE(driver.slotTimer().isActive());
  e.modeSwitch.SetMode(kModeAx25Hf);
  EXPECT_TRUE(driver.slotTimer().isActive());
  w.ShutdownEngine();
  EXPECT_FALSE(driver.slotTimer().isActive());
  e.modeSwitch.SetMode(kModeAx25Uhf);
  EXPECT_FALSE(driver.slotTimer().isActive());
}

// Captured packet audio through the window's receive road into the receive window.
TEST(EngineDriver, CapturedPacketReachesTheReceiveWindow) {
  test::PacketTransmission t(test::PacketTxOptions{});
  t.Queue(test::BuildUiFrame("N0CALL-9", "APRS", "Hello from the receive road", {"WIDE2-2"}));
  std::vector<int16_t> audio = t.Transmit();
  audio.insert(audio.begin(), 11025, 0);
  audio.insert(audio.end(), 11025, 0);

  FakeWaveBackend backend;
  RecordingFormParts parts;
  Form f(parts, test::UniqueSemaphoreName("packet"), {}, nullptr, false, &backend);
  TRxForm& w = *f.form;
  f.Ticks(20);
  test::SetPacketMode(w.engine(), kModeAx25Uhf);
  Capture(backend, w, audio);
  const std::string shown = test::RxText(w);
  EXPECT_NE(shown.find("N0CALL-9 -> APRS-0 via WIDE2-2  UI^ Pid=F0"), std::string::npos) << shown;
  EXPECT_NE(shown.find("Hello from the receive road"), std::string::npos) << shown;
  w.ShutdownEngine();
}

}  // namespace
}  // namespace vestrel

namespace vestrel {
namespace {

// The tuning seams reach the engine's frequency control: a key's step, an absolute frequency
// (out-of-band and NaN clamp), and the transmit pair moved or following.
TEST(EngineDriver, TuningSeamsMoveTheTones) {
  FakeWaveBackend backend;
  RecordingFormParts parts;
  Form f(parts, test::UniqueSemaphoreName("tune"), {}, nullptr, false, &backend);
  TRxForm& w = *f.form;
  f.Ticks(20);
  TModemParams& p = w.engine().params;
  EngineDriver& d = w.engineDriver();
  d.SetRxFrequency(1000.0);
  EXPECT_EQ(p.RxTone[0] + p.RxTone[1], 2 * HzToUnits(1000.0));
  const int32_t lower = p.RxTone[0];
  d.ShiftRxFrequency(16);
  EXPECT_EQ(p.RxTone[0], lower + 16);
  d.SetRxFrequency(std::nan(""));
  EXPECT_EQ(p.RxTone[0], kMinToneUnits);
  d.SetTxFrequency(99999.0);
  EXPECT_EQ(p.TxTone[1], kMaxToneUnits);
  const int32_t tx = p.TxTone[0];
  d.ShiftTxFrequency(-16);
  EXPECT_EQ(p.TxTone[0], tx - 16);
  w.engine().freq.TxAfc = 1;
  d.SyncTxFrequencyToRx();
  EXPECT_EQ(p.TxTone[0], p.RxTone[0]);
  w.ShutdownEngine();
}

}  // namespace
}  // namespace vestrel

namespace vestrel {
namespace {

// "~[afr1]" in a macro on the program's own driver: the AFC button goes down and one pass of
// the mode runs at once, so the pair moves onto a signal beside it; "~[aft1]" and "~[aft0]"
// switch the transmit follow of the engine.
TEST(EngineDriver, TheAfcEscapesRunAPassAndSwitchTheTransmitFollow) {
  FakeWaveBackend backend;
  RecordingFormParts parts;
  // The program's own macro language, not the recording one.
  Form f(parts, test::UniqueSemaphoreName("afr"), {}, nullptr, false, &backend,
         [](TRxFormDeps& d) { d.macros = nullptr; });
  TRxForm& w = *f.form;
  f.Ticks(20);
  TEngine& e = w.engine();
  ASSERT_EQ(e.params.Mode, kModeRtty);
  w.AfcButton->setChecked(false);
  w.TxAfcButton->setChecked(false);
  e.freq.LocalDeviationHz = 50;
  e.freq.GlobalDeviationHz = 300;
  const int32_t lo = e.params.RxToneBin[0];
  const int32_t shift = e.params.RxShiftBin;
  // Two tones four bins above the pair.
  auto& peak = e.rxBlocks.Spectrum.SpectrumPeak;
  peak.fill(0.0f);
  for (int d = -3; d <= 3; ++d) {
    const float h = static_cast<float>(4 - std::abs(d)) / 4.0f;
    peak[size_t(lo + 4 + d)] = h;
    peak[size_t(lo + 4 + shift + d)] = h;
  }
  w.macroTable().Macro[20] = "~[afr1]";
  w.RunMacro(20);
  EXPECT_TRUE(w.AfcButton->isChecked());
  // Onto the signal (to within the pass's own rounding), not left where it stood.
  EXPECT_NEAR(e.params.RxToneBin[0], lo + 4, 1);
  EXPECT_NEAR(e.params.RxToneBin[1], lo + 4 + shift, 1);

  w.macroTable().Macro[21] = "~[aft1]";
  w.RunMacro(21);
  EXPECT_EQ(e.freq.TxAfc, 1);
  EXPECT_NEAR(e.params.TxToneBin[0], e.params.RxToneBin[0], 1);  // the transmit pair followed
  w.macroTable().Macro[21] = "~[aft0]";
  w.RunMacro(21);
  EXPECT_EQ(e.freq.TxAfc, 0);
  w.ShutdownEngine();
}

}  // namespace
}  // namespace vestrel
