#include "platform/tcp_line_socket.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace vestrel {

TcpLineSocket::TcpLineSocket() = default;

TcpLineSocket::~TcpLineSocket() {
  Close();
}

void TcpLineSocket::Interrupt() {
  wait_.Interrupt();
}

bool TcpLineSocket::WaitFor(short events, std::chrono::steady_clock::time_point deadline) {
  return wait_.Wait(fd_, events, deadline) == InterruptWait::kReady;
}

// A name lookup can wait on a silent name server for far longer than any time-out of ours,
// so a name (not a numeric address) is looked up on a thread of its own and given up at the
// deadline or on Interrupt. A lookup given up finishes on its own and frees what it found;
// while it still runs no other is started.
struct TcpLineSocket::Lookup {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false, abandoned = false;
  addrinfo* result = nullptr;
};

void TcpLineSocket::StartLookup(std::shared_ptr<Lookup> l, std::string host, std::string service) {
  std::thread([l = std::move(l), host = std::move(host), service = std::move(service)] {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0) found = nullptr;
    std::lock_guard lock(l->mutex);
    if (l->abandoned && found != nullptr) freeaddrinfo(found);
    if (!l->abandoned) l->result = found;
    l->finished = true;
    l->done.notify_all();
  }).detach();
}

addrinfo* TcpLineSocket::Resolve(const std::string& host, uint16_t port,
                                 std::chrono::steady_clock::time_point deadline) {
  const std::string service = std::to_string(port);
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
  addrinfo* list = nullptr;
  if (getaddrinfo(host.c_str(), service.c_str(), &hints, &list) == 0) return list;

  if (lookup_) {
    std::lock_guard lock(lookup_->mutex);
    if (!lookup_->finished) return nullptr;  // the last one still hangs
  }
  lookup_ = std::make_shared<Lookup>();
  try {
    StartLookup(lookup_, host, service);
  } catch (const std::system_error&) {  // no thread to be had: the name stays unknown
    lookup_.reset();
    return nullptr;
  }

  std::unique_lock lock(lookup_->mutex);
  // Interrupt does not signal the condition: short slices, checking in between.
  while (!lookup_->finished && !wait_.interrupted() && std::chrono::steady_clock::now() < deadline)
    lookup_->done.wait_for(lock, std::chrono::milliseconds(20));
  if (!lookup_->finished) {
    lookup_->abandoned = true;
    return nullptr;
  }
  return std::exchange(lookup_->result, nullptr);
}

bool TcpLineSocket::Connect(const std::string& host, uint16_t port, std::chrono::milliseconds timeout) {
  Close();
  if (wait_.interrupted()) return false;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  addrinfo* list = Resolve(host, port, deadline);
  for (addrinfo* a = list; a != nullptr && fd_ < 0; a = a->ai_next) {
    const int fd = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    fd_ = fd;
    bool ok = connect(fd, a->ai_addr, a->ai_addrlen) == 0;
    if (!ok && errno == EINPROGRESS && WaitFor(POLLOUT, deadline)) {
      int err = 0;
      socklen_t len = sizeof err;
      ok = getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0;
    }
    if (!ok) {
      close(fd);
      fd_ = -1;
    }
  }
  if (list != nullptr) freeaddrinfo(list);
  if (fd_ >= 0) {
    const int one = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  }
  return fd_ >= 0;
}

void TcpLineSocket::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  buffer_.clear();
}

bool TcpLineSocket::WriteAll(std::string_view data, std::chrono::milliseconds timeout) {
  if (fd_ < 0 || wait_.interrupted()) return false;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!data.empty()) {
    const ssize_t n = send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
    if (n > 0) {
      data.remove_prefix(static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && WaitFor(POLLOUT, deadline)) continue;
    return false;
  }
  return true;
}

bool TcpLineSocket::ReadLine(std::string& line, std::chrono::milliseconds timeout) {
  if (fd_ < 0 || wait_.interrupted()) return false;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const size_t eol = buffer_.find('\n');
    if (eol != std::string::npos) {
      line.assign(buffer_, 0, eol);
      buffer_.erase(0, eol + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return true;
    }
    if (buffer_.size() > kMaxLine) return false;
    char chunk[4096];
    const ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
    if (n > 0) {
      buffer_.append(chunk, static_cast<size_t>(n));
      continue;
    }
    if (n == 0) return false;  // peer closed
    if (errno == EINTR) continue;
    if ((errno == EAGAIN || errno == EWOULDBLOCK) && WaitFor(POLLIN, deadline)) continue;
    return false;
  }
}

}  // namespace vestrel
