#pragma once
#include <cstdint>

namespace vestrel {

// The persisted settings of rig control, each named by its key in the settings file (general
// section). Part of TAppSettings.
struct RigControlSettings {
  int32_t LastTuneRig = 2;  // what Ctrl+U switches TuneRig back to
  int32_t TuneRig = 0;      // 1 RIT, 2 VFO, else off
  int32_t RigNumber = 1;    // 1..2: the rig tuned
  int32_t TuneVFOBtoA = 0;  // the transmit VFO follows the receive frequency
  int32_t VFOBoffset = 0;   // Hz added for the transmit VFO, -9999..9999
  int32_t UseWheel = 1;
  int32_t WheelSpeed = 2;  // Hz per wheel notch (120) are 30 x WheelSpeed

  bool operator==(const RigControlSettings&) const = default;
};

}  // namespace vestrel
