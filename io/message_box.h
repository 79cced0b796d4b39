#pragma once
#include <string_view>

namespace vestrel {

// A modal message box with an OK button. The main window implements it; tests record it.
// GUI thread only.
class MessageBoxSink {
 public:
  virtual void ShowMessage(std::string_view caption, std::string_view text) = 0;
  // The system's alert sound, given before some of the messages.
  virtual void Beep() {}

 protected:
  ~MessageBoxSink() = default;
};

}  // namespace vestrel
