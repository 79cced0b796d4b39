#pragma once
#include <cstdint>

namespace vestrel {

// The current-mode record the whole engine agrees on. The settings file and the logger
// know these values by their historical slot numbers, given beside each field.
// Tones are in FrequencyUnit (11025/32768 Hz; transmit tones at OutSamplingFreq), bins are
// bins of the 2048-point receive spectrum. Index 0 of a pair is the lower tone.
// Invariants kept by every writer: tone pair = centre -/+ half the shift, bin = (units + 8) / 16;
// in the PSK modes and DTMF both tones of a pair are equal and the four shift fields are 0.
struct TModemParams {
  int32_t Mode = 0;                    // 0: ModeNumber
  int32_t TxLineState = 0;             // 1: 0 normal, 1 CW id requested, 2 carrier stopped for CW
  int32_t BaudotCodeSet = 0;           // 2: 0 English, 1 Russian, 2 Swedish, 3 English/Russian extended
  int32_t LevelRingIndex = 0;          // 3: write index of the LevelRing, kept & 0x7FF
  int32_t RxToneBin[2] = {300, 332};   // 4, 5
  int32_t RxTone[2] = {4800, 5305};    // 6, 7: 1615.1 and 1785.0 Hz
  int32_t AfcRefBin[2] = {300, 332};   // 8, 9
  int32_t TxToneBin[2] = {300, 332};   // 10, 11
  int32_t TxTone[2] = {4800, 5305};    // 12, 13
  int32_t ShiftHz = 170;               // 14
  int32_t RttyShift = 170;             // 15: remembered for the start-stop modes
  int32_t Ps2x5Shift = 50;             // 16: remembered for PS2X5
  int32_t RxShiftBin = 32;             // 17
  int32_t RxShift = 505;               // 18
  int32_t TxShiftBin = 32;             // 19
  int32_t TxShift = 505;               // 20
  int32_t FilterWidth = 0;             // 21: 0 Optimal, 1 Wide (Polar), 2 Narrow
  double Baud = 45.0;                  // 22-23: 45.0 stands for 45.45 Bd
  int32_t RttySpeed = 45;              // 24
  int32_t Ps2x5Speed = 25;             // 25
  int32_t Ps33x5SpeedX = 4;            // 26: PS33X5 step, baud = step x 1.5625
  int32_t RxSamplesPerBit = 243;       // 27: round(11025 / baud)
  int32_t RxSamplesPerBitMilli = 242574;  // 28: round(11025000 / baud)
  int32_t TxSamplesPerBit = 243;       // 29: round(OutSamplingFreq / baud)
  int32_t TxSamplesPerBitMilli = 242574;  // 30: floor(OutSamplingFreq x 1000 / baud + 0.5)
  int32_t FFTCenterFreq = 316;         // 31: spectrum display centre, bins (1700 Hz)
  int32_t Zoom = 1;                    // 32: 1..5
  int32_t Reverse = 0;                 // 35: 1 swaps mark and space
};

}  // namespace vestrel
