#include "platform/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>

#include "platform/replace_file.h"

namespace vestrel {

namespace {

constexpr size_t npos = std::string::npos;

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// ASCII lower case by table: names are hashed and compared on every lookup.
constexpr std::array<unsigned char, 256> kLower = [] {
  std::array<unsigned char, 256> t{};
  for (int c = 0; c < 256; ++c)
    t[size_t(c)] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return t;
}();

unsigned char AsciiLower(char c) {
  return kLower[static_cast<unsigned char>(c)];
}

// The name of a section header line, or nullopt for any other line. The name ends at the
// first "]" (or the end of the line).
std::optional<std::string_view> HeaderName(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  line.remove_prefix(1);
  const size_t close = line.find(']');
  return Trim(line.substr(0, close));
}

// Key and value of a "key=value" line; comment lines (";") and lines without "=" have none.
bool SplitKeyLine(std::string_view line, std::string_view& key, std::string_view& value) {
  const std::string_view t = Trim(line);
  if (t.empty() || t.front() == ';' || t.front() == '[') return false;
  const size_t eq = line.find('=');
  if (eq == npos) return false;
  key = Trim(line.substr(0, eq));
  value = Trim(line.substr(eq + 1));
  return !key.empty();
}

// No line break may reach the file inside a value.
std::string OneLine(std::string_view v) {
  std::string out(v);
  for (char& c : out)
    if (c == '\r' || c == '\n') c = ' ';
  return out;
}

std::string_view Unquote(std::string_view v) {
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
  return v;
}

std::string ErrorText(const char* what, const std::string& path, int err) {
  return std::string(what).append(" ").append(path).append(": ").append(std::strerror(err));
}

std::string Quoted(std::string_view v) {
  std::string out;
  out.reserve(v.size() + 2);
  return out.append(1, '"').append(v).append(1, '"');
}

}  // namespace

size_t IniFile::NoCaseHash::operator()(std::string_view s) const noexcept {
  uint64_t h = 1469598103934665603ull;  // FNV-1a
  for (const char c : s) h = (h ^ AsciiLower(c)) * 1099511628211ull;
  return static_cast<size_t>(h);
}

bool IniFile::NoCaseEqual::operator()(std::string_view a, std::string_view b) const noexcept {
  if (a.size() != b.size()) return false;
  if (std::memcmp(a.data(), b.data(), a.size()) == 0) return true;  // spelled alike, the usual case
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

IniFile IniFile::FromText(std::string_view bytes) {
  IniFile ini;
  if (bytes.empty()) return ini;
  size_t start = 0;
  while (start <= bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == npos) end = bytes.size();
    std::string_view line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    // The text after the last line end is a line only when it holds something.
    if (end < bytes.size() || !line.empty()) ini.lines_.emplace_back(line);
    start = end + 1;
  }
  ini.Index();
  return ini;
}

void IniFile::Index() {
  sections_.assign(1, Section{0, 0, {}});
  firstSection_.clear();
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (const auto name = HeaderName(lines_[i])) {
      sections_.back().end = i;
      firstSection_.emplace(std::string(*name), sections_.size());
      sections_.push_back(Section{i + 1, i + 1, {}});
      continue;
    }
    std::string_view k, v;
    if (SplitKeyLine(lines_[i], k, v))
      sections_.back().keys.emplace(std::string(k), i - sections_.back().first);
  }
  sections_.back().end = lines_.size();
}

IniFile::LoadResult IniFile::Load(const std::string& path, std::string* error) {
  *this = IniFile();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return LoadResult::kMissing;
    if (error != nullptr) *error = ErrorText("Cannot open", path, errno);
    return LoadResult::kFailed;
  }
  std::string data;
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      ::close(fd);
      if (error != nullptr) *error = ErrorText("Cannot read", path, err);
      return LoadResult::kFailed;
    }
    if (n == 0) break;
    data.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  *this = FromText(data);
  return LoadResult::kLoaded;
}

std::string IniFile::Text() const {
  std::string out;
  size_t size = 0;
  for (const std::string& l : lines_) size += l.size() + 2;
  out.reserve(size);
  for (const std::string& l : lines_) {
    out += l;
    out += "\r\n";
  }
  return out;
}

std::string IniFile::Save(const std::string& path) const {
  const ReplaceFileResult r = ReplaceFileContents(path, Text());
  if (r.stage == ReplaceFileResult::kCreate)
    return ErrorText("Cannot create a file beside", r.target, r.error);
  if (r.stage == ReplaceFileResult::kWrite) return ErrorText("Cannot write", r.target, r.error);
  return {};
}

const IniFile::Section* IniFile::FindSection(std::string_view section) const {
  if (section.empty()) return &sections_[0];
  const auto it = firstSection_.find(section);
  return it == firstSection_.end() ? nullptr : &sections_[it->second];
}

size_t IniFile::FindKey(const Section* s, std::string_view key) const {
  if (s == nullptr) return npos;
  const auto it = s->keys.find(key);
  return it == s->keys.end() ? npos : s->first + it->second;
}

std::optional<std::string_view> IniFile::RawValue(std::string_view section, std::string_view key) const {
  const size_t i = FindKey(FindSection(section), key);
  if (i == npos) return std::nullopt;
  std::string_view k, v;
  SplitKeyLine(lines_[i], k, v);
  return Unquote(v);
}

// A CR inside a line (a line ends at LF) reads as the blank it would be written as, so that
// whatever is read writes back and reads again as the same value.
std::optional<std::string> IniFile::Value(std::string_view section, std::string_view key) const {
  const auto v = RawValue(section, key);
  if (!v) return std::nullopt;
  return OneLine(*v);
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view fallback) const {
  auto v = Value(section, key);
  return v ? std::move(*v) : std::string(fallback);
}

int32_t IniFile::ReadInteger(std::string_view section, std::string_view key, int32_t fallback) const {
  // A CR reads as a blank: either ends the number.
  const auto v = RawValue(section, key);
  if (!v) return fallback;
  return ParseInt32(*v).value_or(fallback);
}

std::vector<std::pair<std::string, std::string>> IniFile::ReadSection(std::string_view section) const {
  std::vector<std::pair<std::string, std::string>> out;
  const Section* s = FindSection(section);
  if (s == nullptr) return out;
  for (size_t i = s->first; i < s->end; ++i) {
    std::string_view k, v;
    // Only a key's first line.
    if (SplitKeyLine(lines_[i], k, v) && FindKey(s, k) == i)
      out.emplace_back(std::string(k), OneLine(Unquote(v)));
  }
  return out;
}

void IniFile::WriteRaw(std::string_view section, std::string_view key, std::string value) {
  size_t si;
  if (section.empty()) {
    si = 0;
  } else if (const auto it = firstSection_.find(section); it != firstSection_.end()) {
    si = it->second;
  } else {
    lines_.push_back(std::string("[").append(section).append("]"));
    si = sections_.size();
    firstSection_.emplace(std::string(section), si);
    sections_.push_back(Section{lines_.size(), lines_.size(), {}});
  }
  Section& sec = sections_[si];
  if (const size_t i = FindKey(&sec, key); i != npos) {
    // In place: the key as the file spells it, blanks before "=" included.
    std::string& line = lines_[i];
    line.erase(line.find('=') + 1);
    line += value;
    return;
  }
  // After the section's last line that holds anything, so blank lines before the next
  // section stay where they are; the sections after it move down by one line.
  size_t at = sec.end;
  while (at > sec.first && Trim(lines_[at - 1]).empty()) --at;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::string(key).append("=").append(value));
  sec.keys.emplace(std::string(key), at - sec.first);
  ++sec.end;
  // Their keys are counted from their first line, which moves with them.
  for (size_t n = si + 1; n < sections_.size(); ++n) {
    ++sections_[n].first;
    ++sections_[n].end;
  }
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  WriteRaw(section, key, Quoted(OneLine(value)));
}

void IniFile::WriteText(std::string_view section, std::string_view key, std::string_view value) {
  std::string v = OneLine(value);
  const bool changedOnReading = !v.empty() && (IsBlank(v.front()) || IsBlank(v.back()) ||
                                               (v.size() >= 2 && v.front() == '"' && v.back() == '"'));
  WriteRaw(section, key, changedOnReading ? Quoted(v) : std::move(v));
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int64_t value) {
  char buf[24];
  const auto res = std::to_chars(buf, buf + sizeof buf, value);
  WriteRaw(section, key, std::string(buf, res.ptr));
}

std::optional<int32_t> ParseInt32(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t v = 0;
  const char* first = text.data() + i;
  const char* last = text.data() + text.size();
  if (first == last || *first < '0' || *first > '9') return std::nullopt;
  const auto res = std::from_chars(first, last, v);
  if (res.ec != std::errc()) return std::nullopt;
  if (negative) v = -v;
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) return std::nullopt;
  return static_cast<int32_t>(v);
}

std::optional<double> ParseDouble(std::string_view text) {
  std::string t(text);
  for (char& c : t)
    if (c == ',') c = '.';
  size_t i = 0;
  while (i < t.size() && (t[i] == ' ' || (t[i] >= '\t' && t[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
  // from_chars takes no sign of its own here: a second one is no number.
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) return std::nullopt;
  double v = 0.0;
  const auto res = std::from_chars(t.data() + i, t.data() + t.size(), v, std::chars_format::general);
  if (res.ec == std::errc::result_out_of_range) {
    // Beyond double: as "%lf" reads it, infinity (or a signed zero below the smallest).
    return std::nullopt;
  }
  if (res.ec != std::errc()) return std::nullopt;
  return negative ? -v : v;
}

std::string FormatShortest(double value) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, res.ptr);
}

std::string FormatFixed(double value, int decimals) {
  // A double has at most 309 digits before the point.
  char buf[400];
  const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  if (res.ec != std::errc()) return FormatShortest(value);
  return std::string(buf, res.ptr);
}

}  // namespace vestrel
