#pragma once
#include "io/file_dialogs.h"

namespace vestrel {

// The open and save dialogs on the screen (QFileDialog).
class QtFileDialogs final : public FileDialogs {
 public:
  bool OpenFileName(const FileDialogRequest& request, std::string& name) override;
  bool SaveFileName(const FileDialogRequest& request, std::string& name) override;
};

}  // namespace vestrel
