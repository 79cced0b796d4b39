#include "app/displays.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "app/font_setting_qt.h"
#include "engine/engine.h"
#include "engine/frequency_unit.h"
#include "platform/clock.h"

namespace vestrel {

namespace {

constexpr int kMaxScopeSide = 92;
constexpr uint64_t kScopeCopyMs = 50;
constexpr double kUnitsToHz = 0.3364563;  // 11025 / 32768
constexpr std::array<int, 8> kDtmfHz = {697, 770, 852, 941, 1209, 1336, 1477, 1633};

QColor EntryColour(const WaterfallPalette& p, int entry) {
  const TRgb c = p.Rgb(entry);
  return QColor(c.r, c.g, c.b);
}

QColor SystemRole(QPalette::ColorRole role) { return QApplication::palette().color(role); }

bool IsPsk(int mode, bool waterfall) {
  if (waterfall) return mode == kModeBpsk31 || mode == kModeQpsk31;
  return mode == kModeBpsk31 || mode == kModeQpsk31 || mode == kModeBpsk63 || mode == kModeBpsk125 ||
         mode == kModeQpsk63;
}

std::string HzText(double hz) {
  const double r = std::floor(hz + 0.5);
  return std::to_string(std::isfinite(r) ? int64_t(r) : int64_t{0}) + " Hz";
}

}  // namespace

void TCirTune::SetSize(int w, int h) {
  if (h < w) {
    visible_ = false;
    return;
  }
  w_ = w;
  h_ = h;
  visible_ = true;
  if (w <= 0 || h <= 0) return;
  if (image_.width() != w || image_.height() != h) image_ = QImage(w, h, QImage::Format_RGB32);
  image_.fill(palette_ != nullptr ? EntryColour(*palette_, 0) : QColor(Qt::black));
  QPainter p(&image_);
  p.setPen(mark_);
  // The circle inset by 5 pixels in the square of side w, centred vertically.
  const int top = (h - w) / 2;
  p.drawEllipse(QRect(5, top + 5, w - 10, w - 10));
  const int cx = w / 2, cy = top + w / 2;
  p.drawLine(5, cy, 10, cy);
  p.drawLine(w - 6, cy, w - 11, cy);
  p.drawLine(cx, top + 5, cx, top + 10);
  p.drawLine(cx, top + w - 6, cx, top + w - 11);
}

bool TCirTune::DrawVector(double a, double b) {
  if (!Visible() || image_.isNull()) return false;
  ScopeLine line;
  if (!ScopeVector(a, b, w_, h_, line)) return false;
  QPainter p(&image_);
  p.setPen(palette_ != nullptr ? EntryColour(*palette_, line.entry) : QColor(Qt::white));
  p.drawLine(line.x0, line.y0, line.x1, line.y1);
  return true;
}

TDisplays::~TDisplays() {
  for (QWidget* w : {links_.box, links_.strip, links_.scalePanel, scaleImage_}) {
    if (w != nullptr) w->removeEventFilter(this);
  }
}

void TDisplays::Attach(const DisplayLinks& links) {
  links_ = links;
  for (QWidget* w : {links_.box, links_.strip, links_.scalePanel}) {
    if (w != nullptr) w->installEventFilter(this);
  }
  if (links_.scalePanel != nullptr) {
    scaleImage_ = new QWidget(links_.scalePanel);
    scaleImage_->setObjectName(QStringLiteral("ScaleImage"));
    scaleImage_->setGeometry(links_.scalePanel->rect());
    scaleImage_->lower();
    scaleImage_->installEventFilter(this);
  }
  BuildWaterfallPalette();
}

bool TDisplays::Paused() const { return links_.engine->display.DisplayPause != 0; }

bool TDisplays::BuffersBehind() const {
  const TRxBlockProcessor& rx = links_.engine->rxBlocks;
  return rx.CaptureBuffersWaiting.load(std::memory_order_relaxed) > 2 && rx.FeedMode != 1;
}

void TDisplays::BuildWaterfallPalette() {
  if (links_.settings == nullptr) return;
  vestrel::BuildWaterfallPalette(links_.settings->Waterfall, palette_);
  cirTune_.SetLook(&palette_, ColourOf(links_.settings->Waterfall.RxMarkColor, Qt::white));
  relayout_ = true;
}

void TDisplays::SetZoom(int zoom) {
  const int z = DisplayGeometry::ValidZoom(zoom);
  if (links_.engine != nullptr) links_.engine->params.Zoom = z;
  if (links_.window != nullptr) {
    for (int k = 1; k <= 5; ++k) {
      links_.window->SetMenuChecked(std::to_string(k) + ":1 (Alt-" + std::to_string(k) + ")", k == z);
    }
  }
  relayout_ = true;
}

bool TDisplays::Layout(bool waterfall) {
  const TEngine& engine = *links_.engine;
  const int w = links_.box->width(), h = links_.box->height();
  const int zoom = DisplayGeometry::ValidZoom(engine.params.Zoom);
  const bool changed = relayout_ || w != boxW_ || h != boxH_ || engine.display.FrequencyScaleChanged != 0 ||
                       waterfall != waterfallLaidOut_ || zoom != geometry_.zoom ||
                       engine.params.FFTCenterFreq != geometry_.centreBin;
  if (!changed) return w > 0 && h > 0 && geometry_.spectrumWidth > 0;
  relayout_ = false;
  links_.engine->display.FrequencyScaleChanged = 0;
  boxW_ = w;
  boxH_ = h;
  waterfallLaidOut_ = waterfall;
  geometry_.zoom = zoom;
  geometry_.centreBin = engine.params.FFTCenterFreq;
  geometry_.scopeSide = 0;
  if (links_.settings->PhaseShow != 0 && h + 30 < w && IsPsk(engine.params.Mode, waterfall)) {
    geometry_.scopeSide = std::min(h, kMaxScopeSide);
    cirTune_.SetSize(geometry_.scopeSide, h);
  } else {
    cirTune_.Hide();
  }
  geometry_.spectrumWidth = std::max(w - geometry_.scopeSide, 0);
  if (w <= 0 || h <= 0 || geometry_.spectrumWidth <= 0) {
    shown_ = QImage();
    return false;
  }
  shown_ = QImage(w, h, QImage::Format_RGB32);
  shown_.fill(EntryColour(palette_, 0));
  if (cirTune_.Visible()) {
    QPainter p(&shown_);
    p.drawImage(0, 0, cirTune_.Image());
  }
  if (waterfall) {
    waterfall_ = QImage(geometry_.spectrumWidth, 2 * h, QImage::Format_BGR888);
    const uint8_t* c = palette_.Entry(0);
    for (int y = 0; y < waterfall_.height(); ++y) {
      uint8_t* row = waterfall_.scanLine(y);
      for (int x = 0; x < geometry_.spectrumWidth; ++x) std::memcpy(row + size_t(x) * 3, c, 3);
    }
    // The first line goes to the last row of the upper half.
    writeRow_ = h;
  } else {
    spectrum_ = QImage(geometry_.spectrumWidth, h, QImage::Format_RGB32);
    waterfall_ = QImage();
  }
  DrawFrequencyScale();
  return true;
}

void TDisplays::PaintSpectrum() {
  if (links_.engine == nullptr || links_.box == nullptr || busy_ || Paused()) return;
  if (links_.settings->WaterFall != 0) {
    PaintWaterfall();
    return;
  }
  busy_ = true;
  if (Layout(false)) {
    const TAppSettings& s = *links_.settings;
    const SpectrumArrays& sp = links_.engine->rxBlocks.Spectrum;
    const int h = boxH_;
    const bool logarithmic = s.LogarithmicSpectrum != 0;
    spectrum_.fill(ColourOf(s.FFTBackground, SystemRole(QPalette::Window)));
    QPainter p(&spectrum_);
    const DisplayGeometry& g = geometry_;
    const int first = std::max(DisplayGeometry::kFirstBin, DisplayGeometry::kFirstBin + (-g.Origin() + g.zoom - 1) / g.zoom);
    std::vector<QPoint>& points = points_;
    auto trace = [&](const std::array<float, SpectrumArrays::kSize>& levels, const QColor& colour) {
      points.clear();
      for (int k = first; k <= DisplayGeometry::kLastBin; ++k) {
        const int x = g.BinX(k);
        if (x >= g.spectrumWidth) break;
        points.emplace_back(x, LevelToPixelRow(levels[size_t(k)], h, logarithmic));
      }
      p.setPen(colour);
      if (points.size() > 1) p.drawPolyline(points.data(), int(points.size()));
    };
    trace(sp.SpectrumPeak, ColourOf(s.PeakSpectrumColor, SystemRole(QPalette::Text)));
    trace(sp.SpectrumAvg, ColourOf(s.CurrSpectrumColor, SystemRole(QPalette::Text)));
    const TRxBlockProcessor& rx = links_.engine->rxBlocks;
    if (rx.IsSquelch != 0) {
      const int y = LevelToPixelRow(rx.SquelchLevel, h, logarithmic);
      p.setPen(ColourOf(s.ThresholdColor, SystemRole(QPalette::Text)));
      p.drawLine(0, y, g.spectrumWidth - 1, y);
    }
    p.end();
    Show(spectrum_, false);
  }
  busy_ = false;
  DrawScopeVectors();
}

void TDisplays::PaintWaterfall() {
  if (links_.engine == nullptr || links_.box == nullptr || busy_ || Paused()) return;
  busy_ = true;
  if (Layout(true)) {
    const int h = boxH_;
    // The write row climbs one row a block and wraps from the top row to the last: after h
    // blocks every row holds one line, the newest at writeRow_ and the older ones below it.
    writeRow_ = writeRow_ <= 0 ? h - 1 : writeRow_ - 1;
    uint8_t* row = waterfall_.scanLine(writeRow_);
    PaintWaterfallLine(links_.engine->rxBlocks.Spectrum.SpectrumAvg.data(), geometry_, palette_, row);
    std::memcpy(waterfall_.scanLine(writeRow_ + h), row, size_t(geometry_.spectrumWidth) * 3);
    // Rows writeRow_ .. writeRow_ + h - 1: the newest line on top.
    Show(QImage(waterfall_.constScanLine(writeRow_), geometry_.spectrumWidth, h, waterfall_.bytesPerLine(),
                QImage::Format_BGR888),
         true);
  }
  busy_ = false;
  DrawScopeVectors();
}

void TDisplays::Show(const QImage& picture, bool waterfall) {
  UpdatePanels();
  QPainter box(&shown_);
  box.drawImage(geometry_.scopeSide, 0, picture);
  box.end();
  ComposeMarkers(waterfall);
  links_.box->update();
}

void TDisplays::ComposeMarkers(bool waterfall) {
  const TAppSettings& s = *links_.settings;
  const TModemParams& params = links_.engine->params;
  const DisplayGeometry& g = geometry_;
  const int h = boxH_;
  const int quarter = h * 3 / 4;
  const QColor rxColour = waterfall ? ColourOf(s.Waterfall.RxMarkColor, Qt::white)
                                    : ColourOf(s.RxMarkColor, SystemRole(QPalette::Text));
  const QColor txColour = waterfall ? ColourOf(s.Waterfall.TxMarkColor, Qt::white)
                                    : ColourOf(s.TxMarkColor, SystemRole(QPalette::Text));
  QPainter p(&shown_);
  // Markers never reach into the scope square.
  p.setClipRect(g.scopeSide, 0, g.spectrumWidth, h);
  p.setPen(rxColour);
  auto full = [&](int32_t units) {
    const int x = g.BoxToneX(units);
    p.drawLine(x, 0, x, h - 1);
  };
  if (params.Mode == kModeDtmf) {
    for (int hz : kDtmfHz) full(HzToUnits(hz));
  } else {
    full(params.RxTone[0]);
    if (params.RxTone[1] != params.RxTone[0]) full(params.RxTone[1]);
  }
  if (params.Mode == kModePs33x5) {
    // The edges of the band the PS33X5 receiver searches.
    full(HzToUnits(links_.engine->ps33x5.BandLowerHz()));
    full(HzToUnits(links_.engine->ps33x5.BandUpperHz()));
  }
  if (links_.engine->rxBlocks.AfcOn != 0) {
    for (int32_t bin : params.AfcRefBin) {
      const int x = g.scopeSide + g.BinX(bin);
      p.drawLine(x, h - 1, x, quarter);
    }
  }
  if (params.Mode != kModeDtmf) {
    QPen pen(txColour);
    pen.setWidth(3);
    p.setPen(pen);
    const double rate = UsableTxRate(links_.engine->rates.OutSamplingFreq);
    for (int i = 0; i < 2; ++i) {
      if (i == 1 && params.TxTone[1] == params.TxTone[0]) break;
      const int x = g.BoxToneX(RoundToInt32(params.TxTone[i] * rate / kRxRate));
      p.drawLine(x, h - 1, x, quarter);
    }
  }
}

void TDisplays::UpdatePanels() {
  if (links_.window == nullptr) return;
  const TModemParams& params = links_.engine->params;
  const bool single = params.RxTone[0] == params.RxTone[1];
  const double rx = single ? params.RxTone[0] : (double(params.RxTone[0]) + params.RxTone[1]) / 2.0;
  const double tx = params.TxTone[0] == params.TxTone[1] ? params.TxTone[0]
                                                         : (double(params.TxTone[0]) + params.TxTone[1]) / 2.0;
  const std::array<std::string, 3> text = {
      HzText(rx * kUnitsToHz),
      single ? std::string() : HzText((params.RxTone[1] - params.RxTone[0]) * kUnitsToHz),
      HzText(tx * UsableTxRate(links_.engine->rates.OutSamplingFreq) / kUnitsPerCycle)};
  static constexpr std::array<int, 3> kPanels = {5, 6, 2};
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != panelText_[i]) {
      panelText_[i] = text[i];
      links_.window->SetPanelText(kPanels[i], text[i]);
    }
  }
}

void TDisplays::DrawFrequencyScale() {
  if (links_.scalePanel == nullptr || scaleImage_ == nullptr) return;
  const QSize size = links_.scalePanel->size();
  scaleImage_->setGeometry(QRect(QPoint(0, 0), size));
  if (size.width() <= 0 || size.height() <= 0) return;
  scale_ = QImage(size, QImage::Format_RGB32);
  scale_.fill(SystemRole(QPalette::Button));
  QPainter p(&scale_);
  QFont font(QStringLiteral("Sans Serif"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(10);
  p.setFont(font);
  p.setPen(Qt::black);
  for (const ScaleTick& t : FrequencyScaleTicks(geometry_, size.width())) {
    p.drawLine(t.x, 0, t.x, t.length - 1);
    if (!t.label.empty()) {
      p.drawText(QRect(t.x + 2, 5, 40, size.height()), Qt::AlignLeft | Qt::AlignTop,
                 QString::fromStdString(t.label));
    }
  }
  p.end();
  scaleImage_->update();
}

void TDisplays::DrawScopeVectors() {
  if (links_.engine == nullptr) return;
  const TPskDecoder& psk = links_.engine->psk;
  const uint32_t decided = psk.Decisions;
  uint32_t fresh = decided - scopeSeen_;
  scopeSeen_ = decided;
  if (!cirTune_.Visible() || psk.Enabled == 0 || fresh == 0) return;
  fresh = std::min(fresh, TPskDecoder::kScopeSize);
  bool drawn = false;
  for (uint32_t i = decided - fresh; i != decided; ++i) {
    const TPskDecoder::ScopePoint& v = psk.Scope[i & TPskDecoder::kScopeMask];
    drawn = cirTune_.DrawVector(v.I, v.Q) || drawn;
  }
  if (!drawn || Paused() || BuffersBehind() || shown_.isNull()) return;
  const uint64_t now = links_.clock != nullptr ? links_.clock->NowMs() : kScopeCopyMs;
  if (now - cirTune_.LastCopyMs < kScopeCopyMs && cirTune_.LastCopyMs != 0) return;
  QPainter p(&shown_);
  p.drawImage(0, 0, cirTune_.Image());
  p.end();
  links_.box->update(0, 0, cirTune_.Width(), cirTune_.Height());
  cirTune_.LastCopyMs = now;
  cirTune_.SetSize(cirTune_.Width(), cirTune_.Height());
}

void TDisplays::RepaintOscillogram() {
  if (links_.engine == nullptr || links_.strip == nullptr || stripBusy_) return;
  DrawScopeVectors();
  const TAppSettings& s = *links_.settings;
  if (s.OscShow == 0 || Paused() || links_.engine->rxBlocks.FeedMode > 1) return;
  const int w = links_.strip->width(), h = links_.strip->height();
  if (w <= 1 || h <= 0) return;
  stripBusy_ = true;
  if (strip_.width() != w || strip_.height() != h) strip_ = QImage(w, h, QImage::Format_RGB32);
  strip_.fill(ColourOf(s.OscBackground, SystemRole(QPalette::Window)));
  // The newest levels, at most the ring's, at the strip's right end.
  const int count = std::min(w - 1, int(LevelRing::kSize));
  rows_.resize(static_cast<size_t>(count));
  const LevelRing& ring = links_.engine->levels;
  OscillogramRows(ring.Levels.data(), LevelRing::kMask, uint32_t(links_.engine->params.LevelRingIndex), count, h,
                  s.LogarithmicOscillogram != 0, rows_.data());
  points_.resize(static_cast<size_t>(count));
  const int left = w - 1 - count;
  for (int i = 0; i < count; ++i) points_[size_t(i)] = QPoint(left + i, rows_[size_t(i)]);
  QPainter p(&strip_);
  p.setPen(ColourOf(s.SignalColor, SystemRole(QPalette::Text)));
  if (count > 1) {
    p.drawPolyline(points_.data(), count);
  } else if (count == 1) {
    p.drawPoint(points_[0]);
  }
  p.setPen(ColourOf(s.ThresholdColor, SystemRole(QPalette::Text)));
  p.drawLine(1, h / 2, w - 1, h / 2);
  p.end();
  links_.strip->update();
  stripBusy_ = false;
}

bool TDisplays::eventFilter(QObject* watched, QEvent* e) {
  const QEvent::Type type = e->type();
  if (type == QEvent::Paint) {
    const QImage* image = watched == links_.box ? &shown_ : watched == links_.strip ? &strip_
                          : watched == scaleImage_                                 ? &scale_
                                                                                   : nullptr;
    if (image != nullptr && !image->isNull()) {
      QPainter p(static_cast<QWidget*>(watched));
      p.drawImage(0, 0, *image);
      return true;
    }
    return false;
  }
  if (type == QEvent::Resize && watched == links_.scalePanel) {
    relayout_ = true;
    DrawFrequencyScale();
  } else if (type == QEvent::Resize && watched == links_.box) {
    relayout_ = true;
  } else if (type == QEvent::MouseButtonRelease && watched == links_.strip && links_.engine != nullptr) {
    // A click in the strip ends a display pause.
    links_.engine->display.DisplayPause = 0;
  } else if (type == QEvent::MouseButtonRelease && watched == scaleImage_ && links_.scaleMouseUp) {
    links_.scaleMouseUp();
  }
  return false;
}

}  // namespace vestrel
