#pragma once
#include <QImage>
#include <QObject>
#include <QPoint>
#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/app_settings.h"
#include "app/display_geometry.h"
#include "app/form_parts.h"

class QWidget;

namespace vestrel {

class Clock;
class EngineWindow;
class TEngine;

// The phase-vector scope of the PSK modes: one line from the centre of its square per decided
// symbol, pointing along the symbol's I/Q vector, coloured by its strength.
class TCirTune {
 public:
  // The square w x h, drawn empty (palette entry 0, a circle and four ticks in `mark`); a
  // square wider than high hides the scope.
  void SetSize(int w, int h);
  // Draws one vector; false when nothing was drawn (hidden, empty, zero or not finite).
  bool DrawVector(double a, double b);
  void Hide() { visible_ = false; }
  void SetLook(const WaterfallPalette* palette, QColor mark) {
    palette_ = palette;
    mark_ = mark;
  }

  bool Visible() const { return visible_ && w_ > 0 && h_ > 0; }
  int Width() const { return w_; }
  int Height() const { return h_; }
  const QImage& Image() const { return image_; }
  uint64_t LastCopyMs = 0;

 private:
  const WaterfallPalette* palette_ = nullptr;
  QColor mark_ = Qt::white;
  QImage image_;
  int w_ = 0, h_ = 0;
  bool visible_ = false;
};

// What the displays read and where they draw: the engine's spectrum, level ring, tones and
// display flags, the settings' colours, and the three boxes of the window.
struct DisplayLinks {
  TEngine* engine = nullptr;
  const TAppSettings* settings = nullptr;
  EngineWindow* window = nullptr;  // status panels and the Zoom menu's check marks
  Clock* clock = nullptr;          // the phase scope's copy interval
  QWidget* box = nullptr;          // FFTBox: spectrum or waterfall, with the scope at its left
  QWidget* scalePanel = nullptr;   // the frequency scale is drawn over its whole area
  QWidget* strip = nullptr;        // PaintBox1: the oscillogram strip
  // The mouse released over the frequency scale (the window's click-to-tune).
  std::function<void()> scaleMouseUp;
};

// The spectrum and waterfall displays, the frequency scale, the oscillogram strip and the
// phase scope. Each paints into its own image; the boxes show the newest image in their paint
// events. Nothing is drawn before Attach, while DisplayPause is set, or into a box of no size.
class TDisplays final : public QObject, public DisplayPart {
 public:
  TDisplays() = default;
  ~TDisplays() override;
  void Attach(const DisplayLinks& links);

  // DisplayPart
  void BuildWaterfallPalette() override;
  void PaintSpectrum() override;
  void RepaintOscillogram() override;
  void SetZoom(int zoom) override;
  void LayoutChanged() override { relayout_ = true; }
  int DisplayOrigin() const override { return geometry_.DisplayOrigin(); }

  void PaintWaterfall();
  void DrawFrequencyScale();
  // The PSK decisions since the last look go to the scope, which is copied to the box at most
  // every 50 ms.
  void DrawScopeVectors();

  // What the boxes show (for tests and screenshots).
  const QImage& Shown() const { return shown_; }
  const QImage& StripShown() const { return strip_; }
  const QImage& ScaleShown() const { return scale_; }
  const DisplayGeometry& Geometry() const { return geometry_; }
  const WaterfallPalette& Palette() const { return palette_; }
  TCirTune& CirTune() { return cirTune_; }
  // The waterfall's write row (the newest line) and its image of 2 x height rows.
  int WaterfallRow() const { return writeRow_; }
  // The newest `count` waterfall lines (at most the height), newest on top, without the markers.
  QImage NewestWaterfallLines(int count) const {
    if (waterfall_.isNull()) return QImage();
    return waterfall_.copy(0, writeRow_, waterfall_.width(), std::clamp(count, 1, waterfall_.height() / 2));
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  // Sizes, zoom, centre and the scope square from the box; true when anything may be drawn.
  bool Layout(bool waterfall);
  // The picture right of the scope square, the markers over it, the status panels; the box repaints.
  void Show(const QImage& picture, bool waterfall);
  void ComposeMarkers(bool waterfall);
  void UpdatePanels();
  bool Paused() const;
  bool BuffersBehind() const;

  DisplayLinks links_;
  QWidget* scaleImage_ = nullptr;
  WaterfallPalette palette_;
  TCirTune cirTune_;
  DisplayGeometry geometry_;
  QImage spectrum_;   // spectrum view, spectrumWidth x height
  QImage waterfall_;  // 24 bits, spectrumWidth x 2 height
  QImage shown_;      // the box: scope square and spectrum or waterfall, with the markers
  QImage strip_;
  QImage scale_;
  int boxW_ = -1, boxH_ = -1;
  int writeRow_ = 0;
  bool relayout_ = true;
  bool waterfallLaidOut_ = false;
  bool busy_ = false;
  bool stripBusy_ = false;
  uint32_t scopeSeen_ = 0;
  // Panels 5, 6 and 2 as last written (none yet).
  std::array<std::string, 3> panelText_{"\x01", "\x01", "\x01"};
  std::vector<int> rows_;       // the strip's rows
  std::vector<QPoint> points_;  // a trace's points  // panels 5, 6 and 2 as last written
};

}  // namespace vestrel
