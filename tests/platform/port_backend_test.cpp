// The table of parallel ports from a /proc tree of the test's own, and ppdev's refusals.
#include "platform/port_backend.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support/fake_keying.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;

struct TempDir {
  TempDir() : path(fs::temp_directory_path() / ("vestrel-parport-" + std::to_string(getpid()))) {
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~TempDir() { fs::remove_all(path); }
  fs::path path;
};

TEST(PortBackend, TheTableListsThePortsThatExistInOrderOfTheirNumber) {
  TempDir dir;
  test::WriteParportTree(dir.path, {{2, 0x3BC}, {0, 0x378}, {10, 0x278}});
  // Neither a port nor a readable one: another entry, a number with a letter, no base file,
  // a base that is no number, one beyond 16 bits.
  fs::create_directories(dir.path / "default");
  fs::create_directories(dir.path / "parport1x");
  fs::create_directories(dir.path / "parport3");
  fs::create_directories(dir.path / "parport4");
  std::ofstream(dir.path / "parport4" / "base-addr") << "none\n";
  fs::create_directories(dir.path / "parport5");
  std::ofstream(dir.path / "parport5" / "base-addr") << "70000\t0\n";
  const std::vector<ParportEntry> expected = {{0, 0x378}, {2, 0x3BC}, {10, 0x278}};
  EXPECT_EQ(ReadParportTable(dir.path.string()), expected);
  EXPECT_TRUE(ReadParportTable((dir.path / "missing").string()).empty());
}

TEST(PortBackend, PpdevWithoutADeviceOpensNothingAndReadsAllOnes) {
  TempDir dir;
  test::WriteParportTree(dir.path, {{0, 0x378}});
  PpdevPortBackend backend(dir.path.string(), (dir.path / "no-parport").string());
  EXPECT_EQ(backend.Ports(), (std::vector<ParportEntry>{{0, 0x378}}));
  EXPECT_FALSE(backend.Open(0));
  EXPECT_EQ(backend.Read(PortBackend::kStatus), 0xFF);
  backend.Write(PortBackend::kData, 0x55);  // nothing to write to
  // A file that is no parallel port is refused by the claim.
  std::ofstream(dir.path / "file0") << "x";
  PpdevPortBackend file(dir.path.string(), (dir.path / "file").string());
  EXPECT_FALSE(file.Open(0));
}

}  // namespace
}  // namespace vestrel
