#pragma once
#include <cstdint>

namespace vestrel {

struct TPoint {
  int32_t x = 0;
  int32_t y = 0;
};

struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
};

// Metrics of the selected font, in pixels.
struct TFontMetrics {
  int32_t Height = 0;  // cell height
  int32_t Ascent = 0;
  int32_t Descent = 0;
  int32_t InternalLeading = 0;
  int32_t AveCharWidth = 0;
  int32_t MaxCharWidth = 0;
};

// Measuring text in the memo's fonts. A font is chosen by its extended style: bits 0-3
// bold, italic, underline, strike-out, bit 4 highlight (no font change), bit 5 the alternate
// font. Advances are per byte: the extent of a+b is the extent of a plus that of b.
class TFontMeasure {
 public:
  virtual ~TFontMeasure() = default;
  virtual void SelectFont(uint8_t extStyle) = 0;
  virtual TFontMetrics Metrics() = 0;
  // Width of len bytes in the selected font; false when the extent cannot be had.
  virtual bool TextExtent(const unsigned char* text, int32_t len, int32_t& width) = 0;
};

// Where the memo draws: text runs and lines on top of measuring.
class DrawSurface : public TFontMeasure {
 public:
  // Draws len bytes with their baseline-aligned origin at (x, y); returns the x after them.
  virtual int32_t TextOut(int32_t x, int32_t y, const unsigned char* text, int32_t len) = 0;
  virtual void MoveTo(int32_t x, int32_t y) = 0;
  virtual void LineTo(int32_t x, int32_t y) = 0;
};

}  // namespace vestrel
