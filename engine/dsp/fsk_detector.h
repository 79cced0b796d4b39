#pragma once
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>
#include <vector>

#include "engine/dsp/decimator2.h"
#include "engine/dsp/decimator3.h"
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
  // On the 11025 path: the final FIR computed on every n-th sample only (1..4; 1, every
  // sample, after a set-up), for a receiver whose bandwidth leaves the outputs oversampled.
  // Refused (false) otherwise. Resets.
  bool SetOutputEvery(int n);
  int OutputEvery() const { return outputEvery_; }
  // Phase steps in FrequencyUnit: A the lower tone, B the upper (equal for single-tone modes).
  void SetTones(int32_t lowerStep, int32_t upperStep) { mixer_.SetTones(lowerStep, upperStep); }

  // One input sample; true when OutASin..OutBCos have just been replaced. Before a set-up
  // (PathRate() 0) returns false and changes nothing.
  bool Step(float x) {
    bool out = false;
    WithPath([&](auto path) { out = StepOn<decltype(path)::value>(x); });
    return out;
  }
  // Calls body(std::integral_constant<int, path>{}) with the current path (0 before a set-up),
  // so that a caller's block loop is compiled once per path and chooses it once per block.
  template <class Body>
  void WithPath(Body&& body) {
    switch (pathRate_) {
      case 919:
        body(std::integral_constant<int, 919>{});
        break;
      case 2756:
        body(std::integral_constant<int, 2756>{});
        break;
      case 11025:
        body(std::integral_constant<int, 11025>{});
        break;
      default:
        body(std::integral_constant<int, 0>{});
        break;
    }
  }
  // Step on a path known to be the current one (WithPath); path 0 does nothing.
  template <int Path>
  bool StepOn(float x) {
    if constexpr (Path == 0) {
      return false;
    } else {
      double frame[kLanes];
      Mix(x, frame);
      return StageOn<Path>(frame);
    }
  }
  // Steps over a block, choosing the path once; calls onOutput(i) after each sample i that
  // produced new outputs.
  template <class OnOutput>
  void Process(std::span<const float> in, OnOutput&& onOutput) {
    WithPath([&](auto path) { ProcessOn<decltype(path)::value>(in, onOutput); });
  }
  // The same on a path known to be the current one (WithPath). The samples are mixed a part at
  // a time, then go through the path's filters.
  template <int Path, class OnOutput>
  void ProcessOn(std::span<const float> in, OnOutput&& onOutput) {
    if constexpr (Path != 0) {
      for (size_t at = 0; at < in.size(); at += kMixPart) {
        const size_t n = std::min(kMixPart, in.size() - at);
        mixer_.MixBlock(in.data() + at, n, mixed_.data());
        if (averageLength_ > 0)
          for (size_t i = 0; i < n; ++i) average_.Step(&mixed_[kLanes * i]);
        for (size_t i = 0; i < n; ++i)
          if (StageOn<Path>(&mixed_[kLanes * i])) onOutput(at + i);
      }
    }
  }

  // The two-tone decoders' discriminator from the last outputs: the upper tone's magnitude less
  // the lower's, each taken as 0 when its square is not above 1e-8.
  double ToneDifference() const { return Magnitude(OutBSin, OutBCos) - Magnitude(OutASin, OutACos); }
  // The discriminator each sample of `in` sees, into out[0 .. in.size()): ToneDifference after
  // every sample that gives new outputs, the value before held in between. `held` carries the
  // value from one call to the next. Path as ProcessOn.
  template <int Path>
  void DifferencesOn(std::span<const float> in, double* out, double& held) {
    double d = held;
    size_t filled = 0;
    ProcessOn<Path>(in, [&](size_t i) {
      std::fill(out + filled, out + i, d);
      d = ToneDifference();
      filled = i;
    });
    std::fill(out + filled, out + in.size(), d);
    held = d;
  }
  // A decoder's block loop on the current path, a part at a time: the discriminator of each
  // sample of the part into part[0 .. n) (as DifferencesOn), then clock(n) samples it.
  template <int Path, class Clock>
  void DifferenceParts(std::span<const float> block, std::span<double> part, double& held, Clock&& clock) {
    for (size_t at = 0; at < block.size(); at += part.size()) {
      const size_t n = std::min(part.size(), block.size() - at);
      DifferencesOn<Path>(block.subspan(at, n), part.data(), held);
      clock(n);
    }
  }
  // One sample: `held` becomes the discriminator when the sample gives new outputs.
  void StepDifference(float x, double& held) {
    WithPath([&](auto path) {
      if (StepOn<decltype(path)::value>(x)) held = ToneDifference();
    });
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

  static double Magnitude(double s, double c) {
    const double p = s * s + c * c;
    return p > 1e-8 ? std::sqrt(p) : 0.0;
  }

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

  static constexpr size_t kMixPart = 256;  // samples mixed at a time by ProcessOn

  // The per-sample stages, defined below so that block loops inline them. A frame is the four
  // mixer products of one sample (after the moving average, when there is one).
  void Mix(float x, double* frame);
  template <int Path>
  bool StageOn(const double* frame);
  bool HalfBand(const double* frame);
  void FinalFir(const double* in);
  void Convolve();  // the final FIR over the ring as it stands
  bool Stage919(const double* frame);
  bool Stage2756(const double* frame);
  bool Stage11025(const double* frame);

  FskMixer mixer_;
  int pathRate_ = 0;
  int averageLength_ = 0;
  // Decimation stage counters: every 2nd sample, every 2nd C45 result, C27 phase.
  int count1_ = 0;
  int count2_ = 0;
  int count3_ = 0;
  int outputEvery_ = 1;
  int countOut_ = 0;
  uint32_t dec2Calls_ = 0;

  LaneAverage average_;
  TapRing<kLanes> pre_;
  TapRing<kLanes> dec2_;
  TapRing<kLanes> dec3_;
  TapRing<kLanes> fir_;
  const double* preTaps_ = nullptr;  // kPre919 or kPre49 (static storage)
  int preCount_ = 0;
  std::vector<double> firTaps_;
  bool firSymmetric_ = false;  // the decoders' tables are; a caller's need not be
  double dec2Out_[kLanes] = {};
  double dec3Out_[kLanes] = {};
  std::array<double, kMixPart * kLanes> mixed_{};  // scratch of ProcessOn
};

// Per lane the same arithmetic as TReqtFilter, so both detectors agree to the last bit.
inline void TFskDetector::LaneAverage::Step(double* frame) {
  double* slot = ring.data() + static_cast<size_t>(pos) * kLanes;
  for (int l = 0; l < kLanes; ++l) {
    sum[l] = sum[l] - slot[l] + frame[l];
    slot[l] = frame[l];
  }
  if (++pos == length) {
    pos = 0;
    double s[kLanes] = {};
    for (uint32_t k = 0; k < length; ++k)
      for (int l = 0; l < kLanes; ++l) s[l] += ring[static_cast<size_t>(k) * kLanes + l];
    for (int l = 0; l < kLanes; ++l) sum[l] = s[l];
  }
  for (int l = 0; l < kLanes; ++l) frame[l] = sum[l] / length;
}

inline void TFskDetector::Mix(float x, double* frame) {
  mixer_.Mix(x, frame);
  if (averageLength_ > 0) average_.Step(frame);
}

template <int Path>
inline bool TFskDetector::StageOn(const double* frame) {
  if constexpr (Path == 919) {
    return Stage919(frame);
  } else if constexpr (Path == 2756) {
    return Stage2756(frame);
  } else {
    static_assert(Path == 11025, "a detector path");
    return Stage11025(frame);
  }
}

// The stages the 919 and 2756 paths share: pre-filter, every 2nd sample into the C45
// decimator, every 2nd of its results on. True when dec2Out_ is to be taken.
inline bool TFskDetector::HalfBand(const double* frame) {
  pre_.Push(frame);
  if (count1_ != 0) {
    count1_ = 0;
    return false;
  }
  count1_ = 1;
  // Only the pre-filter outputs that reach the decimator are computed.
  double y[kLanes];
  ConvolveLanesSymmetric<kLanes>(pre_.Newest(), preTaps_, preCount_, y);
  dec2_.Push(y);
  if (dec2Calls_++ & 1u)
    ConvolveLanesSymmetric<kLanes>(dec2_.Newest(), kC45.data(), static_cast<int>(kC45.size()), dec2Out_);
  if (count2_ != 0) {
    count2_ = 0;
    return false;
  }
  count2_ = 1;
  return true;
}

inline void TFskDetector::FinalFir(const double* in) {
  fir_.Push(in);
  Convolve();
}

inline void TFskDetector::Convolve() {
  double out[kLanes];
  const int n = static_cast<int>(firTaps_.size());
  if (firSymmetric_) {
    ConvolveLanesSymmetric<kLanes>(fir_.Newest(), firTaps_.data(), n, out);
  } else {
    ConvolveLanes<kLanes>(fir_.Newest(), firTaps_.data(), n, out);
  }
  OutASin = out[0];
  OutBSin = out[1];
  OutACos = out[2];
  OutBCos = out[3];
}

inline bool TFskDetector::Stage919(const double* frame) {
  if (!HalfBand(frame)) return false;
  dec3_.Push(dec2Out_);
  // The FIR follows the C27 decimator's own phase: its 3rd, 6th, ... input.
  if (++count3_ <= 2) return false;
  count3_ = 0;
  ConvolveLanesSymmetric<kLanes>(dec3_.Newest(), kC27.data(), static_cast<int>(kC27.size()), dec3Out_);
  FinalFir(dec3Out_);
  return true;
}

inline bool TFskDetector::Stage2756(const double* frame) {
  if (!HalfBand(frame)) return false;
  FinalFir(dec2Out_);
  return true;
}

inline bool TFskDetector::Stage11025(const double* frame) {
  if (outputEvery_ == 1) {
    FinalFir(frame);
    return true;
  }
  fir_.Push(frame);
  if (++countOut_ < outputEvery_) return false;
  countOut_ = 0;
  Convolve();
  return true;
}

}  // namespace vestrel
