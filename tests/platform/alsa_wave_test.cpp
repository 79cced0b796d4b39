// ctest-labels: integration tsan
#include "platform/alsa_wave.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <thread>

#include "engine/engine.h"
#include "io/input_feed.h"
#include "io/sound_devices.h"
#include "support/alsa_test_config.h"
#include "support/fake_engine_window.h"
#include "support/fake_rx_sink.h"
#include "support/fake_sound_links.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;

std::vector<int16_t> Tone(size_t n, double hz, double amplitude) {
  std::vector<int16_t> s(n);
  for (size_t i = 0; i < n; ++i)
    s[i] = static_cast<int16_t>(
        std::lround(amplitude * std::sin(2 * M_PI * hz * static_cast<double>(i) / 11025.0)));
  return s;
}

void WriteRaw(const fs::path& path, const std::vector<int16_t>& samples) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(samples.data()), static_cast<std::streamsize>(samples.size() * 2));
}

std::vector<int16_t> ReadRaw(const fs::path& path) {
  std::ifstream f(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  std::vector<int16_t> s(bytes.size() / 2);
  std::memcpy(s.data(), bytes.data(), s.size() * 2);
  return s;
}

// The real backend over the test's own ALSA configuration; the receive chain and the window
// are recorded.
class AlsaWaveTest : public testing::Test {
 protected:
  void UseFilePcm(const std::vector<int16_t>& input) {
    WriteRaw(dir.path() / "in.raw", input);
    test::AlsaTestConfig::Use(
        test::AlsaTestConfig::WriteFilePcm(dir.path(), dir.path() / "in.raw", OutPath()));
  }
  fs::path OutPath() const { return dir.path() / "out.raw"; }

  // Runs the GUI side until `done` holds; the bound only keeps a broken backend from hanging
  // the test (the file PCM runs far faster than real time).
  template <class Done>
  bool PumpUntil(Done done) {
    for (int i = 0; i < 20000; ++i) {
      if (done()) return true;
      if (devices.capture.full.load() > 0) devices.ProcessSoundInput();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
  }

  test::SoundTestDir dir;
  test::FakeEngineWindow window;
  test::FakeRxSink rx;
  TEngine engine{window, rx};
  AlsaWaveBackend backend;
  std::unique_ptr<TxAudioBuffers> tx = std::make_unique<TxAudioBuffers>();
  test::RecordingReceiveInput input;
  test::RecordingMessageBox messages;
  test::RecordingTermination termination;
  SoundDevices devices{engine.window, engine.tx, backend, *tx, input, messages, termination};
};

TEST_F(AlsaWaveTest, ToneFromTheCaptureFileArrivesInBlocksOf2048) {
  constexpr size_t kBlocks = 12;
  const std::vector<int16_t> tone = Tone(kBlocks * 2048, 1000.0, 12000.0);
  UseFilePcm(tone);
  devices.OpenSoundInput();
  ASSERT_TRUE(devices.InputOpen()) << (messages.shown.empty() ? "" : messages.shown.back().second);
  ASSERT_TRUE(PumpUntil([&] { return input.blocks.size() >= kBlocks; }));
  devices.CloseSoundInput();
  EXPECT_TRUE(messages.shown.empty());
  for (size_t b = 0; b < kBlocks; ++b) {
    ASSERT_EQ(input.blocks[b].size(), 2048u);
    ASSERT_TRUE(std::equal(input.blocks[b].begin(), input.blocks[b].end(), tone.begin() + b * 2048)) << b;
  }
  EXPECT_GT(window.PostCount(WM_WAVEIN_DATA), 0);
  EXPECT_EQ(devices.capture.queued.load(), 0u);
}

// Into the engine's block processor, as the program runs it. The file device runs faster than
// real time, so the backlog keeps the spectra from the display: the samples are counted on their
// way in, and the peak-held spectrum shows the tone at 1500 / (11025 / 2048) = 278.6 bins.
TEST_F(AlsaWaveTest, ToneReachesTheBlockProcessor) {
  struct Counting final : ReceiveInput {
    explicit Counting(ReceiveInput& next) : next(next) {}
    void FeedInputBlock(const int16_t* samples, uint32_t count, int source) override {
      fed += count;
      next.FeedInputBlock(samples, count, source);
    }
    void ClearPeakHold() override { next.ClearPeakHold(); }
    void SetCaptureBuffersWaiting(uint32_t waiting) override { next.SetCaptureBuffersWaiting(waiting); }
    ReceiveInput& next;
    uint64_t fed = 0;
  };
  InputFeed feed(engine.rxBlocks);
  Counting counting(feed);
  SoundDevices live{engine.window, engine.tx, backend, *tx, counting, messages, termination};
  // The file outlasts what the ring can read ahead, so every block processed is tone.
  constexpr uint64_t kBlocks = 6;
  UseFilePcm(Tone((kBlocks + 2 * CaptureRing::kCount) * 2048, 1500.0, 20000.0));
  live.OpenSoundInput();
  ASSERT_TRUE(live.InputOpen());
  for (int i = 0; i < 20000 && counting.fed < kBlocks * 2048; ++i) {
    if (live.capture.full.load() > 0) live.ProcessSoundInput();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  live.CloseSoundInput();
  ASSERT_GE(counting.fed, kBlocks * 2048);
  const auto& peak = engine.rxBlocks.Spectrum.SpectrumPeak;
  const auto top =
      std::max_element(peak.begin() + SpectrumArrays::kFirstBin, peak.begin() + SpectrumArrays::kLastBin + 1);
  EXPECT_NEAR(top - peak.begin(), 279, 1);
  EXPECT_EQ(engine.rxBlocks.FeedMode, 0);
}

TEST_F(AlsaWaveTest, StereoCaptureKeepsTheRightChannel) {
  std::vector<int16_t> frames(4 * 2048 * 2);
  for (size_t k = 0; k < frames.size() / 2; ++k) {
    frames[2 * k] = 1111;
    frames[2 * k + 1] = static_cast<int16_t>(k & 0x3FFF);
  }
  UseFilePcm(frames);
  devices.settings.InputCardChannel = 2;
  devices.OpenSoundInput();
  ASSERT_TRUE(devices.InputOpen());
  ASSERT_TRUE(PumpUntil([&] { return input.blocks.size() >= 4; }));
  devices.CloseSoundInput();
  for (size_t b = 0; b < 4; ++b)
    for (size_t k = 0; k < 2048; ++k)
      ASSERT_EQ(input.blocks[b][k], static_cast<int16_t>((b * 2048 + k) & 0x3FFF));
}

TEST_F(AlsaWaveTest, TransmittedSamplesLandInThePlaybackFile) {
  UseFilePcm(Tone(2048, 500.0, 1000.0));
  devices.OpenSoundOutput();
  ASSERT_TRUE(devices.OutputOpen()) << (messages.shown.empty() ? "" : messages.shown.back().second);
  // As the transmit pump does it: fill, write, count in flight.
  std::vector<int16_t> sent;
  for (uint32_t i = 0; i < 6; ++i) {
    TxAudioBuffer& b = tx->buffers[i];
    const std::vector<int16_t> part = Tone(2000 + 37 * i, 700.0 + 100 * i, 9000.0);
    std::copy(part.begin(), part.end(), b.samples.begin());
    b.length = static_cast<uint32_t>(part.size());
    sent.insert(sent.end(), part.begin(), part.end());
    ASSERT_EQ(devices.WriteOutput(i), kWaveOk);
    tx->InFlight += 1;
  }
  ASSERT_TRUE(PumpUntil([&] { return tx->Completed.load() == 6; }));
  EXPECT_EQ(tx->InFlight.load(), 0u);
  EXPECT_EQ(window.PostCount(WM_WAVEOUT_DONE), 6);
  devices.CloseSoundOutput();
  const std::vector<int16_t> written = ReadRaw(OutPath());
  ASSERT_GE(written.size(), sent.size());
  EXPECT_TRUE(std::equal(sent.begin(), sent.end(), written.begin()));
}

// The card runs dry between buffers (an underrun once the last frame has played) and the GUI
// stalls with every capture buffer full (an overrun): both sides recover and count on.
TEST_F(AlsaWaveTest, PlaybackAndCaptureRecoverAfterRunningDryAndAStall) {
  // Input for the 16 buffers the stall fills, the 4 processed after it, and to spare.
  const std::vector<int16_t> tone = Tone(40 * 2048, 900.0, 11000.0);
  UseFilePcm(tone);
  devices.OpenSoundOutput();
  ASSERT_TRUE(devices.OutputOpen());
  std::vector<int16_t> sent;
  for (uint32_t i = 0; i < 3; ++i) {
    const std::vector<int16_t> part = Tone(1500 + 11 * i, 600.0 + 200 * i, 8000.0);
    std::copy(part.begin(), part.end(), tx->buffers[i].samples.begin());
    tx->buffers[i].length = static_cast<uint32_t>(part.size());
    sent.insert(sent.end(), part.begin(), part.end());
    tx->InFlight += 1;
    ASSERT_EQ(devices.WriteOutput(i), kWaveOk);
    ASSERT_TRUE(PumpUntil([&] { return tx->Completed.load() == i + 1; })) << i;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // let the card run dry
  }
  EXPECT_EQ(tx->InFlight.load(), 0u);
  devices.CloseSoundOutput();
  const std::vector<int16_t> written = ReadRaw(OutPath());
  ASSERT_GE(written.size(), sent.size());
  EXPECT_TRUE(std::equal(sent.begin(), sent.end(), written.begin()));

  devices.OpenSoundInput();
  ASSERT_TRUE(devices.InputOpen());
  // No processing until the whole ring is full and the device has nowhere to put frames.
  for (int i = 0; i < 20000 && devices.capture.full.load() < CaptureRing::kCount; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_EQ(devices.capture.full.load(), CaptureRing::kCount);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_TRUE(PumpUntil([&] { return input.blocks.size() >= CaptureRing::kCount + 4; }));
  devices.CloseSoundInput();
  EXPECT_EQ(devices.capture.queued.load(), 0u);
  for (size_t b = 0; b < CaptureRing::kCount; ++b)
    ASSERT_TRUE(std::equal(input.blocks[b].begin(), input.blocks[b].end(), tone.begin() + b * 2048)) << b;
  EXPECT_TRUE(messages.shown.empty());
}

// Full duplex: both sides of the test device at once, each with its own file.
TEST_F(AlsaWaveTest, CaptureAndPlaybackRunTogether) {
  const std::vector<int16_t> tone = Tone(4 * 2048, 1200.0, 15000.0);
  UseFilePcm(tone);
  devices.OpenSoundInput();
  devices.OpenSoundOutput();
  ASSERT_TRUE(devices.InputOpen());
  ASSERT_TRUE(devices.OutputOpen());
  const std::vector<int16_t> part = Tone(2100, 2100.0, 7000.0);
  std::copy(part.begin(), part.end(), tx->buffers[0].samples.begin());
  tx->buffers[0].length = static_cast<uint32_t>(part.size());
  ASSERT_EQ(devices.WriteOutput(0), kWaveOk);
  tx->InFlight += 1;
  ASSERT_TRUE(PumpUntil([&] { return input.blocks.size() >= 4 && tx->Completed.load() == 1; }));
  devices.CloseSoundInput();
  devices.CloseSoundOutput();
  for (size_t b = 0; b < 4; ++b)
    ASSERT_TRUE(std::equal(input.blocks[b].begin(), input.blocks[b].end(), tone.begin() + b * 2048)) << b;
  const std::vector<int16_t> written = ReadRaw(OutPath());
  ASSERT_GE(written.size(), part.size());
  EXPECT_TRUE(std::equal(part.begin(), part.end(), written.begin()));
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(AlsaWaveTest, TheTestDeviceIsListedAndOpensByIndex) {
  UseFilePcm(Tone(8 * 2048, 300.0, 5000.0));
  const std::vector<WaveDeviceInfo> in = backend.InputDevices();
  const std::vector<WaveDeviceInfo> out = backend.OutputDevices();
  ASSERT_EQ(in.size(), 1u);
  EXPECT_EQ(in[0].name, "vestrel_test");
  EXPECT_EQ(in[0].description, "Vestrel test device");
  ASSERT_EQ(out.size(), 1u);
  devices.settings.SoundCardNumber = 0;
  devices.OpenSoundInput();
  EXPECT_TRUE(devices.InputOpen());
  devices.settings.OutSoundCardNumber = 1;  // no such device
  devices.OpenSoundOutput();
  EXPECT_FALSE(devices.OutputOpen());
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].first, "Vestrel - Output Sound Device Open Error");
  EXPECT_EQ(messages.shown[0].second, "  Specified device identifier is out of range");
  devices.CloseSoundInput();
}

// While it lives, no sound server listens for this process: the runtime directory is one of
// the test's own.
class NoSoundServer {
 public:
  explicit NoSoundServer(const fs::path& runtime) {
    if (const char* v = std::getenv("XDG_RUNTIME_DIR")) saved_ = v;
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    for (const char* v : {"PULSE_SERVER", "PIPEWIRE_REMOTE"}) unsetenv(v);
  }
  ~NoSoundServer() {
    if (saved_)
      setenv("XDG_RUNTIME_DIR", saved_->c_str(), 1);
    else
      unsetenv("XDG_RUNTIME_DIR");
  }

 private:
  std::optional<std::string> saved_;
};

// A machine without a sound card but with the plug-in packages: their PCMs are no devices.
TEST_F(AlsaWaveTest, PluginsAloneAreNoDevices) {
  const NoSoundServer noServer(dir.path());
  test::AlsaTestConfig::Use(test::AlsaTestConfig::WritePlugins(dir.path()));
  EXPECT_TRUE(backend.InputDevices().empty());
  EXPECT_TRUE(backend.OutputDevices().empty());
  devices.OpenSoundInput();
  devices.OpenSoundOutput();
  using Message = std::pair<std::string, std::string>;
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_EQ(messages.shown[0], Message("Error", "No sound input device"));
  EXPECT_EQ(messages.shown[1], Message("Error", "No sound output device"));
}

// A card among the plug-ins is listed, by its description, and alone.
TEST_F(AlsaWaveTest, ACardIsListedByItsDescriptionWithoutThePlugins) {
  const NoSoundServer noServer(dir.path());
  test::AlsaTestConfig::Use(test::AlsaTestConfig::WritePlugins(dir.path(), "USB Audio CODEC"));
  for (const auto& list : {backend.InputDevices(), backend.OutputDevices()}) {
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].name, "vestrel_card");
    EXPECT_EQ(list[0].description, "USB Audio CODEC");
  }
}

TEST_F(AlsaWaveTest, NoSoundDeviceAtAll) {
  test::AlsaTestConfig::Use(test::AlsaTestConfig::WriteNoDevice(dir.path()));
  EXPECT_TRUE(backend.InputDevices().empty());
  EXPECT_TRUE(backend.OutputDevices().empty());
  devices.OpenSoundInput();
  devices.OpenSoundOutput();
  EXPECT_FALSE(devices.InputOpen());
  EXPECT_FALSE(devices.OutputOpen());
  using Message = std::pair<std::string, std::string>;
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_EQ(messages.shown[0], Message("Error", "No sound input device"));
  EXPECT_EQ(messages.shown[1], Message("Error", "No sound output device"));
  devices.ProcessSoundInput();
  devices.CloseSoundInput();
  devices.CloseSoundOutput();
}

// Reset hands every queued buffer back, also those still waiting to be played.
TEST_F(AlsaWaveTest, ResetReturnsEveryQueuedBuffer) {
  UseFilePcm(Tone(2048, 500.0, 1000.0));
  struct Counter final : WaveCallback {
    void WaveMessage(uint32_t message, WaveHeader*) override { done += message == WIM_DATA; }
    std::atomic<int> done{0};
  } counter;
  std::unique_ptr<WaveIn> wave;
  WaveFormat format;
  ASSERT_EQ(backend.OpenIn(kWaveDefaultDevice, format, counter, wave), kWaveOk);
  std::vector<int16_t> data(3 * 2048);
  WaveHeader headers[3];
  for (int i = 0; i < 3; ++i) {
    headers[i].data = data.data() + i * 2048;
    headers[i].bufferLength = 4096;
    ASSERT_EQ(wave->Prepare(headers[i]), kWaveOk);
    ASSERT_EQ(wave->AddBuffer(headers[i]), kWaveOk);
  }
  EXPECT_EQ(wave->Unprepare(headers[0]), kWaveStillPlaying);
  EXPECT_EQ(wave->Reset(), kWaveOk);  // never started: all three come back unfilled
  EXPECT_EQ(counter.done.load(), 3);
  for (WaveHeader& h : headers) {
    EXPECT_EQ(h.bytesRecorded, 0u);
    EXPECT_EQ(wave->Unprepare(h), kWaveOk);
  }
  EXPECT_EQ(wave->Close(), kWaveOk);
  EXPECT_EQ(wave->Close(), kWaveInvalidHandle);
}

TEST(AlsaWaveNames, ListAndErrorMapping) {
  struct Case {
    const char *name, *type;
    bool serverRuns, listed;
  };
  const Case cases[] = {
      {"null", "null", false, false},
      {"hw:CARD=PCH,DEV=0", "", false, false},
      {"dmix:CARD=PCH,DEV=0", "", false, false},
      {"front:CARD=PCH,DEV=0", "", false, false},
      {"default", "", false, true},
      {"pipewire", "", true, true},
      {"pipewire", "", false, false},
      {"pulse", "", true, true},
      {"pulse", "", false, false},
      {"plughw:CARD=PCH,DEV=0", "", false, true},
      {"sysdefault:CARD=PCH", "", false, true},
      {"lavrate", "rate", false, false},
      {"jack", "jack", false, false},
      {"oss", "oss", false, false},
      {"upmix", "upmix", false, false},
      {"speex", "speex", false, false},
      {"my_radio", "plug", false, true},
      {"vestrel_card", "null", false, true},
      {"vestrel_test", "asym", false, true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsListedAlsaDevice(c.name, c.type, c.serverRuns), c.listed) << c.name << " " << c.type;
  EXPECT_EQ(AlsaOpenResult(-ENOENT), kWaveBadDeviceId);
  EXPECT_EQ(AlsaOpenResult(-EBUSY), kWaveAllocated);
  EXPECT_EQ(AlsaOpenResult(-ENODEV), kWaveNoDriver);
  EXPECT_EQ(AlsaOpenResult(-ENOMEM), kWaveNoMemory);
  EXPECT_EQ(AlsaOpenResult(-EIO), kWaveError);
}

}  // namespace
}  // namespace vestrel
