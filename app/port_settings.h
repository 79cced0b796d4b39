#pragma once
#include <string>

#include "app/form_parts.h"
#include "io/keying_port_settings.h"

namespace vestrel {

// Reads the keying port keys of the settings file: general section "RTTY" keys "PttPortType",
// "PttPortNumber", "PttPin", "PowerPin1", "PowerPin2", "XPortAddress" (low 16 bits kept),
// "ExchangeSpeed" (below 10 or above 921600: 9600) and "ExchangePortNumber", and every key
// "COM<n>" of section "ComPorts". A missing key keeps its value; the values are clamped where
// the ports apply them.
void ReadPortSettings(const std::string& path, KeyingPortSettings& s);

// The program's settings step: the keying port keys.
class PortKeysSettings : public SettingsPart {
 public:
  void LoadSettings(const std::string& path, TAppSettings& s) override { ReadPortSettings(path, s); }
};

}  // namespace vestrel
