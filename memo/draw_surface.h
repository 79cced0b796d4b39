#pragma once
#include <cstdint>
#include <memory>
#include <vector>

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
  bool operator==(const TRect&) const = default;
};

// Colours are TColor values: 0x00BBGGRR, system colours negative (0x80000000 + index).
using TColor = int32_t;
inline constexpr TColor clWindow = static_cast<TColor>(0x80000005);
inline constexpr TColor clWindowText = static_cast<TColor>(0x80000008);
inline constexpr TColor clHighlight = static_cast<TColor>(0x8000000D);
inline constexpr TColor clHighlightText = static_cast<TColor>(0x8000000E);

enum TPenStyle : uint8_t { psSolid = 0, psDash = 1, psDot = 2 };
struct TMemoPen {
  TColor Color = 0;
  int32_t Width = 1;
  TPenStyle Style = psSolid;
  bool operator==(const TMemoPen&) const = default;
};

// A picture held as 32-bit pixels 0xAARRGGBB, row after row; empty when either size is below 1.
struct TMemoPicture {
  int32_t Width = 0;
  int32_t Height = 0;
  std::vector<uint32_t> Pixels;
  bool Empty() const { return Width < 1 || Height < 1; }
  bool operator==(const TMemoPicture&) const = default;
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

// Where the memo paints: the window, and a one-line image of the window's width that a line
// is composed in before it reaches the window in one copy. Coordinates are the window's, or
// the line image's between BeginLine and EndLine.
class DrawSurface : public TFontMeasure {
 public:
  // Draws len bytes with their baseline-aligned origin at (x, y) in the selected font and the
  // text colours; returns the x after them.
  virtual int32_t TextOut(int32_t x, int32_t y, const unsigned char* text, int32_t len) = 0;
  // Colour of text, and the background behind its glyph cells unless transparent.
  virtual void SetTextColors(TColor text, TColor background, bool opaque) = 0;
  virtual void FillRect(const TRect& r, TColor color) = 0;
  virtual void InvertRect(const TRect& r) = 0;
  // Copies of the picture side by side, one with its top-left at (originX, originY), as far
  // as they fall into r.
  virtual void TileImage(const TRect& r, const TMemoPicture& picture, int32_t originX, int32_t originY) = 0;
  // Lines from MoveTo to LineTo are drawn with the pen.
  virtual void SetPen(const TMemoPen& pen) = 0;
  virtual void MoveTo(int32_t x, int32_t y) = 0;
  virtual void LineTo(int32_t x, int32_t y) = 0;
  // Drawing goes into the line image, width by height pixels, until EndLine, which copies the
  // image to the window with its top at y.
  virtual void BeginLine(int32_t width, int32_t height) = 0;
  virtual void EndLine(int32_t y) = 0;
};

}  // namespace vestrel
