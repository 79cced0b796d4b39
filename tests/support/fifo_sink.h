#pragma once
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

namespace vestrel::test {

// A named pipe whose reader drains everything written to it: a file that takes data but has
// no position (a header rewrite on it fails). Join() waits for the writer to close it.
class FifoSink {
 public:
  explicit FifoSink(const std::filesystem::path& path) : path_(path.string()) {
    ok_ = mkfifo(path_.c_str(), 0600) == 0;
    if (ok_) reader_ = std::thread([this] { Drain(); });
  }
  ~FifoSink() {
    // A reader still waiting for a writer that never came (a test that stopped early) is let go.
    const int fd = open(path_.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) close(fd);
    Join();
  }
  FifoSink(const FifoSink&) = delete;
  FifoSink& operator=(const FifoSink&) = delete;

  bool ok() const { return ok_; }
  const std::string& path() const { return path_; }
  // Bytes read, once joined.
  size_t Join() {
    if (reader_.joinable()) reader_.join();
    return received_;
  }

 private:
  void Drain() {
    std::FILE* in = std::fopen(path_.c_str(), "rb");  // waits for the writer
    char buf[65536];
    for (size_t n; in != nullptr && (n = std::fread(buf, 1, sizeof buf, in)) > 0;) received_ += n;
    if (in != nullptr) std::fclose(in);
  }

  std::string path_;
  bool ok_ = false;
  size_t received_ = 0;
  std::thread reader_;
};

}  // namespace vestrel::test
