#include "app/ini_values.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>

namespace vestrel {

namespace {

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t\r\n");
  return s.substr(first, last - first + 1);
}

int ScanInt(const std::string& text, int fallback) {
  const char* p = text.c_str();
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(p, &end, 10);
  if (end == p) return fallback;
  // Beyond an int: not a value this program wrote, so the default.
  if (errno == ERANGE || v < INT_MIN || v > INT_MAX) return fallback;
  return static_cast<int>(v);
}

}  // namespace

IniValues ReadIniValues(const std::string& path) {
  IniValues values;
  std::ifstream in(path, std::ios::binary);
  if (!in) return values;
  std::string line, section;
  while (std::getline(in, line)) {
    line = Trim(line);
    if (line.empty() || line[0] == ';') continue;
    if (line.front() == '[' && line.back() == ']') {
      section = Trim(line.substr(1, line.size() - 2));
      continue;
    }
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string value = Trim(line.substr(eq + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    values[section].emplace(Trim(line.substr(0, eq)), value);
  }
  return values;
}

int IniInt(const IniValues& values, const char* section, const char* key, int fallback) {
  const auto s = values.find(section);
  if (s == values.end()) return fallback;
  const auto k = s->second.find(key);
  return k == s->second.end() ? fallback : ScanInt(k->second, fallback);
}

}  // namespace vestrel
