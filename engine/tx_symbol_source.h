#pragma once
#include <cstdint>
#include <string>

namespace vestrel {

struct ModeRow;

// What every transmitter family implements (one object per TxFamily, registered in the
// ModeRegistry): its way of turning queued symbols into samples inside the buffer frame of the
// transmit audio pump, which recycles, fills and writes the playback buffers and calls
// NextSymbol once per symbol. The mode switch pushes the chosen mode, speeds and tones.
// GUI thread only. Setters return false for a value they refuse and then change nothing.
class TxSymbolSource {
 public:
  // May the frame start filling another buffer (transmitting and not yet ending)?
  virtual bool WantsBuffer() const = 0;
  // Nothing waits to be sent: the frame then keeps only 4 buffers in flight.
  virtual bool QueueIdle() const = 0;
  // Chooses and synthesises the next symbol at `out` (room for TToneSynth::MaxSymbolSamples
  // and for MaxSymbolSamples below), appends the characters it carries to `text`, sets
  // `endMark` when the symbol ends the transmission, and returns the sample count (0 is taken
  // as a silence).
  virtual uint32_t NextSymbol(int16_t* out, std::string& text, int32_t& endMark) = 0;
  // An upper bound of the samples one NextSymbol writes at the current rates, for a source whose
  // pieces can be longer than the synthesisers' (0: none longer).
  virtual uint32_t MaxSymbolSamples() const { return 0; }

  // The mode switch chose `row`, one of this family's modes (its rate, tone count, ...).
  virtual bool SelectMode(const ModeRow& row) = 0;
  // A mode of another family was chosen (the packet slot timer stops).
  virtual void LeaveMode() = 0;
  // A new speed, Bd, after every speed change that reaches this family.
  virtual bool SetSpeed(double baud) = 0;
  // Transmit tones, FrequencyUnit at OutSamplingFreq, for families that hold their own.
  virtual bool SetTones(int32_t lower, int32_t upper) = 0;

 protected:
  ~TxSymbolSource() = default;
};

}  // namespace vestrel
