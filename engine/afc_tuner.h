#pragma once
#include "engine/mode_table.h"

namespace vestrel {

// Frequency control as the block processor runs it: once per block while AFC is on, before the
// block is demodulated, the mode's pass (already resolved: never kFskBySignal or kNone) and,
// when the row says so, the transmit tones following the receive tones. GUI thread only.
class AfcTuner {
 public:
  virtual void Tune(AfcPass pass) = 0;
  virtual void SyncTxFrequencyToRx() = 0;

 protected:
  ~AfcTuner() = default;
};

}  // namespace vestrel
