#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vestrel {

// The machine's store of the program's own values (a default directory, platform flags): small
// ini files holding "name=value" lines before any section, looked up in order, the first file
// that has a value giving it. The program only reads them; it never creates or changes one.
class RegistryStore {
 public:
  explicit RegistryStore(std::vector<std::string> files) : files_(std::move(files)) {}
  // $XDG_CONFIG_HOME/qentor/vestrel/registry.ini (~/.config when unset), then
  // /etc/qentor/vestrel/registry.ini.
  static RegistryStore Default();

  // Each call reads the files afresh.
  std::optional<std::string> ReadString(const std::string& name) const;
  // nullopt when absent or not a decimal int32.
  std::optional<int32_t> ReadInteger(const std::string& name) const;

  const std::vector<std::string>& files() const { return files_; }

 private:
  std::vector<std::string> files_;
};

}  // namespace vestrel
