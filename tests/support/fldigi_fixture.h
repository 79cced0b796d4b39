#pragma once
// Fixtures of the interop tests that drive the headless tools vestrel-encode and vestrel-decode
// against outside programs, fldigi above all.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/fsk_signal.h"
#include "support/sound_peers.h"
#include "support/tool_runner.h"

namespace vestrel::test {

// The two headless tools; the test is skipped when they are not built.
class HeadlessTools : public ::testing::Test {
 protected:
  void SetUp() override {
    encoder = BenchToolPath("vestrel-encode");
    decoder = BenchToolPath("vestrel-decode");
    if (encoder.empty() || decoder.empty()) GTEST_SKIP() << "the headless tools are not built";
  }

  // Our transmission of `text` as raw 16-bit samples at 11025 samples/s.
  std::string Encode(const std::string& text, const std::string& options) {
    const std::string txt = TempPath("text.txt"), raw = TempPath("tx.raw");
    std::ofstream(txt, std::ios::binary) << text;
    const ToolResult tx =
        RunTool(ShellQuote(encoder) + " " + options + " " + ShellQuote(txt) + " > " + ShellQuote(raw));
    EXPECT_EQ(tx.exitCode, 0) << tx.err;
    return raw;
  }

  std::string encoder, decoder;
};

// fldigi in a private sound world, started once for the suite and shared by its tests.
class FldigiFixture : public HeadlessTools {
 protected:
  static void SetUpTestSuite() {
    for (const char* p : {"fldigi", "pulseaudio", "paplay", "parec", "pactl", "Xvfb", "unshare", "nsenter",
                          "ip", "python3"}) {
      if (!HaveProgram(p)) {
        missing_ = p;
        return;
      }
    }
    world_ = new PrivateSoundWorld;
    if (world_->Ready()) fldigi_ = new FldigiPeer(*world_);
  }
  static void TearDownTestSuite() {
    delete fldigi_;
    delete world_;
    fldigi_ = nullptr;
    world_ = nullptr;
  }

  void SetUp() override {
    HeadlessTools::SetUp();
    if (IsSkipped()) return;
    if (!missing_.empty()) GTEST_SKIP() << missing_ << " is not installed";
    ASSERT_TRUE(world_->Ready()) << world_->Error();
    ASSERT_TRUE(fldigi_->Ready()) << "fldigi did not answer over XML-RPC";
  }

  // What fldigi decoded of our recording `raw`, played to it in `mode` on `carrierHz`. The sound
  // runs in real time and a loaded sound server may drop a stretch of it, so the recording is
  // played up to `attempts` times until the text contains `expected`.
  std::string FldigiHears(const std::string& raw, const std::string& mode, int carrierHz,
                          const std::string& expected, int attempts) {
    std::string got;
    for (int attempt = 0; attempt < attempts && got.find(expected) == std::string::npos; ++attempt) {
      if (!fldigi_->SetUp(mode, carrierHz)) {
        ADD_FAILURE() << "fldigi did not take " << mode << " at " << carrierHz << " Hz";
        break;
      }
      if (!world_->Play(raw, 11025)) {
        ADD_FAILURE() << "the recording did not play";
        break;
      }
      // fldigi's decoder lags the sound by a few symbols: wait until the text is there, or
      // its receive window has stopped growing.
      got = fldigi_->ReceivedText();
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      for (size_t before = std::string::npos; got.find(expected) == std::string::npos &&
                                              got.size() != before &&
                                              std::chrono::steady_clock::now() < deadline;) {
        before = got.size();
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        got = fldigi_->ReceivedText();
      }
    }
    return got;
  }

  // A recording of fldigi's output with a dropout: a run of 32 or more zero samples (3 ms)
  // between its first and last sound. fldigi feeds the sound server in real time; on a loaded
  // machine it can fall behind, and the null sink then plays silence in the middle of the
  // transmission. Its own signal is zero at most for a sample or two where a reversal passes
  // through zero.
  static bool HasDropout(const std::string& rawPath) {
    std::ifstream in(rawPath, std::ios::binary);
    std::vector<int16_t> x;
    int16_t v;
    while (in.read(reinterpret_cast<char*>(&v), sizeof v)) x.push_back(v);
    size_t first = 0, last = x.size();
    while (first < x.size() && x[first] == 0) ++first;
    while (last > first && x[last - 1] == 0) --last;
    size_t run = 0;
    for (size_t i = first; i < last; ++i) {
      run = x[i] == 0 ? run + 1 : 0;
      if (run >= 32) return true;
    }
    return false;
  }

  // The best of the takes of fldigi sending `text`: what our receiver (`decodeOptions` to
  // vestrel-decode) made of it, its character error rate against the text (the stretch of the
  // output that matches best), the takes judged and those made again for a dropout.
  struct Take {
    std::string decoded;
    double errorRate = 1.0;
    int takes = 0;
    int dropouts = 0;
  };
  // Each take records fldigi's transmission off its output in real time. A take with a
  // dropout says nothing of our receiver and is made again (up to `dropoutRetakes` times, not
  // counted); up to `attempts` takes are judged, until one decodes the text without an error.
  Take BestTakeOfFldigi(const std::string& text, const std::string& mode, int carrierHz,
                        const std::string& decodeOptions, int attempts, int dropoutRetakes) {
    Take best;
    const std::string raw = TempPath("fldigi.raw");
    while (best.takes < attempts && best.errorRate > 0.0) {
      if (!fldigi_->SetUp(mode, carrierHz)) {
        ADD_FAILURE() << "fldigi did not take " << mode << " at " << carrierHz << " Hz";
        break;
      }
      if (!RecordFldigi(text, raw)) break;
      if (HasDropout(raw) && best.dropouts < dropoutRetakes) {
        ++best.dropouts;
        continue;
      }
      ++best.takes;
      const ToolResult r = RunTool(ShellQuote(decoder) + " " + decodeOptions + " " + ShellQuote(raw));
      EXPECT_EQ(r.exitCode, 0) << r.err;
      const double rate = CharacterErrorRateWithin(text, r.out);
      if (rate < best.errorRate || best.takes == 1) {
        best.errorRate = rate;
        best.decoded = r.out;
      }
    }
    return best;
  }

  // fldigi's transmission of `text`, recorded off its output into `raw` from before it keys
  // until half a second after it has gone back to receive.
  bool RecordFldigi(const std::string& text, const std::string& raw) {
    if (!world_->StartRecording(raw, 11025)) {
      ADD_FAILURE() << "the recorder did not start";
      return false;
    }
    // The recorder is running once its file grows (the null sink's monitor gives silence).
    bool recording = GrowsBy(raw, 0, 2205);
    const bool sent = recording && fldigi_->Transmit(text, std::chrono::seconds(90));
    const bool tail = sent && GrowsBy(raw, FileSize(raw), 11025);
    world_->StopRecording();
    EXPECT_TRUE(recording) << "nothing was recorded";
    EXPECT_TRUE(sent) << "fldigi did not finish its transmission";
    EXPECT_TRUE(tail) << "the recording stopped after the transmission";
    return recording && sent && tail;
  }

  static uintmax_t FileSize(const std::string& path) {
    std::error_code ec;
    const uintmax_t n = std::filesystem::file_size(path, ec);
    return ec ? 0 : n;
  }
  // Waits until the file holds `bytes` more than `from` (at most 20 s).
  static bool GrowsBy(const std::string& path, uintmax_t from, uintmax_t bytes) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (FileSize(path) < from + bytes) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }

  static inline std::string missing_;
  static inline PrivateSoundWorld* world_ = nullptr;
  static inline FldigiPeer* fldigi_ = nullptr;
};

}  // namespace vestrel::test
