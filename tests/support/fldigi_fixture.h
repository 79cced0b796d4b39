#pragma once
// Fixtures of the interop tests that drive the headless tools vestrel-encode and vestrel-decode
// against outside programs, fldigi above all.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

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
      std::this_thread::sleep_for(std::chrono::seconds(1));
      got = fldigi_->ReceivedText();
    }
    return got;
  }

  static inline std::string missing_;
  static inline PrivateSoundWorld* world_ = nullptr;
  static inline FldigiPeer* fldigi_ = nullptr;
};

}  // namespace vestrel::test
