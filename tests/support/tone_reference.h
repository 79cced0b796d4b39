#pragma once
#include <cmath>
#include <cstdint>
#include <numbers>
#include <set>
#include <span>
#include <utility>
#include <vector>

#include "engine/sine_table.h"

namespace vestrel::test {

// Runs of (phase step, sample count) written the plain way, one table read per sample, from
// `phase`. The reference the synthesisers are compared against.
inline std::vector<int16_t> ToneRuns(const SineTable& sine, const std::vector<std::pair<int32_t, int>>& runs,
                                     uint32_t& phase) {
  std::vector<int16_t> out;
  for (auto [step, n] : runs) {
    for (int i = 0; i < n; ++i) {
      phase = (phase + static_cast<uint32_t>(step)) & SineTable::kMask;
      out.push_back(sine.Sin(phase));
    }
  }
  return out;
}

// Follows an oscillator through the samples: every sample must be the table entry one of the
// `steps` further on from the previous sample's phase. Returns the index of the first sample
// no step explains (a phase jump), or samples.size() when the whole run is continuous.
inline size_t FirstPhaseBreak(const SineTable& sine, std::span<const int16_t> samples, uint32_t phase,
                              std::span<const int32_t> steps) {
  std::set<uint32_t> candidates{phase & SineTable::kMask};
  for (size_t i = 0; i < samples.size(); ++i) {
    std::set<uint32_t> next;
    for (uint32_t p : candidates) {
      for (int32_t s : steps) {
        const uint32_t q = (p + static_cast<uint32_t>(s)) & SineTable::kMask;
        if (sine.Sin(q) == samples[i]) next.insert(q);
      }
    }
    if (next.empty()) return i;
    candidates = std::move(next);
  }
  return samples.size();
}

// Energy of a tone in a run of samples (Goertzel), for deciding mark or space of one bit.
inline double ToneEnergy(std::span<const int16_t> s, double hz, double rate) {
  const double w = 2.0 * std::numbers::pi * hz / rate;
  const double c = 2.0 * std::cos(w);
  double s1 = 0, s2 = 0;
  for (int16_t x : s) {
    const double s0 = x + c * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  return s1 * s1 + s2 * s2 - c * s1 * s2;
}

}  // namespace vestrel::test
