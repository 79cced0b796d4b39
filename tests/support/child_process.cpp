#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace vestrel::test {

ChildProcess::ChildProcess(const std::vector<std::string>& argv, bool captureStdout) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  int pipeFds[2] = {-1, -1};
  if (captureStdout && pipe2(pipeFds, O_CLOEXEC) == 0) {
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  }
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) pid_ = pid;
  posix_spawn_file_actions_destroy(&actions);
  if (pipeFds[1] >= 0) close(pipeFds[1]);
  outFd_ = pipeFds[0];
}

ChildProcess::~ChildProcess() {
  Kill();
  if (outFd_ >= 0) close(outFd_);
}

void ChildProcess::Kill() {
  if (pid_ <= 0) return;
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

std::vector<pid_t> ChildrenNamed(pid_t parent, const std::string& comm) {
  std::vector<pid_t> found;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
    const std::string pid = entry.path().filename().string();
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
    // "pid (comm) state ppid ...": the name may hold blanks and parentheses.
    std::ifstream in(entry.path() / "stat");
    const std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
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
