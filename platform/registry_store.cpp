#include "platform/registry_store.h"

#include "platform/ini_file.h"
#include "platform/user_dirs.h"

namespace vestrel {

RegistryStore RegistryStore::Default() {
  const std::string config = UserBaseDir("XDG_CONFIG_HOME", "/.config");
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
