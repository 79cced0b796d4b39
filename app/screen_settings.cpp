#include "app/screen_settings.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <map>
#include <strings.h>

namespace vestrel {

namespace {

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t\r\n");
  return s.substr(first, last - first + 1);
}

struct NoCase {
  bool operator()(const std::string& a, const std::string& b) const { return strcasecmp(a.c_str(), b.c_str()) < 0; }
};

// "%d": optional blanks and sign, then digits; anything else keeps the default.
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

ScreenSettings ReadScreenSettings(const std::string& path) {
  ScreenSettings out;
  std::ifstream in(path, std::ios::binary);
  if (!in) return out;
  // section -> key -> value; the first occurrence of a section or key wins.
  std::map<std::string, std::map<std::string, std::string, NoCase>, NoCase> values;
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
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    values[section].emplace(Trim(line.substr(0, eq)), value);
  }
  auto get = [&](const char* sec, const char* key, int fallback) {
    auto s = values.find(sec);
    if (s == values.end()) return fallback;
    auto k = s->second.find(key);
    return k == s->second.end() ? fallback : ScanInt(k->second, fallback);
  };
  out.Left = get("Screen", "Left", -1);
  out.Top = get("Screen", "Top", -1);
  out.Height = get("Screen", "Height", -1);
  out.Width = get("Screen", "Width", -1);
  out.OnTop = get("RTTY", "OnTop", 0);
  out.UTCoffset = get("RTTY", "UTCoffset", -1);
  return out;
}

}  // namespace vestrel
