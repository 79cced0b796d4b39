#pragma once
#include <cmath>
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
