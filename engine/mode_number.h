#pragma once
#include <cstdint>

namespace vestrel {

// The mode as one integer. 13, 15, 17, 19, 21 and 23 up name no mode and are stored as 0.
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

// A mode number as the engine stores it: unknown numbers become RTTY.
constexpr int32_t NormaliseMode(int32_t mode) {
  switch (mode) {
    case 0: case 1: case 2: case 3: case 4: case 5: case 6: case 7: case 8: case 9:
    case 10: case 11: case 12: case 14: case 16: case 18: case 20: case 22:
      return mode;
    default:
      return kModeRtty;
  }
}

// A mode whose two tones coincide: PSK (1, 3, 5, 7, 9) and DTMF (11).
constexpr bool IsSingleToneMode(int32_t mode) { return (mode & 1) != 0 && mode <= 11; }

// The phase-shift modes BPSK31/63/125 and QPSK31/63.
constexpr bool IsPskMode(int32_t mode) { return (mode & 1) != 0 && mode <= 9; }

}  // namespace vestrel
