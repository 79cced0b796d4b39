#include "engine/modes/rtty/rtty_filters.h"

#include <iterator>

#include "engine/modes/rtty/rtty_taps.h"

namespace vestrel {

namespace {

using namespace rtty_taps;

struct Row {
  int maxBaud;  // the row serves speeds up to this one
  RttyFilterChoice choice;
};

template <int N>
constexpr RttyFilterChoice Fir(int path, const double (&table)[N], bool average = false) {
  return {path, N, table, average};
}

constexpr int kAbove = 1 << 30;

const Row kNarrow[] = {
    {45, Fir(919, kLp113_0330)},  {50, Fir(919, kLp103_0360)},      {57, Fir(919, kLp87_0401)},
    {67, Fir(919, kLp77_0479)},   {75, Fir(919, kLp69_0536)},       {100, Fir(919, kLp53_0718)},
    {110, Fir(919, kLp49_0785)},  {150, Fir(2756, kLp103_0360)},    {200, Fir(2756, kLp77_0479)},
    {300, Fir(2756, kLp53_0718)}, {kAbove, Fir(11025, kLp43_0675)},
};

const Row kOptimal[] = {
    {10, Fir(919, kLp113_0330, true)}, {15, Fir(919, kLp69_0536, true)}, {25, Fir(919, kLp53_0718, true)},
    {41, Fir(2756, kLp77_0479, true)}, {45, Fir(919, kLp80_0305)},       {50, Fir(919, kLp72_0340)},
    {57, Fir(919, kLp80_0380)},        {67, Fir(919, kLp55_0469)},       {76, Fir(919, kLp72_0505)},
    {83, Fir(919, kLp67_0555)},        {90, Fir(919, kLp53_0555)},       {100, Fir(919, kLp43_0675)},
    {114, Fir(919, kLp42_0760)},       {150, Fir(2756, kLp73_0320)},     {200, Fir(2756, kLp55_0469)},
    {220, Fir(2756, kLp51_0471)},      {300, Fir(2756, kLp43_0675)},     {400, Fir(2756, kLp37_0870)},
    {600, Fir(2756, kLp23_1230)},      {880, Fir(11025, kLp51_0471)},    {1200, Fir(11025, kLp43_0675)},
    {1600, Fir(11025, kLp37_0870)},    {kAbove, Fir(11025, kLp23_1230)},
};

template <size_t N>
RttyFilterChoice Pick(const Row (&rows)[N], int baudInt) {
  for (const Row& r : rows) {
    if (baudInt <= r.maxBaud) return r.choice;
  }
  return rows[N - 1].choice;
}

}  // namespace

RttyFilterChoice SelectRttyFilter(int filterWidth, int baudInt) {
  if (filterWidth == 1) {
    // One table at every rate: its half-amplitude point is 0.0765 of the path rate.
    const int path = baudInt <= 100 ? 919 : baudInt <= 300 ? 2756 : 11025;
    return Fir(path, kLp73_0765);
  }
  return filterWidth == 2 ? Pick(kNarrow, baudInt) : Pick(kOptimal, baudInt);
}

}  // namespace vestrel
