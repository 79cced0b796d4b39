#include "support/sound_peers.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/tool_runner.h"

namespace vestrel::test {

namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using std::chrono::seconds;

bool WriteFile(const std::string& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary);
  f << text;
  return static_cast<bool>(f);
}

// One XML-RPC call to fldigi: argv[1] the method, the rest typed arguments. Prints "1" and the
// result, or "0" and the fault.
constexpr const char* kRpcScript = R"(
import sys, xmlrpc.client
def arg(a):
    if a.startswith('i:'): return int(a[2:])
    if a.startswith('b:'): return a[2:] not in ('0', 'false')
    return a
try:
    f = xmlrpc.client.ServerProxy('http://127.0.0.1:7362')
    for part in sys.argv[1].split('.'): f = getattr(f, part)
    r = f(*[arg(a) for a in sys.argv[2:]])
    if isinstance(r, xmlrpc.client.Binary): r = r.data.decode('latin-1')
    sys.stdout.buffer.write(b'1' + str(r).encode('latin-1', 'replace'))
except Exception as e:
    sys.stdout.buffer.write(b'0' + str(e).encode('latin-1', 'replace'))
)";

}  // namespace

PrivateSoundWorld::PrivateSoundWorld() {
  std::string templ = testing::TempDir() + "vestrel_sound_XXXXXX";
  if (mkdtemp(templ.data()) == nullptr) {
    error_ = "no temporary directory";
    return;
  }
  dir_ = templ;
  fs::create_directories(dir_ + "/home");
  fs::create_directories(dir_ + "/run");
  const std::string script = dir_ + "/default.pa";
  WriteFile(script, "load-module module-native-protocol-unix auth-anonymous=1 socket=" + dir_ +
                        "/pulse.sock\n"
                        "load-module module-null-sink sink_name=rx\n"
                        "load-module module-null-sink sink_name=tx\n"
                        "set-default-sink tx\n"
                        "set-default-source rx.monitor\n");
  pulse_ = std::make_unique<ChildProcess>(std::vector<std::string>{
      "env", "HOME=" + dir_ + "/home", "XDG_RUNTIME_DIR=" + dir_ + "/run", "pulseaudio", "-n", "-F", script,
      "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no", "--disallow-exit=yes"});
  bool up = false;
  for (int i = 0; i < 100 && pulse_->Started() && !up; ++i) {
    std::this_thread::sleep_for(milliseconds(100));
    up = RunProgram({"pactl", "-s", PulseServer(), "info"}, seconds(5)).status == 0;
  }
  if (!up) {
    error_ = "the private PulseAudio daemon did not start";
    return;
  }
  xvfb_ = std::make_unique<ChildProcess>(
      std::vector<std::string>{"Xvfb", "-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1024x768x24"},
      true);
  std::string number = xvfb_->ReadSome(seconds(15));
  while (!number.empty() && (number.back() == '\n' || number.back() == ' ')) number.pop_back();
  if (number.empty()) {
    error_ = "Xvfb did not start";
    return;
  }
  display_ = ":" + number;
}

PrivateSoundWorld::~PrivateSoundWorld() {
  recorder_.reset();
  xvfb_.reset();
  pulse_.reset();
  if (!dir_.empty()) {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
}

std::vector<std::string> PrivateSoundWorld::Environment() const {
  return {"HOME=" + dir_ + "/home", "XDG_RUNTIME_DIR=" + dir_ + "/run", "PULSE_SERVER=" + PulseServer(),
          "DISPLAY=" + display_};
}

bool PrivateSoundWorld::Play(const std::string& rawPath, int rate) {
  const auto bytes = fs::file_size(rawPath);
  const auto limit = seconds(30 + static_cast<int>(bytes / 2 / static_cast<uintmax_t>(rate)));
  return RunProgram({"paplay", "-s", PulseServer(), "--raw", "--rate=" + std::to_string(rate),
                     "--format=s16le", "--channels=1", "-d", "rx", rawPath},
                    limit)
             .status == 0;
}

bool PrivateSoundWorld::StartRecording(const std::string& rawPath, int rate) {
  recorder_ = std::make_unique<ChildProcess>(
      std::vector<std::string>{"parec", "-s", PulseServer(), "-d", "tx.monitor", "--raw",
                               "--rate=" + std::to_string(rate), "--format=s16le", "--channels=1", rawPath});
  return recorder_->Started();
}

void PrivateSoundWorld::StopRecording() {
  recorder_.reset();
}

FldigiPeer::FldigiPeer(PrivateSoundWorld& world) : world_(world) {
  if (!world.Ready()) return;
  const std::string config = world.Dir() + "/fldigi";
  const std::string home = world.Dir() + "/fldigi-home";
  fs::create_directories(config);
  fs::create_directories(home);
  // Without a settings file fldigi opens its first-run wizard and never starts its server.
  WriteFile(config + "/fldigi_def.xml",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<FLDIGI_DEFS>\n"
            "<AUDIOIO>2</AUDIOIO>\n<PULSESERVER>" +
                world.PulseServer() +
                "</PULSESERVER>\n"
                "<MYCALL>N0CALL</MYCALL>\n<SAVECONFIG>0</SAVECONFIG>\n<CONFIRMEXIT>0</CONFIRMEXIT>\n"
                "</FLDIGI_DEFS>\n");
  std::vector<std::string> argv = {"env"};
  for (const std::string& e : world.Environment()) argv.push_back(e);
  // A user who is not root may still have a network namespace inside a user namespace.
  argv.push_back("unshare");
  if (geteuid() != 0) argv.push_back("--map-root-user");
  argv.insert(argv.end(),
              {"--net", "sh", "-c",
               "ip link set lo up && exec fldigi --config-dir '" + config + "' --home-dir '" + home + "'"});
  process_ = std::make_unique<ChildProcess>(argv);
  for (int i = 0; i < 120 && process_->Started() && !ready_; ++i) {
    std::this_thread::sleep_for(milliseconds(250));
    Call("fldigi.version", {}, &ready_);
  }
}

FldigiPeer::~FldigiPeer() = default;

std::string FldigiPeer::Call(const std::string& method, const std::vector<std::string>& args, bool* ok) {
  if (ok) *ok = false;
  if (!process_ || !process_->Started()) return {};
  std::vector<std::string> argv = {"nsenter",  "--net=/proc/" + std::to_string(process_->Pid()) + "/ns/net",
                                   "python3",  "-c",
                                   kRpcScript, method};
  argv.insert(argv.end(), args.begin(), args.end());
  const RunResult r = RunProgram(argv, seconds(20));
  if (r.status != 0 || r.out.empty()) return {};
  if (ok) *ok = r.out[0] == '1';
  return r.out[0] == '1' ? r.out.substr(1) : std::string();
}

bool FldigiPeer::SetUp(const std::string& mode, int carrierHz) {
  bool ok = true, each = false;
  for (auto [method, args] : std::vector<std::pair<std::string, std::vector<std::string>>>{
           {"modem.set_by_name", {mode}},
           {"modem.set_carrier", {"i:" + std::to_string(carrierHz)}},
           {"main.set_afc", {"b:0"}},
           {"main.set_squelch", {"b:0"}},
           {"text.clear_rx", {}},
           {"text.clear_tx", {}}}) {
    Call(method, args, &each);
    ok = ok && each;
  }
  return ok;
}

bool FldigiPeer::Transmit(const std::string& text, std::chrono::seconds limit) {
  bool ok = false;
  // "^r" at the end of the text returns to receive once it has been sent.
  Call("text.add_tx", {text + "^r"}, &ok);
  if (!ok) return false;
  Call("main.tx", {}, &ok);
  if (!ok) return false;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  bool sending = false;
  while (std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(milliseconds(500));
    const std::string state = Call("main.get_trx_state");
    if (state == "TX") sending = true;
    if (sending && state == "RX") return true;
  }
  return false;
}

Psk31lxPeer::Psk31lxPeer(PrivateSoundWorld& world, bool qpsk, int carrierHz) : world_(world) {
  if (!world.Ready()) return;
  const std::string home = world.Dir() + "/psk31lx";
  fs::create_directories(home);
  socket_ = world.Dir() + "/tmux.sock";
  // Its settings: the carrier, and no serial port for PTT.
  WriteFile(home + "/.psk31lx.ini",
            "CALL=\"N0CALL\"\nPTTDEV=\"/dev/null\"\nFREQ=" + std::to_string(carrierHz) + "\nLSB=0\nNET=1\n");
  std::string command = "cd '" + home + "' && env HOME='" + home + "' PULSE_SERVER='" + world.PulseServer() +
                        "' psk31lx" + (qpsk ? " -q" : "") + "; sleep 600";
  // The tmux server in the foreground, as a child of the test's own: it goes with the test
  // (and its panes with it, on the hang-up) however the test ends.
  server_ = std::make_unique<ChildProcess>(std::vector<std::string>{"tmux", "-D", "-S", socket_});
  bool listening = false;
  for (int i = 0; i < 100 && server_->Started() && !listening; ++i) {
    listening = fs::exists(socket_);
    if (!listening) std::this_thread::sleep_for(milliseconds(50));
  }
  if (!listening) return;
  Tmux("new-session -d -s lx -x 200 -y 50 " + ShellQuote(command));
  for (int i = 0; i < 100 && !ready_; ++i) {
    std::this_thread::sleep_for(milliseconds(100));
    ready_ = Tmux("capture-pane -p -t lx").find("Status") != std::string::npos;
  }
}

Psk31lxPeer::~Psk31lxPeer() {
  if (server_ && server_->Started()) Tmux("kill-server");
}

std::string Psk31lxPeer::Tmux(const std::string& args) const {
  const std::string cmd = "tmux -S '" + socket_ + "' " + args + " 2>/dev/null";
  std::string out;
  if (FILE* p = popen(cmd.c_str(), "r")) {
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    pclose(p);
  }
  return out;
}

std::string Psk31lxPeer::ReceivedText() const {
  std::istringstream screen(Tmux("capture-pane -p -t lx"));
  std::string line, text;
  bool inside = false;
  while (std::getline(screen, line)) {
    if (line.find("Status") != std::string::npos) break;
    if (inside) {
      while (!line.empty() && line.back() == ' ') line.pop_back();
      text += line;
    }
    if (line.find("Receive") != std::string::npos) inside = true;
  }
  return text;
}

}  // namespace vestrel::test
