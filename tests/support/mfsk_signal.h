#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vestrel::test {

// MFSK transmissions made by the program's own transmit pump, a channel, and the receive chain,
// for the MFSK tests.
struct MfskTxOptions {
  int32_t mode = 12;         // 12 MFSK16, 16 MFSK8
  double centreHz = 1500.0;  // centre of the band
  double outRate = 11025.0;  // OutSamplingFreq: read at 11025, another rate is a clock error
  bool reverse = false;
  bool rxAtFreeBuffer = false;
  double driftHzPerSecond = 0.0;  // the band moved this fast while it is sent (in steps of a unit)
};

// The whole transmission of `text` (preamble to postamble) as the pump writes it: the transmit
// switch's two -1, the characters, -1 and the end.
std::vector<int16_t> TransmitMfsk(const std::string& text, const MfskTxOptions& options);

// The same for a list of symbols queued as they are (control codes included).
std::vector<int16_t> TransmitMfskSymbols(const std::vector<int32_t>& symbols, const MfskTxOptions& options);

// The samples times `gain` with white Gaussian noise at `snrDb` in 3 kHz on the power of the
// keyed signal (the samples that are not 0), rounded to 16 bits. The default gain leaves the
// room below full scale that the noise needs, so nothing clips.
std::vector<int16_t> AddNoise(std::span<const int16_t> samples, double snrDb, uint32_t seed,
                              double gain = 0.25);

struct MfskRxOptions {
  int32_t mode = 12;
  double centreHz = 1500.0;
  bool reverse = false;
  int squelch = -1;  // "SQL" down at this position 0..100; -1 off
};

// Everything the receive chain prints for the samples (at 11025 samples/s), followed by silence
// until the decoders' lag has passed; NUL characters (the transmitter's idle) left out.
std::string ReceiveMfsk(std::span<const int16_t> samples, const MfskRxOptions& options);

// The Eb/N0 of an information bit at an SNR in 3 kHz: 15.625 x 4 / 2 = 31.25 bits/s in MFSK16
// (+19.8 dB), 7.8125 x 5 / 2 = 19.53 bits/s in MFSK8 (+21.9 dB).
double MfskEbN0(int32_t mode, double snrDb);

}  // namespace vestrel::test
