#pragma once
#include <string_view>

#include "io/message_box.h"

namespace vestrel {

// OK message boxes on the screen. The window reaches them through MessageBoxSink, so that a
// test records them (a modal box would block an offscreen test).
class QtMessageBoxes final : public MessageBoxSink {
 public:
  void ShowMessage(std::string_view caption, std::string_view text) override;
  void Beep() override;
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
