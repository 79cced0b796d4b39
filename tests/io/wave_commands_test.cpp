#include "io/wave_commands.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

#include "io/sound_devices.h"
#include "platform/fake_wave.h"
#include "support/fake_clock.h"
#include "support/fake_engine_window.h"
#include "support/fake_file_dialogs.h"
#include "support/fake_sound_links.h"
#include "support/temp_dir.h"
#include "support/wave_bytes.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;
using Boxes = std::vector<std::pair<std::string, std::string>>;

// The window and the receive chain as the commands see them.
class FakeHost : public WaveCommandsHost {
 public:
  void SetMenuEnabled(std::string_view item, bool enabled) override { menu[std::string(item)] = enabled; }
  void SetReplayButtonEnabled(bool enabled) override { replayEnabled = enabled; }
  void SetSaveButtonEnabled(bool enabled) override {
    saveEnabled = enabled;
    saveButtonChanges.push_back(enabled);
  }
  void FocusSentMemo() override { ++sentFocus; }
  void SetFileLabel(std::string_view text) override { fileLabel = text; }
  void SetDisplayPause(int ticks) override { pauses.push_back(ticks); }
  void ShowCaptureStatus() override { ++statusShown; }
  int32_t UtcOffsetSetting() const override { return utcOffset; }
  bool EngineClosing() const override { return closing; }
  void FeedInputBlock(const int16_t* samples, int source) override {
    blocks.emplace_back(samples, samples + WaveCommands::kBlock);
    sources.push_back(source);
    labelsWhileFed.push_back(fileLabel);
    feedTimes.push_back(clock != nullptr ? clock->NowMs() : 0);
    if (onFeed) onFeed();
  }
  uint32_t CaptureBuffersFull() const override { return full; }
  void ProcessSoundInput() override {
    ++soundRounds;
    if (full > 0) --full;
  }
  void ProcessMessages() override {
    ++messageRounds;
    if (onMessages) onMessages();
  }
  void PostWaveInData() override { ++posts; }

  // Blocks fed whose samples are all zero.
  int SilentBlocks() const {
    int n = 0;
    for (const auto& b : blocks) n += std::all_of(b.begin(), b.end(), [](int16_t s) { return s == 0; });
    return n;
  }

  std::map<std::string, bool> menu;
  bool replayEnabled = true, saveEnabled = true;
  std::vector<bool> saveButtonChanges;
  int sentFocus = 0;
  std::string fileLabel;
  std::vector<int> pauses;
  int statusShown = 0;
  int32_t utcOffset = -1;
  bool closing = false;
  std::vector<std::vector<int16_t>> blocks;
  std::vector<int> sources;
  std::vector<std::string> labelsWhileFed;
  std::vector<uint64_t> feedTimes;
  uint32_t full = 0;
  int soundRounds = 0, messageRounds = 0, posts = 0;
  std::function<void()> onFeed, onMessages;
  test::FakeClock* clock = nullptr;
};

class WaveCommandsTest : public testing::Test {
 protected:
  WaveCommandsTest() { host.clock = &clock; }
  Boxes TakeBoxes() { return std::exchange(boxes.shown, {}); }
  // Pushes blocks of constant value `value`, `n` of them.
  void PushBlocks(int n, int16_t value) {
    const std::vector<int16_t> b(WaveCommands::kBlock, value);
    for (int i = 0; i < n; ++i) commands.PushHistory(b.data(), WaveCommands::kBlock);
  }

  test::ScopedWorkingDir cwd;
  FakeHost host;
  test::RecordingMessageBox boxes;
  test::FakeFileDialogs dialogs;
  test::FakeClock clock;
  WaveCommands commands{host, boxes, dialogs, clock};
};

TEST_F(WaveCommandsTest, ReplayTakesAtMostTheMinuteTheHistoryHolds) {
  commands.ReplayLastAudio(60);  // before the engine start there is no history: nothing
  EXPECT_TRUE(host.blocks.empty());
  commands.StartHistory();
  EXPECT_EQ(commands.history().SlotCount(), 325u);
  commands.ReplayLastAudio(0);
  EXPECT_TRUE(host.blocks.empty());
  EXPECT_FALSE(fs::exists(WaveCommands::kReplayFile));

  // Right after the start the history is silence.
  commands.ReplayLastAudio(10);
  EXPECT_EQ(host.blocks.size(), 10 * 11025 / 2048 + 1u);
  EXPECT_EQ(host.SilentBlocks(), int(host.blocks.size()));
  EXPECT_EQ(host.sources, std::vector<int>(host.blocks.size(), 2));  // at once, not paced
  EXPECT_TRUE(host.sentFocus == 0);

  // 120 s replays the 60 s there are: 323 blocks, the newest last.
  host.blocks.clear();
  PushBlocks(400, 0);
  PushBlocks(1, 1234);
  commands.ReplayLastAudio(120);
  ASSERT_EQ(host.blocks.size(), 60 * 11025 / 2048 + 1u);
  EXPECT_EQ(host.blocks.back().front(), 1234);
  EXPECT_EQ(host.SilentBlocks(), 322);
  EXPECT_TRUE(TakeBoxes().empty());
  EXPECT_FALSE(commands.DecodingFile());
  EXPECT_TRUE(host.menu[WaveCommands::kDecodeItem]);
  EXPECT_TRUE(host.replayEnabled);
}

// The Replay button disables itself and "Decode From File"; the decode enables them again at
// its end, and so does a replay that could not save (which decodes nothing).
TEST_F(WaveCommandsTest, ReplayButtonIsEnabledAgainWhenTheSaveFails) {
  commands.StartHistory();
  fs::create_directory(WaveCommands::kReplayFile);  // the temporary file cannot be made
  commands.ReplayButtonClick();
  EXPECT_EQ(TakeBoxes(), (Boxes{{"Error", "Temporary wave file saving Error!"}}));
  EXPECT_EQ(host.sentFocus, 1);
  EXPECT_TRUE(host.blocks.empty());
  EXPECT_TRUE(host.replayEnabled);
  EXPECT_TRUE(host.menu[WaveCommands::kDecodeItem]);

  fs::remove(WaveCommands::kReplayFile);
  host.onFeed = [&] { EXPECT_FALSE(host.replayEnabled || host.menu[WaveCommands::kDecodeItem]); };
  commands.ReplayButtonClick();
  EXPECT_FALSE(host.blocks.empty());
  EXPECT_TRUE(host.replayEnabled);
}

// A replay asked for while a decode runs (a macro, a click on the spectrum) saves nothing: the
// running decode may be reading the replay file, and a second decode would not start.
TEST_F(WaveCommandsTest, NoReplayWhileADecodeRuns) {
  commands.StartHistory();
  PushBlocks(50, 300);
  commands.ReplayLastAudio(5);
  const size_t blocks = host.blocks.size();
  PushBlocks(50, -300);
  bool asked = false;
  host.onMessages = [&] {
    if (asked) return;
    asked = true;
    commands.ReplayLastAudio(60);
  };
  commands.ReplayLastAudio(5);
  EXPECT_EQ(host.blocks.size(), 2 * blocks);
  EXPECT_EQ(host.blocks.back().front(), -300);  // the file read was not replaced under it
}

TEST_F(WaveCommandsTest, PacedDecodingFeedsABlockPer100MsWaitingIn30MsSteps) {
  test::WriteBytes("three.wav", test::MonoWave(test::Sine(1000, 11025, 3 * 2048, 5000)));
  host.full = 2;  // capture buffers that fill meanwhile are processed, live audio goes on
  commands.DecodeWavFile("three.wav", true);
  EXPECT_TRUE(TakeBoxes().empty());
  ASSERT_EQ(host.blocks.size(), 3u);
  EXPECT_EQ(host.sources, (std::vector<int>{1, 1, 1}));
  EXPECT_EQ(host.labelsWhileFed, std::vector<std::string>(3, " Decoding from file "));
  EXPECT_EQ(host.fileLabel, "");
  for (uint32_t s : clock.sleeps) EXPECT_EQ(s, 30u);
  // Block k is due 100 ms after block k-1's due time: 30 ms steps until each is reached.
  EXPECT_EQ(host.feedTimes, (std::vector<uint64_t>{5000, 5120, 5210}));
  EXPECT_EQ(clock.nowMs, 5300u);
  EXPECT_EQ(host.messageRounds, int(clock.sleeps.size()));
  EXPECT_EQ(host.soundRounds, 2);
  EXPECT_FALSE(commands.DecodingFile());
}

TEST_F(WaveCommandsTest, UnpacedDecodingRunsOneRoundPerBlockAndRepostsFullBuffers) {
  test::WriteBytes("two.wav", test::MonoWave(std::vector<int16_t>(2048 + 1, 700)));
  bool decodingWhileFed = false;
  host.onFeed = [&] {
    decodingWhileFed = commands.DecodingFile();
    host.full = 5;  // buffers keep arriving while the file is decoded
  };
  host.onMessages = [&] { host.full += 1; };
  commands.DecodeWavFile("two.wav", false);
  EXPECT_TRUE(decodingWhileFed);
  ASSERT_EQ(host.blocks.size(), 2u);
  EXPECT_EQ(host.blocks[1][0], 700);  // the last frame, then zeros to fill the block
  EXPECT_EQ(host.blocks[1][1], 0);
  EXPECT_TRUE(clock.sleeps.empty());
  EXPECT_EQ(host.messageRounds, 2);
  EXPECT_EQ(host.soundRounds, 2);
  EXPECT_EQ(host.posts, 5);  // one WM_WAVEIN_DATA for every buffer still full
  EXPECT_FALSE(commands.DecodingFile());
}

// The shutdown ends a paced decode at its next check.
TEST_F(WaveCommandsTest, ClosingTheEngineEndsTheDecode) {
  test::WriteBytes("long.wav", test::MonoWave(std::vector<int16_t>(100 * 2048, 1)));
  host.onMessages = [&] { host.closing = host.messageRounds >= 5; };
  commands.DecodeWavFile("long.wav", true);
  EXPECT_EQ(host.blocks.size(), 2u);
  EXPECT_FALSE(commands.DecodingFile());
  EXPECT_TRUE(host.menu[WaveCommands::kDecodeItem]);
  // The reader is closed: the file can be decoded again from its start.
  host.closing = false;
  host.onMessages = nullptr;
  host.blocks.clear();
  commands.DecodeWavFile("long.wav", false);
  EXPECT_EQ(host.blocks.size(), 100u);
}

TEST_F(WaveCommandsTest, FilesThatAreNotDecodedSaySo) {
  auto fmt = [](uint16_t tag, uint32_t rate, uint16_t bits, int align = -1) {
    test::FmtSpec f;
    f.tag = tag;
    f.rate = rate;
    f.bits = bits;
    f.align = align;
    return test::Riff({test::Fmt(f), test::Chunk("data", test::Bytes(4096, 1))});
  };
  struct Case {
    const char* what;
    test::Bytes file;  // empty: no file
    const char* text;
  };
  const Case cases[] = {
      {"missing", {}, "File Open Error!"},
      {"not a WAV file", {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', ' '}, "File Open Error!"},
      {"48000 Hz", fmt(1, 48000, 16), "Unsupported sample rate!"},
      {"float", fmt(3, 11025, 32), "Unsupported audio format!"},
      {"extensible", fmt(0xFFFE, 11025, 16), "Unsupported audio format!"},
      {"24-bit PCM", fmt(1, 11025, 24), "Unsupported audio format!"},
      {"block align 0", fmt(1, 11025, 16, 0), "Unsupported audio format!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (!c.file.empty()) test::WriteBytes("x.wav", c.file);
    commands.DecodeWavFile("x.wav", true);
    EXPECT_EQ(TakeBoxes(), (Boxes{{"File Error", c.text}}));
    EXPECT_TRUE(host.blocks.empty());
    EXPECT_TRUE(host.menu[WaveCommands::kDecodeItem]);
    EXPECT_TRUE(host.replayEnabled);
    EXPECT_FALSE(commands.DecodingFile());
  }
}

TEST_F(WaveCommandsTest, DecodeFromFileAsksForAFileAndPausesTheDisplays) {
  test::WriteBytes("in.wav", test::MonoWave(std::vector<int16_t>(2048, 9)));
  commands.DecodeFromFile1Click();  // cancelled
  EXPECT_TRUE(host.blocks.empty());
  dialogs.answer = "in.wav";
  commands.DecodeFromFile1Click();
  ASSERT_EQ(dialogs.requests.size(), 2u);
  EXPECT_EQ(dialogs.requests[1].filter, "Wave files (*.wav);;All files (*)");
  EXPECT_EQ(host.blocks.size(), 1u);
  EXPECT_EQ(host.sources, std::vector<int>{1});
  EXPECT_EQ(host.pauses, (std::vector<int>{80, 0, 80, 0, 0}));
}

// The file is named after the start of the saved audio, in UTC or in local time corrected by
// the setting UTCoffset.
TEST_F(WaveCommandsTest, SavedAudioIsNamedAfterItsStart) {
  commands.StartHistory();
  struct Case {
    int64_t utc;
    int32_t localOffset, setting;
    int seconds;
    const char* name;
  };
  const Case cases[] = {
      {test::UtcOf(2024, 3, 5, 12, 0, 30), 0, -1, 60, "Waves/2024-03-05/11_59_30.wav"},
      {test::UtcOf(2024, 3, 5, 0, 0, 30), 0, -1, 60, "Waves/2024-03-04/23_59_30.wav"},
      {test::UtcOf(2024, 1, 1, 0, 0, 5), 0, -1, 10, "Waves/2023-12-31/23_59_55.wav"},
      // The same second again: the earlier file is kept and this one takes the next free name.
      {test::UtcOf(2024, 3, 5, 12, 0, 30), 0, -1, 120, "Waves/2024-03-05/11_59_30-2.wav"},  // 60 s at most
      // Local time 13:00:30 in a zone an hour ahead; the setting takes the hour off again.
      {test::UtcOf(2024, 3, 5, 12, 0, 30), 3600, -60, 60, "Waves/2024-03-05/11_59_30-3.wav"},
      {test::UtcOf(2024, 3, 5, 12, 0, 30), 3600, 0, 60, "Waves/2024-03-05/12_59_30.wav"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    clock.utcSeconds = c.utc;
    clock.localOffset = c.localOffset;
    host.utcOffset = c.setting;
    commands.SaveLastAudio(c.seconds, false);
    EXPECT_TRUE(TakeBoxes().empty());
    const std::string expect = c.name;
    EXPECT_EQ(commands.lastSavedName(), expect);
    EXPECT_TRUE(fs::exists(expect));
    EXPECT_FALSE(fs::exists(WaveCommands::kSaveFile));
  }
}

TEST_F(WaveCommandsTest, TwoSavesInOneSecondKeepBoth) {
  commands.StartHistory();
  clock.utcSeconds = test::UtcOf(2024, 6, 1, 8, 0, 0);
  PushBlocks(330, 11);
  commands.SaveLastAudio(60, false);
  const std::string first = commands.lastSavedName();
  PushBlocks(330, 22);
  commands.SaveLastAudio(60, false);
  const std::string second = commands.lastSavedName();
  EXPECT_EQ(first, "Waves/2024-06-01/07_59_00.wav");
  EXPECT_EQ(second, "Waves/2024-06-01/07_59_00-2.wav");
  TWaveRead a, b;
  ASSERT_EQ(a.Open(first), 0);
  ASSERT_EQ(b.Open(second), 0);
  EXPECT_EQ(a.ReadRawSample(), 11);
  EXPECT_EQ(b.ReadRawSample(), 22);
  EXPECT_EQ(RenameKeepingBoth("nothing-here.wav", "x.wav"), "");
}

TEST_F(WaveCommandsTest, SaveAndDecode) {
  commands.StartHistory();
  PushBlocks(330, 5);
  commands.SaveLastAudio(2, true);
  EXPECT_TRUE(TakeBoxes().empty());
  EXPECT_EQ(host.blocks.size(), 2 * 11025 / 2048 + 1u);
  EXPECT_EQ(host.sources.front(), 2);
  EXPECT_EQ(host.blocks.front().front(), 5);
  // Nothing before the history is there, and nothing for 0 s.
  WaveCommands fresh{host, boxes, dialogs, clock};
  fresh.SaveLastAudio(60, false);
  commands.SaveLastAudio(0, false);
  EXPECT_TRUE(TakeBoxes().empty());
  EXPECT_EQ(fs::exists("Waves") ? std::distance(fs::recursive_directory_iterator("Waves"), {}) : 0, 2);
}

// A plain file named "Waves" (root writes anywhere, so an unwritable directory would not do).
TEST_F(WaveCommandsTest, NoDirectoryNoRecordingAndTheTemporaryFileGoes) {
  commands.StartHistory();
  test::WriteBytes("Waves", {1, 2, 3});
  commands.SaveButtonClick();
  EXPECT_EQ(TakeBoxes(), (Boxes{{"Error", "Can not create directory!"},
                                {"Error", "Temporary wave file renaming error!"}}));
  EXPECT_FALSE(fs::exists(WaveCommands::kSaveFile));
  EXPECT_EQ(commands.lastSavedName(), "");
  EXPECT_EQ(host.saveButtonChanges, (std::vector<bool>{false, true}));
  EXPECT_EQ(host.sentFocus, 1);
}

TEST_F(WaveCommandsTest, WaveCaptureOpensAndClosesThroughItsDialog) {
  commands.ToggleWaveCapture();  // cancelled
  ASSERT_EQ(dialogs.requests.size(), 1u);
  const FileDialogRequest& r = dialogs.requests[0];
  EXPECT_EQ(r.title, "Open wave capture file");
  EXPECT_EQ(r.filter, "Wave files (*.wav);;All files (*)");
  EXPECT_TRUE(r.confirmOverwrite);
  EXPECT_TRUE(r.hideReadOnly);
  EXPECT_FALSE(commands.WaveCaptureOn());
  EXPECT_EQ(host.pauses, (std::vector<int>{40, 0}));

  dialogs.answer = "missing-dir/cap.wav";
  commands.OpenWaveCaptureFile1Click();
  EXPECT_EQ(TakeBoxes(), (Boxes{{"File Error", "Wave File Open Error!"}}));
  EXPECT_TRUE(host.menu[WaveCommands::kOpenCaptureItem]);
  EXPECT_FALSE(commands.WaveCaptureOn());

  dialogs.answer = "cap.wav";
  commands.ToggleWaveCapture();
  EXPECT_TRUE(commands.WaveCaptureOn());
  EXPECT_FALSE(host.menu[WaveCommands::kOpenCaptureItem]);
  EXPECT_TRUE(host.menu[WaveCommands::kCloseCaptureItem]);
  EXPECT_EQ(host.statusShown, 1);
  const std::vector<int16_t> block(2048, 4);
  EXPECT_TRUE(commands.AppendWaveCapture(block.data(), 2048));
  commands.ToggleWaveCapture();
  EXPECT_EQ(TakeBoxes(), (Boxes{{"File Closed", "Wave capture file was closed"}}));
  EXPECT_FALSE(commands.WaveCaptureOn());
  EXPECT_TRUE(host.menu[WaveCommands::kOpenCaptureItem]);
  EXPECT_FALSE(host.menu[WaveCommands::kCloseCaptureItem]);
  EXPECT_EQ(host.statusShown, 2);
  EXPECT_EQ(test::Get32(test::ReadHeader("cap.wav"), 40), 4096u);
}

// The capture road: blocks of the fake sound card through the capture handler into the capture
// file, the history and the receive chain.
class WaveCaptureRoad : public WaveCommandsTest {
 protected:
  WaveCaptureRoad() { devices.OpenSoundInput(); }
  ~WaveCaptureRoad() override { devices.CloseSoundInput(); }
  // Delivers one capture buffer of value `value` and runs the handler.
  void Capture(int16_t value) {
    backend.DeliverInput(1, [&](WaveHeader& h) {
      std::fill(h.data, h.data + 2048, value);
      h.bytesRecorded = 4096;
    });
    devices.ProcessSoundInput();
  }

  test::FakeEngineWindow window;
  TTxState txState;
  FakeWaveBackend backend;
  std::unique_ptr<TxAudioBuffers> tx = std::make_unique<TxAudioBuffers>();
  test::RecordingReceiveInput input;
  test::RecordingTermination termination;
  test::FakeWaitClock waitClock;
  SoundDevices devices{window, txState, backend, *tx, input, boxes, termination, &commands, &waitClock};
};

// 45 s of capture: the header is rewritten once while writing, at the first block past 661500
// bytes, and is exact after closing.
TEST_F(WaveCaptureRoad, FortyFiveSecondsOfCapture) {
  commands.StartHistory();
  dialogs.answer = "capture.wav";
  commands.ToggleWaveCapture();
  ASSERT_TRUE(commands.WaveCaptureOn());
  const int blocks = 45 * 11025 / 2048 + 1;  // 243 blocks, 45.1 s
  std::vector<int> rewrites;
  uint32_t shown = 0;
  for (int n = 1; n <= blocks; ++n) {
    Capture(int16_t(n));
    const uint32_t onDisk = test::Get32(test::ReadHeader("capture.wav"), 40);
    if (onDisk != shown) rewrites.push_back(n);
    shown = onDisk;
  }
  EXPECT_EQ(rewrites, std::vector<int>{162});
  EXPECT_EQ(input.blocks.size(), size_t(blocks));  // live audio went on to the receiver
  commands.ToggleWaveCapture();
  EXPECT_EQ(TakeBoxes(), (Boxes{{"File Closed", "Wave capture file was closed"}}));
  TWaveRead r;
  ASSERT_EQ(r.Open("capture.wav"), 0);
  EXPECT_EQ(r.FramesRemaining(), uint32_t(blocks) * 2048);
  EXPECT_EQ(fs::file_size("capture.wav"), 44u + blocks * 4096u);
  for (int n = 1; n <= blocks; ++n) {
    ASSERT_EQ(r.ReadRawSample(), n);
    for (int i = 1; i < 2048; ++i) r.ReadRawSample();
  }
  // The history holds the same blocks.
  commands.ReplayLastAudio(1);
  EXPECT_EQ(host.blocks.back().front(), blocks);
}

TEST_F(WaveCaptureRoad, ACaptureToAFullDeviceFailsAtItsFirstFlushedWriteAndCloses) {
  dialogs.answer = "/dev/full";
  commands.ToggleWaveCapture();
  ASSERT_TRUE(commands.WaveCaptureOn());  // the header waits in the stream's buffer
  Capture(1);
  EXPECT_EQ(TakeBoxes(), (Boxes{{"File Error", "Wave capture file write error!"},
                                {"File Error", "There was errors in wave capture file!"}}));
  EXPECT_FALSE(commands.WaveCaptureOn());
  EXPECT_FALSE(commands.captureWriter().IsOpen());
  EXPECT_TRUE(host.menu[WaveCommands::kOpenCaptureItem]);
  EXPECT_EQ(host.statusShown, 2);
  Capture(2);
  EXPECT_TRUE(TakeBoxes().empty());
}

// While a file is decoded, live audio still reaches the history and the capture file, not the
// receiver.
TEST_F(WaveCaptureRoad, DecodingAFileKeepsLiveAudioFromTheReceiver) {
  commands.StartHistory();
  test::WriteBytes("in.wav", test::MonoWave(std::vector<int16_t>(3 * 2048, 1)));
  host.onMessages = [&] {
    Capture(77);
    host.full = 0;
  };
  commands.DecodeWavFile("in.wav", false);
  EXPECT_EQ(host.blocks.size(), 3u);
  EXPECT_TRUE(input.blocks.empty());
  Capture(78);
  EXPECT_EQ(input.blocks.size(), 1u);
  host.blocks.clear();
  commands.ReplayLastAudio(1);
  ASSERT_GE(host.blocks.size(), 4u);
  EXPECT_EQ(host.blocks[host.blocks.size() - 4].front(), 77);
  EXPECT_EQ(host.blocks.back().front(), 78);
}

}  // namespace
}  // namespace vestrel
