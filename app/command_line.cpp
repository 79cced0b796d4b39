#include "app/command_line.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

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

// A switch with nothing after its letter, whose value is the next element.
bool IsBareSwitch(const std::string& arg) { return SwitchLetter(arg) != 0 && CleanValue(arg.substr(2)).empty(); }

}  // namespace

CommandLineSwitches ParseCommandLine(const std::vector<std::string>& args) {
  CommandLineSwitches out;
  for (size_t i = 0; i < args.size(); ++i) {
    const char letter = SwitchLetter(args[i]);
    if (letter == 0) continue;
    std::string value = args[i].substr(2);
    if (CleanValue(value).empty() && i + 1 < args.size() && !IsBareSwitch(args[i + 1])) {
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

std::string CheckDefaultDirectory(const std::string& settingsPath, bool settingsPathGiven,
                                  const RegistryStore& store) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (settingsPathGiven || fs::exists(settingsPath, ec)) return {};
  const fs::path oldDir = fs::current_path(ec);
  if (ec) return {};
  const std::optional<std::string> dir = store.ReadString("DefaultDir");
  if (!dir || dir->empty()) return {};
  fs::current_path(*dir, ec);
  if (ec) return {};
  const fs::path newDir = fs::current_path(ec);
  return "VESTREL.INI file was not found in a working directory\r\n" + oldDir.string() +
         "\r\nWorking directory was changed to default directory\r\n" + (ec ? *dir : newDir.string()) + "\r\n";
}

bool ReadIsx64Flag(const RegistryStore& store) {
  const std::optional<int32_t> v = store.ReadInteger("Isx64");
  return v && *v != 0;
}

}  // namespace vestrel
