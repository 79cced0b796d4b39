#include "support/bit_signal.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include "engine/codes/baudot.h"
#include "support/fsk_signal.h"

namespace vestrel::test {

namespace {
constexpr double kRate = 11025.0;
}  // namespace

std::vector<int16_t> MakeBitSignal(std::span<const BitBurst> bursts, double totalBits, const BitSignalOptions& o) {
  const double spb = kRate / (o.baud * (1.0 + o.clockError));
  for (const BitBurst& b : bursts) totalBits = std::max(totalBits, b.startBits + b.bits.size());
  std::vector<double> x(static_cast<size_t>(std::ceil(totalBits * spb)), 0.0);
  for (const BitBurst& b : bursts) {
    const double begin = b.startBits * spb;
    const double end = begin + b.bits.size() * spb;
    double phase = 0.0;
    for (size_t s = static_cast<size_t>(std::ceil(begin)); s < x.size() && s < end; ++s) {
      // The bit the sample's instant falls in decides the tone.
      const size_t bit = std::min(b.bits.size() - 1, static_cast<size_t>((s - begin) / spb));
      const double f = (b.bits[bit] ? o.upperHz : o.lowerHz) + o.offsetHz;
      phase += 2.0 * std::numbers::pi * f / kRate;
      if (phase > 2.0 * std::numbers::pi) phase -= 2.0 * std::numbers::pi;
      x[s] += o.amplitude * std::sin(phase);
    }
  }
  std::mt19937 rng(o.seed);
  std::normal_distribution<double> noise(0.0, o.noiseRms > 0.0 ? o.noiseRms : 1.0);
  std::vector<int16_t> out(x.size());
  for (size_t s = 0; s < x.size(); ++s) {
    const double v = x[s] + (o.noiseRms > 0.0 ? noise(rng) : 0.0);
    out[s] = static_cast<int16_t>(std::clamp(std::lround(v), -32768L, 32767L));
  }
  return out;
}

std::vector<int16_t> MakeBitSignal(std::span<const uint8_t> bits, double leadBits, double tailBits,
                                   const BitSignalOptions& o) {
  const BitBurst burst{leadBits, std::vector<uint8_t>(bits.begin(), bits.end())};
  return MakeBitSignal(std::span<const BitBurst>(&burst, 1), leadBits + bits.size() + tailBits, o);
}

double NoiseRmsFor(double amplitude, double baud, double ebN0Db) {
  return amplitude * std::sqrt(kRate / (4.0 * baud * std::pow(10.0, ebN0Db / 10.0)));
}

void AppendBits(std::vector<uint8_t>& bits, unsigned code, int width, bool msbFirst) {
  for (int i = 0; i < width; ++i) bits.push_back(((code >> (msbFirst ? width - 1 - i : i)) & 1u) != 0);
}

std::vector<uint8_t> AmtorFecBits(std::span<const int> dx) {
  std::vector<uint8_t> bits;
  for (size_t m = 0; m < dx.size(); ++m) {
    AppendBits(bits, static_cast<unsigned>(dx[m]), 7, true);
    const int earlier = m >= 2 ? dx[m - 2] : PhasingTwo;
    AppendBits(bits, static_cast<unsigned>(earlier == PhasingOne ? PhasingTwo : earlier), 7, true);
  }
  return bits;
}

std::vector<int> AmtorFecCodes(std::string_view text, int phasing) {
  std::vector<int> codes(static_cast<size_t>(phasing), PhasingOne);
  for (int baudot : BaudotCodesOf(text, 0)) codes.push_back(kCcir476[baudot & 31]);
  for (int i = 0; i < 5; ++i) codes.push_back(PhasingTwo);
  return codes;
}

std::vector<uint8_t> PackBitsLsbFirst(std::span<const uint8_t> bits, uint8_t fill) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < bits.size(); i += 8) {
    uint8_t b = 0;
    for (size_t j = 0; j < 8; ++j) {
      const bool one = i + j < bits.size() ? bits[i + j] != 0 : fill != 0;
      if (one) b |= static_cast<uint8_t>(1u << j);
    }
    bytes.push_back(b);
  }
  return bytes;
}

}  // namespace vestrel::test
