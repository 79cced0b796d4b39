#include "platform/registry_store.h"

#include <cstdlib>

#include "platform/ini_file.h"

namespace vestrel {

RegistryStore RegistryStore::Default() {
  std::string config;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
    config = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
    config = std::string(home) + "/.config";
  }
  std::vector<std::string> files;
  if (!config.empty()) files.push_back(config + "/qentor/vestrel/registry.ini");
  files.push_back("/etc/qentor/vestrel/registry.ini");
  return RegistryStore(std::move(files));
}

std::optional<std::string> RegistryStore::ReadString(const std::string& name) const {
  for (const std::string& f : files_) {
    IniFile ini;
    if (ini.Load(f) != IniFile::LoadResult::kLoaded) continue;
    if (auto v = ini.Value("", name)) return v;
  }
  return std::nullopt;
}

std::optional<int32_t> RegistryStore::ReadInteger(const std::string& name) const {
  const auto v = ReadString(name);
  if (!v) return std::nullopt;
  return ParseInt32(*v);
}

}  // namespace vestrel
