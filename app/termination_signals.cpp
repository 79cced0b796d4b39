#include "app/termination_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>
#include <cerrno>

namespace vestrel {

namespace {

constexpr std::array<int, 3> kSignals = {SIGTERM, SIGINT, SIGHUP};

int g_pipe[2] = {-1, -1};  // [0] read by the GUI thread, [1] written by the handler
struct sigaction g_previous[kSignals.size()];

void OnSignal(int signal) {
  // Only async-signal-safe calls here: one byte naming the signal.
  const unsigned char b = static_cast<unsigned char>(signal);
  const int saved = errno;
  [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &b, 1);
  errno = saved;
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void(int)> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {
  if (g_pipe[0] != -1) return;  // another instance owns the handlers
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pipe) != 0) {
    g_pipe[0] = g_pipe[1] = -1;
    return;
  }
  notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] { Drain(); });
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART | SA_RESETHAND;
  installed_ = true;
  for (size_t i = 0; i < kSignals.size(); ++i) {
    if (::sigaction(kSignals[i], &sa, &g_previous[i]) != 0) installed_ = false;
  }
}

TerminationSignals::~TerminationSignals() {
  if (notifier_ == nullptr) return;
  for (size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &g_previous[i], nullptr);
  delete notifier_;
  ::close(g_pipe[0]);
  ::close(g_pipe[1]);
  g_pipe[0] = g_pipe[1] = -1;
}

void TerminationSignals::Drain() {
  unsigned char b = 0;
  while (::read(g_pipe[0], &b, 1) == 1) {
    if (onSignal_) onSignal_(b);
  }
}

}  // namespace vestrel
