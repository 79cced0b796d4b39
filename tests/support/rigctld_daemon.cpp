#include "support/rigctld_daemon.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <utility>

#include "platform/tcp_line_socket.h"
#include "support/loopback_listener.h"
#include "support/tool_runner.h"

namespace vestrel::test {

using namespace std::chrono_literals;

bool Eventually(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

uint16_t FreeLoopbackPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  uint16_t port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
    port = ntohs(a.sin_port);
  close(fd);
  return port;
}

std::unique_ptr<ChildProcess> StartRigctld(uint16_t port, bool vfoMode, bool pttByCat) {
  std::vector<std::string> argv = {"rigctld", "-m", "1", "-T", "127.0.0.1", "-t", std::to_string(port)};
  if (pttByCat) argv.insert(argv.end(), {"-P", "RIG"});
  if (vfoMode) argv.push_back("--vfo");
  auto daemon = std::make_unique<ChildProcess>(argv);
  if (!daemon->Started()) return nullptr;
  const bool up = Eventually([port] {
    TcpLineSocket probe;
    return probe.Connect("127.0.0.1", port, 200ms);
  });
  // Another daemon may have taken the port meanwhile: then ours has ended (unable to listen)
  // and the probe reached the other one.
  const std::string stat = ReadWholeFile("/proc/" + std::to_string(daemon->Pid()) + "/stat");
  const size_t end = stat.rfind(')');
  const bool ours = end != std::string::npos && end + 2 < stat.size() && stat[end + 2] != 'Z';
  return up && ours ? std::move(daemon) : nullptr;
}

LinkProxy::LinkProxy(uint16_t daemonPort) : daemonPort_(daemonPort) {
  listen_ = LoopbackListener(port_);
  thread_ = std::thread([this] { Serve(); });
}

LinkProxy::~LinkProxy() {
  stop_ = true;
  thread_.join();
  close(listen_);
}

void LinkProxy::Serve() {
  // Pairs of descriptors: the client's and the daemon's side of one connection.
  std::vector<std::pair<int, int>> links;
  auto drop = [](std::pair<int, int>& l) {
    close(l.first);
    close(l.second);
    l = {-1, -1};
  };
  while (!stop_) {
    if (cut_) {
      for (auto& l : links) drop(l);
      links.clear();
    }
    std::vector<pollfd> fds{{listen_, POLLIN, 0}};
    for (const auto& l : links) {
      fds.push_back({l.first, POLLIN, 0});
      fds.push_back({l.second, POLLIN, 0});
    }
    if (poll(fds.data(), fds.size(), 20) <= 0) continue;
    const size_t polled = links.size();  // a link accepted below has no entry in fds yet
    if (fds[0].revents & POLLIN) {
      const int client = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
      if (client >= 0) {
        const int daemon = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(daemonPort_);
        if (cut_ || connect(daemon, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
          close(client);
          close(daemon);
        } else {
          links.emplace_back(client, daemon);
        }
      }
    }
    for (size_t i = 0; i < polled; ++i) {
      for (int side = 0; side < 2; ++side) {
        const pollfd& p = fds[1 + 2 * i + side];
        if (p.revents == 0 || links[i].first < 0) continue;
        const int from = side == 0 ? links[i].first : links[i].second;
        const int to = side == 0 ? links[i].second : links[i].first;
        char buf[4096];
        const ssize_t n = recv(from, buf, sizeof buf, 0);
        if (n <= 0 || send(to, buf, static_cast<size_t>(n), MSG_NOSIGNAL) != n) drop(links[i]);
      }
    }
    std::erase_if(links, [](const auto& l) { return l.first < 0; });
  }
  for (auto& l : links) drop(l);
}

}  // namespace vestrel::test
