#pragma once
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace vestrel::test {

// Synchronous two-tone FSK at 11025 samples/s: bursts of bits at any rate, silence between
// them, with an optional channel (white Gaussian noise over the whole signal, gaps included, a
// frequency offset and a clock error). Each burst starts with the oscillator's phase at 0 and
// keeps it continuous inside.
struct BitSignalOptions {
  double upperHz = 1785.0;  // tone of a 1 bit
  double lowerHz = 1615.0;  // tone of a 0 bit
  double baud = 100.0;
  double amplitude = 8000.0;  // peak, of 32767
  double offsetHz = 0.0;      // added to both tones
  double clockError = 0.0;    // relative: 0.005 runs the sender 0.5 % fast (bits and gaps)
  double noiseRms = 0.0;      // same units as amplitude
  uint32_t seed = 1;
};

// A burst: `bits` (0 or 1 each) from `startBits` bit times after the start of the signal.
struct BitBurst {
  double startBits = 0.0;
  std::vector<uint8_t> bits;
};

// The whole signal, `totalBits` bit times long (at least to the end of the last burst).
std::vector<int16_t> MakeBitSignal(std::span<const BitBurst> bursts, double totalBits,
                                   const BitSignalOptions& options);
// One burst after `leadBits` of silence, `tailBits` of silence after it.
std::vector<int16_t> MakeBitSignal(std::span<const uint8_t> bits, double leadBits, double tailBits,
                                   const BitSignalOptions& options);

// Noise rms for a tone of peak amplitude A at baud Bd to give Eb/N0 in dB: Eb = A^2/2 / baud,
// N0 = rms^2 / (11025/2).
double NoiseRmsFor(double amplitude, double baud, double ebN0Db);

// The `width` bits of code, most significant first (AMTOR) or least significant first
// (PACTOR, minimodem's raw bytes), appended to bits.
void AppendBits(std::vector<uint8_t>& bits, unsigned code, int width, bool msbFirst);

// AMTOR FEC: the DX codes in order, each followed by the RX repetition of the DX code two
// places earlier (PhasingTwo before the first two, and in place of a PhasingOne), as 7-bit
// codes, first bit most significant.
std::vector<uint8_t> AmtorFecBits(std::span<const int> dxCodes);
// A whole FEC transmission of a text: `phasing` PhasingOne codes, the text's CCIR-476 codes
// (LTRS or FIGS first and wherever the register changes), and the end signal (five PhasingTwo).
std::vector<int> AmtorFecCodes(std::string_view text, int phasing = 6);

// Bits packed into bytes in the order minimodem sends raw bytes: least significant first. A
// last partial byte is filled up with `fill` bits.
std::vector<uint8_t> PackBitsLsbFirst(std::span<const uint8_t> bits, uint8_t fill = 0);

}  // namespace vestrel::test
