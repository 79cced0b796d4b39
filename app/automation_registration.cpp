#include "app/automation_registration.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/user_dirs.h"

namespace vestrel {

namespace {

bool IsSwitch(const std::string& arg, const char* name) {
  if (arg.size() < 2 || (arg[0] != '-' && arg[0] != '/')) return false;
  const std::string rest = arg.substr(1);
  size_t i = 0;
  for (; name[i] != '\0'; ++i) {
    if (i >= rest.size()) return false;
    char c = rest[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    char n = name[i];
    if (n >= 'A' && n <= 'Z') n = static_cast<char>(n - 'A' + 'a');
    if (c != n) return false;
  }
  return i == rest.size();
}

// Exec lines are split like a shell's words: quote a path that holds blanks or quotes.
std::string ExecWord(const std::string& path) {
  if (path.find_first_of(" \t\"'\\") == std::string::npos) return path;
  std::string q = "\"";
  for (char c : path) {
    if (c == '"' || c == '\\') q += '\\';
    q += c;
  }
  return q + "\"";
}

}  // namespace

AutomationSwitches ReadAutomationSwitches(const std::vector<std::string>& args) {
  AutomationSwitches s;
  for (const std::string& a : args) {
    if (IsSwitch(a, "RegServer")) s.regServer = true;
    if (IsSwitch(a, "UnregServer")) s.unregServer = true;
    if (IsSwitch(a, "Automation") || IsSwitch(a, "Embedding")) s.activated = true;
  }
  return s;
}

std::string AutomationServiceFile() {
  const std::string base = UserBaseDir("XDG_DATA_HOME", "/.local/share");
  return base.empty() ? std::string() : base + "/dbus-1/services/vestrel.VestrelX.service";
}

std::string AutomationServiceText(const std::string& exe) {
  return "[D-BUS Service]\nName=vestrel.VestrelX\nExec=" + ExecWord(exe) + " /Automation\n";
}

std::string WriteAutomationServiceFile(const std::string& exe) {
  const std::string path = AutomationServiceFile();
  if (path.empty()) return "neither XDG_DATA_HOME nor HOME is set";
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  if (ec) return "cannot create the folder of " + path + ": " + ec.message();
  const std::string temp = path + ".new";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << AutomationServiceText(exe);
    out.close();
    if (!out) {
      std::filesystem::remove(temp, ec);
      return "cannot write " + path;
    }
  }
  std::filesystem::rename(temp, path, ec);
  if (ec) {
    std::filesystem::remove(temp, ec);
    return "cannot write " + path;
  }
  return {};
}

std::string RemoveAutomationServiceFile() {
  const std::string path = AutomationServiceFile();
  if (path.empty()) return "neither XDG_DATA_HOME nor HOME is set";
  std::error_code ec;
  std::filesystem::remove(path, ec);
  if (ec) return "cannot remove " + path + ": " + ec.message();
  return {};
}

}  // namespace vestrel
