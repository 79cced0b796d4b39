#pragma once
#include "app/message_boxes.h"
#include "engine/sound_control.h"

namespace vestrel {

// The sound devices of a build without the sound-device layer: there are none, and opening
// one says so as the device layer does when the system has none.
class NoSoundDevices final : public SoundControl {
 public:
  explicit NoSoundDevices(MessageBoxSink& boxes) : boxes_(boxes) {}
  bool InputOpen() const override { return false; }
  bool OutputOpen() const override { return false; }
  void OpenSoundInput() override { boxes_.ShowMessage("Error", "No sound input device"); }
  void CloseSoundInput() override {}
  void OpenSoundOutput() override { boxes_.ShowMessage("Error", "No sound output device"); }
  void CloseSoundOutput() override {}
  int WriteOutput(uint32_t) override { return -1; }

 private:
  MessageBoxSink& boxes_;
};

}  // namespace vestrel
