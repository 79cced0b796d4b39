#pragma once
// For the MFSK benchmarks: text from the program's own MFSK transmitter.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/frequency_unit.h"

namespace vestrel::harness {

// About 20 s of text at 11025 samples/s around `centreHz`, in whole 2048-sample blocks.
inline std::vector<float> MfskBenchSignal(bool mfsk8, double centreHz = 1500.0) {
  const SineTable sine;
  TModemParams params;
  TSampleRates rates;
  TMfskTransmitter tx(sine, params, rates);
  tx.SetMode(mfsk8);
  tx.SetTones(HzToUnits(centreHz - (mfsk8 ? 121.0 : 117.0)));
  std::vector<int16_t> out(tx.MaxSymbolSamples());
  std::vector<float> x;
  const std::string text = "the quick brown fox jumps over the lazy dog 0123456789 ";
  for (size_t i = 0; x.size() < 11025 * 20; ++i) {
    const uint32_t n = tx.EncodeSymbol(static_cast<unsigned char>(text[i % text.size()]), out.data());
    for (uint32_t k = 0; k < n; ++k) x.push_back(0.25f * out[k]);
  }
  x.resize(x.size() / 2048 * 2048);
  return x;
}

}  // namespace vestrel::harness
