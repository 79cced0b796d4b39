#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace vestrel {

// An ini file held in memory, read and written key by key:
// - "[Section]" lines open sections; "key=value" lines hold values; any other line (comments,
//   blanks, text this program does not know) is kept as it is, in its place.
// - Section and key names compare without regard to ASCII case; the first section of a name
//   is the only one read or written, and in it the first line of a key.
// - Blanks (space, tab) around names and values are not part of them; one pair of double
//   quotes around a value is dropped on reading. A CR inside a value reads as a blank.
// - Values are bytes: 8-bit text comes back unchanged. A value is never written with a line
//   break in it (a CR or LF becomes a blank), so no value can start a line of its own.
// - Numbers are read and written without the C locale, always with "." as decimal mark.
// - Lines end in CR LF when written; LF alone is accepted on reading.
// Keys written that the file lacks are added after the last line of their section, or in a
// new section at the end of the file.
class IniFile {
 public:
  enum class LoadResult { kLoaded, kMissing, kFailed };

  IniFile() = default;
  static IniFile FromText(std::string_view bytes);

  // Reads the whole file in one go. kMissing: no such file (the ini is empty); kFailed: it
  // exists but cannot be read (the ini is empty and `error` says why).
  LoadResult Load(const std::string& path, std::string* error = nullptr);
  // Writes the file whole: into a temporary file beside `path`, which then replaces it, so a
  // failed save never leaves half a file. Empty when saved; otherwise what went wrong (and
  // the old file is as it was).
  std::string Save(const std::string& path) const;
  // The file as Save writes it.
  std::string Text() const;

  // The value with its surrounding blanks and one pair of quotes removed; nullopt when the
  // section or key is absent.
  std::optional<std::string> Value(std::string_view section, std::string_view key) const;
  std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) const;
  // A decimal int32 as "%d" reads it (leading blanks, a sign, digits, anything after them
  // ignored); absent, not a number or beyond int32: `fallback`.
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t fallback) const;
  // Every key of the section with its value, in file order (the first of a repeated key only).
  std::vector<std::pair<std::string, std::string>> ReadSection(std::string_view section) const;

  // The value in double quotes.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  // The value as it is, but quoted when reading it back bare would change it (blanks at its
  // ends, or quotes around it).
  void WriteText(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int64_t value);

 private:
  // Names compared and hashed without regard to ASCII case, looked up without a copy.
  struct NoCaseHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const noexcept;
  };
  struct NoCaseEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept;
  };
  using NameMap = std::unordered_map<std::string, size_t, NoCaseHash, NoCaseEqual>;
  // A section's lines and the first line of each of its keys, counted from `first`, so that a
  // line added to one section moves only the bounds of those after it. Entry 0 of sections_
  // holds the lines before the first header (no header, no name).
  struct Section {
    size_t first;  // the first line after the header
    size_t end;    // the next header, or the end of the file
    NameMap keys;
  };
  void Index();
  const Section* FindSection(std::string_view section) const;
  // The line of the key, or npos.
  size_t FindKey(const Section* s, std::string_view key) const;
  // The value with its blanks and one pair of quotes removed, as it stands in the line.
  std::optional<std::string_view> RawValue(std::string_view section, std::string_view key) const;
  void WriteRaw(std::string_view section, std::string_view key, std::string value);

  std::vector<std::string> lines_;                    // without their line ends
  std::vector<Section> sections_{Section{0, 0, {}}};  // in file order
  NameMap firstSection_;                              // name -> sections_ entry
};

// "%d" on the text: leading blanks, an optional sign, decimal digits; anything after them is
// ignored. nullopt when no digit follows or the number lies beyond int32.
std::optional<int32_t> ParseInt32(std::string_view text);

// Decimal text as the setup dialog and the settings file write it: "," or "." as decimal mark,
// leading blanks, an optional sign, anything after the number ignored (as "%lf" would read
// it, but without the locale). nullopt when no number starts the text.
std::optional<double> ParseDouble(std::string_view text);

// The shortest text that reads back as the same double, "." as decimal mark.
std::string FormatShortest(double value);
// A fixed number of decimals ("%.4lf" gives 45.4500), "." as decimal mark.
std::string FormatFixed(double value, int decimals);

}  // namespace vestrel
