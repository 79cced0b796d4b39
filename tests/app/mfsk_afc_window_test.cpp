// ctest-labels: gui integration
// End to end through the window with its default settings (the "AFC" button down, squelch
// off; the settings file sets only the mode and 1500 Hz): our own MFSK16 at -8 dB in 3 kHz from
// the file-backed sound card reaches the "/C" capture file about as well as the headless
// decoder reads the same audio without AFC.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"
#include "support/file_sound_program.h"
#include "support/fsk_signal.h"
#include "support/mfsk_signal.h"
#include "support/temp_dir.h"
#include "support/tool_runner.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::ShellQuote;

TEST(MfskAfcWindow, Mfsk16AtMinus8DbReachesTheCaptureFileAsTheDecoderReadsIt) {
  const std::string decoder = test::BenchToolPath("vestrel-decode");
  if (decoder.empty()) GTEST_SKIP() << "vestrel-decode is not built";
  std::string text;
  const char* words[] = {"the", "quick", "brown", "fox", "jumps", "over", "lazy", "dog", "radio", "signal"};
  for (int i = 0; text.size() < 140; ++i) text += std::string(words[(i * 7 + i / 3) % 10]) + " ";
  text.resize(140);  // some 25 s: the program reads its sound card in real time
  test::MfskTxOptions tx;
  tx.centreHz = 1500.0;
  const std::vector<int16_t> audio = test::AddNoise(test::TransmitMfsk(text, tx), -8.0, 11);

  test::TempDir dir;
  const fs::path raw = dir.path() / "in.raw";
  {
    std::ofstream out(raw, std::ios::binary);
    out.write(reinterpret_cast<const char*>(audio.data()), static_cast<std::streamsize>(audio.size() * 2));
  }
  const test::ToolResult headless =
      test::RunTool(ShellQuote(decoder) + " --mode MFSK16 --rx-hz 1500 " + ShellQuote(raw.string()));
  ASSERT_EQ(headless.exitCode, 0) << headless.err;
  // Then a minute of silence: the device is not paced, and past the end of its file it would
  // repeat stale frames.
  const long long signalEnd = static_cast<long long>(audio.size() * 2);
  std::ofstream(raw, std::ios::binary | std::ios::app) << std::string(11025 * 2 * 60, '\0');
  std::ofstream(dir.path() / "VESTREL.INI", std::ios::binary) << "[RTTY]\r\nMode=12\r\nRxFrequency=1500\r\n";

  const std::string prefix = "vestrel-mfsk-afc-test-" + std::to_string(getpid());
  auto child = test::StartFileSoundProgram(dir.path(), raw, prefix);
  ASSERT_TRUE(child->Started());
  // Done when the program has read the signal and 10 s of the silence after it (the decoder's
  // lag is some 5 s); the capture file is written out when the program ends.
  const auto limit = std::chrono::steady_clock::now() + 60s;
  while (test::ReadOffset(child->Pid(), raw) < signalEnd + 11025 * 2 * 10 &&
         std::chrono::steady_clock::now() < limit)
    std::this_thread::sleep_for(100ms);
  EXPECT_GE(test::ReadOffset(child->Pid(), raw), signalEnd + 11025 * 2 * 8)
      << "the program did not read the signal";
  kill(child->Pid(), SIGTERM);
  EXPECT_EQ(child->Wait(30s), 0);
  child.reset();
  shm_unlink(("/" + prefix + "-1").c_str());

  const double window =
      test::CharacterErrorRateWithin(text, test::ReadWholeFile((dir.path() / "capture.txt").string()));
  const double alone = test::CharacterErrorRateWithin(text, headless.out);
  std::printf("character error rate: window with AFC %.3f, headless decoder without AFC %.3f\n", window,
              alone);
  EXPECT_LE(window, alone + 0.01);
}

}  // namespace
}  // namespace vestrel
