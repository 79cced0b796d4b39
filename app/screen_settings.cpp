#include "app/screen_settings.h"

#include "app/ini_values.h"

namespace vestrel {

ScreenSettings ReadScreenSettings(const std::string& path) {
  const IniValues values = ReadIniValues(path);
  ScreenSettings out;
  out.Left = IniInt(values, "Screen", "Left", -1);
  out.Top = IniInt(values, "Screen", "Top", -1);
  out.Height = IniInt(values, "Screen", "Height", -1);
  out.Width = IniInt(values, "Screen", "Width", -1);
  out.OnTop = IniInt(values, "RTTY", "OnTop", 0);
  out.UTCoffset = IniInt(values, "RTTY", "UTCoffset", -1);
  return out;
}

}  // namespace vestrel
