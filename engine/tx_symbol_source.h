#pragma once
#include <cstdint>
#include <string>

namespace vestrel {

// One mode's way of turning queued symbols into samples, inside the buffer frame of the
// transmit audio pump (which recycles, fills and writes the playback buffers).
class TxSymbolSource {
 public:
  // May the frame start filling another buffer (transmitting and not yet ending)?
  virtual bool WantsBuffer() const = 0;
  // Nothing waits to be sent: the frame then keeps only 4 buffers in flight.
  virtual bool QueueIdle() const = 0;
  // Chooses and synthesises the next symbol at `out` (room for TToneSynth::MaxSymbolSamples),
  // appends the characters it carries to `text`, sets `endMark` when the symbol ends the
  // transmission, and returns the sample count (0 is taken as a silence).
  virtual uint32_t NextSymbol(int16_t* out, std::string& text, int32_t& endMark) = 0;

 protected:
  ~TxSymbolSource() = default;
};

}  // namespace vestrel
