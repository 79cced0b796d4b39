#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vestrel::test {

// An ideal PSK31-family signal at 11025 samples/s, written from the textbook rather than from
// our transmitter: each symbol moves the carrier's complex amplitude from the last symbol's
// point to its own along a raised cosine, z = z0 (1 + cos pi t)/2 + z1 (1 - cos pi t)/2, and
// the sample is A (Re z sin wt + Im z cos wt). BPSK turns the phase by half a turn for a 0 bit;
// QPSK shifts each bit, inverted, into the rate-1/2 encoder and turns by its output in quarter
// turns (the other way round for the other sideband). The carrier rises over the first symbol
// and falls over the last; silence stands before and after. Channel: white Gaussian noise, a
// frequency offset, a drift and a clock error (relative; 0.001 sends 0.1 % fast).
struct PskSignalOptions {
  double baud = 31.25;
  bool qpsk = false;
  bool otherSideband = false;  // QPSK steps negated
  double toneHz = 1000.0;
  double amplitude = 8000.0;  // peak of a steady carrier
  double offsetHz = 0.0;
  double driftHzPerSecond = 0.0;  // the carrier moves linearly from toneHz + offsetHz
  double clockError = 0.0;
  double noiseRms = 0.0;
  uint32_t seed = 1;
  int leadSymbols = 48;  // idle (zero bits) after the carrier comes up, before the text
  int tailSymbols = 48;  // idle after the text, before the carrier falls
  double silenceSeconds = 0.3;
};

// The varicode bits of a text as the transmitter sends them: "00" and the word per character.
std::vector<int> VaricodeBits(std::string_view text);

// The phase steps (quarter turns) a transmitter sends for these bits, from the encoder's
// idle state for QPSK.
std::vector<int> PskSteps(const std::vector<int>& bits, bool qpsk);

// The signal of explicit phase steps (quarter turns), framed as above.
std::vector<float> MakePskStepSignal(const std::vector<int>& steps, const PskSignalOptions& options);

// The signal of a text: lead idle, the text's bits, tail idle.
std::vector<float> MakePskSignal(std::string_view text, const PskSignalOptions& options);

// The text, with at most two characters of key-up and key-down noise before and after it: a
// carrier rising out of silence or falling into it reads as one bits, which with the idle's
// zeros can make a character (a space, e, t...), as in any PSK receiver without squelch.
testing::AssertionResult FramedByKeyNoise(const std::string& got, const std::string& text);

}  // namespace vestrel::test
