#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace vestrel {

// One item of a memo's own popup menu: a caption ("-" is a separator) and the tag that names
// its command.
struct TMemoPopupItem {
  std::string Caption;
  int32_t Tag = 0;
  bool Enabled = true;
};

// The memo's own popup menu, as the window shows it.
struct TMemoPopupMenu {
  std::vector<TMemoPopupItem> Items;
};

}  // namespace vestrel
