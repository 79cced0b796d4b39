#include "child_process.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <thread>

namespace vestrel::test {

ChildProcess::ChildProcess(const std::vector<std::string>& argv, bool captureStdout) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  int outFds[2] = {-1, -1};
  if (captureStdout && pipe2(outFds, O_CLOEXEC) != 0) outFds[0] = outFds[1] = -1;
  // Closed by a successful exec; otherwise the child writes its errno into it.
  int execFds[2] = {-1, -1};
  if (pipe2(execFds, O_CLOEXEC) != 0) {
    for (int fd : outFds)
      if (fd >= 0) close(fd);
    return;
  }
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    // Only async-signal-safe calls from here to the exec.
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);  // the test died before the line above
    const int null = open("/dev/null", O_RDWR);
    dup2(null, STDIN_FILENO);
    dup2(outFds[1] >= 0 ? outFds[1] : null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    execvp(args[0], args.data());
    const int e = errno;
    (void)!write(execFds[1], &e, sizeof e);
    _exit(127);
  }
  close(execFds[1]);
  if (outFds[1] >= 0) close(outFds[1]);
  outFd_ = outFds[0];
  if (pid < 0) {
    close(execFds[0]);
    return;
  }
  setpgid(pid, pid);  // also here, so that no kill of the group comes before the child's own call
  int e = 0;
  ssize_t n;
  while ((n = read(execFds[0], &e, sizeof e)) < 0 && errno == EINTR) {
  }
  close(execFds[0]);
  if (n > 0) {
    waitpid(pid, nullptr, 0);  // the program could not be started
    return;
  }
  pid_ = pid;
}

ChildProcess::~ChildProcess() {
  Kill();
  if (outFd_ >= 0) close(outFd_);
}

void ChildProcess::Kill() {
  if (pid_ <= 0) return;
  kill(-pid_, SIGKILL);
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

int ChildProcess::Wait(std::chrono::milliseconds limit) {
  if (pid_ <= 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    int status = 0;
    const pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      // What it started and left behind in its group goes with it.
      kill(-pid_, SIGKILL);
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    if (r < 0 || std::chrono::steady_clock::now() >= deadline) {
      Kill();
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

std::string ChildProcess::ReadAll(std::chrono::milliseconds limit) {
  std::string out;
  if (outFd_ < 0) return out;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{outFd_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    char buf[4096];
    const ssize_t n = read(outFd_, buf, sizeof buf);
    if (n <= 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  return out;
}

std::string ChildProcess::ReadSome(std::chrono::milliseconds limit) {
  if (outFd_ < 0) return {};
  pollfd p{outFd_, POLLIN, 0};
  if (poll(&p, 1, static_cast<int>(limit.count())) <= 0) return {};
  char buf[4096];
  const ssize_t n = read(outFd_, buf, sizeof buf);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

RunResult RunProgram(const std::vector<std::string>& argv, std::chrono::milliseconds limit) {
  ChildProcess child(argv, true);
  RunResult r;
  if (!child.Started()) return r;
  r.out = child.ReadAll(limit);
  r.status = child.Wait(limit);
  return r;
}

std::string ReadProcFile(const std::string& path) {
  std::string text;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return text;
  char buf[4096];
  for (;;) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // the end, or ESRCH: the process has gone since the open
    text.append(buf, static_cast<size_t>(n));
  }
  close(fd);
  return text;
}

std::vector<pid_t> ChildrenNamed(pid_t parent, const std::string& comm) {
  std::vector<pid_t> found;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
    const std::string pid = entry.path().filename().string();
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
    // "pid (comm) state ppid ...": the name may hold blanks and parentheses.
    const std::string stat = ReadProcFile(entry.path() / "stat");
    const size_t open = stat.find('('), close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos) continue;
    std::istringstream rest(stat.substr(close + 1));
    std::string state;
    pid_t ppid = 0;
    rest >> state >> ppid;
    if (ppid == parent && state != "Z" && stat.substr(open + 1, close - open - 1) == comm) {
      found.push_back(static_cast<pid_t>(std::stol(pid)));
    }
  }
  return found;
}

}  // namespace vestrel::test
