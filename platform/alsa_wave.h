#pragma once
#include <string>

#include "platform/wave_device.h"

namespace vestrel {

// Sound devices on ALSA. The default device is ALSA's "default" PCM, so systems running
// PipeWire or PulseAudio need no set-up; the device lists come from the PCM name hints.
// Each open device runs one I/O thread with bounded blocking reads or writes; a playback
// buffer is reported done once the card has played it (from snd_pcm_delay).
class AlsaWaveBackend final : public WaveBackend {
 public:
  std::vector<WaveDeviceInfo> InputDevices() override;
  std::vector<WaveDeviceInfo> OutputDevices() override;
  int OpenIn(int device, const WaveFormat& format, WaveCallback& callback,
             std::unique_ptr<WaveIn>& out) override;
  int OpenOut(int device, const WaveFormat& format, WaveCallback& callback,
              std::unique_ptr<WaveOut>& out) override;
};

// Maps an ALSA error (negative errno) from opening or configuring a PCM to a result code.
int AlsaOpenResult(int alsaError);
// Whether a hinted PCM name belongs in the device list (raw hardware and mixing plug-ins
// cannot take 11025 frames/s, and "null" is no device).
bool IsListedAlsaDevice(const std::string& name);

}  // namespace vestrel
