#include "platform/wave_device.h"

namespace vestrel {

int PrepareWaveHeader(WaveHeader& header) {
  if (header.flags & kWaveHeaderInQueue) return kWaveStillPlaying;
  if (header.data == nullptr) return kWaveInvalidParam;
  header.flags |= kWaveHeaderPrepared;
  return kWaveOk;
}

int UnprepareWaveHeader(WaveHeader& header) {
  if (header.flags & kWaveHeaderInQueue) return kWaveStillPlaying;
  header.flags &= ~kWaveHeaderPrepared;
  return kWaveOk;
}

}  // namespace vestrel
