#pragma once

namespace vestrel {

// The calibrated card rates: the capture rate the input converter takes to 11025 samples/s,
// and the output rate the transmit tones are synthesised at. Both default to the nominal
// 11025 samples/s.
struct TSampleRates {
  double SamplingFreq = 11025.0;
  double OutSamplingFreq = 11025.0;
};

}  // namespace vestrel
