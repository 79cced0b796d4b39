#include "app/command_line.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support/test_dir.h"

namespace vestrel {
namespace {

TEST(CommandLine, SwitchesInOneElementOrTheNext) {
  struct Case {
    std::vector<std::string> args;
    std::string path;
    bool given;
    std::string capture;
  };
  const Case cases[] = {
      {{}, "./VESTREL.INI", false, ""},
      {{"/F", "my dir/a.ini"}, "my dir/a.ini", true, ""},
      {{"-fother.ini"}, "other.ini", true, ""},
      {{"/F\"quoted path.ini\""}, "quoted path.ini", true, ""},
      {{"/f  name.ini  "}, "name.ini", true, ""},
      {{"/F", "a.ini", "/F", "b.ini"}, "b.ini", true, ""},         // a later /F replaces
      {{"/C", "one.txt", "-c", "two.txt"}, "./VESTREL.INI", false, "one.txt"},  // the first /C wins
      {{"/F"}, "./VESTREL.INI", false, ""},                        // nothing after the letter
      {{"/F", "\"  \""}, "./VESTREL.INI", false, ""},
      {{"/X", "x.ini", "plain", "/"}, "./VESTREL.INI", false, ""},  // other letters are ignored
      {{"/F", "/C", "cap.txt"}, "./VESTREL.INI", false, "cap.txt"},  // a switch is no value
      {{"/F", "/cfg/vestrel.ini"}, "/cfg/vestrel.ini", true, ""},    // but a path that looks like one is
      {{"/C", "-f", "x.ini"}, "x.ini", true, ""},
      {{"/F" + std::string(150, 'p')}, std::string(150, 'p'), true, ""},  // no length cut
      {{"/F", "/a/" + std::string(146, 'q')}, "/a/" + std::string(146, 'q'), true, ""},
  };
  for (const Case& c : cases) {
    const CommandLineSwitches s = ParseCommandLine(c.args);
    EXPECT_EQ(s.settingsPath, c.path);
    EXPECT_EQ(s.settingsPathGiven, c.given);
    EXPECT_EQ(s.captureFile, c.capture);
  }
}

namespace fs = std::filesystem;

using DefaultDirectoryTest = test::WorkingDirTest;

TEST_F(DefaultDirectoryTest, AMissingFileMovesToTheDefaultDirectoryWithANotice) {
  const RegistryStore store = Store("DefaultDir=" + home().string() + "\r\n");
  const std::string notice = CheckDefaultDirectory("./VESTREL.INI", false, store);
  EXPECT_EQ(fs::current_path(), home());
  EXPECT_EQ(notice, "VESTREL.INI file was not found in a working directory\r\n" + work().string() +
                        "\r\nWorking directory was changed to default directory\r\n" + home().string() + "\r\n");
}

TEST_F(DefaultDirectoryTest, NoMoveWhenTheFileIsThereAPathWasGivenOrTheStoreHasNoUsableDirectory) {
  const RegistryStore store = Store("DefaultDir=" + home().string() + "\r\n");
  EXPECT_EQ(CheckDefaultDirectory("./missing.ini", true, store), "");  // /F given
  EXPECT_EQ(fs::current_path(), work());
  std::ofstream("VESTREL.INI") << "[RTTY]\r\n";
  EXPECT_EQ(CheckDefaultDirectory("./VESTREL.INI", false, store), "");
  EXPECT_EQ(fs::current_path(), work());
  for (const std::string& lines : {std::string(), std::string("DefaultDir=/no/such/dir\r\n"),
                                   std::string("[Other]\r\nDefaultDir=/\r\n")}) {
    EXPECT_EQ(CheckDefaultDirectory("./missing.ini", false, Store(lines)), "") << lines;
    EXPECT_EQ(fs::current_path(), work());
  }
  EXPECT_EQ(CheckDefaultDirectory("./missing.ini", false, RegistryStore({})), "");
  EXPECT_FALSE(fs::exists(absentStoreFile()));  // the store is only read, never made
}

TEST_F(DefaultDirectoryTest, Isx64MarksThePortDriverUnusable) {
  const std::pair<std::string, bool> cases[] = {
      {"Isx64=1\r\n", true}, {"Isx64=-3\r\n", true}, {"Isx64=0\r\n", false},
      {"", false},            {"Isx64=yes\r\n", false}, {"isx64 = \"2\"\r\n", true},
  };
  for (const auto& [lines, set] : cases) EXPECT_EQ(ReadIsx64Flag(Store(lines)), set) << lines;
  // The first file that has the value gives it.
  const fs::path second = dir_.path() / "second.ini";
  std::ofstream(second) << "Isx64=1\r\n";
  Store("Isx64=0\r\n");
  EXPECT_FALSE(ReadIsx64Flag(RegistryStore({(dir_.path() / "registry.ini").string(), second.string()})));
  EXPECT_TRUE(ReadIsx64Flag(RegistryStore({(dir_.path() / "none.ini").string(), second.string()})));
  // XDG_CONFIG_HOME first, then /etc.
  setenv("XDG_CONFIG_HOME", "/cfg", 1);
  EXPECT_EQ(RegistryStore::Default().files(),
            (std::vector<std::string>{"/cfg/qentor/vestrel/registry.ini", "/etc/qentor/vestrel/registry.ini"}));
}

}  // namespace
}  // namespace vestrel
