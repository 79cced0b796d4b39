#pragma once
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <span>
#include <vector>

namespace vestrel::test {

// |H(f)| of a tap table, f in cycles per sample of the filter's input rate.
inline double Magnitude(std::span<const double> taps, double f) {
  double re = 0.0, im = 0.0;
  for (size_t i = 0; i < taps.size(); ++i) {
    re += taps[i] * std::cos(2.0 * std::numbers::pi * f * i);
    im -= taps[i] * std::sin(2.0 * std::numbers::pi * f * i);
  }
  return std::hypot(re, im);
}

inline double DcGain(std::span<const double> taps) {
  double s = 0.0;
  for (double t : taps) s += t;
  return s;
}

// First frequency (cycles per sample) where the response falls to half its DC value: a scan
// in steps of 1e-4 brackets it, bisection narrows it to 1e-12.
inline double HalfAmplitudePoint(std::span<const double> taps) {
  const double half = DcGain(taps) / 2.0;
  double lo = 0.0, hi = 0.0;
  for (double f = 0.0; f <= 0.5; f += 1e-4) {
    if (Magnitude(taps, f) <= half) {
      hi = f;
      break;
    }
    lo = f;
  }
  while (hi - lo > 1e-12) {
    const double m = (lo + hi) / 2.0;
    (Magnitude(taps, m) > half ? lo : hi) = m;
  }
  return lo;
}

// What a fixed tap table must give:
//  - dc and half: DC gain and half-amplitude point (fraction of the input rate) as the design
//    states them, to 5 decimals and 4 figures (rounding 5e-6 and 5e-5);
//  - sum and sumAbs: sum of the taps and of their magnitudes to 14 decimals, from an exact
//    (compensated) sum over the table as typed. The smallest last digit of any table is 1e-13
//    and appears twice in a symmetric table, so a slipped digit or sign anywhere moves one of
//    them by 2e-13 or more; double rounding over 51 taps stays below 1e-14.
struct TapTableFacts {
  double dc, half, sum, sumAbs;
};

inline void ExpectTapTable(const char* name, std::span<const double> taps, const TapTableFacts& f) {
  double sumAbs = 0.0;
  for (double t : taps) sumAbs += std::fabs(t);
  EXPECT_NEAR(DcGain(taps), f.dc, 1e-5) << name;
  EXPECT_NEAR(HalfAmplitudePoint(taps), f.half, 1e-4) << name;
  EXPECT_NEAR(DcGain(taps), f.sum, 1e-13) << name;
  EXPECT_NEAR(sumAbs, f.sumAbs, 1e-13) << name;
  for (size_t i = 0; i < taps.size(); ++i)
    EXPECT_EQ(taps[i], taps[taps.size() - 1 - i]) << name << " tap " << i;
}

// Plain convolution at sample n (0-based): sum over i <= min(n, taps - 1) of x[n - i] taps[i].
inline double DirectFir(std::span<const double> taps, std::span<const double> x, size_t n) {
  double y = 0.0;
  for (size_t i = 0; i < taps.size() && i <= n; ++i) y += x[n - i] * taps[i];
  return y;
}

inline std::vector<double> RandomSignal(size_t n, unsigned seed, double amplitude = 1.0) {
  std::vector<double> x(n);
  uint32_t s = seed * 2654435761u + 1u;
  for (double& v : x) {
    s = s * 1664525u + 1013904223u;  // LCG: enough for test input, same on every platform
    v = amplitude * (static_cast<double>(s >> 8) / (1u << 24) * 2.0 - 1.0);
  }
  return x;
}

// Hamming-windowed sinc low-pass of n taps (n odd), cut-off fc in cycles per sample, DC gain 1.
inline std::vector<double> WindowedSinc(int n, double fc) {
  std::vector<double> h(n);
  const double mid = (n - 1) / 2.0;
  double sum = 0.0;
  for (int i = 0; i < n; ++i) {
    const double t = i - mid;
    const double sinc =
        t == 0.0 ? 2.0 * fc : std::sin(2.0 * std::numbers::pi * fc * t) / (std::numbers::pi * t);
    h[i] = sinc * (0.54 - 0.46 * std::cos(2.0 * std::numbers::pi * i / (n - 1)));
    sum += h[i];
  }
  for (double& v : h) v /= sum;
  return h;
}

}  // namespace vestrel::test
