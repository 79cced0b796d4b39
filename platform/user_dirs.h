#pragma once
#include <string>

namespace vestrel {

// A per-user base folder of the desktop's conventions: the absolute path in the environment
// variable `xdgVariable` (XDG_CONFIG_HOME, XDG_DATA_HOME), else $HOME followed by
// `underHome` ("/.config", "/.local/share"); empty when neither is set.
std::string UserBaseDir(const char* xdgVariable, const char* underHome);

}  // namespace vestrel
