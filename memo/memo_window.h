#pragma once
#include <cstdint>

#include "memo/draw_surface.h"
#include "memo/memo_popup.h"

namespace vestrel {

enum TScrollBarKind : uint8_t { sbHorizontal = 0, sbVertical = 1 };

// Pointer shapes the memo asks its window for: the standard cursor numbers an attribute's
// Cursor field holds (0 the window's own, negative the standard shapes), and the memo's two.
using TMemoCursor = int16_t;
inline constexpr TMemoCursor crDefault = 0;
inline constexpr TMemoCursor crArrow = -2;
inline constexpr TMemoCursor crCross = -3;
inline constexpr TMemoCursor crIBeam = -4;
inline constexpr TMemoCursor crSizeWE = -9;
inline constexpr TMemoCursor crUpArrow = -10;
inline constexpr TMemoCursor crHourGlass = -11;
inline constexpr TMemoCursor crDrag = -12;
inline constexpr TMemoCursor crNoDrop = -13;
inline constexpr TMemoCursor crNo = -18;
inline constexpr TMemoCursor crHelp = -20;
inline constexpr TMemoCursor crHandPoint = -21;
inline constexpr TMemoCursor crMemoRightArrow = 1;  // beside the lines: a press selects the line
inline constexpr TMemoCursor crMemoDragCopy = 2;    // dragged text is copied

// What the memo needs of the window that hosts it. The Qt widget implements it; tests fake it.
// The memo holds one only while it is attached (TStyledMemo::CreateHandle).
class MemoWindow {
 public:
  // The window and its one-line bitmap exist: the memo may measure, format and paint.
  virtual bool WindowReady() = 0;
  virtual int32_t ClientWidth() = 0;
  virtual int32_t ClientHeight() = 0;
  // Marks client rows top..bottom-1, across the whole width, to be painted again.
  virtual void InvalidateBand(int32_t top, int32_t bottom) = 0;
  // Measures in the memo's fonts; SelectFont takes an extended style, which the window turns
  // into a font through TStyledMemo::SetupFont.
  virtual TFontMeasure& Canvas() = 0;

  // ---- display ----
  // Moves the pixels inside rect by (dx, dy); what the move uncovers inside rect is to be
  // painted again.
  virtual void ScrollWindow(int32_t dx, int32_t dy, const TRect& rect) = 0;
  // Paints what is waiting to be painted before returning.
  virtual void UpdateNow() = 0;
  // A scroll bar of positions 0..max - page + 1, page positions to a page; the bar is shown
  // while page <= max. The memo calls these only for the bars its ScrollBars property has.
  virtual void SetScrollRange(TScrollBarKind bar, int32_t max, int32_t page) = 0;
  virtual void SetScrollPos(TScrollBarKind bar, int32_t pos) = 0;
  // Lines the mouse wheel moves per notch in the desktop's settings; -1: a page.
  virtual int32_t WheelScrollLines() = 0;

  // ---- caret: the window's own, shown only while it has the focus ----
  virtual bool Focused() = 0;
  virtual void CreateCaret(int32_t width, int32_t height) = 0;
  virtual void DestroyCaret() = 0;
  virtual void SetCaretPos(int32_t x, int32_t y) = 0;

  // ---- the memo's own popup menu, shown at a client point; the tag of a chosen item goes
  // back to TStyledMemo::PopupClickHandler. A window without menus shows nothing. ----
  virtual void ShowPopupMenu(const TMemoPopupMenu&, TPoint) {}

  // ---- mouse ----
  virtual void SetCursor(TMemoCursor) {}
  virtual void SetFocus() {}

  // ---- timer: WM_TIMER messages with the id reach the memo's WndProc until it is stopped ----
  virtual void StartTimer(uint32_t id, uint32_t intervalMs) = 0;
  virtual void StopTimer(uint32_t id) = 0;

  // ---- background formatting ----
  // Asks for one formatting slice: later, on the window's own thread, the window hands the
  // memo SM_UPDATEBKG with the token in WParam. The memo's format thread calls this: it must
  // be safe from any thread and must never block.
  virtual void PostFormatRequest(uintptr_t token) = 0;
  // The application is shutting down: a slice that leaves work asks for no further one.
  virtual bool ApplicationTerminating() = 0;

 protected:
  ~MemoWindow() = default;
};

}  // namespace vestrel
