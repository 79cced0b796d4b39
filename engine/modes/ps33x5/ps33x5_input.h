#pragma once
#include <array>
#include <span>

#include "engine/dsp/uni_resample.h"
#include "engine/mode_receiver.h"

namespace vestrel {

// The front of the PS33X5 receiver, which runs at 12800 samples/s: each block at 11025
// samples/s goes through the second converter (linear interpolation, no anti-alias filter) and
// the converted samples reach ProcessConverted in order, in parts of up to kChunk, the rest at
// the end of each block, all with the squelch decision of the block they came from. The
// PS33X5 receiver derives from this class and implements ProcessConverted and the setters.
class TPs33x5Input : public ModeReceiver {
 public:
  static constexpr double kRate = 12800.0;
  static constexpr int kChunk = 1024;

  TPs33x5Input();

  // Restarts the converter from silence and drops a partial part.
  void Reset() override;
  void ProcessBlock(std::span<const float> block, bool squelchOpen) final;

 protected:
  ~TPs33x5Input() = default;
  // samples: converted samples at 12800 samples/s (a part of a block).
  virtual void ProcessConverted(std::span<const double> samples, bool squelchOpen) = 0;

 private:
  void Flush();

  TUniResample converter_;
  std::array<double, kChunk> part_{};
  int fill_ = 0;
  bool open_ = true;
};

}  // namespace vestrel
