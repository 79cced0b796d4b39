#pragma once
#include <string>
#include <vector>

namespace vestrel {

// The switches of the command line: "/F" or "-F" (either case) followed by the settings path,
// "/C" or "-C" by a text capture file, each in the same element or the next one.
struct CommandLineSwitches {
  std::string settingsPath = "./VESTREL.INI";
  bool settingsPathGiven = false;  // a later /F replaces an earlier one
  std::string captureFile;         // the first /C wins; empty when none
};

// args: the elements after the program name. Blanks around a value and every double quote in
// it are dropped; a switch left empty is ignored; unknown elements are ignored.
CommandLineSwitches ParseCommandLine(const std::vector<std::string>& args);

}  // namespace vestrel
