// ctest-labels: integration
// README.md shows its commands in ```sh blocks. Each of them is run here as the README shows it
// (build/release/ standing for this build's directory) and must do what the README says; a
// command the README shows that no test here knows fails, and so does a command shown in the
// running text instead of a block. The running text keeps only what a test cannot run: the
// system's own set-up (sudo ...) and the check of a real serial port, whose test is looked up.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/engine.h"
#include "io/exchange_library.h"
#include "io/rig/omni_work.h"
#include "io/rig/rig_params.h"
#include "io/rig/rigctld_server.h"
#include "platform/tcp_line_socket.h"
#include "support/alsa_test_config.h"
#include "support/child_process.h"
#include "support/fake_engine_window.h"
#include "support/fake_rig_window.h"
#include "support/fake_rx_sink.h"
#include "support/fake_sound_links.h"
#include "support/rigctld_daemon.h"
#include "support/tool_runner.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;
using test::ShellQuote;
using namespace std::chrono_literals;

// A UI frame from N0CALL to APRS with the text "Hello", as KISS, through both tools.
const char* const kPacketRoundTrip =
    "printf "
    "'\\300\\000\\202\\240\\244\\246\\100\\100\\340\\234\\140\\206\\202\\230\\230\\141\\003\\360Hello\\300' "
    "| "
    "build/release/bench/vestrel-encode --mode AX25-U | build/release/bench/vestrel-decode --mode AX25-U";

// Every command README.md shows, as it shows it (without its comment).
const char* const kCommands[] = {
    "./run.sh",
    "./test.sh",
    "xvfb-run -a ./run.sh",
    "dbus-send --session --print-reply --dest=vestrel.Vestrel /vestrel/Window "
    "org.freedesktop.DBus.Introspectable.Introspect",
    "gdbus call --session --dest vestrel.VestrelX --object-path /vestrel/VestrelX --method "
    "vestrel.VestrelX.SendMacro "
    "1",
    "echo 'CQ CQ DE XX0XXX' | build/release/bench/vestrel-encode --mode RTTY | "
    "build/release/bench/vestrel-decode "
    "--mode RTTY",
    "echo 'CQ CQ DE XX0XXX' | build/release/bench/vestrel-encode --mode AMT-FEC | "
    "build/release/bench/vestrel-decode --mode AMT-FEC",
    "echo 'CQ CQ de XX0XXX' | build/release/bench/vestrel-encode --mode QPSK31 --tx-hz 1000 | "
    "build/release/bench/vestrel-decode --mode QPSK31 --rx-hz 1000",
    "echo 'CQ CQ de XX0XXX' | build/release/bench/vestrel-encode --mode BPSK31 --tx-hz 1025 | "
    "build/release/bench/vestrel-decode --mode BPSK31 --rx-hz 1000 --afc",
    "build/release/bench/vestrel-decode --help",
    "echo 'CQ DE XX0XXX' | build/release/bench/vestrel-encode --mode MFSK16 --tx-hz 1500 | "
    "build/release/bench/vestrel-decode --mode MFSK16 --rx-hz 1500",
    kPacketRoundTrip,
    "echo 'CQ CQ DE XX0XXX' | build/release/bench/vestrel-encode --mode PS2x5 | "
    "build/release/bench/vestrel-decode --mode PS2x5 --save-blocks blocks",
    "sox recording.wav -r 11025 -c 1 -t raw -e signed -b 16 recording.raw",
    "build/release/bench/vestrel-decode --mode RTTY recording.raw",
    "build/release/io/zozariri/zozariri-peer put 3 'CQ CQ\\xC0'",
    "build/release/io/zozariri/zozariri-peer get 3 1000",
    "rigctld -m 1 -P RIG -T 127.0.0.1 -t 4532",
};

std::string Trim(const std::string& s) {
  const size_t first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

struct Readme {
  std::vector<std::string> commands;  // the lines of the ```sh blocks, comments dropped
  std::vector<std::string> spans;     // the `code` of the running text
};

Readme ParseReadme() {
  Readme r;
  std::istringstream in(test::ReadWholeFile(std::string(VESTREL_SOURCE_DIR) + "/README.md"));
  std::string line, fence;
  while (std::getline(in, line)) {
    if (line.rfind("```", 0) == 0) {
      fence = fence.empty() ? line.substr(3) + " " : std::string();
      continue;
    }
    if (fence == "sh ") {
      // A comment starts at a "#" after a blank; no command here has one inside its quotes.
      const size_t hash = line.find(" #");
      const std::string command = Trim(hash == std::string::npos ? line : line.substr(0, hash));
      if (!command.empty()) r.commands.push_back(command);
    } else if (fence.empty()) {
      for (size_t open = line.find('`'); open != std::string::npos; open = line.find('`', open + 1)) {
        const size_t close = line.find('`', open + 1);
        if (close == std::string::npos) break;
        r.spans.push_back(line.substr(open + 1, close - open - 1));
        open = close;
      }
    }
  }
  return r;
}

// The command as README.md shows it, made to run in this build; fails when it is not shown.
std::string Shown(const std::string& command) {
  const Readme r = ParseReadme();
  EXPECT_NE(std::find(r.commands.begin(), r.commands.end(), command), r.commands.end())
      << "README.md no longer shows: " << command;
  std::string local = command;
  const std::string from = "build/release/", to = std::string(VESTREL_BINARY_DIR) + "/";
  for (size_t at = local.find(from); at != std::string::npos; at = local.find(from, at + to.size())) {
    local.replace(at, from.size(), to);
  }
  return local;
}

// The program opens exchange channel 1 at its start: channels of this test's own.
const std::string kExchangePrefix = "vestrel-readme-" + std::to_string(getpid());

bool Built(const std::string& relative) {
  return fs::exists(fs::path(VESTREL_BINARY_DIR) / relative);
}

// ./run.sh builds build/release: it is run from that build only, where it has nothing to do.
bool IsReleaseBuild() {
  std::error_code ec;
  return fs::equivalent(fs::path(VESTREL_BINARY_DIR), fs::path(VESTREL_SOURCE_DIR) / "build" / "release", ec);
}

// Runs `command` in `dir` with `env` (env(1) arguments) in front, bounded in time.
test::ToolResult RunIn(const std::string& command, const fs::path& dir, const std::string& env = "",
                       int seconds = 120) {
  return test::RunTool("cd " + ShellQuote(dir.string()) + " && env " + env + " timeout -k 5 " +
                       std::to_string(seconds) + " sh -c " + ShellQuote(command));
}

TEST(Readme, EveryCommandItShowsIsRunHere) {
  const Readme r = ParseReadme();
  ASSERT_FALSE(r.commands.empty());
  const std::set<std::string> known(std::begin(kCommands), std::end(kCommands));
  for (const std::string& c : r.commands) EXPECT_TRUE(known.count(c)) << "no test runs: " << c;
  for (const char* c : kCommands) {
    EXPECT_NE(std::find(r.commands.begin(), r.commands.end(), c), r.commands.end()) << "not shown: " << c;
  }
  // Commands belong in the blocks, where this test finds them.
  for (const std::string& span : r.spans) {
    if (span.find(' ') == std::string::npos) continue;
    for (const char* program : {"./", "build/", "xvfb-run", "dbus-send", "sox", "vestrel-", "zozariri-peer",
                                "ctest", "rigctld", "cmake", "ninja"}) {
      EXPECT_NE(span.rfind(program, 0), 0u) << "a command in the running text: " << span;
    }
  }
}

TEST(Readme, TheRealSerialPortCheckNamesATestThatReadsItsVariable) {
  // "VESTREL_TEST_SERIAL=/dev/ttyUSB0 ctest --test-dir build/release -R RealPort" needs a UART.
  const Readme r = ParseReadme();
  const auto span = std::find_if(r.spans.begin(), r.spans.end(), [](const std::string& s) {
    return s.rfind("VESTREL_TEST_SERIAL=", 0) == 0;
  });
  if (span == r.spans.end()) GTEST_SKIP() << "README.md no longer shows the real-port check";
  const size_t at = span->find(" -R ");
  ASSERT_NE(at, std::string::npos) << *span;
  const std::string pattern = span->substr(at + 4);
  bool found = false;
  for (const auto& entry : fs::recursive_directory_iterator(fs::path(VESTREL_SOURCE_DIR) / "tests")) {
    const std::string name = entry.path().filename().string();
    if (name.size() < 9 || name.compare(name.size() - 9, 9, "_test.cpp") != 0) continue;
    const std::string source = test::ReadWholeFile(entry.path().string());
    found = found || (source.find(pattern) != std::string::npos &&
                      source.find("VESTREL_TEST_SERIAL") != std::string::npos);
  }
  EXPECT_TRUE(found) << "no test named like " << pattern << " reads VESTREL_TEST_SERIAL";
}

TEST(Readme, TestShIsWhatRunsThisTest) {
  // ./test.sh builds and runs every test, this one among them (CI runs it through .ci/run).
  Shown("./test.sh");
  EXPECT_TRUE(fs::exists(fs::path(VESTREL_SOURCE_DIR) / "test.sh"));
}

TEST(Readme, RunShWithoutADesktopSaysSoAndExitsWithStatus1) {
  const std::string cmd = Shown("./run.sh");
  if (!IsReleaseBuild()) GTEST_SKIP() << "./run.sh is tried from build/release";
  const test::ToolResult r =
      RunIn(cmd, VESTREL_SOURCE_DIR, "-u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM", 600);
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.err.find("Vestrel needs a desktop session: no DISPLAY or WAYLAND_DISPLAY is set."),
            std::string::npos)
      << r.err;
}

TEST(Readme, XvfbRunRunShRunsTheProgramOnAVirtualScreen) {
  const std::string cmd = Shown("xvfb-run -a ./run.sh");
  if (!IsReleaseBuild()) GTEST_SKIP() << "./run.sh is tried from build/release";
  if (!test::HaveProgram("xvfb-run")) GTEST_SKIP() << "xvfb-run is not installed";
  test::SoundTestDir dir;
  const fs::path silence = dir.path() / "in.raw";
  std::ofstream(silence, std::ios::binary) << std::string(11025 * 2 * 30, '\0');
  const fs::path conf = test::AlsaTestConfig::WriteFilePcm(dir.path(), silence, dir.path() / "out.raw");
  const fs::path log = dir.path() / "out.txt";
  // exec: the child is xvfb-run itself, and the program is its child.
  test::ChildProcess run(
      {"sh", "-c",
       "cd " + ShellQuote(VESTREL_SOURCE_DIR) + " && exec env -u QT_QPA_PLATFORM ALSA_CONFIG_PATH=" +
           ShellQuote(conf.string()) + " XDG_DATA_HOME=" + ShellQuote(dir.path().string()) +
           " XDG_CONFIG_HOME=" + ShellQuote(dir.path().string()) + " VESTREL_ZOZARIRI_PREFIX=" +
           kExchangePrefix + " " + cmd + " > " + ShellQuote(log.string()) + " 2>&1"});
  ASSERT_TRUE(run.Started());
  pid_t program = 0;
  for (int i = 0; i < 3000 && program == 0; ++i) {  // the set-up and the build have nothing to do
    const std::vector<pid_t> found = test::ChildrenNamed(run.Pid(), "vestrel");
    program = found.empty() ? 0 : found.front();
    if (program == 0) std::this_thread::sleep_for(100ms);
  }
  ASSERT_NE(program, 0) << test::ReadWholeFile(log.string());
  // Its window shows on the virtual screen (by then it ends in order on SIGTERM).
  std::string display;
  // The program may already have gone (it failed): its environment then reads as empty.
  std::istringstream environ(test::ReadProcFile("/proc/" + std::to_string(program) + "/environ"));
  for (std::string var; std::getline(environ, var, '\0');) {
    if (var.rfind("DISPLAY=", 0) == 0 || var.rfind("XAUTHORITY=", 0) == 0) display += ShellQuote(var) + " ";
  }
  bool shown = false;
  for (int i = 0; i < 600 && !shown; ++i) {
    shown = test::RunTool("env " + display + "xwininfo -name Vestrel").exitCode == 0;
    if (!shown) std::this_thread::sleep_for(100ms);
  }
  EXPECT_TRUE(shown) << test::ReadWholeFile(log.string());
  kill(program, SIGTERM);
  EXPECT_EQ(run.Wait(60s), 0) << test::ReadWholeFile(log.string());
  EXPECT_EQ(test::ReadWholeFile(log.string()).find("needs a desktop session"), std::string::npos);
  shm_unlink(("/" + kExchangePrefix + "-1").c_str());
}

// On a bus of its own: the program, then `cmd` once the program's engine has started (it owns
// vestrel.Vestrel by then).
test::ToolResult RunBesideTheProgram(const std::string& cmd) {
  test::SoundTestDir dir;
  const std::string program = ShellQuote(std::string(VESTREL_BINARY_DIR) + "/app/vestrel") + " /F " +
                              ShellQuote((dir.path() / "VESTREL.INI").string());
  const std::string script =
      program +
      " 2> /dev/null & p=$!; for i in $(seq 300); do dbus-send --session --print-reply "
      "--dest=org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner "
      "string:vestrel.Vestrel 2> /dev/null | grep -q true && break; sleep 0.2; done; " +
      cmd + "; s=$?; kill -TERM $p; wait $p; exit $s";
  const test::ToolResult r =
      RunIn("dbus-run-session -- sh -c " + ShellQuote(script), dir.path(),
            "QT_QPA_PLATFORM=offscreen XDG_DATA_HOME=" + ShellQuote(dir.path().string()) +
                " XDG_CONFIG_HOME=" + ShellQuote(dir.path().string()) +
                " VESTREL_ZOZARIRI_PREFIX=" + kExchangePrefix);
  shm_unlink(("/" + kExchangePrefix + "-1").c_str());
  return r;
}

TEST(Readme, DbusSendListsTheWindowsMethods) {
  const std::string cmd = Shown(
      "dbus-send --session --print-reply --dest=vestrel.Vestrel /vestrel/Window "
      "org.freedesktop.DBus.Introspectable.Introspect");
  if (!test::HaveProgram("dbus-run-session")) GTEST_SKIP() << "no dbus-run-session";
  const test::ToolResult r = RunBesideTheProgram(cmd);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  for (const char* method : {"TxOff", "PauseOn", "TxOn", "BeaconOff"}) {
    EXPECT_NE(r.out.find("<method name=\"" + std::string(method) + "\""), std::string::npos)
        << method << r.out;
  }
}

TEST(Readme, GdbusCallSendsMacro1) {
  const std::string cmd = Shown(
      "gdbus call --session --dest vestrel.VestrelX --object-path /vestrel/VestrelX --method "
      "vestrel.VestrelX.SendMacro "
      "1");
  if (!test::HaveProgram("dbus-run-session") || !test::HaveProgram("gdbus"))
    GTEST_SKIP() << "no dbus-run-session";
  const test::ToolResult r = RunBesideTheProgram(cmd);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("()"), std::string::npos) << r.out;
}

TEST(Readme, MfskThroughTheEncoderAndTheDecoder) {
  const std::string roundTrip = Shown(
      "echo 'CQ DE XX0XXX' | build/release/bench/vestrel-encode --mode MFSK16 --tx-hz 1500 | "
      "build/release/bench/vestrel-decode --mode MFSK16 --rx-hz 1500");
  if (!Built("bench/vestrel-decode")) GTEST_SKIP() << "the headless tools are not part of this build";
  test::SoundTestDir dir;
  const test::ToolResult r = RunIn(roundTrip, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  std::string text;
  for (char c : r.out)
    if (c != '\0') text.push_back(c);
  EXPECT_EQ(text, "CQ DE XX0XXX\r\n");
}

// 25 Hz off the receive tone, found by the AFC.
TEST(Readme, AfcFindsAnOffsetPskSignal) {
  const std::string roundTrip = Shown(
      "echo 'CQ CQ de XX0XXX' | build/release/bench/vestrel-encode --mode BPSK31 --tx-hz 1025 | "
      "build/release/bench/vestrel-decode --mode BPSK31 --rx-hz 1000 --afc");
  if (!Built("bench/vestrel-decode")) GTEST_SKIP() << "the headless tools are not part of this build";
  test::SoundTestDir dir;
  const test::ToolResult r = RunIn(roundTrip, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("CQ CQ de XX0XXX"), std::string::npos) << r.out;
}

TEST(Readme, APacketFrameThroughBothToolsComesOutAsAMonitorLine) {
  const std::string roundTrip = Shown(kPacketRoundTrip);
  if (!Built("bench/vestrel-decode")) GTEST_SKIP() << "the headless tools are not part of this build";
  test::SoundTestDir dir;
  const test::ToolResult r = RunIn(roundTrip, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "\r\nN0CALL-0 -> APRS-0  UI^ Pid=F0\r\nHello\r\n");
}

TEST(Readme, TheEncoderAndTheDecoderGiveTheTextBack) {
  const std::string roundTrip = Shown(
      "echo 'CQ CQ DE XX0XXX' | build/release/bench/vestrel-encode --mode RTTY | "
      "build/release/bench/vestrel-decode "
      "--mode RTTY");
  const std::string amtor = Shown(
      "echo 'CQ CQ DE XX0XXX' | build/release/bench/vestrel-encode --mode AMT-FEC | "
      "build/release/bench/vestrel-decode --mode AMT-FEC");
  const std::string psk = Shown(
      "echo 'CQ CQ de XX0XXX' | build/release/bench/vestrel-encode --mode QPSK31 --tx-hz 1000 | "
      "build/release/bench/vestrel-decode --mode QPSK31 --rx-hz 1000");
  const std::string help = Shown("build/release/bench/vestrel-decode --help");
  if (!Built("bench/vestrel-decode")) GTEST_SKIP() << "the headless tools are not part of this build";
  test::SoundTestDir dir;
  const test::ToolResult r = RunIn(roundTrip, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("CQ CQ DE XX0XXX"), std::string::npos) << r.out;
  const test::ToolResult a = RunIn(amtor, dir.path());
  EXPECT_EQ(a.exitCode, 0) << a.err;
  EXPECT_EQ(a.out.rfind("\r\nCQ CQ DE XX0XXX", 0), 0u) << a.out;
  const test::ToolResult q = RunIn(psk, dir.path());
  EXPECT_EQ(q.exitCode, 0) << q.err;
  EXPECT_NE(q.out.find("CQ CQ de XX0XXX"), std::string::npos) << q.out;
  const test::ToolResult h = RunIn(help, dir.path());
  EXPECT_EQ(h.exitCode, 0);
  EXPECT_EQ(h.out.rfind("usage: vestrel-decode --mode MODE", 0), 0u) << h.out;
  for (const char* option : {"--rx-hz", "--shift", "--baud", "--filter", "--reverse", "--squelch",
                             "--unshift-on-space", "--fast-sync", "--afc", "--afc-local", "--afc-global"}) {
    EXPECT_NE(h.out.find(option), std::string::npos) << option;
  }
}

// The block modes' round trip: the text, its error report, and the message's file in blocks/.
TEST(Readme, TheBlockModeRoundTripKeepsTheMessageInAFile) {
  const std::string roundTrip = Shown(
      "echo 'CQ CQ DE XX0XXX' | build/release/bench/vestrel-encode --mode PS2x5 | "
      "build/release/bench/vestrel-decode --mode PS2x5 --save-blocks blocks");
  if (!Built("bench/vestrel-decode")) GTEST_SKIP() << "the headless tools are not part of this build";
  test::SoundTestDir dir;
  const test::ToolResult r = RunIn(roundTrip, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "\r\nCQ CQ DE XX0XXX\r\n{ER=0.0%}");
  std::vector<std::string> files;
  for (const auto& e : fs::directory_iterator(dir.path() / "blocks"))
    files.push_back(e.path().filename().string());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].substr(11), "-RO-0000.TXT");
  EXPECT_EQ(test::ReadWholeFile((dir.path() / "blocks" / files[0]).string()), "CQ CQ DE XX0XXX\r\n");
}

TEST(Readme, SoxMakesARecordingReadableAndTheDecoderReadsIt) {
  const std::string convert = Shown("sox recording.wav -r 11025 -c 1 -t raw -e signed -b 16 recording.raw");
  const std::string decode = Shown("build/release/bench/vestrel-decode --mode RTTY recording.raw");
  if (!Built("bench/vestrel-decode")) GTEST_SKIP() << "the headless tools are not part of this build";
  if (!test::HaveProgram("sox")) GTEST_SKIP() << "sox is not installed";
  test::SoundTestDir dir;
  // A recording as a sound card makes it: 48000 samples/s, two channels.
  const test::ToolResult made = RunIn(
      "echo 'RYRY DE XX0XXX PSE K' | " + ShellQuote(std::string(VESTREL_BENCH_DIR) + "/vestrel-encode") +
          " --mode RTTY | sox -t raw -r 11025 -e signed -b 16 -c 1 - -r 48000 -c 2 "
          "recording.wav",
      dir.path());
  ASSERT_EQ(made.exitCode, 0) << made.err;
  const test::ToolResult c = RunIn(convert, dir.path());
  EXPECT_EQ(c.exitCode, 0) << c.err;
  const test::ToolResult d = RunIn(decode, dir.path());
  EXPECT_EQ(d.exitCode, 0) << d.err;
  EXPECT_NE(d.out.find("RYRY DE XX0XXX PSE K"), std::string::npos) << d.out;
}

TEST(Readme, ThePeerToolQueuesAndReadsItsChannel) {
  const std::string put = Shown("build/release/io/zozariri/zozariri-peer put 3 'CQ CQ\\xC0'");
  const std::string get = Shown("build/release/io/zozariri/zozariri-peer get 3 1000");
  ASSERT_TRUE(Built("io/zozariri/zozariri-peer"));
  test::SoundTestDir dir;
  // A channel of this test's own, with this process as the terminal's end.
  setenv("VESTREL_ZOZARIRI_PREFIX", kExchangePrefix.c_str(), 1);
  const std::string env = "VESTREL_ZOZARIRI_PREFIX=" + kExchangePrefix;
  ExchangeLibrary terminal;
  ASSERT_TRUE(terminal.Init(3));
  const test::ToolResult p = RunIn(put, dir.path(), env);
  EXPECT_EQ(p.exitCode, 0) << p.err;
  std::string queued;
  for (int b = terminal.Get(); b >= 0; b = terminal.Get()) queued += static_cast<char>(b);
  EXPECT_EQ(queued, "CQ CQ\xC0");
  for (char c : std::string("RYRY")) terminal.Put(static_cast<int8_t>(c));
  const test::ToolResult g = RunIn(get, dir.path(), env);
  EXPECT_EQ(g.exitCode, 0) << g.err;
  EXPECT_EQ(g.out, "RYRY");
  terminal.Deactivate();
  shm_unlink(("/" + kExchangePrefix + "-3").c_str());
  unsetenv("VESTREL_ZOZARIRI_PREFIX");
}

// The daemon as the README starts it is where rig control goes with its default addresses: rig
// tuning starts, and the wheel's step moves the dummy rig's VFO.
TEST(Readme, TheDummyRigDaemonIsWhereRigControlGoes) {
  const std::string command = Shown("rigctld -m 1 -P RIG -T 127.0.0.1 -t 4532");
  if (!test::HaveProgram("rigctld")) GTEST_SKIP() << "rigctld is not installed";
  {
    TcpLineSocket probe;
    if (probe.Connect("127.0.0.1", 4532, 200ms)) GTEST_SKIP() << "port 4532 is taken by another daemon";
  }
  test::ChildProcess daemon({"sh", "-c", "exec " + command});
  ASSERT_TRUE(test::Eventually([] {
    TcpLineSocket probe;
    return probe.Connect("127.0.0.1", 4532, 200ms);
  }));
  test::FakeEngineWindow engineWindow;
  test::FakeRxSink sink;
  TEngine engine(engineWindow, sink);
  RigControlSettings settings;
  KeyingPortSettings ports;
  test::FakeRigWindow window;
  window.onWait = [&window] { std::this_thread::sleep_for(window.waits.back()); };
  test::RecordingMessageBox boxes;
  RigctldServer server;  // the settings file's defaults
  TOmniWork work(settings, ports, engine.params, engine.rates, engine.rxBlocks,
                 {&window, &boxes, [&server]() -> RigServer& { return server; }});
  settings.TuneRig = 2;
  work.StartRigControl();
  ASSERT_TRUE(boxes.shown.empty()) << boxes.shown[0].second;
  EXPECT_EQ(window.panel, "VFO");
  Rig& rig = server.Rig1();
  ASSERT_TRUE(test::Eventually([&rig] { return rig.FreqA().value != 0; }));
  const int64_t before = rig.FreqA().value;
  work.MouseWheel(120);
  RigctldRig observer({"127.0.0.1", 4532});
  EXPECT_TRUE(test::Eventually([&] { return observer.FreqA().value == before + 60; }));
}

}  // namespace
}  // namespace vestrel
