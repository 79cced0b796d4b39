#include "app/port_settings.h"

#include <strings.h>

#include <cctype>
#include <cstdlib>

#include "app/ini_values.h"

namespace vestrel {

void ReadPortSettings(const std::string& path, KeyingPortSettings& s) {
  const IniValues values = ReadIniValues(path);
  s.PttPortType = IniInt(values, "RTTY", "PttPortType", s.PttPortType);
  s.PttPortNumber = IniInt(values, "RTTY", "PttPortNumber", s.PttPortNumber);
  s.PttPin = IniInt(values, "RTTY", "PttPin", s.PttPin);
  s.PowerPin1 = IniInt(values, "RTTY", "PowerPin1", s.PowerPin1);
  s.PowerPin2 = IniInt(values, "RTTY", "PowerPin2", s.PowerPin2);
  s.XPortAddress = IniInt(values, "RTTY", "XPortAddress", s.XPortAddress) & 0xFFFF;
  const int speed = IniInt(values, "RTTY", "ExchangeSpeed", s.ExchangeSpeed);
  s.ExchangeSpeed = speed < 10 || speed > 921600 ? 9600 : speed;
  s.ExchangePortNumber = IniInt(values, "RTTY", "ExchangePortNumber", s.ExchangePortNumber);
  const auto section = values.find("ComPorts");
  if (section == values.end()) return;
  for (const auto& [key, value] : section->second) {
    // "COM<n>", n a whole number from 1.
    if (key.size() < 4 || strncasecmp(key.c_str(), "COM", 3) != 0 || key.size() > 7) continue;
    bool digits = true;
    for (size_t i = 3; i < key.size(); ++i)
      digits = digits && std::isdigit(static_cast<unsigned char>(key[i]));
    const int n = digits ? std::atoi(key.c_str() + 3) : 0;
    if (n >= 1 && !value.empty()) s.ComPorts[n] = value;
  }
}

}  // namespace vestrel
