#include "platform/user_dirs.h"

#include <cstdlib>

namespace vestrel {

std::string UserBaseDir(const char* xdgVariable, const char* underHome) {
  if (const char* xdg = std::getenv(xdgVariable); xdg != nullptr && xdg[0] == '/') return xdg;
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') return home + std::string(underHome);
  return {};
}

}  // namespace vestrel
