#pragma once
#include "io/shell_opener.h"

namespace vestrel {

// Documents and addresses opened by the desktop (QDesktopServices).
class QtShellOpener final : public ShellOpener {
 public:
  bool OpenDocument(const std::string& path) override;
};

}  // namespace vestrel
