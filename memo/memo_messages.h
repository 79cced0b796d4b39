#pragma once
#include <cstdint>

#include "memo/draw_surface.h"

namespace vestrel {

// A window message as the host widget hands it to TStyledMemo::WndProc; the numbers are those
// of the messages the memo was designed around.
struct TMemoMessage {
  uint32_t Msg = 0;
  uintptr_t WParam = 0;
  intptr_t LParam = 0;
  intptr_t Result = 0;
};

inline constexpr uint32_t WM_SIZE = 0x0005;  // the client was resized
inline constexpr uint32_t WM_SETFOCUS = 0x0007;
inline constexpr uint32_t WM_KILLFOCUS = 0x0008;
inline constexpr uint32_t WM_PAINT = 0x000F;  // WParam: a TMemoPaint*
inline constexpr uint32_t WM_ERASEBKGND = 0x0014;
inline constexpr uint32_t WM_GETDLGCODE = 0x0087;
inline constexpr uint32_t WM_KEYDOWN = 0x0100;  // WParam: the key (TMemoKey), LParam: TShiftState
inline constexpr uint32_t WM_KEYUP = 0x0101;    // likewise
inline constexpr uint32_t WM_CHAR = 0x0102;     // WParam: the character, one byte of the font's code page
inline constexpr uint32_t WM_TIMER = 0x0113;    // WParam: the timer's id
inline constexpr uint32_t WM_HSCROLL = 0x0114;  // WParam: SB_* code, LParam: the thumb position
inline constexpr uint32_t WM_VSCROLL = 0x0115;
// Mouse messages: WParam the shift state (buttons held included), LParam PointParam(x, y).
inline constexpr uint32_t WM_MOUSEMOVE = 0x0200;
inline constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr uint32_t WM_LBUTTONDBLCLK = 0x0203;
inline constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
inline constexpr uint32_t WM_RBUTTONUP = 0x0205;
inline constexpr uint32_t WM_MOUSEWHEEL = 0x020A;  // LParam: the wheel delta, 120 a notch, up positive
inline constexpr uint32_t WM_CUT = 0x0300;
inline constexpr uint32_t WM_COPY = 0x0301;
inline constexpr uint32_t WM_PASTE = 0x0302;
inline constexpr uint32_t WM_UNDO = 0x0304;
inline constexpr uint32_t SM_UPDATEBKG = 0x0401;  // one background formatting slice; WParam: the token
inline constexpr uint32_t CM_TEXTCHANGED = 0xB012;

// A client point in a mouse message's LParam: x in the low 16 bits, y in the next 16, each
// signed (a point left of or above the window is negative).
constexpr intptr_t PointParam(int32_t x, int32_t y) {
  return static_cast<intptr_t>((static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16) |
                               static_cast<uint16_t>(x));
}
constexpr TPoint ParamPoint(intptr_t lParam) {
  return {static_cast<int16_t>(static_cast<uint16_t>(lParam & 0xFFFF)),
          static_cast<int16_t>(static_cast<uint16_t>((lParam >> 16) & 0xFFFF))};
}

// Scroll bar requests of WM_HSCROLL and WM_VSCROLL (up also means left, down right).
inline constexpr uintptr_t SB_LINEUP = 0;
inline constexpr uintptr_t SB_LINEDOWN = 1;
inline constexpr uintptr_t SB_PAGEUP = 2;
inline constexpr uintptr_t SB_PAGEDOWN = 3;
inline constexpr uintptr_t SB_THUMBPOSITION = 4;
inline constexpr uintptr_t SB_THUMBTRACK = 5;
inline constexpr uintptr_t SB_TOP = 6;
inline constexpr uintptr_t SB_BOTTOM = 7;
inline constexpr uintptr_t SB_ENDSCROLL = 8;

// WM_GETDLGCODE answers: arrows, characters and set-selection; tabs as well.
inline constexpr intptr_t kDlgCodeKeys = 0x85;
inline constexpr intptr_t kDlgCodeKeysAndTabs = 0x87;

// A message listener that sets this result suppresses the memo's own handling.
inline constexpr intptr_t kSuppressMessage = 127;

// What WM_PAINT carries: where to draw and the client area to paint.
struct TMemoPaint {
  DrawSurface* Surface = nullptr;
  TRect Area;
};

}  // namespace vestrel
