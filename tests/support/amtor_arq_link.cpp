#include "support/amtor_arq_link.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <stdexcept>
#include <string>

namespace vestrel::test {

namespace {

constexpr double kRate = 11025.0;
constexpr double kBaud = 100.0;
constexpr double kCycleMs = 450.0;

// The code chart: each character as sent, B (a 1 bit, upper tone) and Y, first sent first, with
// the figure on the same code.
struct ChartRow {
  char letter;
  const char* air;
  char figure;
};
constexpr ChartRow kChart[] = {
    {'A', "BBBYYYB", '-'}, {'B', "YBYYBBB", '?'}, {'C', "BYBBBYY", ':'},  {'D', "BBYYBYB", 0},
    {'E', "YBBYBYB", '3'}, {'F', "BBYBBYY", '!'}, {'G', "BYBYBBY", 0},    {'H', "BYYBYBB", 0},
    {'I', "BYBBYYB", '8'}, {'J', "BBBYBYY", 0},   {'K', "YBBBBYY", '('},  {'L', "BYBYYBB", ')'},
    {'M', "BYYBBBY", '.'}, {'N', "BYYBBYB", ','}, {'O', "BYYYBBB", '9'},  {'P', "BYBBYBY", '0'},
    {'Q', "YBBBYBY", '1'}, {'R', "BYBYBYB", '4'}, {'S', "BBYBYYB", '\''}, {'T', "YYBYBBB", '5'},
    {'U', "YBBBYYB", '7'}, {'V', "YYBBBBY", '='}, {'W', "BBBYYBY", '2'},  {'X', "YBYBBBY", '/'},
    {'Y', "BBYBYBY", '6'}, {'Z', "BBYYYBB", '+'},
};
constexpr const char* kSpace = "YYBBBYB";
constexpr const char* kCr = "YYYBBBB";
constexpr const char* kLf = "YYBBYBB";
constexpr const char* kLtrs = "YBYBBYB";
constexpr const char* kFigs = "YBBYBBY";

uint32_t Code(const char* air) {
  uint32_t c = 0;
  for (int i = 0; i < 7; ++i) c = c << 1 | (air[i] == 'B' ? 1u : 0u);
  return c;
}

}  // namespace

std::vector<uint32_t> ArqBlocksOf(std::string_view text) {
  std::vector<uint32_t> codes;
  int shift = -1;  // 0 letters, 1 figures
  for (char ch : text) {
    if (ch == ' ') {
      codes.push_back(Code(kSpace));
      continue;
    }
    if (ch == '\r' || ch == '\n') {
      codes.push_back(Code(ch == '\r' ? kCr : kLf));
      continue;
    }
    const ChartRow* row = nullptr;
    int want = 0;
    for (const ChartRow& r : kChart) {
      if (r.letter == ch) row = &r;
      if (r.figure != 0 && r.figure == ch) {
        row = &r;
        want = 1;
      }
      if (row) break;
    }
    if (!row) throw std::invalid_argument("no CCIR-476 code for " + std::string(1, ch));
    if (want != shift) codes.push_back(Code(want ? kFigs : kLtrs));
    shift = want;
    codes.push_back(Code(row->air));
  }
  while (codes.size() % 3 != 0) codes.push_back(Code(kLtrs));
  std::vector<uint32_t> blocks;
  for (size_t i = 0; i < codes.size(); i += 3)
    blocks.push_back(codes[i] << 14 | codes[i + 1] << 7 | codes[i + 2]);
  return blocks;
}

std::vector<int16_t> ArqLinkSignal(const std::vector<uint32_t>& blocks, const ArqLinkOptions& o) {
  const double spb = kRate / kBaud;
  const double cycle = kCycleMs / 1000.0 * kRate;
  const double lead = o.leadMs / 1000.0 * kRate;
  const double fadeBegin = o.fadeStartMs / 1000.0 * kRate;
  const double fadeEnd = fadeBegin + o.fadeMs / 1000.0 * kRate;
  const auto faded = [&](double begin, double end) {
    return o.fadeStartMs >= 0.0 && end > fadeBegin && begin < fadeEnd;
  };

  // The cycles as sent: a block that falls in the fade is repeated until one is heard.
  std::vector<std::pair<double, uint32_t>> heard;  // start sample, block
  double at = lead;
  for (size_t n = 0; n < blocks.size();) {
    if (faded(at, at + 21 * spb)) {
      at += cycle;
      continue;
    }
    heard.emplace_back(at, blocks[n++]);
    at += cycle;
  }
  const double total = heard.empty() ? lead : heard.back().first + o.tailBits * spb;
  std::vector<double> x(static_cast<size_t>(std::ceil(total)), 0.0);
  for (const auto& [begin, block] : heard) {
    double phase = 0.0;
    for (size_t s = static_cast<size_t>(std::ceil(begin)); s < x.size() && s < begin + 21 * spb; ++s) {
      const int bit = std::min(20, static_cast<int>((s - begin) / spb));
      const double f = (block >> (20 - bit)) & 1u ? o.upperHz : o.lowerHz;
      phase = std::fmod(phase + 2.0 * std::numbers::pi * f / kRate, 2.0 * std::numbers::pi);
      x[s] = o.amplitude * std::sin(phase);
    }
  }
  std::mt19937 rng(o.seed);
  std::normal_distribution<double> noise(0.0, 1.0);
  const size_t cut =
      std::min(x.size(), heard.empty() ? 0 : static_cast<size_t>(heard.front().first + o.cutBits * spb));
  std::vector<int16_t> out;
  out.reserve(x.size() - (o.cutBits > 0.0 ? cut : 0));
  for (size_t s = o.cutBits > 0.0 ? cut : 0; s < x.size(); ++s)
    out.push_back(
        static_cast<int16_t>(std::clamp(std::lround(x[s] + o.noiseSigma * noise(rng)), -32768L, 32767L)));
  return out;
}

}  // namespace vestrel::test
