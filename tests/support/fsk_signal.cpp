#include "support/fsk_signal.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include "engine/codes/baudot.h"
#include "engine/mode_number.h"

namespace vestrel::test {

namespace {

constexpr double kRate = 11025.0;

double SamplesPerBit(const FskSignalOptions& o) {
  return kRate / (o.baud * (1.0 + o.clockError));
}

double CharacterBits(const FskSignalOptions& o) {
  return 1.0 + o.dataBits + o.stopBits;
}

}  // namespace

double StartEdgeSample(int i, const FskSignalOptions& o) {
  return (o.leadBits + i * CharacterBits(o)) * SamplesPerBit(o);
}

std::vector<int16_t> MakeStartStopSignal(std::span<const int> codes, const FskSignalOptions& o) {
  const double spb = SamplesPerBit(o);
  const double totalBits = o.leadBits + codes.size() * CharacterBits(o) + o.tailBits;
  const size_t n = static_cast<size_t>(std::ceil(totalBits * spb));
  std::vector<int16_t> out(n);
  std::mt19937 rng(o.seed);
  std::normal_distribution<double> noise(0.0, o.noiseRms > 0.0 ? o.noiseRms : 1.0);
  double phase = 0.0;
  for (size_t s = 0; s < n; ++s) {
    // Which bit the sample's centre falls in decides the tone.
    const double bitPos = (s + 0.5) / spb - o.leadBits;
    bool mark = true;
    if (bitPos >= 0.0) {
      const size_t ch = static_cast<size_t>(bitPos / CharacterBits(o));
      const double inChar = bitPos - ch * CharacterBits(o);
      if (ch < codes.size()) {
        if (inChar < 1.0) {
          mark = false;
        } else if (inChar < 1.0 + o.dataBits) {
          mark = ((codes[ch] >> static_cast<int>(inChar - 1.0)) & 1) != 0;
        }
      }
    }
    const double f = (mark ? o.markHz : o.spaceHz) + o.offsetHz;
    phase += 2.0 * std::numbers::pi * f / kRate;
    if (phase > 2.0 * std::numbers::pi) phase -= 2.0 * std::numbers::pi;
    double v = o.amplitude * std::sin(phase);
    if (o.noiseRms > 0.0) v += noise(rng);
    out[s] = static_cast<int16_t>(std::clamp(std::lround(v), -32768L, 32767L));
  }
  return out;
}

std::vector<int> BaudotCodesOf(std::string_view text, int codeSet, bool extended) {
  std::vector<int> codes;
  int letters = -1, third = -1;  // unknown at the start
  const bool useThird = extended || codeSet == 3;
  for (char ch : text) {
    const int c = static_cast<uint8_t>(ch);
    const int l = BaudotLettersClass(c, codeSet);
    const int t = useThird ? BaudotThirdClass(c, codeSet) : 0;
    if (l != letters || (useThird && t != third)) {
      codes.push_back(CharToBaudot(l ? -1 : -2, kModeRtty, codeSet));
      letters = l;
      third = 0;
    }
    if (t != third) {
      codes.push_back(CharToBaudot(-16, kModeRtty, codeSet));
      third = t;
    }
    codes.push_back(CharToBaudot(c, kModeRtty, codeSet));
  }
  return codes;
}

namespace {

// Levenshtein distance of a against b; with freeEnds, against the stretch of b that matches a
// best (skipping leading and trailing characters of b costs nothing).
size_t EditDistance(std::string_view a, std::string_view b, bool freeEnds) {
  std::vector<size_t> prev(b.size() + 1), cur(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) prev[j] = freeEnds ? 0 : j;
  for (size_t i = 1; i <= a.size(); ++i) {
    cur[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      cur[j] = std::min({prev[j] + 1, cur[j - 1] + 1, prev[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
    }
    std::swap(prev, cur);
  }
  return freeEnds ? *std::min_element(prev.begin(), prev.end()) : prev[b.size()];
}

}  // namespace

double CharacterErrorRateWithin(std::string_view expected, std::string_view got) {
  if (expected.empty()) return 0.0;
  return static_cast<double>(EditDistance(expected, got, true)) / expected.size();
}

double CharacterErrorRate(std::string_view a, std::string_view b) {
  std::vector<size_t> prev(b.size() + 1), cur(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) prev[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    cur[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      cur[j] = std::min({prev[j] + 1, cur[j - 1] + 1, prev[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
    }
    std::swap(prev, cur);
  }
  return a.empty() ? (b.empty() ? 0.0 : 1.0) : static_cast<double>(prev[b.size()]) / a.size();
}

int CorrectCharacters(std::string_view expected, std::string_view got) {
  const double distance = std::round(CharacterErrorRate(expected, got) * expected.size());
  return std::max(0, static_cast<int>(expected.size()) - static_cast<int>(distance));
}

std::string LadderText(uint32_t seed, size_t length) {
  std::mt19937 rng(seed);
  const std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  const std::string figures = "0123456789-?/.,";
  std::string t;
  while (t.size() < length) {
    const bool fig = rng() % 5 == 0;
    const unsigned len = 1 + rng() % 6;
    for (unsigned i = 0; i < len; ++i)
      t.push_back(fig ? figures[rng() % figures.size()] : letters[rng() % letters.size()]);
    t.push_back(' ');
  }
  t.resize(length - 1);
  t.push_back('X');
  return t;
}

}  // namespace vestrel::test
