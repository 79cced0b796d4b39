#pragma once
#include <cstdint>

namespace vestrel {

// Parameter bits of the rig-control server: each names one value a state reads back, one
// value a write sets, and one bit of the ReadableParams / WriteableParams masks.
inline constexpr uint32_t kPmUnknown = 0x00000001;  // a state read before the rig answered
inline constexpr uint32_t kPmFreq = 0x00000002;     // Freq: the receive VFO
inline constexpr uint32_t kPmFreqA = 0x00000004;
inline constexpr uint32_t kPmFreqB = 0x00000008;
inline constexpr uint32_t kPmRitOffset = 0x00000020;  // RitOffset (RIT control supported)
// Vfo: receive VFO and transmit VFO, or only the VFO selected.
inline constexpr uint32_t kPmVfoAA = 0x00000080;
inline constexpr uint32_t kPmVfoAB = 0x00000100;
inline constexpr uint32_t kPmVfoBA = 0x00000200;
inline constexpr uint32_t kPmVfoBB = 0x00000400;
inline constexpr uint32_t kPmVfoA = 0x00000800;
inline constexpr uint32_t kPmVfoB = 0x00001000;
inline constexpr uint32_t kPmVfoSwap = 0x00004000;  // write only: exchange the two VFOs
inline constexpr uint32_t kPmSplitOn = 0x00008000;
inline constexpr uint32_t kPmSplitOff = 0x00010000;
inline constexpr uint32_t kPmRitOn = 0x00020000;
inline constexpr uint32_t kPmRitOff = 0x00040000;
inline constexpr uint32_t kPmRx = 0x00200000;  // Tx state: receiving
inline constexpr uint32_t kPmTx = 0x00400000;  // Tx state: transmitting
// Mode: U upper, L lower sideband.
inline constexpr uint32_t kPmCwU = 0x00800000;
inline constexpr uint32_t kPmCwL = 0x01000000;
inline constexpr uint32_t kPmSsbU = 0x02000000;
inline constexpr uint32_t kPmSsbL = 0x04000000;
inline constexpr uint32_t kPmDigU = 0x08000000;
inline constexpr uint32_t kPmDigL = 0x10000000;
inline constexpr uint32_t kPmAm = 0x20000000;
inline constexpr uint32_t kPmFm = 0x40000000;

inline constexpr uint32_t kPmVfoStates = kPmVfoAA | kPmVfoAB | kPmVfoBA | kPmVfoBB | kPmVfoA | kPmVfoB;
inline constexpr uint32_t kPmModes = kPmCwU | kPmCwL | kPmSsbU | kPmSsbL | kPmDigU | kPmDigL | kPmAm | kPmFm;
inline constexpr uint32_t kPmLowerSideband = kPmCwL | kPmSsbL | kPmDigL;

}  // namespace vestrel
