#include "app/command_line.h"

#include <gtest/gtest.h>

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
  };
  for (const Case& c : cases) {
    const CommandLineSwitches s = ParseCommandLine(c.args);
    EXPECT_EQ(s.settingsPath, c.path);
    EXPECT_EQ(s.settingsPathGiven, c.given);
    EXPECT_EQ(s.captureFile, c.capture);
  }
}

}  // namespace
}  // namespace vestrel
