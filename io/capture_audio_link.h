#pragma once
#include <cstdint>

namespace vestrel {

// What the capture handler needs of the audio files: file decoding (live audio is then not
// fed onwards), the audio history and the wave capture file. GUI thread only.
class CaptureAudioLink {
 public:
  virtual bool DecodingFile() const = 0;
  virtual void PushHistory(const int16_t* samples, uint32_t count) = 0;
  virtual bool WaveCaptureOn() const = 0;
  // Appends to the capture file; false on a write error.
  virtual bool AppendWaveCapture(const int16_t* samples, uint32_t count) = 0;
  // The "Close Wave Capture File" command.
  virtual void CloseWaveCapture() = 0;

 protected:
  ~CaptureAudioLink() = default;
};

}  // namespace vestrel
