#pragma once
#include <cstdint>

#include "memo/draw_surface.h"

namespace vestrel {

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

 protected:
  ~MemoWindow() = default;
};

}  // namespace vestrel
