#pragma once
#include <array>

namespace vestrel {

// The PSK receiver's filters; all three are symmetric (entry n - 1 - i = entry i).
// PSKPRE: low-pass at 11025 samples/s in front of the first decimation by 2.
extern const std::array<double, 45> kPskPre;
// MF79: matched filter at 612.5 (31.25 Bd) or 1225 (62.5 Bd) updates/s; DC gain 0.85407, half
// amplitude at 0.033 of the update rate (20.2 Hz at 612.5 updates/s).
extern const std::array<double, 79> kMf79;
// MF85: matched filter at 2756.25 updates/s (125 Bd); DC gain 0.95826, half amplitude at 77.9 Hz.
extern const std::array<double, 85> kMf85;

}  // namespace vestrel
