// ctest-labels: gui interop
// End to end: the program started with "/C capture.txt" and time stamps on, minimodem's RTTY
// (through sox) as the capture source of ALSA's file plug-in; ended by SIGTERM, it leaves a
// capture file with a date line, time-stamped lines and the sent text.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <string>
#include <thread>

#include "support/child_process.h"
#include "support/file_sound_program.h"
#include "support/temp_dir.h"
#include "support/tool_runner.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::ShellQuote;

constexpr const char* kSent = "CQ CQ DE XX0XXX XX0XXX\nPSE K\n";

TEST(CaptureStreamsInterop, TheTextCaptureOfTheCommandLineSurvivesSigterm) {
  for (const char* tool : {"minimodem", "sox"}) {
    if (!test::HaveProgram(tool)) GTEST_SKIP() << tool << " is not installed";
  }
  test::TempDir dir;
  const fs::path wav = dir / "tx.wav", raw = dir / "in.raw";
  const test::ToolResult made =
      test::RunTool("printf %s " + ShellQuote(kSent) + " | minimodem --tx rtty -M 1785 -S 1615 -R 11025 -f " +
                    ShellQuote(wav.string()) + " && sox " + ShellQuote(wav.string()) +
                    " -t raw -r 11025 -e signed -b 16 -c 1 -L " + ShellQuote(raw.string()) + " gain -6");
  ASSERT_EQ(made.exitCode, 0) << made.err;
  std::ofstream(raw, std::ios::binary | std::ios::app) << std::string(11025 * 2 * 60, '\0');
  std::ofstream(dir / "VESTREL.INI", std::ios::binary) << "[RTTY]\r\nPutTimeToFile=1\r\n";

  const std::string prefix = "vestrel-capture-test-" + std::to_string(getpid());
  auto child = test::StartFileSoundProgram(dir.path(), raw, prefix);
  ASSERT_TRUE(child->Started());
  // The engine starts after 2 s; the file device delivers the 6 s of signal at once.
  std::this_thread::sleep_for(10s);
  kill(child->Pid(), SIGTERM);
  EXPECT_EQ(child->Wait(30s), 0);
  child.reset();
  shm_unlink(("/" + prefix + "-1").c_str());

  const std::string text = test::ReadWholeFile((dir / "capture.txt").string());
  // "<*** 10-Dec-2026 ***>", then each line with its time; a new hour brings a new date line.
  const std::string date = "<\\*\\*\\* \\d\\d-[A-Z][a-z][a-z]-\\d{4} \\*\\*\\*>\r\n";
  const std::string time = "<\\d\\d:\\d\\d:\\d\\d> ";
  const std::regex shape(date + time + "CQ CQ DE XX0XXX XX0XXX\r?\n(" + date + ")?" + time + "PSE K\r?\n");
  EXPECT_TRUE(std::regex_search(text, shape)) << text;
}

}  // namespace
}  // namespace vestrel
