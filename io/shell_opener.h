#pragma once
#include <string>

namespace vestrel {

// Opens a document, or an address ("mailto:", "https:"), in the program the desktop associates
// with it (the shell verb "open").
// The main window implements it; tests record it. GUI thread only.
class ShellOpener {
 public:
  // False when the desktop could not open it.
  virtual bool OpenDocument(const std::string& path) = 0;

 protected:
  ~ShellOpener() = default;
};

}  // namespace vestrel
