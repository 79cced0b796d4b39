#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/dsp/fsk_mixer.h"
#include "engine/dsp/reqt_filter.h"
#include "engine/dsp/tap_ring.h"
#include "engine/sine_table.h"

namespace vestrel {

// Pre-filters at 11025 samples/s in front of the first decimation by 2: 51 taps, half
// amplitude at 1130 Hz (919 path), and 49 taps, half amplitude at 1951 Hz (2756 path).
extern const std::array<double, 51> kPre919;
extern const std::array<double, 49> kPre49;

// Two-tone front end of the FSK decoders. Per input sample at 11025 samples/s it mixes the
// signal with sine and cosine of both tones and low-pass filters the four products along one
// of three paths; Step reports when four fresh filtered outputs are ready:
//   919:   PRE919, decimate 2, C45 decimate 2, C27 decimate 3, table FIR at 918.75 samples/s;
//          first output on the 9th sample after set-up, then every 12th.
//   2756:  PRE49, decimate 2, C45 decimate 2, table FIR at 2756.25 samples/s;
//          first output on the 1st sample, then every 4th.
//   11025: table FIR on every sample.
// The final FIR's table (the decoder's bandwidth) is the caller's. Outputs are in input units
// times the sine table amplitude: a settled tone of amplitude A on tone A gives
// |(OutASin, OutACos)| = 16000 A times the chain's DC gain (close to 1).
// Decoders derive from this class and call it directly; it is a plain value (copies run on
// identically). The four arms run as the lanes of one interleaved filter chain, and only the
// pre-filter outputs that the first decimator takes are computed; TFskDetectorReference is
// the same chain built from the single filters, kept to test this one against.
class TFskDetector {
 public:
  static constexpr int kMaxAverageLength = TReqtFilter::kMaxLength;

  explicit TFskDetector(const SineTable& sine);

  // path: 919, 2756 or 11025. taps: 1..FirFilter::kMaxTaps entries of table, the final
  // low-pass at the path's rate. Refused (false, set-up and state unchanged) otherwise.
  // Accepted set-ups reset the detector.
  bool Setup(int path, int taps, const double* table) { return SetupWithAverage(path, taps, table, 0); }
  // averageLength: 0 (none) or 1..kMaxAverageLength samples of a moving average on each of the
  // four mixer products, in front of the path.
  bool SetupWithAverage(int path, int taps, const double* table, int averageLength);
  bool Setup(int path, std::span<const double> table) { return SetupWithAverage(path, table, 0); }
  bool SetupWithAverage(int path, std::span<const double> table, int averageLength);

  // Phases, decimation counters, outputs and all filter state to 0; set-up and tones stay.
  void Reset();
  // Phase steps in FrequencyUnit: A the lower tone, B the upper (equal for single-tone modes).
  void SetTones(int32_t lowerStep, int32_t upperStep) { mixer_.SetTones(lowerStep, upperStep); }

  // One input sample; true when OutASin..OutBCos have just been replaced. Before a set-up
  // (PathRate() 0) returns false and changes nothing.
  bool Step(float x) {
    switch (pathRate_) {
      case 919:
        return Step919(x);
      case 2756:
        return Step2756(x);
      case 11025:
        return Step11025(x);
      default:
        return false;
    }
  }
  // Steps over a block, choosing the path once; calls onOutput(i) after each sample i that
  // produced new outputs.
  template <class OnOutput>
  void Process(std::span<const float> in, OnOutput&& onOutput) {
    const size_t n = in.size();
    switch (pathRate_) {
      case 919:
        for (size_t i = 0; i < n; ++i)
          if (Step919(in[i])) onOutput(i);
        break;
      case 2756:
        for (size_t i = 0; i < n; ++i)
          if (Step2756(in[i])) onOutput(i);
        break;
      case 11025:
        for (size_t i = 0; i < n; ++i)
          if (Step11025(in[i])) onOutput(i);
        break;
      default:
        break;
    }
  }

  // True when (path, taps, averageLength) is a set-up both detectors accept.
  static bool ValidSetup(int path, size_t taps, int averageLength);

  int PathRate() const { return pathRate_; }
  int AverageLength() const { return averageLength_; }
  int32_t ToneAStep() const { return mixer_.ToneAStep(); }
  int32_t ToneBStep() const { return mixer_.ToneBStep(); }

  // The last filtered mixer products: A (lower tone) and B (upper tone), sine and cosine arms.
  double OutASin = 0.0;
  double OutBSin = 0.0;
  double OutACos = 0.0;
  double OutBCos = 0.0;

 private:
  // Lane order of every stage: A-sine, B-sine, A-cosine, B-cosine.
  static constexpr int kLanes = 4;

  // Moving average of the four products, a running sum per lane rebuilt once per length.
  struct LaneAverage {
    std::vector<double> ring;  // length x kLanes
    double sum[kLanes] = {};
    uint32_t length = 0;
    uint32_t pos = 0;
    void SetLength(int n);
    void Clear();
    void Step(double* frame);
  };

  void Mix(float x, double* frame);
  bool HalfBand(float x);
  void FinalFir(const double* in);
  bool Step919(float x);
  bool Step2756(float x);
  bool Step11025(float x);

  FskMixer mixer_;
  int pathRate_ = 0;
  int averageLength_ = 0;
  // Decimation stage counters: every 2nd sample, every 2nd C45 result, C27 phase.
  int count1_ = 0;
  int count2_ = 0;
  int count3_ = 0;
  uint32_t dec2Calls_ = 0;

  LaneAverage average_;
  TapRing<kLanes> pre_;
  TapRing<kLanes> dec2_;
  TapRing<kLanes> dec3_;
  TapRing<kLanes> fir_;
  const double* preTaps_ = nullptr;  // kPre919 or kPre49 (static storage)
  int preCount_ = 0;
  std::vector<double> firTaps_;
  double dec2Out_[kLanes] = {};
  double dec3Out_[kLanes] = {};
};

}  // namespace vestrel
