#include "app/logger_words.h"

#include <filesystem>
#include <system_error>

#include "platform/user_dirs.h"

namespace vestrel {

namespace {

struct OtherKey {
  uint32_t code;
  const char* key;
};
constexpr OtherKey kOtherKeys[] = {
    {kQsoRstRcvd, "RprtRcvd"}, {kQsoQth, "QTH"},         {kQsoQslVia, "QSLvia"},
    {kQsoNote, "Note"},        {kQsoGrid, "Grid"},       {kQsoState, "State"},
    {kQsoIota, "IOTA"},        {kQsoNumberSent, "NumberSent"}, {kQsoNumberRcvd, "NumberRcvd"},
    {kQsoSubdiv, "Subdiv"},
};

}  // namespace

std::string TrimmedWord(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return std::string(s.substr(b, e - b));
}

const char* OtherFieldKey(uint32_t code) {
  for (const OtherKey& k : kOtherKeys) {
    if (k.code == code) return k.key;
  }
  return nullptr;
}

std::string LoggerIniFolder() {
  std::string base = UserBaseDir("XDG_CONFIG_HOME", "/.config");
  if (base.empty()) base = "/tmp";
  return base + "/qentor/vestrel/ini";
}

std::string LoggerIniPath(const std::string& name) {
  std::string path = name;
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  if (path.find('/') != std::string::npos) return path;
  const std::string folder = LoggerIniFolder();
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return folder + "/" + path;
}

std::string CleanPickedWord(std::string_view text) {
  std::string s(text);
  for (char& c : s) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) c = ' ';
  }
  return TrimmedWord(s);
}

bool LooksLikeCall(std::string_view w) {
  const size_t n = w.size();
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (n <= 2) return false;
  if (digit(w[0]) && digit(w[1])) return false;
  if (digit(w[n - 1]) && w[n - 2] != '/') return false;
  int d = 0, l = 0, o = 0;
  for (char c : w) {
    if (digit(c)) {
      ++d;
    } else if (c >= 'A' && c <= 'Z') {
      ++l;
    } else if (c != '/') {
      ++o;
    }
  }
  if (o > 0 || d == 0 || l < 2) return false;
  if (n >= 5) return true;
  if (n == 4) return !digit(w[3]);
  return d == 1 && !digit(w[2]);
}

bool CommandAddresses(uint32_t wParam, int channel) {
  const uint32_t target = (wParam >> 24) + 1;
  if (wParam < 0x9000000u) return static_cast<int>(target) == channel;
  return true;
}

}  // namespace vestrel
