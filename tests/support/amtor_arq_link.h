#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

namespace vestrel::test {

// The sending station of an AMTOR ARQ link as a monitor hears it, built from the CCIR-476 code
// chart alone (no engine table): blocks of three 7-bit characters, 21 bits at 100 Bd, one at
// the start of every 450 ms cycle, 170 Hz shift (B, a 1 bit, on the upper tone), and weak white
// noise over everything, the gaps and the lead-in included (the other station is not heard).
struct ArqLinkOptions {
  double upperHz = 1785.0;
  double lowerHz = 1615.0;
  double amplitude = 8000.0;  // peak, of 32767
  double noiseSigma = 300.0;  // same units
  uint32_t seed = 1;
  double leadMs = 300.0;      // noise before the first block
  double tailBits = 100.0;    // after the start of the last block: it is read, the next cycle not
  double cutBits = 0.0;       // the recording starts this far into the first block
  double fadeStartMs = -1.0;  // the signal fades out here (-1: never)
  double fadeMs = 0.0;        // for this long; noise goes on
};

// The air bits (first sent first) of a text as the sending station keys it: LTRS or FIGS first
// and wherever the register changes, three characters to a block, the last filled with LTRS.
// Letters, figures, space, CR and LF only.
std::vector<uint32_t> ArqBlocksOf(std::string_view text);

// The samples at 11025/s of the blocks, one a cycle. While the signal is faded the station is
// not heard and repeats its block, as it does when the other side asks again; the blocks go on
// where they stopped when the fade ends, so a monitor that finds them again prints every block.
std::vector<int16_t> ArqLinkSignal(const std::vector<uint32_t>& blocks, const ArqLinkOptions& options);

}  // namespace vestrel::test
