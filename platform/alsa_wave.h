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
// Whether a hinted PCM belongs in the device list, which holds what an operator can choose:
// "default", the sound servers' "pipewire" and "pulse" (when `serverRuns`), each card by its
// "sysdefault:" and "plughw:" entries, and a PCM of the configuration whose `type` ends at a
// device (hw, plug, file, null, asym ...). Not listed: the plug-ins that the system's
// configuration names (rate converters, jack, oss, speex, upmix ...), a card's raw and mixing
// entries (they cannot take 11025 frames/s), and "null", which is no device.
bool IsListedAlsaDevice(const std::string& name, const std::string& type = {}, bool serverRuns = false);

}  // namespace vestrel
