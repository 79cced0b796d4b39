#pragma once
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/registry_store.h"

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

// A file's bytes, empty when it cannot be read; and a file made of the given bytes.
std::string ReadFile(const std::filesystem::path& p);
void WriteFile(const std::filesystem::path& p, const std::string& bytes);

// A test that runs in a working directory of its own ("work", beside "home"), put back
// afterwards, with a store of its own: the file registry.ini it writes, then absent.ini.
class WorkingDirTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::filesystem::path work() const { return dir_.path() / "work"; }
  std::filesystem::path home() const { return dir_.path() / "home"; }
  RegistryStore Store(const std::string& lines) const;
  std::filesystem::path absentStoreFile() const { return dir_.path() / "absent.ini"; }

  TestDir dir_;
  std::filesystem::path oldDir_;
};

}  // namespace vestrel::test
