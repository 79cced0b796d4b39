// ctest-labels: unit
#include "app/waterfall_palette.h"

#include <gtest/gtest.h>

namespace vestrel {
namespace {

TEST(WaterfallPalette, HslToRgbKnownColours) {
  struct Case {
    double h, s, l;
    TRgb rgb;
  };
  const Case cases[] = {
      {0.0, 0.0, 0.5, {128, 128, 128}},    // no saturation: grey at the lightness
      {0.0, 1.0, 0.5, {255, 0, 0}},        // red
      {1.0 / 3.0, 1.0, 0.5, {0, 255, 0}},  // green
      {2.0 / 3.0, 1.0, 0.5, {0, 0, 255}},  // blue
      {0.5, 1.0, 0.75, {128, 255, 255}},   // light cyan
      {0.7, 0.3, 0.35, {73, 62, 116}},     // the default palette's first step, hsl(252, 30%, 35%)
      {-0.3, 0.3, 0.35, {73, 62, 116}},    // hues wrap
      {1.7, 0.3, 0.35, {73, 62, 116}},    {0.0, 1.5, 0.5, {255, 0, 0}},  // saturation held to 1
      {0.2, 0.5, -0.4, {0, 0, 0}},                                       // lightness held to 0..1
      {0.2, 0.5, 1.4, {255, 255, 255}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HslToRgb(c.h, c.s, c.l), c.rgb) << c.h << " " << c.s << " " << c.l;
  }
}

TEST(WaterfallPalette, ColourFollowsTheCoefficients) {
  const TWaterfallSettings w;  // hue 0.7 - 0.9 a, saturation 0.3 + 0.69 a, lightness 0.35 + 0.3 a
  EXPECT_EQ(WaterfallColour(w, 0.0), HslToRgb(0.7, 0.3, 0.35));
  EXPECT_EQ(WaterfallColour(w, 1.0), HslToRgb(0.8, 0.99, 0.65));
  EXPECT_EQ(WaterfallColour(w, 0.5), HslToRgb(0.25, 0.645, 0.5));
}

}  // namespace
}  // namespace vestrel
