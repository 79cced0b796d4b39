#include "app/command_line.h"

#include <algorithm>

namespace vestrel {

namespace {

std::string CleanValue(std::string v) {
  v.erase(std::remove(v.begin(), v.end(), '"'), v.end());
  const auto first = v.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  const auto last = v.find_last_not_of(' ');
  return v.substr(first, last - first + 1);
}

// 'F', 'C' or 0 for an element that is no switch.
char SwitchLetter(const std::string& arg) {
  if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-')) return 0;
  const char c = arg[1];
  if (c == 'f' || c == 'F') return 'F';
  if (c == 'c' || c == 'C') return 'C';
  return 0;
}

}  // namespace

CommandLineSwitches ParseCommandLine(const std::vector<std::string>& args) {
  CommandLineSwitches out;
  for (size_t i = 0; i < args.size(); ++i) {
    const char letter = SwitchLetter(args[i]);
    if (letter == 0) continue;
    std::string value = args[i].substr(2);
    if (CleanValue(value).empty() && i + 1 < args.size() && SwitchLetter(args[i + 1]) == 0) {
      value = args[++i];
    }
    value = CleanValue(value);
    if (value.empty()) continue;
    if (letter == 'F') {
      out.settingsPath = value;
      out.settingsPathGiven = true;
    } else if (out.captureFile.empty()) {
      out.captureFile = value;
    }
  }
  return out;
}

}  // namespace vestrel
