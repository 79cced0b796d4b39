#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vestrel::test {

// A continuous-phase two-tone signal of asynchronous (start-stop) characters at 11025
// samples/s, with an optional channel: white noise, a frequency offset and a clock error.
struct FskSignalOptions {
  double markHz = 1785.0;   // tone of a 1 bit (and of the idle line)
  double spaceHz = 1615.0;  // tone of a 0 bit
  double baud = 45.45;
  int dataBits = 5;
  double stopBits = 1.5;
  double amplitude = 16000.0;  // peak, of 32767
  double offsetHz = 0.0;       // added to both tones
  double clockError = 0.0;     // relative: 0.005 sends 0.5 % fast
  double noiseRms = 0.0;       // white Gaussian noise, same units as amplitude
  uint32_t seed = 1;
  double leadBits = 20.0;  // idle mark before the first character
  double tailBits = 20.0;  // and after the last
};

// Each code is sent LSB first between a start bit (space) and the stop bits (mark).
std::vector<int16_t> MakeStartStopSignal(std::span<const int> codes, const FskSignalOptions& options);

// Sample index at which character i's start bit begins, for the same options.
double StartEdgeSample(int i, const FskSignalOptions& options);

// The Baudot codes of a text as the transmit side sends it: LTRS/FIGS (and the third shift with
// extended on or in code set 3) before every character whose register differs.
std::vector<int> BaudotCodesOf(std::string_view text, int codeSet, bool extended = false);

// Levenshtein distance of got from expected, divided by the length of expected.
double CharacterErrorRate(std::string_view expected, std::string_view got);
// The length of expected less the edit distance of got from it (not below 0): the characters of
// a noise ladder's text that came through.
int CorrectCharacters(std::string_view expected, std::string_view got);

// A seeded text of `length` characters for noise ladders: words of 1 to 6 letters, every fifth
// or so of figures "0123456789-?/.,", which ITA2 and every peer spell alike, a space after
// each, and an "X" last.
std::string LadderText(uint32_t seed, size_t length = 300);

// The same against the stretch of got that matches expected best: what a receiver prints
// before and after the text (at key-up, or from noise while no signal is on) does not count.
double CharacterErrorRateWithin(std::string_view expected, std::string_view got);

}  // namespace vestrel::test
