#include "app/display_geometry.h"

#include <algorithm>
#include <cmath>

namespace vestrel {

namespace {

// ln(v) times this, times (h - 1), is the row: 70 dB of amplitude (8.058 natural-log units)
// span the height.
constexpr double kLogRowScale = -0.12410027302060064795;

int RoundedRow(double x, int h) {
  const double r = std::floor(x + 0.5);
  if (!(r > 0.0)) return 0;
  return r >= double(h - 1) ? h - 1 : int(r);
}

}  // namespace

int LevelToPixelRow(double level, int h, bool logarithmic) {
  if (h < 1) return 0;
  if (std::isnan(level)) return h - 1;
  const int bottom = h - 1;
  if (!logarithmic) {
    if (level <= 0.0) return bottom;
    return bottom - RoundedRow(std::min(level * bottom, double(bottom)), h);
  }
  const double v = level / 2.0;
  if (v <= 1e-8) return bottom;
  if (std::isinf(v)) return 0;
  return RoundedRow(std::log(v) * bottom * kLogRowScale, h);
}

void BuildWaterfallPalette(const TWaterfallSettings& w, WaterfallPalette& out) {
  for (int i = 0; i < WaterfallPalette::kEntries; ++i) {
    const double t = double(std::min(i, WaterfallPalette::kSteps - 1)) / WaterfallPalette::kSteps;
    const TRgb c = WaterfallColour(w, t);
    uint8_t* e = out.bgr.data() + size_t(i) * 3;
    e[0] = c.b;
    e[1] = c.g;
    e[2] = c.r;
  }
}

int DisplayGeometry::ToneX(int32_t units) const {
  return Origin() + int((int64_t{units} - 880) * zoom + 8) / 16;
}

int32_t DisplayGeometry::UnitsAtX(int x) const {
  return int32_t((int64_t{x - Origin()} * 16 + zoom / 2) / zoom + 880);
}

std::vector<ScaleTick> FrequencyScaleTicks(const DisplayGeometry& g, int width) {
  std::vector<ScaleTick> ticks;
  const int o = g.Origin();
  for (int hz = 300; hz <= 4000; hz += 100) {
    const int x = int(std::floor((hz * 2048.0 / 11025.0 - 55.0) * g.zoom + o + 0.5)) + g.scopeSide - 1;
    if (x >= width) break;
    if (x < 0) continue;
    ScaleTick t;
    t.hz = hz;
    t.x = x;
    t.length = hz % 1000 == 0 ? 17 : hz % 500 == 0 ? 10 : 5;
    const bool labelled = g.zoom >= 3 || (g.zoom == 2 ? hz % 500 == 0 : hz % 1000 == 0);
    if (labelled) t.label = std::to_string(hz);
    ticks.push_back(std::move(t));
  }
  return ticks;
}

void PaintWaterfallLine(const float* avg, const DisplayGeometry& g, const WaterfallPalette& palette,
                        uint8_t* row) {
  const int width = g.spectrumWidth;
  const int z = g.zoom;
  const int o = g.Origin();
  auto put = [&](int x, int entry) {
    const uint8_t* c = palette.Entry(entry);
    uint8_t* p = row + size_t(x) * 3;
    p[0] = c[0];
    p[1] = c[1];
    p[2] = c[2];
  };
  // Columns the line leaves out: left of bin 55 and right of its end.
  const int lineEnd = z == 1 ? o + (DisplayGeometry::kLastBin - DisplayGeometry::kFirstBin) + 1
                             : o + (DisplayGeometry::kLastBin - DisplayGeometry::kFirstBin) * z;
  const int first = std::clamp(o, 0, width);
  const int end = std::clamp(lineEnd, first, width);
  for (int x = 0; x < first; ++x) put(x, 0);
  for (int x = end; x < width; ++x) put(x, 0);
  if (first >= end) return;
  if (z == 1) {
    for (int x = first; x < end; ++x) put(x, palette.EntryOf(avg[DisplayGeometry::kFirstBin + (x - o)]));
    return;
  }
  for (int x = first; x < end; ++x) {
    const int step = x - o;
    const int k = DisplayGeometry::kFirstBin + step / z;
    const int j = step % z;
    const double a = avg[k], b = avg[k + 1];
    put(x, palette.EntryOf(a + (b - a) * j / z));
  }
}

void OscillogramRows(const double* ring, uint32_t mask, uint32_t newest, int count, int h, bool logarithmic,
                     int* rows) {
  const int half = h / 2;
  uint32_t i = newest - uint32_t(count - 1);
  for (int n = 0; n < count; ++n, ++i) {
    const double v = ring[i & mask];
    int row = half;
    if (v > 1e-7) {
      row = LevelToPixelRow(v, half, logarithmic);
    } else if (v < -1e-7) {
      // Mirrored below the centre: the strongest level on the bottom row.
      row = h - 1 - LevelToPixelRow(-v, half, logarithmic);
    }
    rows[n] = std::clamp(row, 0, std::max(h - 1, 0));
  }
}

bool ScopeVector(double a, double b, int w, int h, ScopeLine& out) {
  if (w <= 0 || h <= 0 || !std::isfinite(a) || !std::isfinite(b)) return false;
  const double m2 = a * a + b * b;
  if (!(m2 >= 1e-8) || !std::isfinite(m2)) return false;
  const double m = std::sqrt(m2);
  const double r = w / 2 - 6;
  out.x0 = w / 2;
  out.y0 = h / 2;
  out.x1 = out.x0 + int(std::floor(b * r / m + 0.5));
  out.y1 = out.y0 - int(std::floor(a * r / m + 0.5));
  out.entry = WaterfallPalette::kSteps - LevelToPixelRow(3.0 * m, WaterfallPalette::kSteps, true);
  return true;
}

}  // namespace vestrel
