#include "support/test_dir.h"

#include <unistd.h>

#include <atomic>
#include <string>

namespace vestrel::test {

namespace fs = std::filesystem;

TestDir::TestDir() {
  static std::atomic<int> serial{0};
  path_ = fs::temp_directory_path() /
          ("vestrel-test-" + std::to_string(getpid()) + "-" + std::to_string(serial.fetch_add(1)));
  fs::create_directories(path_);
}

TestDir::~TestDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

}  // namespace vestrel::test
