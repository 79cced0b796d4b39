#pragma once
#include <QAbstractScrollArea>
#include <QImage>
#include <QRect>
#include <QTimer>
#include <map>
#include <memory>

#include "memo/memo_window.h"
#include "memo/qt/qt_draw_surface.h"
#include "memo/qt/qt_memo_clipboard.h"
#include "memo/styled_memo.h"

namespace vestrel {

// The styled text control as a Qt widget: the memo itself, hosted in a scroll area whose
// viewport is its window. Painting, scroll bars, the caret (which the widget draws, Qt having
// none), focus, resizes, the wheel, keys, the memo's timer and its background formatting
// slices all pass through the memo's WndProc. Typed text becomes the bytes of the font's code
// page here; a character the code page lacks is dropped.
class StyledMemoWidget : public QAbstractScrollArea, public TStyledMemo, private MemoWindow {
  Q_OBJECT

 public:
  explicit StyledMemoWidget(QWidget* parent = nullptr);
  ~StyledMemoWidget() override;

  // Both kinds of font setter: the memo's and the widget's.
  using QAbstractScrollArea::setFont;
  using TStyledMemo::setFont;

  // The Qt font the memo draws a style in (bits 0-3 font styles, bit 5 the alternate font).
  QFont QtFont(uint8_t extStyle) { return fonts_.Get(extStyle).font; }
  // Turns the memo's bytes into text as the font of a style draws them.
  QString DecodeText(TByteView bytes, uint8_t extStyle = 0);
  // A key as the memo takes it (0 for a key it has no code for), and the shift state.
  static TMemoKey MemoKey(int qtKey);
  static TShiftState ShiftOf(Qt::KeyboardModifiers modifiers);
  // The caret as drawn: its rectangle in the viewport, and whether it shows now (it blinks).
  QRect CaretRect() const { return caretRect_; }
  bool CaretVisible() const { return caretCreated_ && caretOn_; }
  bool CaretCreated() const { return caretCreated_; }

 protected:
  bool event(QEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
  void paintEvent(QPaintEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;  // the memo scrolls its window itself

 private:
  // ---- MemoWindow ----
  bool WindowReady() override { return true; }
  int32_t ClientWidth() override;
  int32_t ClientHeight() override;
  void InvalidateBand(int32_t top, int32_t bottom) override;
  TFontMeasure& Canvas() override { return measure_; }
  void ScrollWindow(int32_t dx, int32_t dy, const TRect& rect) override;
  void UpdateNow() override;
  void SetScrollRange(TScrollBarKind bar, int32_t max, int32_t page) override;
  void SetScrollPos(TScrollBarKind bar, int32_t pos) override;
  int32_t WheelScrollLines() override;
  bool Focused() override { return hasFocus(); }
  void CreateCaret(int32_t width, int32_t height) override;
  void DestroyCaret() override;
  void SetCaretPos(int32_t x, int32_t y) override;
  void StartTimer(uint32_t id, uint32_t intervalMs) override;
  void StopTimer(uint32_t id) override;
  void ShowPopupMenu(const TMemoPopupMenu& menu, TPoint at) override;
  void SetCursor(TMemoCursor cursor) override;
  void SetFocus() override { setFocus(Qt::MouseFocusReason); }
  void PostFormatRequest(uintptr_t token) override;
  bool ApplicationTerminating() override;

  intptr_t Send(uint32_t msg, uintptr_t wParam = 0, intptr_t lParam = 0);
  void SendMouse(uint32_t msg, QMouseEvent* event);
  void TypeText(const QString& text);  // each byte as a character
  void ScrollAction(TScrollBarKind bar, int action);
  void ShowScrollBarPolicies();
  void BlinkCaret();

  QtMemoFonts fonts_;
  QtDrawSurface measure_;
  QImage lineImage_;
  std::map<uint32_t, std::unique_ptr<QTimer>> timers_;
  QTimer blink_;
  bool caretCreated_ = false;
  bool caretOn_ = false;
  QRect caretRect_;
  int wheelRest_ = 0;
  QtMemoClipboard qtClipboard_;
};

}  // namespace vestrel
