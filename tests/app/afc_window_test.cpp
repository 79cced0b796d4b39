// ctest-labels: integration
// End to end through the window with its default settings (the "AFC" button down, squelch
// off): weak BPSK31 on 1500 Hz from the file-backed sound card reaches the capture file of
// "/C" as well as the headless decoder reads the same audio with AFC off.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"
#include "support/encoder_audio.h"
#include "support/file_sound_program.h"
#include "support/fsk_signal.h"
#include "support/temp_dir.h"
#include "support/tool_runner.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::ShellQuote;
using test::WaitFor;

constexpr const char* kText =
    "the people of the long day called out water for the first time and then they made more "
    "of it over two days as many would like to write some number down";

void WriteRaw(const fs::path& path, const std::vector<int16_t>& samples) {
  std::ofstream out(path, std::ios::binary);
  for (int16_t s : samples) {
    const auto u = static_cast<uint16_t>(s);
    out.put(static_cast<char>(u & 0xFF)).put(static_cast<char>(u >> 8));
  }
}

TEST(AfcWindow, WeakBpsk31ReachesTheCaptureFileAsTheHeadlessDecoderReadsIt) {
  const std::vector<int16_t> signal = test::EncodeWithHarness("BPSK31", kText, "--tx-hz 1500");
  if (signal.empty()) GTEST_SKIP() << "the encoder harness is not built";
  // The keyed signal's power, and noise for -10 dB in 3 kHz over 2 s before it and 4 s after.
  double power = 0.0;
  size_t keyed = 0;
  for (int16_t s : signal)
    if (s != 0) power += static_cast<double>(s) * s, ++keyed;
  power /= static_cast<double>(keyed);
  const double sigma = std::sqrt(power / std::pow(10.0, -10.0 / 10.0) * 5512.5 / 3000.0);
  const size_t lead = 2 * 11025, tail = 4 * 11025;
  std::vector<int16_t> audio(lead + signal.size() + tail);
  std::mt19937 rng(46);
  std::normal_distribution<double> noise(0.0, sigma);
  for (size_t i = 0; i < audio.size(); ++i) {
    const double s = i >= lead && i < lead + signal.size() ? signal[i - lead] : 0.0;
    audio[i] = static_cast<int16_t>(std::lround(std::clamp(s + noise(rng), -32768.0, 32767.0)));
  }

  test::TempDir dir;
  const fs::path noisy = dir / "noisy.raw";
  WriteRaw(noisy, audio);
  const test::ToolResult headless =
      test::RunTool(ShellQuote(VESTREL_BENCH_DIR "/vestrel-decode") + " --mode BPSK31 --rx-hz 1500 " +
                    ShellQuote(noisy.string()));
  ASSERT_EQ(headless.exitCode, 0) << headless.err;
  const double cerHeadless = test::CharacterErrorRateWithin(kText, headless.out);

  // The sound card: the same audio, then a minute of silence, as its capture side reads past
  // what the program is given time for.
  const fs::path input = dir / "in.raw";
  fs::copy_file(noisy, input);
  std::ofstream(input, std::ios::binary | std::ios::app) << std::string(11025 * 2 * 60, '\0');
  std::ofstream(dir / "VESTREL.INI", std::ios::binary) << "[RTTY]\r\nMode=1\r\nRxFrequency=1500\r\n";

  const std::string prefix = "vestrel-afc-window-test-" + std::to_string(getpid());
  auto child = test::StartFileSoundProgram(dir.path(), input, prefix, "QT_QPA_PLATFORM=offscreen");
  ASSERT_TRUE(child->Started());
  // Done once the sound card has handed over the whole recording (the file device is not
  // paced: the program reads it as fast as it processes it).
  const int64_t bytes = static_cast<int64_t>(2 * audio.size());
  const bool read =
      WaitFor([&] { return test::ReadOffset(child->Pid(), fs::absolute(input)) >= bytes; }, 90s);
  kill(child->Pid(), SIGTERM);
  EXPECT_EQ(child->Wait(30s), 0);
  child.reset();
  shm_unlink(("/" + prefix + "-1").c_str());
  ASSERT_TRUE(read) << "the program did not read the recording";

  // The capture file is written when the program closes it.
  const std::string captured = test::ReadWholeFile((dir / "capture.txt").string());
  const double cerWindow = test::CharacterErrorRateWithin(kText, captured);
  std::printf("character error rate: window %.4f, headless decoder without AFC %.4f\n", cerWindow,
              cerHeadless);
  EXPECT_LE(cerWindow, cerHeadless + 0.01) << captured;
}

}  // namespace
}  // namespace vestrel
