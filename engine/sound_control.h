#pragma once
#include <cstdint>

namespace vestrel {

// What the transmit pump and the transmit switch need of the sound devices. The sound-device
// layer implements it; tests fake it. GUI thread only.
class SoundControl {
 public:
  virtual bool InputOpen() const = 0;
  virtual bool OutputOpen() const = 0;
  virtual void OpenSoundInput() = 0;
  virtual void CloseSoundInput() = 0;
  virtual void OpenSoundOutput() = 0;
  virtual void CloseSoundOutput() = 0;
  // Hands buffer `index` of the TxAudioBuffers (its `length` samples) to the playback device.
  // Returns 0 on success, else the device's error code. On success the device will raise
  // `Completed` and lower `InFlight` once the buffer has played. The pump raises `InFlight`
  // before the call, so a completion that arrives at once is never missed, and lowers it again
  // when the call fails.
  virtual int WriteOutput(uint32_t index) = 0;

 protected:
  ~SoundControl() = default;
};

}  // namespace vestrel
