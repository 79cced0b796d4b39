#pragma once
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif


#include "engine/dsp/quad_detector.h"
#include "engine/dsp/reqt_filter.h"
#include "engine/sine_table.h"

namespace vestrel {

// N TQuadDetector side by side, stepped together on the same input: each lane does the
// arithmetic of one TQuadDetector (its phase and step, two running-sum averages of one common
// length, the magnitude with the same floor) in the same order, but for the average's division
// by the length, which is a product with its inverse here: a lane gives what a TQuadDetector of
// the same set-up gives, to within a rounding. Laid out lane by lane in memory, so the
// per-sample work of all N runs as one loop over the lanes, which the compiler vectorises.
template <int N>
class TQuadDetectorBank {
 public:
  TQuadDetectorBank() = default;
  explicit TQuadDetectorBank(const SineTable& sine) : sine_(&sine) {}

  void SetTable(const SineTable& sine) { sine_ = &sine; }
  // length: 1..TReqtFilter::kMaxLength samples of every average; clears the bank. Refused
  // (false, nothing changed) outside that range.
  bool SetLength(int length) {
    if (length < 1 || length > TReqtFilter::kMaxLength) return false;
    length_ = static_cast<uint32_t>(length);
    inverse_ = 1.0 / length_;
    ringI_.assign(length_ * N, 0.0);
    ringQ_.assign(length_ * N, 0.0);
    Reset();
    return true;
  }
  // Averages, phases and positions to 0; length and steps stay.
  void Reset() {
    std::fill(ringI_.begin(), ringI_.end(), 0.0);
    std::fill(ringQ_.begin(), ringQ_.end(), 0.0);
    sumI_.fill(0.0);
    sumQ_.fill(0.0);
    phase_.fill(0);
    pos_ = 0;
  }
  // step: lane's phase step in FrequencyUnit.
  void SetStep(int lane, int32_t step) { step_[lane] = static_cast<uint32_t>(step); }
  int32_t PhaseStep(int lane) const { return static_cast<int32_t>(step_[lane]); }

  // One sample into every lane; power[lane] the squared magnitude, 0 below the floor, as
  // TQuadDetector has it before its square root. The magnitudes are the square roots; a user
  // that compares them can compare the powers and take only the roots it needs.
  void StepPower(double x, double* power) {
    Process(&x, 1, [&](size_t, const double* p) {
      for (int l = 0; l < N; ++l) power[l] = p[l];
    });
  }
  // n samples, each times `scale`; onPowers(i, power) after sample i with the N powers. The
  // lanes' state is held in locals over the block.
  template <class Sample, class OnPowers>
  void Process(const Sample* in, size_t n, OnPowers&& onPowers, double scale = 1.0) {
    double power[N];
    if (sine_ == nullptr || length_ == 0) {
      for (int l = 0; l < N; ++l) power[l] = 0.0;
      for (size_t k = 0; k < n; ++k) onPowers(k, power);
      return;
    }
    const int16_t* table = sine_->data();
    double sumI[N], sumQ[N];
    uint32_t phase[N], step[N];
    for (int l = 0; l < N; ++l) {
      sumI[l] = sumI_[l];
      sumQ[l] = sumQ_[l];
      phase[l] = phase_[l];
      step[l] = step_[l];
    }
    uint32_t pos = pos_;
    double* __restrict ringI = ringI_.data();
    double* __restrict ringQ = ringQ_.data();
    for (size_t k = 0; k < n; ++k) {
      const double c = (in[k] * scale) * 3.125e-5;  // x / 32000: the table's amplitude cancels
      double* __restrict ri = ringI + static_cast<size_t>(pos) * N;
      double* __restrict rq = ringQ + static_cast<size_t>(pos) * N;
      // The table reads lane by lane, then the averages over all lanes at once.
      int32_t ti[N], tq[N];
      for (int l = 0; l < N; ++l) {
        phase[l] = (phase[l] + step[l]) & SineTable::kMask;
        ti[l] = table[phase[l]];
        tq[l] = table[(phase[l] + SineTable::kQuarter) & SineTable::kMask];
      }
      Average(ti, c, ri, sumI);
      Average(tq, c, rq, sumQ);
      if (++pos == length_) {
        pos = 0;
        Rebuild(sumI, sumQ);
      }
      Powers(sumI, sumQ, power);
      onPowers(k, power);
    }
    for (int l = 0; l < N; ++l) {
      sumI_[l] = sumI[l];
      sumQ_[l] = sumQ[l];
      phase_[l] = phase[l];
    }
    pos_ = pos;
  }
  // The same with the magnitudes.
  void Step(double x, double* out) {
    StepPower(x, out);
    for (int l = 0; l < N; ++l) out[l] = std::sqrt(out[l]);
  }

 private:
  // One arm of every lane: the table value times c into the running sum and the ring.
  static void Average(const int32_t* t, double c, double* __restrict ring, double* sum) {
    int l = 0;
#if defined(__SSE2__)
    const __m128d cc = _mm_set1_pd(c);
    for (; l + 2 <= N; l += 2) {
      const __m128d v =
          _mm_mul_pd(_mm_cvtepi32_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(t + l))), cc);
      _mm_storeu_pd(sum + l, _mm_add_pd(_mm_sub_pd(_mm_loadu_pd(sum + l), _mm_loadu_pd(ring + l)), v));
      _mm_storeu_pd(ring + l, v);
    }
#endif
    for (; l < N; ++l) {
      const double v = t[l] * c;
      sum[l] = sum[l] - ring[l] + v;
      ring[l] = v;
    }
  }

  // |(sumI, sumQ) / length|^2 of every lane, 0 below the floor.
  void Powers(const double* sumI, const double* sumQ, double* power) const {
    int l = 0;
#if defined(__SSE2__)
    const __m128d inv = _mm_set1_pd(inverse_);
    const __m128d floor = _mm_set1_pd(TQuadDetector::kFloor);
    for (; l + 2 <= N; l += 2) {
      const __m128d i = _mm_mul_pd(_mm_loadu_pd(sumI + l), inv);
      const __m128d q = _mm_mul_pd(_mm_loadu_pd(sumQ + l), inv);
      const __m128d p = _mm_add_pd(_mm_mul_pd(i, i), _mm_mul_pd(q, q));
      _mm_storeu_pd(power + l, _mm_and_pd(_mm_cmpge_pd(p, floor), p));
    }
#endif
    for (; l < N; ++l) {
      const double i = sumI[l] * inverse_;
      const double q = sumQ[l] * inverse_;
      const double p = i * i + q * q;
      power[l] = p >= TQuadDetector::kFloor ? p : 0.0;
    }
  }

  // The sums from the rings, oldest to newest as TReqtFilter adds them, so rounding cannot pile
  // up over a long run.
  void Rebuild(double* sumI, double* sumQ) const {
    double si[N] = {}, sq[N] = {};
    for (uint32_t k = 0; k < length_; ++k) {
      for (int l = 0; l < N; ++l) {
        si[l] += ringI_[static_cast<size_t>(k) * N + l];
        sq[l] += ringQ_[static_cast<size_t>(k) * N + l];
      }
    }
    for (int l = 0; l < N; ++l) {
      sumI[l] = si[l];
      sumQ[l] = sq[l];
    }
  }

  const SineTable* sine_ = nullptr;
  uint32_t length_ = 0;
  double inverse_ = 0.0;  // 1 / length: a product where TQuadDetector divides (within an ulp)
  uint32_t pos_ = 0;
  std::array<uint32_t, N> phase_{};
  std::array<uint32_t, N> step_{};
  std::array<double, N> sumI_{};
  std::array<double, N> sumQ_{};
  std::vector<double> ringI_;  // length x N, lane by lane
  std::vector<double> ringQ_;
};

}  // namespace vestrel
