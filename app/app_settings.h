#pragma once
#include <cstdint>
#include <string>

#include "io/keying_port_settings.h"

namespace vestrel {

// The persisted settings, each named by its key in the settings file. Holds the keys that the
// main window reads so far; the settings file code fills and extends it. The keying port keys
// come from KeyingPortSettings, which the port code works on.
struct TAppSettings : KeyingPortSettings {
  std::string MyCall = "XX0XXX";
  int32_t UseDuplex = 0;
  int32_t ExCanal = 1;          // exchange library channel 1..9, 0 = no library
  int32_t BeaconPeriod = 30;    // s, 3..999
  int32_t SquelchThreshold = 50;  // squelch up-down position 0..100
  int32_t MessageChannel = 0;   // logger link channel, 0 = off
  int32_t TuneRig = 0;          // 1 RIT, 2 VFO, else off
  int32_t LastTuneRig = 2;
  int32_t PhaseShow = 1;
  int32_t WaterFall = 0;
  int32_t LogarithmicSpectrum = 0;
  int32_t LogarithmicOscillogram = 0;
  int32_t OnTop = 0;            // section "RTTY"
  int32_t UTCoffset = -1;       // minutes added to local time for UTC; -1: the system's UTC
  double CardSamplingRate = 11025.0;  // the calibrated input rate of the card
};

}  // namespace vestrel
