#pragma once
#include <cstdint>

namespace vestrel {

// A window message as the host widget hands it to TStyledMemo::WndProc; the numbers are those
// of the messages the memo was designed around.
struct TMemoMessage {
  uint32_t Msg = 0;
  uintptr_t WParam = 0;
  intptr_t LParam = 0;
  intptr_t Result = 0;
};

inline constexpr uint32_t WM_GETDLGCODE = 0x0087;
inline constexpr uint32_t WM_CUT = 0x0300;
inline constexpr uint32_t WM_COPY = 0x0301;
inline constexpr uint32_t WM_PASTE = 0x0302;
inline constexpr uint32_t WM_UNDO = 0x0304;
inline constexpr uint32_t CM_TEXTCHANGED = 0xB012;

// WM_GETDLGCODE answers: arrows, characters and set-selection; tabs as well.
inline constexpr intptr_t kDlgCodeKeys = 0x85;
inline constexpr intptr_t kDlgCodeKeysAndTabs = 0x87;

// A message listener that sets this result suppresses the memo's own handling.
inline constexpr intptr_t kSuppressMessage = 127;

}  // namespace vestrel
