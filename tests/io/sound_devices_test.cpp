// ctest-labels: unit tsan
#include "io/sound_devices.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/fake_wave.h"
#include "support/fake_engine_window.h"
#include "support/fake_sound_links.h"

namespace vestrel {
namespace {

using test::FakeCaptureAudioLink;
using test::FakeEngineWindow;
using test::FakeWaitClock;
using test::RecordingMessageBox;
using test::RecordingReceiveInput;
using test::RecordingTermination;

class SoundDevicesTest : public testing::Test {
 protected:
  // Fills each delivered mono buffer with its delivery number, so blocks can be told apart.
  int Deliver(int n) {
    return backend.DeliverInput(n, [this](WaveHeader& h) {
      for (uint32_t i = 0; i < h.bufferLength / 2; ++i) h.data[i] = static_cast<int16_t>(delivered);
      ++delivered;
    });
  }
  using Message = std::pair<std::string, std::string>;
  Message LastMessage() const { return messages.shown.empty() ? Message{} : messages.shown.back(); }

  // The sound devices take only a poster and the transmit state of the engine.
  FakeEngineWindow window;
  TTxState txState;
  FakeWaveBackend backend;
  std::unique_ptr<TxAudioBuffers> tx = std::make_unique<TxAudioBuffers>();
  RecordingReceiveInput input;
  RecordingMessageBox messages;
  RecordingTermination termination;
  FakeCaptureAudioLink files;
  FakeWaitClock clock;
  SoundDevices devices{window, txState, backend, *tx, input, messages, termination, &files, &clock};
  int delivered = 0;
};

TEST_F(SoundDevicesTest, OpenInputQueuesTheRingAndStarts) {
  devices.OpenSoundInput();
  ASSERT_TRUE(devices.InputOpen());
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_TRUE(backend.in.started);
  EXPECT_EQ(backend.in.device, kWaveDefaultDevice);
  EXPECT_EQ(backend.in.format.channels, 1);
  EXPECT_EQ(backend.in.format.framesPerSecond, 11025u);
  EXPECT_EQ(input.peakHoldClears, 1);
  EXPECT_EQ(devices.capture.queued.load(), 16u);
  EXPECT_EQ(devices.capture.requeueIndex, 0u);  // advanced 16 times, modulo 16
  ASSERT_EQ(backend.in.added.size(), 16u);
  for (uint32_t i = 0; i < 16; ++i) {
    EXPECT_EQ(backend.in.added[i], &devices.capture.headers[i]);
    EXPECT_EQ(devices.capture.headers[i].data, devices.capture.block.data() + i * 4096);  // 8192-byte steps
    EXPECT_EQ(devices.capture.headers[i].bufferLength, 4096u);                            // 2048 mono frames
  }
}

// One call keeps going while more than 7 buffers wait, and takes at most one whole ring.
TEST_F(SoundDevicesTest, ProcessCountsFullBuffersInBursts) {
  struct Case {
    int full, processed;
  };
  for (Case c : {Case{1, 1}, Case{7, 1}, Case{8, 1}, Case{9, 2}, Case{10, 3}, Case{16, 9}}) {
    SCOPED_TRACE(c.full);
    devices.OpenSoundInput();
    input.blocks.clear();
    delivered = 0;
    const int dataBefore = window.PostCount(WM_WAVEIN_DATA);
    ASSERT_EQ(Deliver(c.full), c.full);
    EXPECT_EQ(window.PostCount(WM_WAVEIN_DATA), dataBefore + c.full);  // one post per buffer
    EXPECT_EQ(devices.capture.full.load(), static_cast<uint32_t>(c.full));
    const int pumpsBefore = window.PostCount(WM_PUMP_TX);
    devices.ProcessSoundInput();
    ASSERT_EQ(input.blocks.size(), static_cast<size_t>(c.processed));
    for (int b = 0; b < c.processed; ++b) {
      EXPECT_EQ(input.blocks[b].size(), 2048u);
      EXPECT_EQ(input.blocks[b][0], b);  // oldest first
      EXPECT_EQ(input.sources[b], 0);
    }
    EXPECT_EQ(devices.capture.full.load(), static_cast<uint32_t>(c.full - c.processed));
    EXPECT_EQ(devices.capture.queued.load(), static_cast<uint32_t>(16 - c.full + c.processed));
    EXPECT_EQ(window.PostCount(WM_PUMP_TX), pumpsBefore + 1);
    EXPECT_EQ(files.historySamples % 2048, 0u);
    devices.CloseSoundInput();
    EXPECT_EQ(devices.capture.full.load(), 0u);
  }
}

TEST_F(SoundDevicesTest, RequeueGivesBackTheHeaderAtRequeueIndex) {
  devices.OpenSoundInput();
  Deliver(10);
  devices.ProcessSoundInput();
  ASSERT_EQ(backend.in.added.size(), 16u + 3u);
  for (uint32_t i = 0; i < 3; ++i) EXPECT_EQ(backend.in.added[16 + i], &devices.capture.headers[i]);
  EXPECT_EQ(devices.capture.requeueIndex, 3u);
  EXPECT_EQ(devices.capture.readIndex, 3u);

  // Should the two indexes ever part, the re-queue still follows requeueIndex, with its own slot.
  devices.capture.requeueIndex = 9;
  devices.capture.headers[9].data = nullptr;
  devices.ProcessSoundInput();
  EXPECT_EQ(backend.in.added.back(), &devices.capture.headers[9]);
  EXPECT_EQ(devices.capture.headers[9].data, devices.capture.Slot(9));
  EXPECT_EQ(devices.capture.requeueIndex, 10u);
}

// After a stall the device may hand a re-queued buffer back full before AddBuffer returns;
// it must be counted like any other.
TEST_F(SoundDevicesTest, BufferReturnedDuringTheRequeueIsCounted) {
  devices.OpenSoundInput();
  Deliver(16);
  backend.in.returnOnAdd = true;
  devices.ProcessSoundInput();
  EXPECT_EQ(input.blocks.size(), 16u);  // the backlog never falls: one whole ring, no more
  EXPECT_EQ(devices.capture.full.load(), 16u);
  EXPECT_EQ(devices.capture.queued.load(), 0u);
  backend.in.returnOnAdd = false;
  devices.ProcessSoundInput();
  EXPECT_EQ(input.blocks.size(), 25u);
  EXPECT_EQ(devices.capture.full.load(), 7u);
  EXPECT_EQ(devices.capture.queued.load(), 9u);
}

// The receive chain closes the capture device while a block is processed (and reopens it): the
// handler gives back nothing to the new device, whose ring is already queued, and stops.
TEST_F(SoundDevicesTest, DeviceClosedDuringABlockGetsNothingBack) {
  struct Switching final : ReceiveInput {
    void FeedInputBlock(const int16_t*, uint32_t, int) override {
      ++fed;
      devices->CloseSoundInput();
      if (reopen) devices->OpenSoundInput();
    }
    void ClearPeakHold() override {}
    SoundDevices* devices = nullptr;
    bool reopen = false;
    int fed = 0;
  } chain;
  SoundDevices switching{window, txState, backend, *tx, chain, messages, termination, &files, &clock};
  chain.devices = &switching;
  for (bool reopen : {false, true}) {
    SCOPED_TRACE(reopen);
    chain.reopen = reopen;
    chain.fed = 0;
    switching.OpenSoundInput();
    ASSERT_EQ(Deliver(12), 12);
    switching.ProcessSoundInput();
    EXPECT_EQ(chain.fed, 1);
    EXPECT_EQ(switching.InputOpen(), reopen);
    EXPECT_EQ(switching.capture.queued.load(), reopen ? 16u : 0u);
    EXPECT_EQ(switching.capture.requeueIndex, 0u);
    switching.CloseSoundInput();
  }
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(termination.requests, 0);
}

TEST_F(SoundDevicesTest, CaptureNotificationWithNothingQueuedChangesNothing) {
  devices.WaveInProc(WIM_DATA);  // closed: nothing queued
  EXPECT_EQ(devices.capture.full.load(), 0u);
  EXPECT_EQ(devices.capture.queued.load(), 0u);
  EXPECT_TRUE(window.posts.empty());

  devices.OpenSoundInput();
  devices.WaveInProc(WIM_OPEN);
  devices.WaveInProc(WIM_CLOSE);
  EXPECT_EQ(devices.capture.full.load(), 0u);
  EXPECT_EQ(devices.capture.queued.load(), 16u);
  EXPECT_TRUE(window.posts.empty());
}

TEST_F(SoundDevicesTest, StereoInputKeepsTheConfiguredChannel) {
  for (int channel : {0, 1, 2}) {
    SCOPED_TRACE(channel);
    devices.settings.InputCardChannel = channel;
    devices.OpenSoundInput();
    const uint16_t channels = channel == 0 ? 1 : 2;
    EXPECT_EQ(backend.in.format.channels, channels);
    EXPECT_EQ(devices.capture.headers[0].bufferLength, 2048u * 2u * channels);
    input.blocks.clear();
    // Left carries 1000 + k, right -k.
    backend.DeliverInput(1, [&](WaveHeader& h) {
      for (uint32_t k = 0; k < 2048; ++k) {
        if (channels == 1) {
          h.data[k] = static_cast<int16_t>(3 * k);
        } else {
          h.data[2 * k] = static_cast<int16_t>(1000 + k);
          h.data[2 * k + 1] = static_cast<int16_t>(-static_cast<int>(k));
        }
      }
    });
    devices.ProcessSoundInput();
    ASSERT_EQ(input.blocks.size(), 1u);
    for (uint32_t k = 0; k < 2048; ++k) {
      const int want = channel == 0 ? 3 * k : channel == 1 ? 1000 + k : -static_cast<int>(k);
      ASSERT_EQ(input.blocks[0][k], want) << k;
    }
    devices.CloseSoundInput();
  }
}

TEST_F(SoundDevicesTest, OutputDeviceFollowsTheSettings) {
  backend.outputs.resize(4, {"fake", "fake"});
  struct Case {
    int out, in, device;
  };
  for (Case c :
       {Case{-2, -1, kWaveDefaultDevice}, Case{-2, 3, 3}, Case{-1, 2, kWaveDefaultDevice}, Case{1, -1, 1}}) {
    devices.settings.OutSoundCardNumber = c.out;
    devices.settings.SoundCardNumber = c.in;
    devices.OpenSoundOutput();
    ASSERT_TRUE(devices.OutputOpen());
    EXPECT_EQ(backend.out.device, c.device) << c.out << " " << c.in;
    devices.CloseSoundOutput();
  }
  EXPECT_TRUE(messages.shown.empty());
}

// "The same device as the capture device" is the same device, not the same place in the
// other list: a capture-only device ahead of it shifts the capture indexes.
TEST_F(SoundDevicesTest, OutputOnTheCaptureDeviceIsFoundByName) {
  backend.inputs = {{"mic-only", "Microphone"}, {"card", "Card"}, {"usb", "USB"}};
  backend.outputs = {{"card", "Card"}, {"usb", "USB"}};
  devices.settings.OutSoundCardNumber = -2;
  struct Case {
    int in, device;
  };
  for (Case c : {Case{2, 1}, Case{1, 0}, Case{-1, kWaveDefaultDevice}}) {
    SCOPED_TRACE(c.in);
    devices.settings.SoundCardNumber = c.in;
    devices.OpenSoundOutput();
    ASSERT_TRUE(devices.OutputOpen());
    EXPECT_EQ(backend.out.device, c.device);
    devices.CloseSoundOutput();
  }
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SoundDevicesTest, ClosingAClosedDeviceDoesNothing) {
  devices.CloseSoundInput();
  devices.CloseSoundOutput();
  devices.OpenSoundInput();
  devices.CloseSoundInput();
  devices.CloseSoundInput();
  EXPECT_EQ(backend.in.closes, 1);
  EXPECT_EQ(backend.out.closes, 0);
  EXPECT_EQ(backend.in.resets, 1);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SoundDevicesTest, EachOpenResultHasItsTextAndCaption) {
  struct Case {
    int result;
    const char* text;
  };
  const Case cases[] = {
      {kWaveBadDeviceId, "  Specified device identifier is out of range"},
      {kWaveAllocated, "  Specified resource is already allocated"},
      {kWaveNoDriver, "  No device driver is present"},
      {kWaveNoMemory, "  Unable to allocate or lock memory"},
      {kWaveBadFormat, "  Attempted to open with an unsupported waveform-audio format\n"},
      {kWaveError, " Unrecognized ERROR "},
      {kWaveInvalidParam, " Unrecognized ERROR "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.result);
    backend.in.openResult = c.result;
    backend.out.openResult = c.result;
    devices.OpenSoundInput();
    EXPECT_FALSE(devices.InputOpen());
    EXPECT_EQ(LastMessage(), Message("Vestrel - Device Open Error", c.text));
    devices.OpenSoundOutput();
    EXPECT_FALSE(devices.OutputOpen());
    EXPECT_EQ(LastMessage(), Message("Vestrel - Output Sound Device Open Error", c.text));
  }
  EXPECT_EQ(messages.shown.size(), 2 * std::size(cases));
}

TEST_F(SoundDevicesTest, NoDeviceAtAllIsReportedAndLeavesTheDevicesClosed) {
  backend.inputs.clear();
  backend.outputs.clear();
  devices.OpenSoundInput();
  EXPECT_FALSE(devices.InputOpen());
  EXPECT_EQ(LastMessage(), Message("Error", "No sound input device"));
  devices.OpenSoundOutput();
  EXPECT_FALSE(devices.OutputOpen());
  EXPECT_EQ(LastMessage(), Message("Error", "No sound output device"));
  EXPECT_EQ(backend.out.opens, 0);  // playback checks the count before it tries
  devices.ProcessSoundInput();      // and the program runs on
  EXPECT_EQ(window.PostCount(WM_PUMP_TX), 0);
  EXPECT_EQ(messages.shown.size(), 2u);
}

// A failure after the open leaves nothing open and nothing queued.
TEST_F(SoundDevicesTest, FailuresAfterTheInputOpenCloseTheDevice) {
  struct Case {
    int FakeWaveBackend::Side::*control;
    Message message;
  };
  const Case cases[] = {
      {&FakeWaveBackend::Side::prepareResult, {"*Error*", "  Error in Prepare Header (7)! "}},
      {&FakeWaveBackend::Side::queueResult, {"*Error*", "  Error in AddBuffer (7)! "}},
      {&FakeWaveBackend::Side::startResult, {"Error", "  Error in Start! \n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message.second);
    backend.in = {};
    backend.in.*c.control = kWaveNoMemory;
    devices.OpenSoundInput();
    EXPECT_FALSE(devices.InputOpen());
    EXPECT_FALSE(backend.in.open);
    EXPECT_EQ(backend.in.closes, 1);
    EXPECT_EQ(LastMessage(), c.message);
    EXPECT_EQ(devices.capture.queued.load(), 0u);
  }
  EXPECT_EQ(termination.requests, 0);

  backend.out.prepareResult = kWaveNoMemory;
  devices.OpenSoundOutput();
  EXPECT_FALSE(devices.OutputOpen());
  EXPECT_FALSE(backend.out.open);
  EXPECT_EQ(LastMessage(), Message("Error", "Error in Prepare Output Header! (7)"));
}

TEST_F(SoundDevicesTest, RefusedRequeueClosesReportsAndAsksForShutdown) {
  devices.OpenSoundInput();
  Deliver(10);
  backend.in.queueResult = kWaveInvalidHandle;
  devices.ProcessSoundInput();
  EXPECT_EQ(input.blocks.size(), 1u);  // the loop ends with the refusal
  EXPECT_FALSE(devices.InputOpen());
  EXPECT_FALSE(backend.in.open);
  EXPECT_EQ(LastMessage(), Message("Error", "  Error in AddBuffer (5)! "));
  EXPECT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(termination.requests, 1);
  EXPECT_EQ(devices.capture.full.load(), 0u);
  EXPECT_EQ(devices.capture.queued.load(), 0u);
}

// A driver that keeps its buffers on reset must not hang the close.
TEST_F(SoundDevicesTest, CloseGivesUpOnBuffersNeverReturned) {
  backend.in.returnOnReset = false;
  backend.out.returnOnReset = false;
  devices.OpenSoundInput();
  Deliver(3);
  devices.ProcessSoundInput();
  const uint64_t start = clock.now;
  devices.CloseSoundInput();
  EXPECT_GE(clock.now - start, SoundDevices::kCloseWaitMs);
  EXPECT_LE(clock.now - start, SoundDevices::kCloseWaitMs + SoundDevices::kClosePollMs);
  EXPECT_FALSE(backend.in.open);
  EXPECT_EQ(devices.capture.full.load(), 0u);
  EXPECT_EQ(devices.capture.queued.load(), 0u);
  EXPECT_EQ(devices.capture.readIndex, 0u);
  EXPECT_EQ(devices.capture.requeueIndex, 0u);

  devices.OpenSoundOutput();
  tx->buffers[0].length = 100;
  ASSERT_EQ(devices.WriteOutput(0), kWaveOk);
  tx->InFlight += 1;
  tx->FillIndex = 1;
  tx->RecycleIndex = 5;
  tx->Completed = 2;
  devices.CloseSoundOutput();
  EXPECT_FALSE(backend.out.open);
  EXPECT_EQ(tx->InFlight.load(), 0u);
  EXPECT_EQ(tx->Completed.load(), 0u);
  EXPECT_EQ(tx->FillIndex, 0u);
  EXPECT_EQ(tx->RecycleIndex, 0u);
  // The closed devices are quiet: nothing a late callback could count.
  devices.WaveOutProc(WOM_DONE);
  EXPECT_EQ(tx->Completed.load(), 0u);
}

// A driver that takes 2 s to reset and then keeps its buffers: the close still ends 3 s after
// it was called (2000 ms in the reset + at most 1000 ms of polling), not 2 + 3 s.
TEST_F(SoundDevicesTest, CloseWaitIsCountedFromTheCall) {
  constexpr uint64_t kSlowResetMs = 2000;
  for (FakeWaveBackend::Side* side : {&backend.in, &backend.out}) {
    side->returnOnReset = false;
    side->onReset = [this] { clock.now += kSlowResetMs; };
  }
  devices.OpenSoundInput();
  uint64_t start = clock.now;
  devices.CloseSoundInput();
  EXPECT_LE(clock.now - start, SoundDevices::kCloseWaitMs + SoundDevices::kClosePollMs);
  EXPECT_FALSE(backend.in.open);
  EXPECT_EQ(devices.capture.queued.load(), 0u);

  devices.OpenSoundOutput();
  ASSERT_EQ(devices.WriteOutput(0), kWaveOk);
  start = clock.now;
  devices.CloseSoundOutput();
  EXPECT_LE(clock.now - start, SoundDevices::kCloseWaitMs + SoundDevices::kClosePollMs);
  EXPECT_FALSE(backend.out.open);
}

TEST_F(SoundDevicesTest, PlayedBuffersAreCountedAndPosted) {
  txState.OutputCardChannel = 2;
  devices.OpenSoundOutput();
  EXPECT_EQ(backend.out.format.channels, 2);
  // Should InFlight be raised only after the write returns, a buffer that has played by then
  // still counts.
  for (uint32_t i = 0; i < 3; ++i) {
    tx->buffers[i].length = 10 + i;
    for (uint32_t k = 0; k < tx->buffers[i].length; ++k) tx->buffers[i].samples[k] = static_cast<int16_t>(i);
    ASSERT_EQ(devices.WriteOutput(i), kWaveOk);
    if (i == 0) {
      backend.CompleteOutput(1);  // played before the pump has counted it
      EXPECT_EQ(tx->Completed.load(), 1u);
    }
    tx->InFlight += 1;
  }
  EXPECT_EQ(tx->InFlight.load(), 2u);
  EXPECT_EQ(tx->Completed.load(), 1u);
  backend.CompleteOutput(5);
  EXPECT_EQ(tx->InFlight.load(), 0u);
  EXPECT_EQ(tx->Completed.load(), 3u);
  EXPECT_EQ(window.PostCount(WM_WAVEOUT_DONE), 3);
  ASSERT_EQ(backend.out.played.size(), 10u + 11u + 12u);
  EXPECT_EQ(backend.out.played[0], 0);
  EXPECT_EQ(backend.out.played[10], 1);
  EXPECT_EQ(backend.out.played.back(), 2);

  backend.out.queueResult = kWaveNoMemory;
  EXPECT_EQ(devices.WriteOutput(3), kWaveNoMemory);
  devices.WaveOutProc(WOM_DONE);  // nothing of a refused write is outstanding
  EXPECT_EQ(tx->Completed.load(), 3u);
}

TEST_F(SoundDevicesTest, BusyOrClosingPostsNothingAndProcessesNothing) {
  devices.OpenSoundInput();
  for (std::atomic<bool>* flag : {&txState.SoundDevicesBusy, &txState.EngineClosing}) {
    *flag = true;
    const size_t posts = window.posts.size();
    Deliver(2);
    devices.ProcessSoundInput();
    EXPECT_EQ(window.posts.size(), posts);
    *flag = false;
  }
  EXPECT_EQ(devices.capture.full.load(), 4u);
  EXPECT_TRUE(input.blocks.empty());
  devices.ProcessSoundInput();
  EXPECT_EQ(input.blocks.size(), 1u);
}

TEST_F(SoundDevicesTest, FileDecodingHistoryAndWaveCapture) {
  devices.OpenSoundInput();
  files.decoding = true;
  files.capturing = true;
  Deliver(1);
  devices.ProcessSoundInput();
  EXPECT_TRUE(input.blocks.empty());  // the file feeds the receiver meanwhile
  EXPECT_EQ(files.historySamples, 2048u);
  EXPECT_EQ(files.capturedSamples, 2048u);

  files.failWrites = true;
  Deliver(1);
  devices.ProcessSoundInput();
  EXPECT_EQ(LastMessage(), Message("File Error", "Wave capture file write error!"));
  EXPECT_EQ(files.captureCloses, 1);
  Deliver(1);
  devices.ProcessSoundInput();
  EXPECT_EQ(messages.shown.size(), 1u);
  EXPECT_TRUE(devices.InputOpen());
}

// The device thread counts while the GUI thread processes and re-queues: nothing is lost.
TEST_F(SoundDevicesTest, CallbacksFromAnotherThreadLoseNoBuffer) {
  devices.OpenSoundInput();
  constexpr int kBuffers = 2000;
  std::atomic<int> sent{0};
  std::atomic<bool> stop{false};
  std::thread driver([&] {
    while (sent < kBuffers && !stop) {
      if (Deliver(1) == 1)
        ++sent;
      else
        std::this_thread::yield();
    }
  });
  // As the main timer does it: run the handler while buffers wait (each run posts the text pump).
  // A lost buffer would stall both sides: the deadline (far above the milliseconds this takes,
  // even under load and TSan) ends the test then.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (input.blocks.size() < static_cast<size_t>(kBuffers) && std::chrono::steady_clock::now() < deadline) {
    if (devices.capture.full.load() > 0)
      devices.ProcessSoundInput();
    else
      std::this_thread::yield();
  }
  stop = true;
  driver.join();
  ASSERT_EQ(input.blocks.size(), static_cast<size_t>(kBuffers));
  for (int b = 0; b < kBuffers; ++b) ASSERT_EQ(input.blocks[b][100], static_cast<int16_t>(b)) << b;
  devices.CloseSoundInput();
}

// The pump's cycle against a driver thread that may finish a buffer at once: every buffer is
// recycled exactly once and the counters end at zero, whether the pump counts a buffer in
// flight before the write (as it does) or only after it returns.
TEST_F(SoundDevicesTest, PlaybackCountersStayExactAgainstADriverThread) {
  for (bool raiseFirst : {true, false}) {
    SCOPED_TRACE(raiseFirst);
    devices.OpenSoundOutput();
    constexpr uint32_t kBuffers = 3000;
    std::atomic<bool> stop{false};
    std::thread driver([&] {
      while (!stop) {
        if (backend.CompleteOutput(1) == 0) std::this_thread::yield();
      }
    });
    uint32_t written = 0, recycled = 0;
    bool refused = false;
    // A lost completion would leave a buffer in flight for ever: the deadline ends the test then.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (recycled < kBuffers && !refused && std::chrono::steady_clock::now() < deadline) {
      while (tx->Completed.load() > 0) {
        tx->Completed -= 1;
        tx->RecycleIndex = (tx->RecycleIndex + 1) & TxAudioBuffers::kMask;
        ++recycled;
      }
      if (written < kBuffers && tx->Outstanding() <= 7) {
        tx->buffers[tx->FillIndex].length = 64;
        if (raiseFirst) tx->InFlight += 1;
        refused = devices.WriteOutput(tx->FillIndex) != kWaveOk;
        if (!raiseFirst) tx->InFlight += 1;
        tx->FillIndex = (tx->FillIndex + 1) & TxAudioBuffers::kMask;
        ++written;
      } else {
        std::this_thread::yield();
      }
    }
    stop = true;
    driver.join();
    EXPECT_FALSE(refused);
    EXPECT_EQ(recycled, kBuffers);
    EXPECT_EQ(tx->InFlight.load(), 0u);
    EXPECT_EQ(tx->Completed.load(), 0u);
    devices.CloseSoundOutput();
  }
}

}  // namespace
}  // namespace vestrel
