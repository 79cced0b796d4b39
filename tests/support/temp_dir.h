#pragma once
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace vestrel::test {

// A fresh directory under the system's temporary directory, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "vestrel_test_XXXXXX").string();
    if (mkdtemp(tmpl.data()) != nullptr) path_ = tmpl;
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// The working directory moved into a fresh temporary directory for the scope: for code that
// writes relative paths.
class ScopedWorkingDir {
 public:
  ScopedWorkingDir() : old_(std::filesystem::current_path()) { std::filesystem::current_path(dir_.path()); }
  ~ScopedWorkingDir() {
    std::error_code ec;
    std::filesystem::current_path(old_, ec);
  }
  ScopedWorkingDir(const ScopedWorkingDir&) = delete;
  ScopedWorkingDir& operator=(const ScopedWorkingDir&) = delete;
  const std::filesystem::path& path() const { return dir_.path(); }

 private:
  std::filesystem::path old_;
  TempDir dir_;
};

}  // namespace vestrel::test
