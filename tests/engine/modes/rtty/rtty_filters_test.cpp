#include "engine/modes/rtty/rtty_filters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace vestrel {
namespace {

// Amplitude response of a symmetric FIR at f cycles per sample (real: linear phase).
double Response(const RttyFilterChoice& c, double f) {
  const double mid = (c.taps - 1) / 2.0;
  double h = 0.0;
  for (int i = 0; i < c.taps; ++i) h += c.table[i] * std::cos(2.0 * std::numbers::pi * f * (i - mid));
  return h;
}

double DcGain(const RttyFilterChoice& c) {
  return Response(c, 0.0);
}

// The first frequency (cycles per sample) where the response falls to half its DC value.
double HalfPoint(const RttyFilterChoice& c) {
  const double half = 0.5 * DcGain(c);
  double f = 0.0;
  while (f < 0.5 && Response(c, f) > half) f += 1e-4;
  double lo = f - 1e-4, hi = f;
  for (int i = 0; i < 50; ++i) {
    const double m = 0.5 * (lo + hi);
    (Response(c, m) > half ? lo : hi) = m;
  }
  return 0.5 * (lo + hi);
}

struct Row {
  int width, fromBaud, toBaud, path, taps;
  double halfHz;  // half-amplitude point; for the Wide rows a fraction of the path rate
  bool average;
};

double Rate(int path) {
  return path == 919 ? 918.75 : path == 2756 ? 2756.25 : 11025.0;
}

// Every row of the filter-width table; "above" rows are checked up to 2400 Bd.
const Row kRows[] = {
    {1, 1, 100, 919, 73, -0.0765, false},      {1, 101, 300, 2756, 73, -0.0765, false},
    {1, 301, 2400, 11025, 73, -0.0765, false}, {2, 1, 45, 919, 113, 30.3, false},
    {2, 46, 50, 919, 103, 33.1, false},        {2, 51, 57, 919, 87, 36.8, false},
    {2, 58, 67, 919, 77, 44.1, false},         {2, 68, 75, 919, 69, 49.2, false},
    {2, 76, 100, 919, 53, 66.2, false},        {2, 101, 110, 919, 49, 72.1, false},
    {2, 111, 150, 2756, 103, 99.2, false},     {2, 151, 200, 2756, 77, 132, false},
    {2, 201, 300, 2756, 53, 197, false},       {2, 301, 2400, 11025, 43, 744, false},
    {0, 1, 10, 919, 113, 30.3, true},          {0, 11, 15, 919, 69, 49.2, true},
    {0, 16, 25, 919, 53, 66.2, true},          {0, 26, 41, 2756, 77, 132, true},
    {0, 42, 45, 919, 80, 28.0, false},         {0, 46, 50, 919, 72, 31.2, false},
    {0, 51, 57, 919, 80, 34.9, false},         {0, 58, 67, 919, 55, 43.2, false},
    {0, 68, 76, 919, 72, 46.4, false},         {0, 77, 83, 919, 67, 51.0, false},
    {0, 84, 90, 919, 53, 51.0, false},         {0, 91, 100, 919, 43, 62.0, false},
    {0, 101, 114, 919, 42, 69.8, false},       {0, 115, 150, 2756, 73, 88.2, false},
    {0, 151, 200, 2756, 55, 129, false},       {0, 201, 220, 2756, 51, 130, false},
    {0, 221, 300, 2756, 43, 186, false},       {0, 301, 400, 2756, 37, 240, false},
    {0, 401, 600, 2756, 23, 339, false},       {0, 601, 880, 11025, 51, 518, false},
    {0, 881, 1200, 11025, 43, 744, false},     {0, 1201, 1600, 11025, 37, 959, false},
    {0, 1601, 2400, 11025, 23, 1356, false},
};

TEST(RttyFilters, EveryRowGetsItsPathLengthAndHalfAmplitudePoint) {
  for (const Row& row : kRows) {
    for (int baud = row.fromBaud; baud <= row.toBaud; ++baud) {
      const RttyFilterChoice c = SelectRttyFilter(row.width, baud);
      ASSERT_EQ(c.path, row.path) << "width " << row.width << " baud " << baud;
      ASSERT_EQ(c.taps, row.taps) << "width " << row.width << " baud " << baud;
      ASSERT_EQ(c.movingAverage, row.average) << "width " << row.width << " baud " << baud;
    }
    const RttyFilterChoice c = SelectRttyFilter(row.width, row.fromBaud);
    ASSERT_NE(c.table, nullptr);
    for (int i = 0; i < c.taps; ++i) EXPECT_EQ(c.table[i], c.table[c.taps - 1 - i]) << i;
    EXPECT_GE(DcGain(c), 0.996);
    EXPECT_LE(DcGain(c), 1.0);
    // The listed points carry three digits, and rows at two rates share one table whose
    // relative points differ by up to 0.8 %: allow 1 %.
    const double wanted = row.halfHz < 0 ? -row.halfHz : row.halfHz / Rate(row.path);
    EXPECT_NEAR(HalfPoint(c) / wanted, 1.0, 0.01) << "width " << row.width << " from " << row.fromBaud;
    // A low-pass: from twice the half point on, nothing above a tenth of the DC gain passes.
    for (double f = 2.0 * wanted; f < 0.5; f += 0.001) {
      EXPECT_LT(std::abs(Response(c, f)), 0.1 * DcGain(c)) << "width " << row.width << " f " << f;
    }
  }
}

TEST(RttyFilters, UnknownWidthReadsAsOptimal) {
  EXPECT_EQ(SelectRttyFilter(7, 45).table, SelectRttyFilter(0, 45).table);
  EXPECT_EQ(SelectRttyFilter(-1, 1200).table, SelectRttyFilter(0, 1200).table);
}

}  // namespace
}  // namespace vestrel
