#include "support/psk_signal.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <random>

#include "engine/codes/varicode_table.h"

namespace vestrel::test {

namespace {

constexpr double kRate = 11025.0;

int Parity(unsigned v) {
  int p = 0;
  for (; v != 0; v &= v - 1) p ^= 1;
  return p;
}

}  // namespace

std::vector<int> VaricodeBits(std::string_view text) {
  std::vector<int> bits;
  for (char ch : text) {
    const uint16_t entry = kVaricode[static_cast<uint8_t>(ch)];
    // The entry holds "00" and the word left-aligned; its trailing zeros are not sent.
    for (uint32_t e = entry; e != 0; e = (e << 1) & 0xFFFF) bits.push_back((e >> 15) & 1);
  }
  return bits;
}

std::vector<int> PskSteps(const std::vector<int>& bits, bool qpsk) {
  std::vector<int> steps;
  // An idle QPSK encoder has seen only zero bits, which it keeps inverted: all ones.
  unsigned reg = 31;
  for (int b : bits) {
    if (!qpsk) {
      steps.push_back(b ? 0 : 2);
      continue;
    }
    // Generator polynomials 0x19 and 0x17 (octal 31 and 27).
    reg = ((reg << 1) | (b ? 0u : 1u)) & 31u;
    steps.push_back(2 * Parity(reg & 0x19) + Parity(reg & 0x17));
  }
  return steps;
}

std::vector<float> MakePskStepSignal(const std::vector<int>& steps, const PskSignalOptions& o) {
  // Points: 0 before the carrier, one per step, 0 after; symbol k moves from point k to k + 1.
  std::vector<std::complex<double>> points;
  points.emplace_back(0.0, 0.0);
  double theta = std::numbers::pi / 4;
  for (int s : steps) {
    theta += (o.otherSideband ? -s : s) * std::numbers::pi / 2;
    points.push_back(std::polar(1.0, theta));
  }
  points.emplace_back(0.0, 0.0);
  const double symbol = kRate / (o.baud * (1.0 + o.clockError));
  const size_t silence = static_cast<size_t>(o.silenceSeconds * kRate);
  const size_t body = static_cast<size_t>(std::ceil((points.size() - 1) * symbol));
  std::vector<float> out(2 * silence + body, 0.0f);
  const double w = 2.0 * std::numbers::pi * (o.toneHz + o.offsetHz) / kRate;
  // The phase of a carrier drifting by d Hz/s: w t + pi d t^2 (t in seconds).
  const double drift = std::numbers::pi * o.driftHzPerSecond / (kRate * kRate);
  for (size_t t = 0; t < body; ++t) {
    const double u = t / symbol;
    const size_t k = std::min(static_cast<size_t>(u), points.size() - 2);
    const double c = std::cos(std::numbers::pi * (u - k));
    const std::complex<double> z = points[k] * (1 + c) / 2.0 + points[k + 1] * (1 - c) / 2.0;
    const double ph = w * static_cast<double>(t) + drift * static_cast<double>(t) * static_cast<double>(t);
    out[silence + t] = static_cast<float>(o.amplitude * (z.real() * std::sin(ph) + z.imag() * std::cos(ph)));
  }
  if (o.noiseRms > 0.0) {
    std::mt19937 rng(o.seed);
    std::normal_distribution<double> noise(0.0, o.noiseRms);
    for (float& v : out) v = static_cast<float>(v + noise(rng));
  }
  return out;
}

std::vector<float> MakePskSignal(std::string_view text, const PskSignalOptions& o) {
  std::vector<int> bits(static_cast<size_t>(o.leadSymbols), 0);
  const std::vector<int> textBits = VaricodeBits(text);
  bits.insert(bits.end(), textBits.begin(), textBits.end());
  bits.insert(bits.end(), static_cast<size_t>(o.tailSymbols), 0);
  return MakePskStepSignal(PskSteps(bits, o.qpsk), o);
}

testing::AssertionResult FramedByKeyNoise(const std::string& got, const std::string& text) {
  const size_t at = got.find(text);
  if (at == std::string::npos || at > 2 || got.size() - at - text.size() > 2)
    return testing::AssertionFailure() << "got \"" << got << "\"";
  return testing::AssertionSuccess();
}

}  // namespace vestrel::test
