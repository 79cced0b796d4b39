#pragma once
#include <cmath>
#include <cstdint>

namespace vestrel {

// A tone position is an int32 count of 11025/32768 Hz: at once the phase step per sample of a
// tone at 11025 samples/s on the SineTable and 1/16 of a bin of the 2048-point spectrum.
inline constexpr double kRxRate = 11025.0;
inline constexpr double kUnitsPerCycle = 32768.0;
inline constexpr int32_t kMinToneUnits = 912;    // 306.9 Hz
inline constexpr int32_t kMaxToneUnits = 11856;  // 3989.0 Hz

// The transmit sample rate to compute with. A calibrated OutSamplingFreq lies near the nominal
// rate; anything that is no sample rate (0, negative, NaN, absurd) stands for the nominal one.
inline double UsableTxRate(double rate) {
  return rate >= 1000.0 && rate <= 1.0e6 ? rate : kRxRate;
}

// floor(x + 0.5) as an int32, saturating at the int32 range; NaN gives 0. Tones and shifts come
// from stored settings and outside programs, so no value may reach an undefined cast.
inline int32_t RoundToInt32(double x) {
  const double r = std::floor(x + 0.5);
  if (!(r == r)) return 0;
  if (r >= 2147483647.0) return INT32_MAX;
  if (r <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(r);
}

// Hz to units at the given sample rate (11025 for receive, OutSamplingFreq for transmit).
inline int32_t HzToUnits(double hz, double rate = kRxRate) {
  return RoundToInt32(hz * kUnitsPerCycle / rate);
}

inline double UnitsToHz(int32_t units, double rate = kRxRate) {
  return units * rate / kUnitsPerCycle;
}

// The spectrum bin of a tone: (units + 8) / 16.
constexpr int32_t UnitsToBin(int32_t units) {
  return static_cast<int32_t>((int64_t{units} + 8) / 16);
}

// A tone pair's centre kept within the tone band for a pair of half-shift h (units).
constexpr int32_t ClampToneCentre(int32_t centre, int32_t h) {
  if (centre < kMinToneUnits + h) centre = kMinToneUnits + h;
  if (centre > kMaxToneUnits - h) centre = kMaxToneUnits - h;
  return centre;
}

// The clamping rule of every tone pair: h = shift / 2 (toward zero, so an odd shift loses one
// unit), the centre kept within 912 + h .. 11856 - h, the pair centre -/+ h, and its bins.
inline void PlaceTonePair(int32_t (&tone)[2], int32_t (&bin)[2], int32_t centre, int32_t shift) {
  const int32_t h = shift / 2;
  centre = ClampToneCentre(centre, h);
  tone[0] = centre - h;
  tone[1] = centre + h;
  bin[0] = UnitsToBin(tone[0]);
  bin[1] = UnitsToBin(tone[1]);
}

// A shift in spectrum bins: floor(Hz x 2048 / rate + 0.5).
inline int32_t HzToBins(double hz, double rate = kRxRate) {
  return RoundToInt32(hz * 2048.0 / rate);
}

}  // namespace vestrel
