#pragma once
#include <atomic>
#include <cstdint>

namespace vestrel {

// Transmit state shared by the text control, the macros, the beacon, the automation server and
// the transmit pumps, plus the settings the pumps read. GUI thread only, but the two device
// flags, which the playback callback also reads.
struct TTxState {
  int32_t TxState = 0;   // 0 receiving, 1 start requested, 2 or 3 running
  int32_t TxEnding = 0;  // the end is queued and still sounding (AMTOR FEC counts on to 3)
  bool TxPaused = false;
  bool PausePoint = false;
  bool TxActive = false;  // a transmission is keyed; cleared when the end mark comes back
  // An end code is in the queue (TxEnding follows once the pump takes it): nothing more is
  // queued behind it, or it would wait there for the next transmission. Cleared at each start.
  bool EndQueued = false;

  // Settings (keys of the settings file).
  bool NoDittle = false;          // idle with steady mark instead of LTRS in the start-stop modes
  bool RxAtFreeBuffer = false;    // return to receive once everything typed has gone out
  bool UseDuplex = false;         // keep both sound devices open
  int32_t OutputCardChannel = 0;  // 0 mono, 1 left, 2 right
  bool UseTxD = false;            // also key the start-stop codes on the serial port's TxD
  bool ExtendedBaudot = false;    // third register in the start-stop code sets

  // The sound devices are being switched: no pump runs, no playback message is posted.
  std::atomic<bool> SoundDevicesBusy{false};
  std::atomic<bool> EngineClosing{false};
};

}  // namespace vestrel
