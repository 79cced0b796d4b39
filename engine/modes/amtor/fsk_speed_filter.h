#pragma once
#include <array>

namespace vestrel {

// How the synchronous FSK receivers (both AMTOR decoders, both PACTOR receivers) set up their
// two-tone core for a speed: the core's path and its final low-pass, taken from the start-stop
// decoder's tap tables (engine/modes/rtty/rtty_taps.h). Close to the start-stop decoder's
// Optimal rows, but without the moving average below 45 Bd and with the 43-tap filter from
// 601 Bd up.
struct FskSpeedFilterRow {
  int maxBaud;  // the row serves rounded speeds up to this one (the last row every speed above)
  int path;     // 919, 2756 or 11025
  int taps;
  const double* table;
};

extern const std::array<FskSpeedFilterRow, 18> FskSpeedFilterTable;

// The row of a rounded speed in Bd.
const FskSpeedFilterRow& SelectFskSpeedFilter(int baud);

}  // namespace vestrel
