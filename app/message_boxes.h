#pragma once
#include <string_view>

namespace vestrel {

// OK message boxes of the program. A modal box would block an offscreen test, so the window
// reaches them through this interface; tests record them.
class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  virtual void Show(std::string_view text, std::string_view caption) = 0;
};

class QtMessageBoxes : public MessageBoxes {
 public:
  void Show(std::string_view text, std::string_view caption) override;
};

// Process control that tests replace: the end of the message loop, message processing during
// waits on the GUI thread, and the sleeps between them.
class AppControl {
 public:
  virtual ~AppControl() = default;
  virtual void Terminate();
  virtual void ProcessMessages();
  virtual void SleepMs(int ms);
};

}  // namespace vestrel
