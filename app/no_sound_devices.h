#pragma once
#include "app/message_boxes.h"
#include "engine/sound_control.h"

namespace vestrel {

// The sound devices of a build without the sound-device layer: there are none, and opening
// one says so as the device layer does when the system has none.
class NoSoundDevices final : public SoundControl {
 public:
  explicit NoSoundDevices(MessageBoxes& boxes) : boxes_(boxes) {}
  bool InputOpen() const override { return false; }
  bool OutputOpen() const override { return false; }
  void OpenSoundInput() override { boxes_.Show("No sound input device", "Error"); }
  void CloseSoundInput() override {}
  void OpenSoundOutput() override { boxes_.Show("No sound output device", "Error"); }
  void CloseSoundOutput() override {}
  int WriteOutput(uint32_t) override { return -1; }

 private:
  MessageBoxes& boxes_;
};

}  // namespace vestrel
