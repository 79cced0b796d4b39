#include "app/font_setting_qt.h"

#include <QApplication>
#include <QFontInfo>
#include <QWidget>
#include <cmath>

#include "memo/qt/styled_memo_widget.h"

namespace vestrel {

namespace {
constexpr int kLargest = 500;  // points or pixels beyond this are no font anyone saved
}

QColor ColourOf(int32_t colour, const QColor& system) {
  if (colour < 0) return system;
  return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

int32_t ColourCode(const QColor& colour) {
  const QColor c = colour.toRgb();
  return int32_t(c.red()) | (int32_t(c.green()) << 8) | (int32_t(c.blue()) << 16);
}

QFont FontOf(const TFontSetting& f) {
  QFont font(QString::fromLatin1(f.FontName.data(), qsizetype(f.FontName.size())));
  const int64_t pixels = f.FontHeight < 0 ? -int64_t{f.FontHeight} : f.FontHeight;
  if (pixels > 0 && pixels <= kLargest) font.setPixelSize(int(pixels));
  if (f.FontPitch == 2) {
    font.setFixedPitch(true);
    font.setStyleHint(QFont::TypeWriter);
  } else if (f.FontPitch == 1) {
    font.setFixedPitch(false);
  }
  if (f.FontSize > 0 && f.FontSize <= kLargest) font.setPointSize(f.FontSize);
  font.setBold((f.FontStyle & 1) != 0);
  font.setItalic((f.FontStyle & 2) != 0);
  font.setUnderline((f.FontStyle & 4) != 0);
  font.setStrikeOut((f.FontStyle & 8) != 0);
  return font;
}

void TakeFont(const QFont& font, TFontSetting& f) {
  f.FontName = font.family().toLatin1().toStdString();
  double points = font.pointSizeF();
  if (points <= 0) points = font.pixelSize() * 72.0 / 96.0;
  const int size = std::clamp(int(std::lround(points)), 1, kLargest);
  f.FontSize = size;
  f.FontHeight = -int32_t(std::lround(size * 96.0 / 72.0));
  if (QFontInfo(font).fixedPitch()) {
    f.FontPitch = 2;
  } else if (f.FontPitch == 2) {
    f.FontPitch = 0;
  }
  f.FontStyle = (font.bold() ? 1 : 0) | (font.italic() ? 2 : 0) | (font.underline() ? 4 : 0) |
                (font.strikeOut() ? 8 : 0);
}

void ApplyFontSetting(QWidget& w, const TFontSetting& f, QPalette::ColorRole text, bool background) {
  w.setFont(FontOf(f));
  const QPalette system = QApplication::palette(&w);
  QPalette palette = w.palette();
  palette.setColor(text, ColourOf(f.FontColor, system.color(text)));
  if (background) palette.setColor(QPalette::Base, ColourOf(f.Background, system.color(QPalette::Base)));
  w.setPalette(palette);
}

void ApplyMemoFontSetting(StyledMemoWidget& memo, const TFontSetting& f) {
  TMemoFont font = memo.Font();
  font.Name = f.FontName;
  font.Charset = f.FontCharset;
  if (f.FontSize > 0 && f.FontSize <= kLargest) {
    font.Height = -((f.FontSize * memo.logicalDpiY() + 36) / 72);
  } else if (f.FontHeight != 0 && f.FontHeight >= -kLargest && f.FontHeight <= kLargest) {
    font.Height = f.FontHeight;
  }
  font.Style = static_cast<uint8_t>(f.FontStyle & 15);
  font.Color = f.FontColor;
  memo.setFont(font);
  memo.setColor(f.Background);
  memo.setHighlightColor(f.FontColor);
  memo.setHighlightBackgnd(f.Background);
}

}  // namespace vestrel
