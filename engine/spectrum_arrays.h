#pragma once
#include <array>

namespace vestrel {

// The receive spectrum of the latest 2048-sample block. Re and Im are the transform output;
// Avg (smoothed magnitude) and Peak (peak-held Avg) are kept only for bins 55..743
// (296.1..3999.8 Hz), the others stay as they are. Readers: the spectrum and waterfall
// displays, the AFC and the squelch.
struct SpectrumArrays {
  static constexpr int kSize = 2048;
  static constexpr int kFirstBin = 55;
  static constexpr int kLastBin = 743;

  std::array<float, kSize> SpectrumRe{};
  std::array<float, kSize> SpectrumIm{};
  std::array<float, kSize> SpectrumAvg{};
  std::array<float, kSize> SpectrumPeak{};

  // When the sound input is opened.
  void ClearPeaks() { SpectrumPeak.fill(0.0f); }
};

}  // namespace vestrel
