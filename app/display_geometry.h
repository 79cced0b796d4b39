#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "app/waterfall_palette.h"

namespace vestrel {

// The arithmetic of the spectrum, waterfall, oscillogram and phase-scope displays, without Qt.

// A level as a pixel row: 0 (top, strong) .. h - 1 (bottom). Linear: level 1 at the top.
// Logarithmic: level 2 at the top, 70 dB of amplitude down to the bottom. Every level (NaN
// and infinities too) lands inside 0..h - 1; NaN counts as the weakest. h < 1 gives 0.
int LevelToPixelRow(double level, int h, bool logarithmic);

// The waterfall colours: 10000 steps of (blue, green, red), a level's entry being
// 10000 - LevelToPixelRow(level, 10000, true) (1..10000); the last step is repeated after it.
struct WaterfallPalette {
  static constexpr int kSteps = 10000;
  static constexpr int kEntries = kSteps + 3;
  std::array<uint8_t, size_t{kEntries} * 3> bgr{};
  const uint8_t* Entry(int i) const { return bgr.data() + size_t(i) * 3; }
  TRgb Rgb(int i) const { return {Entry(i)[2], Entry(i)[1], Entry(i)[0]}; }
  int EntryOf(double level) const { return kSteps - LevelToPixelRow(level, kSteps, true); }
};
void BuildWaterfallPalette(const TWaterfallSettings& w, WaterfallPalette& out);

// Where bins and tones stand across the spectrum display. Bins 55..743 of the 2048-point
// spectrum, zoom z pixels per bin, centre bin c in the middle of the spectrum's width; the
// phase scope's square (side pixels) lies left of the spectrum in the box.
struct DisplayGeometry {
  static constexpr int kFirstBin = 55;
  static constexpr int kLastBin = 743;
  int zoom = 1;
  int centreBin = 316;
  int spectrumWidth = 0;
  int scopeSide = 0;

  // Zoom 2..5 stays, anything else is 1.
  static int ValidZoom(int z) { return z >= 2 && z <= 5 ? z : 1; }
  // x of bin 55 in the spectrum's own columns: z (width / 2z - c + 55).
  int Origin() const { return zoom * (spectrumWidth / (2 * zoom) - centreBin + kFirstBin); }
  int BinX(int bin) const { return Origin() + (bin - kFirstBin) * zoom; }
  // A tone in frequency units (1/16 bin).
  int ToneX(int32_t units) const;
  // The tone under column x of the spectrum (the inverse of ToneX within one column).
  int32_t UnitsAtX(int x) const;
  // The same in the box's columns (right of the scope square): the display origin that the
  // painters and the click-to-tune handlers share.
  int DisplayOrigin() const { return scopeSide + Origin(); }
  int BoxToneX(int32_t units) const { return scopeSide + ToneX(units); }
  int32_t UnitsAtBoxX(int x) const { return UnitsAtX(x - scopeSide); }
};

// One tick of the frequency scale under the spectrum.
struct ScaleTick {
  int hz = 0;
  int x = 0;       // in the scale's columns
  int length = 0;  // pixels from the top: 17 (1000 Hz), 10 (500 Hz), 5
  std::string label;  // empty: none
};
// The ticks every 100 Hz from 300 to 4000 Hz inside a scale `width` pixels wide.
std::vector<ScaleTick> FrequencyScaleTicks(const DisplayGeometry& g, int width);

// One waterfall line of `g.spectrumWidth` pixels (3 bytes each, blue green red) from the
// smoothed magnitudes `avg` (indexed by bin, at least 744 of them): z pixels a bin, linearly
// between neighbouring bins when z > 1. Columns the line does not reach take entry 0.
void PaintWaterfallLine(const float* avg, const DisplayGeometry& g, const WaterfallPalette& palette,
                        uint8_t* row);

// The oscillogram strip's rows for `count` levels of the ring (oldest first, the newest at
// ring index `newest`), in a strip of height h: above the centre row h / 2 for positive
// levels, mirrored below it for negative ones, on it for levels near 0. count is at most 2048.
void OscillogramRows(const double* ring, uint32_t mask, uint32_t newest, int count, int h, bool logarithmic,
                     int* rows);

// The end of a phase-scope line from the centre of a w x h square for the I/Q pair (a, b);
// false when nothing is drawn (zero or non-finite vector, no square).
struct ScopeLine {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  int entry = 0;  // the palette entry of its colour (by 3 |v|)
};
bool ScopeVector(double a, double b, int w, int h, ScopeLine& out);

}  // namespace vestrel
