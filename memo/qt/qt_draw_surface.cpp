#include "memo/qt/qt_draw_surface.h"

#include <QFontMetrics>
#include <QPen>
#include <algorithm>
#include <cstdlib>

#include "memo/code_pages.h"

namespace vestrel {
namespace {

// The characters of a code page's 256 bytes.
const std::array<char16_t, 256>& CodePageChars(int codePage) {
  auto make = [](int cp) {
    std::array<char16_t, 256> t{};
    for (int b = 0; b < 256; ++b) {
      const unsigned char byte = static_cast<unsigned char>(b);
      const std::u16string u = ToUtf16(TByteView(&byte, 1), cp);
      t[static_cast<size_t>(b)] = u.empty() ? u'?' : u[0];
    }
    return t;
  };
  static const std::array<char16_t, 256> cp1251 = make(1251), cp1252 = make(1252);
  return codePage == 1251 ? cp1251 : cp1252;
}

QRect ToQRect(const TRect& r) {
  return QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
}

}  // namespace

QColor ToQColor(TColor c, const QPalette& palette) {
  if (c == clNone) return Qt::transparent;
  if (c >= 0) return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
  // The desktop's colours by their index.
  switch (c & 0xFF) {
    case 1:   // background
    case 4:   // menu
    case 15:  // button face
      return palette.color(QPalette::Button);
    case 5:  // window
      return palette.color(QPalette::Base);
    case 7:   // menu text
    case 18:  // button text
      return palette.color(QPalette::ButtonText);
    case 13:  // highlight
    case 2:   // active caption
      return palette.color(QPalette::Highlight);
    case 14:  // highlighted text
    case 9:   // caption text
      return palette.color(QPalette::HighlightedText);
    case 16:  // button shadow
      return palette.color(QPalette::Dark);
    case 17:  // grey text
      return palette.color(QPalette::Disabled, QPalette::Text);
    case 20:  // button highlight
      return palette.color(QPalette::Light);
    case 21:  // dark shadow
      return palette.color(QPalette::Shadow);
    case 22:  // light
      return palette.color(QPalette::Midlight);
    case 23:  // tooltip text
      return palette.color(QPalette::ToolTipText);
    case 24:  // tooltip background
      return palette.color(QPalette::ToolTipBase);
    case 0:   // scroll bar
    case 3:   // inactive caption
    case 10:  // active border
    case 11:  // inactive border
    case 12:  // application workspace
      return palette.color(QPalette::Mid);
    default:  // window text and the rest
      return palette.color(QPalette::Text);
  }
}

// ---- fonts ----

const QtMemoFonts::TEntry& QtMemoFonts::Get(uint8_t extStyle) {
  const uint8_t style = extStyle & 0x2F;  // the bits that choose a font
  TMemoFont want;
  memo_.SetupFont(want, style);
  TEntry& e = entries_[style];
  if (e.made && e.memoFont == want) return e;
  e.memoFont = want;
  QFont f(QString::fromStdString(want.Name));
  f.setPixelSize(std::max(std::abs(want.Height), 1));
  f.setBold(want.Style & 1);
  f.setItalic(want.Style & 2);
  f.setUnderline(want.Style & 4);
  f.setStrikeOut(want.Style & 8);
  // Glyph after glyph at whole-pixel advances: no kerning, no ligatures, full hinting.
  f.setKerning(false);
  f.setStyleStrategy(QFont::PreferNoShaping);
  f.setHintingPreference(QFont::PreferFullHinting);
  e.font = f;
  const QFontMetrics fm(f);
  e.metrics.Height = fm.height();
  e.metrics.Ascent = fm.ascent();
  e.metrics.Descent = fm.descent();
  e.metrics.InternalLeading = std::max(fm.height() - f.pixelSize(), 0);
  e.metrics.AveCharWidth = fm.averageCharWidth();
  e.metrics.MaxCharWidth = fm.maxWidth();
  e.chars = &CodePageChars(CodePageOfCharset(want.Charset));
  for (size_t b = 0; b < 256; ++b) {
    const QChar c((*e.chars)[b]);
    e.advance[b] = fm.horizontalAdvance(c);
    const QChar::Category cat = c.category();
    e.plain[b] = c.isPrint() && cat != QChar::Mark_NonSpacing && cat != QChar::Mark_SpacingCombining &&
                 cat != QChar::Mark_Enclosing && cat != QChar::Other_Format;
  }
  e.made = true;
  return e;
}

QString QtMemoFonts::Decode(const TEntry& e, const unsigned char* text, int32_t len) const {
  QString s(len, Qt::Uninitialized);
  QChar* out = s.data();
  for (int32_t i = 0; i < len; ++i) out[i] = QChar((*e.chars)[text[i]]);
  return s;
}

// ---- the surface ----

QtDrawSurface::QtDrawSurface(QtMemoFonts& fonts, const QPalette& palette, QPainter* window, QImage* lineImage,
                             qreal devicePixelRatio)
    : fonts_(fonts), palette_(palette), window_(window), lineImage_(lineImage), dpr_(devicePixelRatio) {
  current_ = &fonts_.Get(0);
}

QtDrawSurface::~QtDrawSurface() {
  if (line_.isActive()) line_.end();
}

void QtDrawSurface::SelectFont(uint8_t extStyle) {
  current_ = &fonts_.Get(extStyle);
}

TFontMetrics QtDrawSurface::Metrics() {
  return current_->metrics;
}

bool QtDrawSurface::TextExtent(const unsigned char* text, int32_t len, int32_t& width) {
  int64_t w = 0;
  for (int32_t i = 0; i < len; ++i) w += current_->advance[text[i]];
  width = static_cast<int32_t>(std::min<int64_t>(w, INT32_MAX));
  return true;
}

int32_t QtDrawSurface::TextOut(int32_t x, int32_t y, const unsigned char* text, int32_t len) {
  int32_t w = 0;
  TextExtent(text, len, w);
  QPainter* p = Target();
  if (!p || len <= 0) return x + w;
  if (opaque_)
    p->fillRect(
        QRect(x, y - current_->metrics.Ascent, w, current_->metrics.Ascent + current_->metrics.Descent),
        back_);
  p->setFont(current_->font);
  p->setPen(text_);
  // Printable characters go in one piece, laid out at their advances (whole pixels, no
  // kerning, no shaping); any other character alone at its own place.
  const QtMemoFonts::TEntry& e = *current_;
  int32_t at = x;
  for (int32_t i = 0; i < len;) {
    int32_t n = 1, span = e.advance[text[i]];
    if (e.plain[text[i]])
      while (i + n < len && e.plain[text[i + n]]) span += e.advance[text[i + n++]];
    p->drawText(QPoint(at, y), fonts_.Decode(e, text + i, n));
    at += span;
    i += n;
  }
  return x + w;
}

void QtDrawSurface::SetTextColors(TColor text, TColor background, bool opaque) {
  text_ = ToQColor(text, palette_);
  back_ = ToQColor(background, palette_);
  opaque_ = opaque;
}

void QtDrawSurface::FillRect(const TRect& r, TColor color) {
  if (QPainter* p = Target()) p->fillRect(ToQRect(r), ToQColor(color, palette_));
}

void QtDrawSurface::InvertRect(const TRect& r) {
  QPainter* p = Target();
  if (!p) return;
  p->save();
  p->setCompositionMode(QPainter::CompositionMode_Difference);
  p->fillRect(ToQRect(r), Qt::white);
  p->restore();
}

void QtDrawSurface::TileImage(const TRect& r, const TMemoPicture& picture, int32_t originX, int32_t originY) {
  QPainter* p = Target();
  if (!p || picture.Empty() || picture.Pixels.size() < size_t(picture.Width) * size_t(picture.Height)) return;
  if (tiled_ != &picture || tile_.isNull()) {
    const QImage image(reinterpret_cast<const uchar*>(picture.Pixels.data()), picture.Width, picture.Height,
                       picture.Width * 4, QImage::Format_ARGB32);
    tile_ = QPixmap::fromImage(image.copy());
    tiled_ = &picture;
  }
  auto mod = [](int64_t a, int64_t b) { return static_cast<int>(((a % b) + b) % b); };
  p->drawTiledPixmap(
      ToQRect(r), tile_,
      QPoint(mod(int64_t{r.Left} - originX, picture.Width), mod(int64_t{r.Top} - originY, picture.Height)));
}

void QtDrawSurface::SetPen(const TMemoPen& pen) {
  pen_ = QPen(ToQColor(pen.Color, palette_), std::max(pen.Width, 0),
              pen.Style == psDot    ? Qt::DotLine
              : pen.Style == psDash ? Qt::DashLine
                                    : Qt::SolidLine);
}

void QtDrawSurface::MoveTo(int32_t x, int32_t y) {
  at_ = QPoint(x, y);
}

void QtDrawSurface::LineTo(int32_t x, int32_t y) {
  const QPoint to(x, y);
  if (QPainter* p = Target()) {
    p->setPen(pen_);
    p->drawLine(at_, to);
  }
  at_ = to;
}

void QtDrawSurface::BeginLine(int32_t width, int32_t height) {
  if (!lineImage_ || !window_) return;
  const QSize size(std::max(width, 1), std::max(height, 1));
  const QSize pixels = size * dpr_;
  if (lineImage_->size() != pixels) {
    *lineImage_ = QImage(pixels, QImage::Format_RGB32);
    lineImage_->setDevicePixelRatio(dpr_);
  }
  line_.begin(lineImage_);
  line_.setRenderHint(QPainter::TextAntialiasing, true);
  inLine_ = true;
}

void QtDrawSurface::EndLine(int32_t y) {
  if (!inLine_) return;
  line_.end();
  inLine_ = false;
  window_->drawImage(QPoint(0, y), *lineImage_);
}

}  // namespace vestrel
