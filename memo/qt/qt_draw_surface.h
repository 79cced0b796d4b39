#pragma once
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>

#include "memo/draw_surface.h"
#include "memo/styled_memo.h"

namespace vestrel {

// A TColor as Qt shows it: 0x00BBGGRR, system colours (negative) from the palette's roles,
// clNone transparent.
QColor ToQColor(TColor c, const QPalette& palette);

// The memo's fonts in Qt. A font is made once per extended style, with an advance per byte:
// text is laid out glyph after glyph without kerning or shaping, so that the width of a+b is
// the width of a plus that of b, as the memo measures. Bytes become Unicode through the code
// page of the font's character set only here.
class QtMemoFonts {
 public:
  // memo.SetupFont gives the font of each style.
  explicit QtMemoFonts(TStyledMemo& memo) : memo_(memo) {}

  struct TEntry {
    TMemoFont memoFont;
    QFont font;
    TFontMetrics metrics;
    std::array<int32_t, 256> advance{};
    // The byte's character is laid out in a string exactly at its own advance (a printable
    // character, not a mark, control or format character).
    std::array<bool, 256> plain{};
    const std::array<char16_t, 256>* chars = nullptr;  // the code page's characters
    bool made = false;
  };
  // The font of an extended style (bits 0-3 and 5 count), made anew when the memo's changed.
  const TEntry& Get(uint8_t extStyle);
  QString Decode(const TEntry& e, const unsigned char* text, int32_t len) const;

 private:
  TStyledMemo& memo_;
  std::array<TEntry, 64> entries_;
};

// Measures in the memo's fonts and, while painting, draws onto the window's painter and the
// one-line image.
class QtDrawSurface : public DrawSurface {
 public:
  // window: the painter on the window, nil for measuring only; lineImage: the image lines are
  // composed in, sized by BeginLine.
  QtDrawSurface(QtMemoFonts& fonts, const QPalette& palette, QPainter* window = nullptr,
                QImage* lineImage = nullptr, qreal devicePixelRatio = 1);
  ~QtDrawSurface() override;

  void SelectFont(uint8_t extStyle) override;
  TFontMetrics Metrics() override;
  bool TextExtent(const unsigned char* text, int32_t len, int32_t& width) override;
  int32_t TextOut(int32_t x, int32_t y, const unsigned char* text, int32_t len) override;
  void SetTextColors(TColor text, TColor background, bool opaque) override;
  void FillRect(const TRect& r, TColor color) override;
  void InvertRect(const TRect& r) override;
  void TileImage(const TRect& r, const TMemoPicture& picture, int32_t originX, int32_t originY) override;
  void SetPen(const TMemoPen& pen) override;
  void MoveTo(int32_t x, int32_t y) override;
  void LineTo(int32_t x, int32_t y) override;
  void BeginLine(int32_t width, int32_t height) override;
  void EndLine(int32_t y) override;

  const QFont& CurrentFont() const { return current_->font; }

 private:
  QPainter* Target() { return inLine_ ? &line_ : window_; }

  QtMemoFonts& fonts_;
  const QPalette& palette_;
  QPainter* window_;
  QImage* lineImage_;
  qreal dpr_;
  QPainter line_;
  bool inLine_ = false;
  const QtMemoFonts::TEntry* current_ = nullptr;
  QColor text_, back_;
  bool opaque_ = false;
  QPen pen_;
  QPoint at_;
  const TMemoPicture* tiled_ = nullptr;  // the picture last turned into tile
  QPixmap tile_;
};

}  // namespace vestrel
