// ctest-labels: integration
// The program itself, started the way a user starts it: without a display, on a session bus
// of its own (dbus-run-session), and under Xvfb without any session bus.
#include <gtest/gtest.h>
#include <signal.h>
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

#include "support/alsa_test_config.h"
#include "support/child_process.h"
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
  explicit Program(const std::string& envPrefix = "") {
    const fs::path silence = dir_.path() / "in.raw";
    std::ofstream(silence, std::ios::binary) << std::string(11025 * 2 * 60, '\0');
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
  std::string Stderr() const { return test::ReadWholeFile(ErrPath().string()); }
  pid_t Pid() const { return child_->Pid(); }
  // SIGTERM is the orderly way out; the exit status, -1 when it had to be killed.
  int Terminate() {
    kill(child_->Pid(), SIGTERM);
    return child_->Wait(30s);
  }

 private:
  test::SoundTestDir dir_;
  const std::string exchangePrefix_ = "vestrel-main-test-" + std::to_string(getpid());
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

}  // namespace
}  // namespace vestrel
