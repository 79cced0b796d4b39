#pragma once
#include <string>

namespace vestrel {

// How an open or save dialog asks for a file name.
struct FileDialogRequest {
  std::string title;
  std::string filter;             // "Wave files (*.wav);;All files (*)"
  bool confirmOverwrite = false;  // save: ask before replacing an existing file
  bool hideReadOnly = false;      // read-only files are not offered
  bool keepWorkingDirectory = true;
};

// The open and save dialogs. The main window implements them; tests answer them. A chosen name
// is returned in `name` with true; false when the operator cancelled. GUI thread only.
class FileDialogs {
 public:
  virtual bool OpenFileName(const FileDialogRequest& request, std::string& name) = 0;
  virtual bool SaveFileName(const FileDialogRequest& request, std::string& name) = 0;

 protected:
  ~FileDialogs() = default;
};

}  // namespace vestrel
