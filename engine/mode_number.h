#pragma once
#include <cstdint>

namespace vestrel {

// The mode as one integer. 13, 15, 17, 19, 21 and 23 up name no mode and are stored as 0.
// Everything that differs between modes is in their rows of the mode table (mode_table.h).
enum ModeNumber : int32_t {
  kModeRtty = 0,
  kModeBpsk31 = 1,
  kModeAscii7 = 2,
  kModeQpsk31 = 3,
  kModeAscii8 = 4,
  kModeBpsk63 = 5,
  kModeAmtorFec = 6,
  kModeBpsk125 = 7,
  kModeAx25Hf = 8,
  kModeQpsk63 = 9,
  kModeAx25Uhf = 10,
  kModeDtmf = 11,
  kModeMfsk16 = 12,
  kModeAmtorArq = 14,
  kModeMfsk8 = 16,
  kModePactorFec = 18,
  kModePs2x5 = 20,
  kModePs33x5 = 22,
};

inline constexpr int kModeCount = 23;  // size of every table indexed by mode number

}  // namespace vestrel
