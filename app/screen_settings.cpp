#include "app/screen_settings.h"

#include "app/settings_file.h"

namespace vestrel {

ScreenSettings ReadScreenSettings(const std::string& path) {
  IniFile ini;
  ini.Load(path);
  // The same keys as the settings file's reader: "Screen" and "RTTY" of its tables.
  SettingsValues v;
  ReadSettings(ini, v.Targets());
  const TAppSettings& s = v.settings;
  return {s.Left, s.Top, s.Height, s.Width, s.OnTop, s.UTCoffset};
}

}  // namespace vestrel
