#pragma once

namespace vestrel {

// How the start-stop decoder sets up its FSK core for a filter width and speed.
struct RttyFilterChoice {
  int path = 919;                 // decimated rate of the core: 919, 2756 or 11025
  int taps = 0;                   // length of the final low-pass
  const double* table = nullptr;  // its coefficients
  bool movingAverage = false;     // a one-bit moving average in front of the mixers' filters
};

// filterWidth: 0 Optimal, 1 Wide, 2 Narrow (anything else reads as Optimal).
// baudInt: the rounded speed (45 stands for 45.45 Bd).
RttyFilterChoice SelectRttyFilter(int filterWidth, int baudInt);

}  // namespace vestrel
