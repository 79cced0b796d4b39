// ctest-labels: unit
#include "app/display_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace vestrel {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(DisplayGeometry, LevelToPixelRow) {
  struct Case {
    double level;
    int h;
    bool logarithmic;
    int row;
  };
  const Case cases[] = {
      {2.0, 101, true, 0},       // the top of the log scale
      {0.0, 101, true, 100},     // nothing: the bottom
      {0.5, 101, false, 50},     // linear halfway
      {1.0, 101, false, 0},      {3.0, 101, false, 0},  // linear: held at the top
      {-0.5, 101, false, 100},   // a negative level is the weakest, in both forms
      {-0.5, 101, true, 100},    {2e-8, 101, true, 100},
      {kNaN, 101, false, 100},   {kNaN, 101, true, 100},  // NaN: the weakest
      {kInf, 101, false, 0},     {kInf, 101, true, 0},
      {-kInf, 101, false, 100},  {-kInf, 101, true, 100},
      {1e9, 101, true, 0},       // above the top of the log scale
      {2.0 * std::exp(-8.058), 101, true, 100},  // 70 dB down is the bottom
      {2.0 * std::exp(-4.029), 101, true, 50},   // 35 dB down halfway
      {0.5, 1, false, 0},        {0.5, 1, true, 0},  // one row
      {0.5, 0, true, 0},         {0.5, -3, false, 0},  // no rows at all
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LevelToPixelRow(c.level, c.h, c.logarithmic), c.row)
        << c.level << " h " << c.h << (c.logarithmic ? " log" : " linear");
  }
}

TEST(DisplayGeometry, DefaultPaletteEnds) {
  WaterfallPalette p;
  BuildWaterfallPalette(TWaterfallSettings{}, p);
  EXPECT_EQ(p.Rgb(0), HslToRgb(0.7, 0.3, 0.35));
  // The top: hue 0.7 - 0.9 x 0.9999 wrapped to 0.80009, saturation and lightness near their ends.
  const TRgb top = HslToRgb(0.7 - 0.9 * 0.9999 + 1.0, 0.3 + 0.69 * 0.9999, 0.35 + 0.3 * 0.9999);
  EXPECT_EQ(p.Rgb(10000), top);
  EXPECT_EQ(p.Rgb(10000), p.Rgb(9999));
  EXPECT_EQ(p.Rgb(10001), top);
  EXPECT_EQ(p.Rgb(10002), top);
  // Bytes are blue, green, red.
  EXPECT_EQ(p.Entry(0)[0], p.Rgb(0).b);
  EXPECT_EQ(p.Entry(0)[2], p.Rgb(0).r);
  EXPECT_EQ(p.EntryOf(2.0), 10000);
  EXPECT_EQ(p.EntryOf(0.0), 1);
  EXPECT_EQ(p.EntryOf(kNaN), 1);
}

DisplayGeometry Geometry(int zoom, int width, int centre = 316, int side = 0) {
  DisplayGeometry g;
  g.zoom = zoom;
  g.spectrumWidth = width;
  g.centreBin = centre;
  g.scopeSide = side;
  return g;
}

TEST(DisplayGeometry, OriginPutsTheCentreBinMidway) {
  EXPECT_EQ(Geometry(1, 800).Origin(), 400 - 316 + 55);
  EXPECT_EQ(Geometry(1, 800).BinX(316), 400);
  EXPECT_EQ(Geometry(5, 800).BinX(316), 400);
  // Integer arithmetic: 801 / 10 = 80.
  EXPECT_EQ(Geometry(5, 801).Origin(), 5 * (80 - 316 + 55));
  // A tone of whole bins stands on its bin.
  EXPECT_EQ(Geometry(3, 800).ToneX(300 * 16), Geometry(3, 800).BinX(300));
  EXPECT_EQ(Geometry(3, 800, 316, 92).DisplayOrigin(), 92 + Geometry(3, 800).Origin());
}

TEST(DisplayGeometry, AClickBetweenTheMarkersIsThePairsCentre) {
  const int32_t lo = 4800, hi = 5305;  // 1615 and 1785 Hz
  for (int zoom = 1; zoom <= 5; ++zoom) {
    for (int width : {800, 801, 333, 3000}) {
      for (int side : {0, 92}) {
        const DisplayGeometry g = Geometry(zoom, width, 316, side);
        const int mid = (g.BoxToneX(lo) + g.BoxToneX(hi)) / 2;
        EXPECT_LE(std::abs(2 * g.UnitsAtBoxX(mid) - (lo + hi)), 2 * 16 / zoom) << zoom << " " << width;
        // A click on a marker tunes to that marker's tone.
        for (int32_t u : {lo, hi, int32_t{912}, int32_t{11856}}) {
          EXPECT_LE(std::abs(g.UnitsAtBoxX(g.BoxToneX(u)) - u), 16 / zoom) << zoom << " " << u;
        }
      }
    }
  }
}

const ScaleTick* TickAt(const std::vector<ScaleTick>& ticks, int hz) {
  for (const ScaleTick& t : ticks) {
    if (t.hz == hz) return &t;
  }
  return nullptr;
}

TEST(DisplayGeometry, FrequencyScaleTicksAndLabels) {
  struct Case {
    int zoom;
    int hz;
    int length;
    const char* label;
  };
  const Case cases[] = {
      {1, 1000, 17, "1000"}, {1, 1100, 5, ""},     {1, 1500, 10, ""}, {1, 2000, 17, "2000"},
      {2, 1500, 10, "1500"}, {2, 1600, 5, ""},     {3, 1600, 5, "1600"}, {5, 1700, 5, "1700"},
  };
  for (const Case& c : cases) {
    const DisplayGeometry g = Geometry(c.zoom, 800);
    const auto ticks = FrequencyScaleTicks(g, 800);
    const ScaleTick* t = TickAt(ticks, c.hz);
    ASSERT_NE(t, nullptr) << c.zoom << " " << c.hz;
    EXPECT_EQ(t->length, c.length) << c.hz;
    EXPECT_EQ(t->label, c.label) << c.hz;
    EXPECT_EQ(t->x, int(std::floor((c.hz * 2048.0 / 11025.0 - 55) * c.zoom + g.Origin() + 0.5)) - 1);
  }
  // At zoom 1 the 1000 Hz tick of an 800-pixel scale centred on bin 316 is at column 269.
  EXPECT_EQ(TickAt(FrequencyScaleTicks(Geometry(1, 800), 800), 1000)->x, 269);
  // Zoomed in, ticks outside the scale are left out; the scope square moves them right.
  for (const ScaleTick& t : FrequencyScaleTicks(Geometry(5, 800, 316, 92), 892)) {
    EXPECT_GE(t.x, 0);
    EXPECT_LT(t.x, 892);
  }
  EXPECT_EQ(TickAt(FrequencyScaleTicks(Geometry(5, 800), 800), 300), nullptr);
}

TEST(DisplayGeometry, WaterfallLineStaysInsideItsRow) {
  WaterfallPalette palette;
  BuildWaterfallPalette(TWaterfallSettings{}, palette);
  std::vector<float> avg(2048, 0.01f);
  avg[300] = 2.0f;
  constexpr int kGuard = 64;
  for (int zoom = 1; zoom <= 5; ++zoom) {
    for (int width : {1, 100, 689, 800, 3500, 4000}) {
      for (int centre : {56, 316, 742}) {
        const DisplayGeometry g = Geometry(zoom, width, centre);
        std::vector<uint8_t> row(size_t(width) * 3 + 2 * kGuard, 0xA5);
        PaintWaterfallLine(avg.data(), g, palette, row.data() + kGuard);
        for (int i = 0; i < kGuard; ++i) {
          ASSERT_EQ(row[size_t(i)], 0xA5) << zoom << " " << width << " " << centre;
          ASSERT_EQ(row[row.size() - 1 - size_t(i)], 0xA5) << zoom << " " << width << " " << centre;
        }
        // The strong bin is drawn where its bin stands.
        const int x = g.BinX(300);
        if (x >= 0 && x < width) {
          const uint8_t* px = row.data() + kGuard + size_t(x) * 3;
          EXPECT_EQ(px[2], palette.Entry(10000)[2]) << zoom << " " << width << " " << centre;
        }
      }
    }
  }
}

TEST(DisplayGeometry, OscillogramRows) {
  std::vector<double> ring(2048, 0.0);
  std::vector<int> rows(2048);
  // A ring of zeros: the centre row.
  OscillogramRows(ring.data(), 2047, 5, 2048, 15, true, rows.data());
  for (int r : rows) EXPECT_EQ(r, 7);
  // The strongest levels either way: top and bottom rows, in both scales; weak ones next to the centre.
  ring[10] = 2.0;
  ring[11] = -2.0;
  ring[12] = 1e-6;
  ring[13] = -1e-6;
  ring[14] = kNaN;
  OscillogramRows(ring.data(), 2047, 14, 5, 15, true, rows.data());
  EXPECT_EQ(rows[0], 0);
  EXPECT_EQ(rows[1], 14);
  EXPECT_EQ(rows[2], 6);
  EXPECT_EQ(rows[3], 8);
  EXPECT_EQ(rows[4], 7);
  ring[10] = 1.0;
  ring[11] = -1.0;
  OscillogramRows(ring.data(), 2047, 11, 2, 15, false, rows.data());
  EXPECT_EQ(rows[0], 0);
  EXPECT_EQ(rows[1], 14);
}

TEST(DisplayGeometry, ScopeVectorsEndOnOneRadius) {
  ScopeLine line;
  EXPECT_FALSE(ScopeVector(0.0, 0.0, 92, 150, line));
  EXPECT_FALSE(ScopeVector(kNaN, 1.0, 92, 150, line));
  EXPECT_FALSE(ScopeVector(1.0, kInf, 92, 150, line));
  EXPECT_FALSE(ScopeVector(1.0, 1.0, 0, 150, line));
  std::vector<ScopeLine> lines;
  for (double m : {0.001, 0.05, 1.0, 1e6}) {
    ASSERT_TRUE(ScopeVector(0.6 * m, 0.8 * m, 92, 150, line)) << m;
    lines.push_back(line);
  }
  for (const ScopeLine& l : lines) {
    EXPECT_EQ(l.x0, 46);
    EXPECT_EQ(l.y0, 75);
    EXPECT_EQ(l.x1, 46 + 32);  // r = 40: b x r / m = 32
    EXPECT_EQ(l.y1, 75 - 24);  // a x r / m = 24
  }
  EXPECT_LT(lines[0].entry, lines[1].entry);
  EXPECT_LT(lines[1].entry, lines[2].entry);
  EXPECT_EQ(lines[3].entry, 10000);
}

}  // namespace
}  // namespace vestrel
