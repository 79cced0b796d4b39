#pragma once
#include <cstdint>

#include "app/app_settings.h"

namespace vestrel {

struct TRgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const TRgb&) const = default;
};

// Hue, saturation and lightness (each nominally 0..1) to 8-bit red, green and blue. The hue
// wraps around (-0.2 is 0.8); saturation and lightness are held to 0..1.
TRgb HslToRgb(double h, double s, double l);

// The waterfall's colour for amplitude a (0..1): hue H0 + H1 a, saturation S0 + S1 a,
// lightness L0 + L1 a.
TRgb WaterfallColour(const TWaterfallSettings& w, double a);

}  // namespace vestrel
