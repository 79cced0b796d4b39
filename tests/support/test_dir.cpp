#include "support/test_dir.h"

#include <unistd.h>

#include <atomic>
#include <fstream>
#include <iterator>
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

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

void WorkingDirTest::SetUp() {
  oldDir_ = fs::current_path();
  fs::create_directories(work());
  fs::create_directories(home());
  fs::current_path(work());
}

void WorkingDirTest::TearDown() { fs::current_path(oldDir_); }

RegistryStore WorkingDirTest::Store(const std::string& lines) const {
  const fs::path f = dir_.path() / "registry.ini";
  WriteFile(f, lines);
  return RegistryStore({f.string(), absentStoreFile().string()});
}

}  // namespace vestrel::test
