// ctest-labels: integration
// The program itself, started the way a user starts it: without a display, on a session bus
// of its own (dbus-run-session), and under Xvfb without any session bus.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "io/zozariri/exchange_segment.h"
#include "platform/tcp_line_socket.h"
#include "support/alsa_test_config.h"
#include "support/child_process.h"
#include "support/pty_pair.h"
#include "support/rigctld_daemon.h"
#include "support/tool_runner.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kProgram = VESTREL_BINARY_DIR "/app/vestrel";

using test::ShellQuote;
using test::WaitFor;

size_t CountOf(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// The program started in a directory of its own, with a sound card made of files (so no
// device error box waits) and exchange channels of its own, its stderr kept in a file.
class Program {
 public:
  // exchangePrefix: the exchange channels' prefix, for a test that uses them before the start.
  // prepare: called with the program's directory before the start, to write its settings
  // file (VESTREL.INI) or replace the minute of silence it captures (in.raw).
  explicit Program(const std::string& envPrefix = "", const std::string& exchangePrefix = "",
                   const std::function<void(const fs::path&)>& prepare = {})
      : exchangePrefix_(exchangePrefix.empty() ? "vestrel-main-test-" + std::to_string(getpid())
                                               : exchangePrefix) {
    const fs::path silence = dir_.path() / "in.raw";
    std::ofstream(silence, std::ios::binary) << std::string(11025 * 2 * 60, '\0');
    if (prepare) prepare(dir_.path());
    const fs::path conf = test::AlsaTestConfig::WriteFilePcm(dir_.path(), silence, dir_.path() / "out.raw");
    const std::string cmd =
        "cd " + ShellQuote(dir_.path().string()) +
        " && exec env ALSA_CONFIG_PATH=" + ShellQuote(conf.string()) +
        " XDG_DATA_HOME=" + ShellQuote(dir_.path().string()) +
        " XDG_CONFIG_HOME=" + ShellQuote(dir_.path().string()) +
        " VESTREL_ZOZARIRI_PREFIX=" + exchangePrefix_ + " " + envPrefix + " " + ShellQuote(kProgram) +
        " /F " + ShellQuote((dir_.path() / "VESTREL.INI").string()) + " 2> " + ShellQuote(ErrPath().string());
    child_ = std::make_unique<test::ChildProcess>(std::vector<std::string>{"sh", "-c", cmd});
  }
  ~Program() {
    child_.reset();
    // The channel that the engine start opened.
    shm_unlink(("/" + exchangePrefix_ + "-1").c_str());
  }
  fs::path ErrPath() const { return dir_.path() / "stderr.txt"; }
  // What the program played, raw 16-bit samples.
  fs::path PlayedPath() const { return dir_.path() / "out.raw"; }
  std::string Stderr() const { return test::ReadWholeFile(ErrPath().string()); }
  pid_t Pid() const { return child_->Pid(); }
  // SIGTERM is the orderly way out; the exit status, -1 when it had to be killed.
  int Terminate(std::chrono::milliseconds limit = 30s) {
    kill(child_->Pid(), SIGTERM);
    return child_->Wait(limit);
  }

 private:
  test::SoundTestDir dir_;
  const std::string exchangePrefix_;
  std::unique_ptr<test::ChildProcess> child_;
};

TEST(Main, WithoutADisplayItSaysWhatIsMissingInOneLineAndExitsWithStatus1) {
  // A display number nothing listens on.
  int unused = 7000 + getpid() % 1000;
  while (fs::exists("/tmp/.X11-unix/X" + std::to_string(unused))) ++unused;
  struct Case {
    std::string env, line;
  };
  const Case cases[] = {
      {"-u DISPLAY -u WAYLAND_DISPLAY",
       "Vestrel needs a desktop session: no DISPLAY or WAYLAND_DISPLAY is set.\n"},
      {"-u WAYLAND_DISPLAY DISPLAY=:" + std::to_string(unused),
       "Vestrel cannot open its window: no display answers at DISPLAY=\":" + std::to_string(unused) +
           "\".\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.env);
    const test::RunResult r = test::RunProgram(
        {"sh", "-c", "exec env -u QT_QPA_PLATFORM " + c.env + " " + ShellQuote(kProgram) + " 2>&1"}, 30s);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, c.line);
  }
}

bool NameHasOwner(const char* name) {
  const test::RunResult r = test::RunProgram(
      {"dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
       "org.freedesktop.DBus.NameHasOwner", std::string("string:") + name});
  return r.status == 0 && r.out.find("boolean true") != std::string::npos;
}

TEST(Main, OnTheSessionBusItIsGivenItOffersTheWindowsMethods) {
  if (std::getenv("VESTREL_PRIVATE_BUS") == nullptr) {
    if (std::system("command -v dbus-run-session > /dev/null 2>&1") != 0)
      GTEST_SKIP() << "no dbus-run-session";
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const std::string cmd = "VESTREL_PRIVATE_BUS=1 dbus-run-session -- " + ShellQuote(self) +
                            " --gtest_filter=Main.OnTheSessionBusItIsGivenItOffersTheWindowsMethods";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    return;
  }
  Program program("QT_QPA_PLATFORM=offscreen");
  // The name is taken at the engine start, some two seconds after the window appears.
  ASSERT_TRUE(WaitFor([] { return NameHasOwner("vestrel.Vestrel"); }, 60s)) << program.Stderr();
  const test::RunResult call =
      test::RunProgram({"dbus-send", "--session", "--print-reply", "--dest=vestrel.Vestrel",
                        "/vestrel/Window", "vestrel.Window.PauseOn"});
  EXPECT_EQ(call.status, 0);
  EXPECT_EQ(program.Terminate(), 0);
  EXPECT_EQ(program.Stderr().find("no D-Bus session bus"), std::string::npos);
}

TEST(Main, UnderXWithoutASessionBusNoBusDaemonOutlivesIt) {
  if (std::getenv("VESTREL_UNDER_XVFB") == nullptr) {
    if (std::system("command -v xvfb-run > /dev/null 2>&1") != 0) GTEST_SKIP() << "xvfb-run is not installed";
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    // No bus address and no user bus socket: under X the bus library would start a daemon.
    test::SoundTestDir runtime;
    const std::string cmd =
        "env -u DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR=" + ShellQuote(runtime.path().string()) +
        " VESTREL_UNDER_XVFB=1 timeout -k 10 240 xvfb-run -a " + ShellQuote(self) +
        " --gtest_filter=Main.UnderXWithoutASessionBusNoBusDaemonOutlivesIt";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    return;
  }
  // Whatever the program leaves behind becomes a child of this process once the program ends.
  ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  const std::string line = "no D-Bus session bus";
  {
    Program program("QT_QPA_PLATFORM=xcb");
    // The line comes at the engine start, when the window has been up for two seconds.
    EXPECT_TRUE(WaitFor([&] { return program.Stderr().find(line) != std::string::npos; }, 60s))
        << program.Stderr();
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(program.Terminate(), 0);
    EXPECT_EQ(CountOf(program.Stderr(), line), 1u) << program.Stderr();
  }
  std::this_thread::sleep_for(500ms);  // a daemon's own parent may still be on its way out
  for (const char* daemon : {"dbus-daemon", "dbus-launch"}) {
    const std::vector<pid_t> left = test::ChildrenNamed(getpid(), daemon);
    EXPECT_TRUE(left.empty()) << daemon << " left running";
    for (pid_t pid : left) kill(pid, SIGKILL);
  }
}

// True when the played samples hold anything but silence. Only the start is read: the file
// sound card is not paced, so a transmission that stays on fills the file at disk speed.
bool HoldsSignal(const fs::path& played) {
  std::ifstream f(played, std::ios::binary);
  std::vector<char> bytes(1 << 20);
  for (int block = 0; block < 8 && f.read(bytes.data(), std::streamsize(bytes.size())).gcount() > 0;
       ++block) {
    const auto n = static_cast<size_t>(f.gcount());
    for (size_t i = 0; i + 1 < n; i += 2) {
      const auto sample =
          static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8);
      if (sample > 64 || sample < -64) return true;
    }
  }
  return false;
}

// The exchange channel outlives the programs on it: a command a peer queued while no program
// ran, and text an earlier run left unread, must not be acted on or passed on at the next start.
TEST(Main, WhatWaitedOnTheExchangeChannelBeforeTheStartIsNeitherSentNorPassedOn) {
  const std::string prefix = "vestrel-main-stale-" + std::to_string(getpid());
  setenv("VESTREL_ZOZARIRI_PREFIX", prefix.c_str(), 1);
  const std::string peer = VESTREL_BINARY_DIR "/io/zozariri/zozariri-peer";
  {
    // What an earlier run left on the ring of received text, unread.
    ExchangeSegment earlier;
    ASSERT_TRUE(earlier.Open(1, ExchangeSegment::Side::kTerminal));
    for (char c : std::string("TEXT OF AN EARLIER RUN")) ASSERT_TRUE(earlier.Put(static_cast<uint8_t>(c)));
  }
  ASSERT_EQ(test::RunProgram({peer, "put", "1", "~[tx]STALE FROM BEFORE"}).status, 0);

  // The program keys the rig by CAT through rigctld, whose dummy rig keeps the PTT state.
  std::unique_ptr<test::ChildProcess> rigctld;
  uint16_t port = 0;
  for (int attempt = 0; attempt < 3 && !rigctld; ++attempt)
    rigctld = test::StartRigctld(port = test::FreeLoopbackPort());
  ASSERT_TRUE(rigctld) << "rigctld did not start";
  TcpLineSocket rig;
  ASSERT_TRUE(rig.Connect("127.0.0.1", port, 5s));
  auto keyed = [&] {
    std::string line;
    return rig.WriteAll("t\n", 5s) && rig.ReadLine(line, 5s) && line == "1";
  };

  Program program("QT_QPA_PLATFORM=offscreen", prefix, [port](const fs::path& dir) {
    std::ofstream(dir / "VESTREL.INI")
        << "[RTTY]\nPttPortType=5\n[Rigctld]\nRig1Host=127.0.0.1\nRig1Port=" << port << "\n";
  });
  const std::string line = "Exchange channel 1: 22 bytes queued before this program opened it discarded\n";
  // The channel opens at the engine start, some two seconds after the window appears; a
  // transmission of what waited would be played at once.
  ASSERT_TRUE(WaitFor(
      [&] { return program.Stderr().find(line) != std::string::npos || HoldsSignal(program.PlayedPath()); },
      60s))
      << program.Stderr();
  ASSERT_FALSE(HoldsSignal(program.PlayedPath()));
  ASSERT_FALSE(keyed());
  // The stale bytes are gone from the ring at the open; a short hold shows nothing plays later.
  std::this_thread::sleep_for(2s);
  EXPECT_FALSE(HoldsSignal(program.PlayedPath()));
  EXPECT_FALSE(keyed());
  EXPECT_EQ(CountOf(program.Stderr(), line), 1u) << program.Stderr();
  // A peer that attaches now gets nothing of the earlier run.
  const test::RunResult got = test::RunProgram({peer, "get", "1"});
  EXPECT_EQ(got.status, 0);
  EXPECT_EQ(got.out, "");
  EXPECT_EQ(program.Terminate(), 0);
  unsetenv("VESTREL_ZOZARIRI_PREFIX");
}

// The program's end never waits long for the data-exchange port: here a peer that stops the
// port's output (XOFF) and never reads holds KISS frames in the writer when SIGTERM comes.
TEST(Main, APeerThatDoesNotReadTheExchangePortDoesNotHoldTheEnd) {
  for (const char* tool : {"gen_packets", "sox"})
    if (!test::HaveProgram(tool)) GTEST_SKIP() << tool << " is not installed";
  test::PtyPair peer;
  ASSERT_TRUE(peer.ok());
  Program program("QT_QPA_PLATFORM=offscreen", "", [&](const fs::path& dir) {
    // AX.25 frames, each of which goes out on the port as one KISS frame.
    const std::string wav = (dir / "frames.wav").string(), raw = (dir / "in.raw").string();
    ASSERT_EQ(test::RunTool("gen_packets -r 11025 -n 30 -o " + ShellQuote(wav)).exitCode, 0);
    ASSERT_EQ(
        test::RunTool("sox " + ShellQuote(wav) + " -t raw -e signed -b 16 -c 1 " + ShellQuote(raw)).exitCode,
        0);
    std::ofstream(raw, std::ios::binary | std::ios::app) << std::string(11025 * 2 * 60, '\0');
    std::ofstream(dir / "VESTREL.INI")
        << "[RTTY]\nMode=10\nExchangePortNumber=5\nExchangeSpeed=4800\nExCanal=0\n"
        << "[AX25]\nIsKISS=1\n[ComPorts]\nCOM5=" << peer.slavePath() << "\n";
  });
  // The frames come out on the port; then the peer stops its output and reads no more.
  size_t ends = 0;
  ASSERT_TRUE(WaitFor(
      [&] {
        for (uint8_t b : peer.Read(50)) ends += b == 0xC0;
        return ends >= 4;
      },
      60s))
      << program.Stderr();
  termios2 t = peer.SlaveSettings();
  t.c_iflag |= IXON;
  ASSERT_EQ(ioctl(peer.master(), TCSETS2, &t), 0);
  peer.Write({0x13});
  // A frame or more a second comes in: the next ones wait in the writer, which blocks on the
  // stopped port. A kernel pseudo-terminal does not count what waits, so this is a hold.
  std::this_thread::sleep_for(3s);
  // The writer used to be given up only after the shutdown's 10.5 s wait; the end now takes
  // well under a second. The bound leaves room for a loaded machine.
  EXPECT_EQ(program.Terminate(5s), 0) << program.Stderr();
}

}  // namespace
}  // namespace vestrel
