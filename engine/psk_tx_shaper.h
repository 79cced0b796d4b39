#pragma once
#include <cstdint>

namespace vestrel {

// The PSK symbol shaper the synthesisers hand their bits to. Each call writes its samples at
// `out`, advances the caller's phase (FrequencyUnit, kept & 0x7FFF) and returns the count.
// Called once per bit or symbol, never per sample.
class PskTxShaper {
 public:
  // symbol 0..3 advances the quadrant, 4 ramps the carrier off, 5 ramps it up to quadrant 0.
  virtual uint32_t PskTxSymbol(int symbol, int16_t* out, uint32_t& phase) = 0;
  // BPSK: 1 a steady carrier, 0 a phase reversal.
  virtual uint32_t PskTxCarrier(int bit, int16_t* out, uint32_t& phase) = 0;
  // QPSK: one bit through the convolutional encoder, then one symbol.
  virtual uint32_t PskTxQpskBit(int bit, int16_t* out, uint32_t& phase) = 0;
  // Samples per symbol at the output rate; every call above writes at most this plus one.
  virtual uint32_t PskSymbolLen() const = 0;

 protected:
  ~PskTxShaper() = default;
};

}  // namespace vestrel
