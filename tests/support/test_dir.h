#pragma once
#include <filesystem>

namespace vestrel::test {

// A fresh directory under the system's temporary directory, removed with the object.
class TestDir {
 public:
  TestDir();
  ~TestDir();
  TestDir(const TestDir&) = delete;
  TestDir& operator=(const TestDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace vestrel::test
