#pragma once
#include <QImage>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "app/app_settings.h"
#include "memo/qt/styled_memo_widget.h"

namespace vestrel {

// A text window's sample in the setup dialog: a text in the window's font and colours, with
// ranges of it in colours of their own (the received call sign, the text already sent).
// Offsets are those of the memo control: a line break counts as two characters (CR LF).
class TextSample {
 public:
  // 8-bit text of code page 1252, lines ended by CR LF.
  virtual void SetSampleText(std::string_view text) = 0;
  virtual void SetFontSetting(const TFontSetting& font) = 0;
  // Every range back to the font's colour.
  virtual void ClearStyleRange() = 0;
  virtual void SetDynStyle(int start, int length, int32_t colour) = 0;
  virtual QWidget& Widget() = 0;

 protected:
  ~TextSample() = default;
};

// The sample on a memo control, as the windows draw text: laid out at once, no formatting
// thread, read-only, no scroll bars; the ranges are dynamic colours over the text.
class MemoTextSample final : public StyledMemoWidget, public TextSample {
 public:
  explicit MemoTextSample(QWidget* parent);
  void SetSampleText(std::string_view text) override;
  void SetFontSetting(const TFontSetting& font) override;
  void ClearStyleRange() override;
  void SetDynStyle(int start, int length, int32_t colour) override;
  QWidget& Widget() override { return *this; }
  // The colour the character at offset `offset` is drawn in.
  QColor ColourAt(int offset);

 private:
  int32_t length_ = 0;
};

// The display colours in the order of the "Spectr. && Osc. colors" tab: spectrum background,
// current spectrum, peak spectrum, RX mark, TX mark, oscillogram background, signal, threshold.
using DisplayColours = std::array<int32_t, 8>;

// A sample spectrum (kSpectrum) or oscillogram (kOscillogram) in the display colours.
class ColoursPreview final : public QWidget {
 public:
  enum class Kind { kSpectrum, kOscillogram };
  ColoursPreview(Kind kind, QWidget* parent);
  void SetColours(const DisplayColours& colours);

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  Kind kind_;
  DisplayColours colours_{};
};

// The waterfall palette across the width, low amplitudes at the left, with the RX mark line
// over the whole height and the TX mark line over the lower three quarters at the mark column.
class WaterfallPreview final : public QWidget {
 public:
  explicit WaterfallPreview(QWidget* parent);
  void SetPalette(const TWaterfallSettings& w);
  void SetMarkColumn(int x);
  int MarkColumn() const { return mark_; }
  // A press of any button, and moves with the left button held: the column under the mouse.
  std::function<void(int x)> onMouseDown;
  std::function<void(int x, bool leftButton)> onMouseMove;
  // The colour drawn at (x, y).
  QColor PixelAt(int x, int y) const;

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;

 private:
  void Render();
  TWaterfallSettings palette_;
  int mark_ = 0;
  QImage image_;
};

}  // namespace vestrel
