#pragma once
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace vestrel::test {

// An outside program started by a test, in a process group of its own, with stdin on
// /dev/null. The destructor kills the whole group and reaps the program, so a failing test
// leaves nothing it started running, grandchildren included; the program also gets SIGKILL
// when the thread that started it ends (PR_SET_PDEATHSIG), so that a test killed or crashed
// takes its programs along. Start programs meant to outlive a thread from the main one.
class ChildProcess {
 public:
  // Starts argv[0] (searched on PATH) with the test's environment; stdout goes to a pipe
  // when captureStdout, else to /dev/null, as does stderr.
  explicit ChildProcess(const std::vector<std::string>& argv, bool captureStdout = false);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }
  // Sends SIGKILL to its group and reaps.
  void Kill();
  // Waits for the exit, at most `limit`; the exit status, or -1 when it had to be killed. What
  // is left of its group afterwards is killed.
  int Wait(std::chrono::milliseconds limit = std::chrono::seconds(10));
  // Everything it wrote to stdout, read until it closed the pipe or `limit` passed.
  std::string ReadAll(std::chrono::milliseconds limit = std::chrono::seconds(10));
  // What it has written to stdout by the time something arrives, or "" once `limit` passed.
  std::string ReadSome(std::chrono::milliseconds limit);

 private:
  pid_t pid_ = -1;
  int outFd_ = -1;
};

// Runs a program to its end (bounded by `limit`) and returns its exit status and stdout.
struct RunResult {
  int status = -1;
  std::string out;
};
RunResult RunProgram(const std::vector<std::string>& argv,
                     std::chrono::milliseconds limit = std::chrono::seconds(10));

// A file under /proc read whole, or "" (or what came before the error) once the process it
// describes has gone: such a read fails with ESRCH, where a stream would throw.
std::string ReadProcFile(const std::string& path);

// The running processes (zombies left out) named `comm` whose parent is `parent`.
std::vector<pid_t> ChildrenNamed(pid_t parent, const std::string& comm);

// Polls `done` every 100 ms until it holds (true) or `limit` has passed (false).
inline bool WaitFor(const std::function<bool()>& done, std::chrono::seconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return true;
}

}  // namespace vestrel::test
