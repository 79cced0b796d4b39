#pragma once
#include <cstdint>
#include <span>

namespace vestrel {

struct ModeRow;

// What every receiver family implements (one object per RxFamily, registered in the
// ModeRegistry). The mode switch pushes tones, speeds and the chosen mode; the block processor
// hands each 2048-sample block at 11025 samples/s, in order, with the squelch decision of that
// block. One virtual call per block: the receiver loops over the samples inside ProcessBlock.
// GUI thread only. Setters return false for a value they refuse and then change nothing.
class ModeReceiver {
 public:
  // Back to the state after the last set-up: filters, rings and decoding state cleared;
  // tones, speed and mode stay.
  virtual void Reset() = 0;
  // The mode switch chose `row`, one of this family's modes: take its character length, rate,
  // BPSK or QPSK, tone count from the row.
  virtual bool SelectMode(const ModeRow& row) = 0;
  // Receive tones, FrequencyUnit (lower, upper); single-tone receivers take the lower.
  virtual bool SetTones(int32_t lower, int32_t upper) = 0;
  // Speed in Bd (45 stands for 45.45) with the filter width (0 Optimal, 1 Wide, 2 Narrow).
  virtual bool SetSpeed(double baud, int filterWidth) = 0;
  // squelchOpen false: pass no characters (the receiver still runs every sample).
  virtual void ProcessBlock(std::span<const float> block, bool squelchOpen) = 0;

 protected:
  ~ModeReceiver() = default;
};

}  // namespace vestrel
