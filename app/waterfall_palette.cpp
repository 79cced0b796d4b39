#include "app/waterfall_palette.h"

#include <algorithm>
#include <cmath>

namespace vestrel {

namespace {

double Wrapped(double t) {
  if (!std::isfinite(t)) return 0.0;
  return t - std::floor(t);
}

double Held(double v) {
  return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0;
}

double Channel(double p, double q, double t) {
  t = Wrapped(t);
  if (t < 1.0 / 6.0) return p + (q - p) * 6.0 * t;
  if (t < 0.5) return q;
  if (t < 2.0 / 3.0) return p + (q - p) * (2.0 / 3.0 - t) * 6.0;
  return p;
}

uint8_t Byte(double x) {
  return static_cast<uint8_t>(std::clamp(std::floor(x * 255.0 + 0.5), 0.0, 255.0));
}

}  // namespace

TRgb HslToRgb(double h, double s, double l) {
  h = Wrapped(h);
  s = Held(s);
  l = Held(l);
  if (s < 1e-8) return {Byte(l), Byte(l), Byte(l)};
  const double q = l < 0.5 ? l * (1.0 + s) : l + s - l * s;
  const double p = 2.0 * l - q;
  return {Byte(Channel(p, q, h + 1.0 / 3.0)), Byte(Channel(p, q, h)), Byte(Channel(p, q, h - 1.0 / 3.0))};
}

TRgb WaterfallColour(const TWaterfallSettings& w, double a) {
  return HslToRgb(w.H0 + w.H1 * a, w.S0 + w.S1 * a, w.L0 + w.L1 * a);
}

}  // namespace vestrel
