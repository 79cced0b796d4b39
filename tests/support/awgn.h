#pragma once
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace vestrel::test {

// The samples as floats with white Gaussian noise at a stated Eb/N0 for a keyed signal of
// peak amplitude A and Ns samples per bit: a real sample of variance s^2 has N0 = 2 s^2 and a
// bit has Eb = A^2 Ns / 2, so s = A sqrt(Ns / (4 Eb/N0)). (Eb/N0 = SNR in 3 kHz
// + 10 log10(3000 / baud).) ebN0Db of infinity adds nothing.
inline std::vector<float> WithNoise(const std::vector<int16_t>& samples, double amplitude,
                                    double samplesPerBit, double ebN0Db, uint32_t seed) {
  std::vector<float> x(samples.begin(), samples.end());
  if (std::isinf(ebN0Db)) return x;
  const double sigma = amplitude * std::sqrt(samplesPerBit / (4.0 * std::pow(10.0, ebN0Db / 10.0)));
  std::mt19937 rng(seed);
  std::normal_distribution<float> noise(0.0f, static_cast<float>(sigma));
  for (float& v : x) v += noise(rng);
  return x;
}

}  // namespace vestrel::test
