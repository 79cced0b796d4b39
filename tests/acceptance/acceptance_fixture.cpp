#include "acceptance/acceptance_fixture.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "platform/tcp_line_socket.h"
#include "support/alsa_test_config.h"
#include "support/child_process.h"
#include "support/rigctld_daemon.h"
#include "support/tool_runner.h"

extern char** environ;

namespace vestrel::acceptance {

using namespace std::chrono_literals;
using test::ShellQuote;

namespace {

const std::string kProgram = VESTREL_BINARY_DIR "/app/vestrel";

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// In a forked child: the outside world's display, bus and home are dropped, `env` is added,
// and argv[0] (searched on PATH) replaces the child.
[[noreturn]] void ExecIn(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "QT_QPA_PLATFORM",
                           "HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR",
                           "SESSION_MANAGER", "ALSA_CONFIG_PATH"})
    unsetenv(name);
  for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  execvp(args[0], args.data());
  _exit(127);
}

// Runs a program to its end with a clean stdout capture; its exit status (-1 on failure).
int Run(const std::vector<std::string>& argv, const std::vector<std::string>& env, std::string* out,
        std::chrono::milliseconds limit = 30s) {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
  const pid_t pid = fork();
  if (pid < 0) {
    close(pipeFds[0]);
    close(pipeFds[1]);
    return -1;
  }
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    dup2(pipeFds[1], STDOUT_FILENO);
    const int null = open("/dev/null", O_RDWR);
    dup2(null, STDIN_FILENO);
    dup2(null, STDERR_FILENO);
    ExecIn(argv, env);
  }
  close(pipeFds[1]);
  std::string text;
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{pipeFds[0], POLLIN, 0};
    if (poll(&p, 1, int(left.count())) <= 0) break;
    char buf[4096];
    const ssize_t n = read(pipeFds[0], buf, sizeof buf);
    if (n <= 0) break;
    text.append(buf, size_t(n));
  }
  close(pipeFds[0]);
  int status = 0;
  for (;;) {
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) break;
    if (r < 0) return -1;
    if (std::chrono::steady_clock::now() > end) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(5ms);
  }
  if (out != nullptr) *out = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int NumberAfter(const std::string& text, const std::string& key, int otherwise) {
  const size_t at = text.find(key);
  return at == std::string::npos ? otherwise : std::atoi(text.c_str() + at + key.size());
}

uint32_t Be32(const std::string& s, size_t at) {
  return (uint32_t(uint8_t(s[at])) << 24) | (uint32_t(uint8_t(s[at + 1])) << 16) |
         (uint32_t(uint8_t(s[at + 2])) << 8) | uint32_t(uint8_t(s[at + 3]));
}

int ShiftOf(uint32_t mask) {
  int s = 0;
  while (mask != 0 && (mask & 1u) == 0) {
    mask >>= 1;
    ++s;
  }
  return s;
}

}  // namespace

// ---------------------------------------------------------------- screenshots

Screenshot Screenshot::Crop(const Rect& r) const {
  Screenshot c;
  const int x0 = std::clamp(r.x, 0, width), y0 = std::clamp(r.y, 0, height);
  const int x1 = std::clamp(r.x + r.width, 0, width), y1 = std::clamp(r.y + r.height, 0, height);
  c.width = x1 - x0;
  c.height = y1 - y0;
  c.pixels.reserve(size_t(c.width) * size_t(c.height));
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) c.pixels.push_back(At(x, y));
  return c;
}

int Screenshot::CountNot(uint32_t background, const Rect& r) const {
  int n = 0;
  for (int y = std::max(r.y, 0); y < std::min(r.y + r.height, height); ++y)
    for (int x = std::max(r.x, 0); x < std::min(r.x + r.width, width); ++x) n += At(x, y) != background;
  return n;
}

int Screenshot::CountInk(uint32_t background, const Rect& r) const {
  int n = 0;
  for (int y = std::max(r.y, 0); y < std::min(r.y + r.height, height); ++y) {
    for (int x = std::max(r.x, 1); x < std::min(r.x + r.width, width - 1); ++x) {
      const uint32_t p = At(x, y);
      n += p != background && (At(x - 1, y) == background || At(x + 1, y) == background);
    }
  }
  return n;
}

uint32_t Screenshot::MostCommon(const Rect& r) const {
  std::map<uint32_t, int> counts;
  for (int y = std::max(r.y, 0); y < std::min(r.y + r.height, height); ++y)
    for (int x = std::max(r.x, 0); x < std::min(r.x + r.width, width); ++x) ++counts[At(x, y)];
  uint32_t best = 0;
  int most = -1;
  for (const auto& [colour, n] : counts) {
    if (n > most) {
      most = n;
      best = colour;
    }
  }
  return best;
}

bool Screenshot::SavePpm(const fs::path& path) const {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << width << " " << height << "\n255\n";
  for (uint32_t p : pixels) {
    const char rgb[3] = {char(p >> 16), char(p >> 8), char(p)};
    out.write(rgb, 3);
  }
  return bool(out);
}

Rect FindReceivePane(const Screenshot& s) {
  if (s.width < 10 || s.height < 10) return {};
  const int x = s.width / 2;
  // Runs of one colour down the column; a line of a few pixels across the pane (a mark the
  // window draws) does not split it.
  constexpr int kBridge = 3;
  int bestTop = 0, bestLength = 0;
  for (int y = 0; y < s.height * 2 / 3;) {
    const uint32_t colour = s.At(x, y);
    int end = y + 1;
    for (;;) {
      while (end < s.height && s.At(x, end) == colour) ++end;
      int resume = end;
      while (resume < s.height && resume - end < kBridge && s.At(x, resume) != colour) ++resume;
      if (resume < s.height && resume > end && s.At(x, resume) == colour) {
        end = resume;
        continue;
      }
      break;
    }
    if (end - y > bestLength) {
      bestLength = end - y;
      bestTop = y;
    }
    y = end;
  }
  if (bestLength < 10) return {};
  const uint32_t colour = s.At(x, bestTop);
  const int row = bestTop + 1;
  int left = x, right = x;
  while (left > 0 && s.At(left - 1, row) == colour) --left;
  while (right + 1 < s.width && s.At(right + 1, row) == colour) ++right;
  return {left + 2, bestTop + 2, right - left + 1 - 4, bestLength - 4};
}

// ---------------------------------------------------------------- the world

AcceptanceSession::AcceptanceSession(SessionOptions options) : options_(std::move(options)) {
  std::string tmpl = (fs::temp_directory_path() / "vestrel_acceptance_XXXXXX").string();
  if (mkdtemp(tmpl.data()) != nullptr) dir_ = tmpl;
  exchangePrefix_ = "vestrel-acceptance-" + std::to_string(getpid()) + "-" + dir_.filename().string();
}

AcceptanceSession::~AcceptanceSession() {
  EndGroup(program_, 10s);
  EndGroup(wm_, 5s);
  EndGroup(bus_, 5s);
  EndGroup(xserver_, 5s);
  rig_.reset();
  stopDrain_ = true;
  if (drain_.joinable()) drain_.join();
  if (fifo_ >= 0) close(fifo_);
  shm_unlink(("/" + exchangePrefix_ + "-1").c_str());
  if (!dir_.empty() && std::getenv("VESTREL_KEEP_ACCEPTANCE_DIR") == nullptr) {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
}

pid_t AcceptanceSession::Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                               const fs::path& cwd, const fs::path& output, int passFd) const {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  // A group of its own, so that the end takes its children too; and it dies with the test.
  setpgid(0, 0);
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  const int null = open("/dev/null", O_RDWR);
  dup2(null, STDIN_FILENO);
  const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  dup2(out >= 0 ? out : null, STDOUT_FILENO);
  dup2(out >= 0 ? out : null, STDERR_FILENO);
  if (passFd >= 0) dup2(passFd, 3);
  if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
  ExecIn(argv, env);
}

void AcceptanceSession::EndGroup(pid_t& pid, std::chrono::milliseconds grace) {
  if (pid <= 0) return;
  kill(-pid, SIGTERM);
  const auto end = std::chrono::steady_clock::now() + grace;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > end) {
      kill(-pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(20ms);
  }
  kill(-pid, SIGKILL);  // whatever of its group is left
  pid = -1;
}

std::vector<std::string> AcceptanceSession::XEnv() const {
  return {"DISPLAY=" + Display(),
          "HOME=" + Home().string(),
          "XDG_CONFIG_HOME=" + (Home() / ".config").string(),
          "XDG_DATA_HOME=" + (Home() / ".local/share").string(),
          "XDG_CACHE_HOME=" + (Home() / ".cache").string(),
          "XDG_RUNTIME_DIR=" + (dir_ / "runtime").string(),
          "DBUS_SESSION_BUS_ADDRESS=" + busAddress_};
}

bool AcceptanceSession::WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(100ms);
  }
  return true;
}

::testing::AssertionResult AcceptanceSession::StartWorld() {
  if (dir_.empty()) return ::testing::AssertionFailure() << "no temporary directory";
  for (const fs::path& d : {WorkDir(), Home(), dir_ / "runtime", dir_ / "fb"}) fs::create_directories(d);
  fs::permissions(dir_ / "runtime", fs::perms::owner_all);

  // The sound card: capture from a file, playback into one.
  std::vector<int16_t> capture = options_.capture;
  capture.resize(capture.size() + size_t(options_.silenceSeconds) * kSampleRate, 0);
  const fs::path captureFile = dir_ / "capture.raw";
  if (!test::WriteRawSamples(captureFile.string(), capture))
    return ::testing::AssertionFailure() << "cannot write " << captureFile;
  const fs::path fifoPath = dir_ / "playback.fifo";
  if (mkfifo(fifoPath.c_str(), 0600) != 0) return ::testing::AssertionFailure() << "cannot make " << fifoPath;
  // Read and write, so that the pipe never reports an end between transmissions; small, so
  // that the program runs no further ahead than a card's buffer.
  fifo_ = open(fifoPath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fifo_ < 0) return ::testing::AssertionFailure() << "cannot open " << fifoPath;
  fcntl(fifo_, F_SETPIPE_SZ, 4096);
  std::ofstream(PlaybackPath(), std::ios::binary).flush();
  drain_ = std::thread([this] { Drain(); });
  test::AlsaTestConfig::WriteFilePcm(dir_, captureFile, fifoPath);

  // The X server picks a free display and names it on fd 3; its frame buffer is a file.
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return ::testing::AssertionFailure() << "pipe";
  const std::string screen =
      std::to_string(options_.screenWidth) + "x" + std::to_string(options_.screenHeight) + "x24";
  xserver_ = Spawn({"Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-screen", "0", screen, "-fbdir",
                    (dir_ / "fb").string()},
                   {}, dir_, dir_ / "xvfb.log", pipeFds[1]);
  close(pipeFds[1]);
  std::string number;
  const auto end = std::chrono::steady_clock::now() + 60s;
  while (number.find('\n') == std::string::npos && std::chrono::steady_clock::now() < end) {
    pollfd p{pipeFds[0], POLLIN, 0};
    if (poll(&p, 1, 1000) <= 0) continue;
    char buf[32];
    const ssize_t n = read(pipeFds[0], buf, sizeof buf);
    if (n <= 0) break;
    number.append(buf, size_t(n));
  }
  close(pipeFds[0]);
  if (number.find('\n') == std::string::npos)
    return ::testing::AssertionFailure() << "Xvfb did not start: " << Slurp(dir_ / "xvfb.log");
  display_ = std::atoi(number.c_str());

  // Its own session bus.
  const fs::path busSocket = dir_ / "runtime" / "bus";
  busAddress_ = "unix:path=" + busSocket.string();
  bus_ = Spawn({"dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=" + busAddress_}, XEnv(),
               dir_, dir_ / "bus.log");
  if (!WaitFor([&] { return fs::exists(busSocket); }, 60s))
    return ::testing::AssertionFailure() << "no session bus: " << Slurp(dir_ / "bus.log");

  // The window manager; it is up once it names its check window on the root.
  wm_ = Spawn({"openbox", "--sm-disable"}, XEnv(), Home(), dir_ / "openbox.log");
  const bool managed = WaitFor(
      [&] {
        std::string out;
        Run({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}, XEnv(), &out);
        return out.find("window id") != std::string::npos;
      },
      60s);
  if (!managed)
    return ::testing::AssertionFailure() << "openbox did not start: " << Slurp(dir_ / "openbox.log");
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult AcceptanceSession::StartProgram() {
  if (options_.rigKeying && !rig_) {
    for (int attempt = 0; attempt < 5 && !rig_; ++attempt) {
      rigPort_ = test::FreeLoopbackPort();
      rig_ = test::StartRigctld(rigPort_);
    }
    if (!rig_) return ::testing::AssertionFailure() << "rigctld did not start";
    if (!options_.settings) options_.settings = "[RTTY]\r\nPttPortType=5\r\n";
    *options_.settings +=
        "\r\n[Rigctld]\r\nRig1Host=127.0.0.1\r\nRig1Port=" + std::to_string(rigPort_) + "\r\n";
  }
  if (options_.settings) {
    std::ofstream(SettingsPath(), std::ios::binary) << *options_.settings;
    options_.settings.reset();  // a restart finds what the program saved
  }
  std::vector<std::string> env = XEnv();
  env.push_back("QT_QPA_PLATFORM=xcb");
  env.push_back("ALSA_CONFIG_PATH=" + (dir_ / "asound.conf").string());
  env.push_back("VESTREL_ZOZARIRI_PREFIX=" + exchangePrefix_);
  for (const std::string& e : options_.env) env.push_back(e);
  std::vector<std::string> argv{kProgram};
  for (const std::string& a : options_.args) argv.push_back(a);
  window_.clear();
  exitStatus_ = -1;
  program_ = Spawn(argv, env, WorkDir(), dir_ / "program.log");
  if (program_ <= 0) return ::testing::AssertionFailure() << "cannot start " << kProgram;

  // Mapped and framed by the window manager.
  const bool shown = WaitFor(
      [&] {
        if (!ProgramRunning()) return true;
        std::string out;
        if (!XdoTool({"search", "--onlyvisible", "--name", "^Vestrel$"}, &out)) return false;
        std::istringstream ids(out);
        std::string id;
        while (ids >> id) {
          std::string extents;
          Run({"xprop", "-id", id, "_NET_FRAME_EXTENTS"}, XEnv(), &extents);
          if (extents.find('=') != std::string::npos) {
            window_ = id;
            return true;
          }
        }
        return false;
      },
      90s);
  if (!shown || window_.empty())
    return ::testing::AssertionFailure() << "the window did not appear: " << ProgramOutput();
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult AcceptanceSession::Start() {
  const std::string missing = MissingForAcceptance();
  if (!missing.empty()) return ::testing::AssertionFailure() << missing;
  ::testing::AssertionResult world = StartWorld();
  if (!world) return world;
  return StartProgram();
}

::testing::AssertionResult AcceptanceSession::StartReadyToKey() {
  if (::testing::AssertionResult started = Start(); !started) return started;
  if (!WaitEngineStarted())
    return ::testing::AssertionFailure() << "the engine did not start\n" << ProgramOutput();
  if (!WaitRigKeyed(false)) return ::testing::AssertionFailure() << "the rig does not answer";
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult AcceptanceSession::Restart() {
  if (ProgramRunning()) return ::testing::AssertionFailure() << "the program is still running";
  return StartProgram();
}

std::string AcceptanceSession::ProgramOutput() const {
  return Slurp(dir_ / "program.log");
}

// ---------------------------------------------------------------- acting

bool AcceptanceSession::XdoTool(const std::vector<std::string>& args, std::string* out) const {
  std::vector<std::string> argv{"xdotool"};
  argv.insert(argv.end(), args.begin(), args.end());
  return Run(argv, XEnv(), out) == 0;
}

bool AcceptanceSession::Activate() {
  if (window_.empty()) return false;
  XdoTool({"windowactivate", "--sync", window_});
  const bool focused = WaitFor(
      [&] {
        std::string out;
        if (XdoTool({"getwindowfocus"}, &out) &&
            std::strtoul(out.c_str(), nullptr, 10) == std::stoul(window_))
          return true;
        XdoTool({"windowfocus", "--sync", window_});
        return false;
      },
      20s);
  return focused;
}

bool AcceptanceSession::Key(const std::string& keys) {
  std::vector<std::string> args{"key", "--clearmodifiers", "--delay", "60"};
  std::istringstream in(keys);
  for (std::string k; in >> k;) args.push_back(k);
  return XdoTool(args);
}

bool AcceptanceSession::Type(const std::string& text) {
  return XdoTool({"type", "--clearmodifiers", "--delay", "40", "--", text});
}

bool AcceptanceSession::Click(int x, int y, int button) {
  const Rect g = Geometry();
  return XdoTool({"mousemove", "--sync", std::to_string(g.x + x), std::to_string(g.y + y), "click",
                  std::to_string(button)});
}

bool AcceptanceSession::Drag(int x0, int y0, int x1, int y1) {
  const Rect g = Geometry();
  // In steps, so that the program sees the pointer move while the button is down.
  if (!XdoTool({"mousemove", "--sync", std::to_string(g.x + x0), std::to_string(g.y + y0), "mousedown", "1"}))
    return false;
  const int steps = 8;
  for (int i = 1; i <= steps; ++i) {
    XdoTool({"mousemove", "--sync", std::to_string(g.x + x0 + (x1 - x0) * i / steps),
             std::to_string(g.y + y0 + (y1 - y0) * i / steps)});
  }
  return XdoTool({"mouseup", "1"});
}

// ---------------------------------------------------------------- seeing

Rect AcceptanceSession::Geometry() const {
  Rect r;
  if (window_.empty()) return r;
  std::string info;
  Run({"xwininfo", "-id", window_}, XEnv(), &info);
  r.x = NumberAfter(info, "Absolute upper-left X:", 0);
  r.y = NumberAfter(info, "Absolute upper-left Y:", 0);
  r.width = NumberAfter(info, "Width:", 0);
  r.height = NumberAfter(info, "Height:", 0);
  return r;
}

Rect AcceptanceSession::FrameGeometry() const {
  Rect r = Geometry();
  std::string extents;
  Run({"xprop", "-id", window_, "_NET_FRAME_EXTENTS"}, XEnv(), &extents);
  // "_NET_FRAME_EXTENTS(CARDINAL) = left, right, top, bottom"
  const size_t eq = extents.find('=');
  if (eq == std::string::npos) return r;
  int left = 0, right = 0, top = 0, bottom = 0;
  char comma = 0;
  std::istringstream in(extents.substr(eq + 1));
  in >> left >> comma >> right >> comma >> top >> comma >> bottom;
  return {r.x - left, r.y - top, r.width + left + right, r.height + top + bottom};
}

Screenshot AcceptanceSession::Shot() const {
  // Xvfb keeps its frame buffer as an XWD file: a header of big-endian words, a colour map,
  // then the pixels.
  Screenshot s;
  const std::string xwd = Slurp(dir_ / "fb" / "Xvfb_screen0");
  if (xwd.size() < 100) return s;
  const uint32_t headerSize = Be32(xwd, 0), width = Be32(xwd, 16), height = Be32(xwd, 20);
  const uint32_t byteOrder = Be32(xwd, 28), bitsPerPixel = Be32(xwd, 44), bytesPerLine = Be32(xwd, 48);
  const uint32_t redMask = Be32(xwd, 56), greenMask = Be32(xwd, 60), blueMask = Be32(xwd, 64);
  const uint32_t colours = Be32(xwd, 76);
  const size_t data = size_t(headerSize) + size_t(colours) * 12;
  if (bitsPerPixel != 32 || xwd.size() < data + size_t(bytesPerLine) * height) return s;
  s.width = int(width);
  s.height = int(height);
  s.pixels.resize(size_t(width) * height);
  const int rs = ShiftOf(redMask), gs = ShiftOf(greenMask), bs = ShiftOf(blueMask);
  for (uint32_t y = 0; y < height; ++y) {
    const char* row = xwd.data() + data + size_t(y) * bytesPerLine;
    for (uint32_t x = 0; x < width; ++x) {
      const auto* b = reinterpret_cast<const uint8_t*>(row + x * 4);
      const uint32_t v =
          byteOrder == 0
              ? (uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24)
              : (uint32_t(b[3]) | uint32_t(b[2]) << 8 | uint32_t(b[1]) << 16 | uint32_t(b[0]) << 24);
      const uint32_t r = (v & redMask) >> rs, g = (v & greenMask) >> gs, bl = (v & blueMask) >> bs;
      s.pixels[size_t(y) * width + x] = (r & 0xFF) << 16 | (g & 0xFF) << 8 | (bl & 0xFF);
    }
  }
  return s;
}

Screenshot AcceptanceSession::WindowShot() const {
  return Shot().Crop(Geometry());
}

void AcceptanceSession::KeepShot(const Screenshot& shot, const std::string& name) const {
  const fs::path dir = fs::path(VESTREL_BINARY_DIR) / "tests" / "screenshots";
  std::error_code ec;
  fs::create_directories(dir, ec);
  shot.SavePpm(dir / (name + ".ppm"));
}

// ---------------------------------------------------------------- hearing and files

void AcceptanceSession::Drain() {
  // The played audio at the sample rate, and a tenth of a second ahead; a pause in the flow
  // (between transmissions) starts the clock again.
  const int out = open(PlaybackPath().c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  constexpr int64_t kBytesPerSecond = int64_t(kSampleRate) * 2;
  constexpr int64_t kLead = kBytesPerSecond / 10;
  char buf[4096];
  auto start = std::chrono::steady_clock::now();
  int64_t taken = 0;
  while (!stopDrain_) {
    pollfd p{fifo_, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) {
      start = std::chrono::steady_clock::now();
      taken = 0;
      continue;
    }
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start)
            .count();
    const int64_t allowed = elapsed * kBytesPerSecond / 1000000 + kLead - taken;
    if (allowed < 2) {
      std::this_thread::sleep_for(5ms);
      continue;
    }
    const ssize_t n = read(fifo_, buf, size_t(std::min<int64_t>(allowed & ~int64_t(1), sizeof buf)));
    if (n <= 0) continue;
    taken += n;
    if (out >= 0 && write(out, buf, size_t(n)) != n) break;
  }
  if (out >= 0) close(out);
}

std::vector<int16_t> AcceptanceSession::Playback(size_t from) const {
  const std::string bytes = Slurp(PlaybackPath());
  const size_t count = bytes.size() / 2;
  std::vector<int16_t> s(count > from ? count - from : 0);
  std::memcpy(s.data(), bytes.data() + from * 2, s.size() * 2);
  return s;
}

bool AcceptanceSession::WaitPlaybackDrained(std::chrono::milliseconds limit) const {
  int emptyChecks = 0;
  return WaitFor(
      [&] {
        int waiting = 0;
        if (ioctl(fifo_, FIONREAD, &waiting) != 0) return true;
        emptyChecks = waiting == 0 ? emptyChecks + 1 : 0;
        return emptyChecks >= 2;
      },
      limit);
}

size_t AcceptanceSession::PlaybackSamples() const {
  std::error_code ec;
  const auto bytes = fs::file_size(PlaybackPath(), ec);
  return ec ? 0 : size_t(bytes / 2);
}

size_t AcceptanceSession::CapturedSamples() const {
  std::error_code ec;
  const auto bytes = fs::file_size(dir_ / "capture-copy.raw", ec);
  return ec ? 0 : size_t(bytes / 2);
}

std::string AcceptanceSession::ReadFile(const fs::path& path) const {
  return Slurp(path.is_absolute() ? path : WorkDir() / path);
}

// ---------------------------------------------------------------- ending

bool AcceptanceSession::ClickCloseButton() {
  // openbox puts the close button at the right end of the title bar: a square as high as
  // the bar less its padding.
  const Rect frame = FrameGeometry();
  const Rect client = Geometry();
  const int titleHeight = client.y - frame.y;
  if (titleHeight <= 0) return false;
  const int x = frame.x + frame.width - titleHeight / 2 - 2;
  const int y = frame.y + titleHeight / 2;
  return XdoTool({"mousemove", "--sync", std::to_string(x), std::to_string(y), "click", "1"});
}

std::optional<bool> AcceptanceSession::RigKeyed() const {
  if (!rig_) return std::nullopt;
  TcpLineSocket link;
  if (!link.Connect("127.0.0.1", rigPort_, 2000ms)) return std::nullopt;
  std::string line;
  if (!link.WriteAll("t\n", 2000ms) || !link.ReadLine(line, 5000ms)) return std::nullopt;
  if (line.empty() || (line[0] != '0' && line[0] != '1')) return std::nullopt;
  return line[0] == '1';
}

bool AcceptanceSession::WaitRigKeyed(bool keyed, std::chrono::milliseconds limit) const {
  return WaitFor([&] { return RigKeyed() == keyed; }, limit);
}

bool AcceptanceSession::WaitEngineStarted(std::chrono::milliseconds limit) const {
  return WaitFor([&] { return CapturedSamples() > 0; }, limit);
}

bool AcceptanceSession::Terminate() {
  return program_ > 0 && kill(program_, SIGTERM) == 0;
}

int AcceptanceSession::WaitExit(std::chrono::milliseconds limit) {
  if (program_ <= 0) return exitStatus_;
  int status = 0;
  const bool ended = WaitFor([&] { return waitpid(program_, &status, WNOHANG) == program_; }, limit);
  if (!ended) {
    EndGroup(program_, 1s);
    exitStatus_ = -1;
    return -1;
  }
  kill(-program_, SIGKILL);  // anything it left in its group
  program_ = -1;
  window_.clear();
  exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return exitStatus_;
}

// ---------------------------------------------------------------- audio

std::vector<int16_t> ReadWavSamples(const fs::path& wav) {
  const std::string b = Slurp(wav);
  std::vector<int16_t> s;
  if (b.size() < 12 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "WAVE") != 0) return s;
  auto le32 = [&](size_t at) {
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 | uint32_t(uint8_t(b[at + 2])) << 16 |
           uint32_t(uint8_t(b[at + 3])) << 24;
  };
  for (size_t at = 12; at + 8 <= b.size();) {
    const uint32_t size = le32(at + 4);
    if (b.compare(at, 4, "data") == 0) {
      const size_t n = std::min<size_t>(size, b.size() - at - 8) / 2;
      s.resize(n);
      std::memcpy(s.data(), b.data() + at + 8, n * 2);
      return s;
    }
    at += 8 + size + (size & 1);
  }
  return s;
}

std::vector<int16_t> MinimodemRtty(const std::string& text) {
  const std::string wav = test::TempPath("minimodem_rtty.wav");
  const test::ToolResult r =
      test::RunTool("printf '%s' " + ShellQuote(text) + " | minimodem --tx rtty -R " +
                    std::to_string(kSampleRate) + " -M 1785 -S 1615 -f " + ShellQuote(wav));
  std::vector<int16_t> s = r.exitCode == 0 ? ReadWavSamples(wav) : std::vector<int16_t>{};
  std::remove(wav.c_str());
  return s;
}

std::optional<std::string> DecodeWithVestrel(const std::vector<int16_t>& samples, const std::string& mode,
                                             const std::vector<std::string>& extraArgs) {
  const std::string tool = test::BenchToolPath("vestrel-decode");
  if (tool.empty()) return std::nullopt;
  const std::string raw = test::TempPath("acceptance_decode.raw");
  test::WriteRawSamples(raw, samples);
  std::string cmd = ShellQuote(tool);
  cmd += " --mode ";
  cmd += ShellQuote(mode);
  for (const std::string& a : extraArgs) {
    cmd += ' ';
    cmd += ShellQuote(a);
  }
  const test::ToolResult r = test::RunTool(cmd, raw);
  std::remove(raw.c_str());
  return r.out;
}

Screenshot WaitReceivePane(const AcceptanceSession& session, int minWidth, int minHeight, Rect& pane) {
  Screenshot shot;
  pane = {};
  AcceptanceSession::WaitFor(
      [&] {
        shot = session.WindowShot();
        pane = FindReceivePane(shot);
        return pane.height > minHeight && pane.width > minWidth;
      },
      std::chrono::seconds(30));
  return shot;
}

std::string RttyPlain(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == ' ' || c == '\r' || c == '\n') {
      if (!out.empty() && out.back() != ' ') out.push_back(' ');
    } else {
      out.push_back(char(std::toupper(static_cast<unsigned char>(c))));
    }
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

std::string HeardRtty(const AcceptanceSession& session, size_t from) {
  const std::optional<std::string> text = DecodeWithVestrel(session.Playback(from), "RTTY");
  return text ? RttyPlain(*text) : std::string("(vestrel-decode is not built)");
}

std::vector<int16_t> TrimSilence(const std::vector<int16_t>& samples, int threshold, size_t margin) {
  auto loud = [&](int16_t v) { return std::abs(int(v)) > threshold; };
  const auto first = std::find_if(samples.begin(), samples.end(), loud);
  if (first == samples.end()) return {};
  const auto last = std::find_if(samples.rbegin(), samples.rend(), loud).base();
  const size_t from = size_t(first - samples.begin()), to = size_t(last - samples.begin());
  return std::vector<int16_t>(samples.begin() + long(from > margin ? from - margin : 0),
                              samples.begin() + long(std::min(samples.size(), to + margin)));
}

std::string MissingForAcceptance() {
#ifndef NDEBUG
  return "the program keeps up with a real-time sound card only in the optimised build";
#else
  if (!fs::exists(kProgram)) return kProgram + " is not built";
  for (const char* tool : {"Xvfb", "openbox", "dbus-daemon", "xdotool", "xprop", "xwininfo"}) {
    if (!test::HaveProgram(tool)) return std::string(tool) + " is not installed";
  }
  return "";
#endif
}

}  // namespace vestrel::acceptance
