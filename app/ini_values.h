#pragma once
#include <strings.h>

#include <map>
#include <string>

namespace vestrel {

// The values of an ini file as the window reads them before the settings file code exists:
// section -> key -> value, names in any case, the first occurrence of a section or key wins,
// blanks around names and values and one pair of double quotes around a value dropped.
struct IniNoCase {
  bool operator()(const std::string& a, const std::string& b) const {
    return strcasecmp(a.c_str(), b.c_str()) < 0;
  }
};
using IniSection = std::map<std::string, std::string, IniNoCase>;
using IniValues = std::map<std::string, IniSection, IniNoCase>;

// A missing file gives no values.
IniValues ReadIniValues(const std::string& path);

// "%d": optional blanks and sign, then digits. A missing key, a value that does not start
// with a number and one beyond an int give the fallback.
int IniInt(const IniValues& values, const char* section, const char* key, int fallback);

}  // namespace vestrel
