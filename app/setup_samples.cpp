#include "app/setup_samples.h"

#include <QMouseEvent>
#include <QPainter>
#include <cmath>

#include "app/font_setting_qt.h"
#include "app/waterfall_palette.h"
#include "memo/byte_string.h"
#include "memo/styled_navigator.h"

namespace vestrel {

MemoTextSample::MemoTextSample(QWidget* parent) : StyledMemoWidget(parent) {
  setUpdateMode(umImmediate);
  setReadOnly(true);
  setUndoMaxLevel(0);
  // A sample longer than the box is cut, as the window would show it without scrolling.
  setScrollBars(ssNone);
  setFocusPolicy(Qt::NoFocus);
}

void MemoTextSample::SetSampleText(std::string_view text) {
  length_ = static_cast<int32_t>(text.size());
  SetTextBuf(ToBytes(text));
}

void MemoTextSample::SetFontSetting(const TFontSetting& font) {
  ApplyMemoFontSetting(*this, font);
  // The widget's own font too, for whoever asks the control what it shows.
  QAbstractScrollArea::setFont(FontOf(font));
}

void MemoTextSample::ClearStyleRange() {
  TStyledMemo::ClearStyleRange(0, length_);
}

void MemoTextSample::SetDynStyle(int start, int length, int32_t colour) {
  TStyledMemo::SetDynStyle(start, start + length, 0, false, 0, 0, clNone, colour, false);
}

QColor MemoTextSample::ColourAt(int offset) {
  TStyledNavigator n(&NavContext());
  n.SetPos(offset);
  n.RightOfDyn();
  const DynInfoRec rec = n.GetpDynInfo();
  const QColor own = ColourOf(Font().Color, palette().color(QPalette::Text));
  if ((rec.Flags & kDynActive) == 0 || rec.Foregnd == clNone || rec.Foregnd == -1) return own;
  return ColourOf(rec.Foregnd, own);
}

ColoursPreview::ColoursPreview(Kind kind, QWidget* parent) : QWidget(parent), kind_(kind) {
  setMinimumSize(200, kind == Kind::kSpectrum ? 90 : 50);
}

void ColoursPreview::SetColours(const DisplayColours& colours) {
  colours_ = colours;
  update();
}

void ColoursPreview::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QPalette& pal = palette();
  auto colour = [&](int i, QPalette::ColorRole system) {
    return ColourOf(colours_[size_t(i)], pal.color(system));
  };
  const int w = width(), h = height();
  if (kind_ == Kind::kSpectrum) {
    p.fillRect(rect(), colour(0, QPalette::Base));
    // Two signals over a noise floor: the peak-held trace above the current one.
    auto level = [&](double x, double lift) {
      const double a = std::exp(-std::pow((x - 0.35) * 22.0, 2)) + std::exp(-std::pow((x - 0.45) * 22.0, 2));
      const double floor = 0.12 + 0.05 * std::sin(x * 97.0) * std::sin(x * 31.0);
      return h - 1 - int((floor + 0.7 * a + lift) * (h - 8));
    };
    for (int pass = 0; pass < 2; ++pass) {
      p.setPen(colour(pass == 0 ? 2 : 1, QPalette::Text));
      QPoint last(0, level(0.0, pass == 0 ? 0.08 : 0.0));
      for (int x = 1; x < w; ++x) {
        const QPoint next(x, level(double(x) / w, pass == 0 ? 0.08 : 0.0));
        p.drawLine(last, next);
        last = next;
      }
    }
    p.setPen(colour(7, QPalette::Text));
    p.drawLine(0, h / 3, w, h / 3);
    p.setPen(colour(3, QPalette::Text));
    p.drawLine(int(0.35 * w), 0, int(0.35 * w), h);
    p.drawLine(int(0.45 * w), 0, int(0.45 * w), h);
    p.setPen(QPen(colour(4, QPalette::Text), 3));
    p.drawLine(int(0.35 * w), h * 3 / 4, int(0.35 * w), h);
    p.drawLine(int(0.45 * w), h * 3 / 4, int(0.45 * w), h);
  } else {
    p.fillRect(rect(), colour(5, QPalette::Base));
    p.setPen(colour(7, QPalette::Text));
    p.drawLine(0, h / 2, w, h / 2);
    p.setPen(colour(6, QPalette::Text));
    QPoint last(0, h / 2);
    for (int x = 1; x < w; ++x) {
      // A demodulator's output: bits with soft edges.
      const double t = double(x) / 23.0;
      const double bit = std::sin(t) + 0.3 * std::sin(t * 3.0);
      const QPoint next(x, h / 2 - int(bit * (h / 2 - 4) / 1.3));
      p.drawLine(last, next);
      last = next;
    }
  }
}

WaterfallPreview::WaterfallPreview(QWidget* parent) : QWidget(parent) {
  setMinimumSize(256, 40);
  setCursor(Qt::CrossCursor);
}

void WaterfallPreview::SetPalette(const TWaterfallSettings& w) {
  palette_ = w;
  Render();
}

void WaterfallPreview::SetMarkColumn(int x) {
  mark_ = x;
  Render();
}

void WaterfallPreview::Render() {
  const int w = std::max(1, width()), h = std::max(1, height());
  image_ = QImage(w, h, QImage::Format_RGB32);
  // One row of the palette, copied to every row.
  auto* row0 = reinterpret_cast<QRgb*>(image_.scanLine(0));
  for (int x = 0; x < w; ++x) {
    const TRgb c = WaterfallColour(palette_, double(x) / w);
    row0[x] = qRgb(c.r, c.g, c.b);
  }
  for (int y = 1; y < h; ++y) std::copy(row0, row0 + w, reinterpret_cast<QRgb*>(image_.scanLine(y)));
  if (mark_ >= 0 && mark_ < w) {
    const QColor rx = ColourOf(palette_.RxMarkColor, Qt::white);
    const QColor tx = ColourOf(palette_.TxMarkColor, Qt::white);
    // The RX line over the whole height, the TX line over it in the lower three quarters.
    for (int y = 0; y < h; ++y) image_.setPixel(mark_, y, (y >= h / 4 ? tx : rx).rgb());
  }
  update();
}

QColor WaterfallPreview::PixelAt(int x, int y) const {
  if (!image_.valid(x, y)) return {};
  return QColor(image_.pixel(x, y));
}

void WaterfallPreview::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawImage(0, 0, image_);
}

void WaterfallPreview::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  Render();
}

void WaterfallPreview::mousePressEvent(QMouseEvent* e) {
  if (onMouseDown) onMouseDown(int(e->position().x()));
}

void WaterfallPreview::mouseMoveEvent(QMouseEvent* e) {
  if (onMouseMove) onMouseMove(int(e->position().x()), (e->buttons() & Qt::LeftButton) != 0);
}

}  // namespace vestrel
