#pragma once
#include <array>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/sine_table.h"

#if defined(__x86_64__)
// GCC 12 warns inside its own AVX-512 intrinsics (their undefined start vectors).
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#define VESTREL_MFSK_SIMD 1
#endif

namespace vestrel {

// The MFSK receiver's tone detectors, run side by side: tone i mixed with sine and cosine of
// its phase step, each product averaged over the last `length` samples by a running sum. It
// computes exactly what `tones` TQuadDetector objects of that length compute (the same
// products, sums, rebuilds and magnitude), but keeps the detectors in step so one sample
// updates all of them in one loop over arrays, and leaves the division and the square root to
// Magnitudes, which the receiver calls only when it needs them (every sub-sample step and
// every level write, some one sample in 30), not every sample.
//
// The detectors' rings of products are not stored: a product is table entry x (sample /
// 32000), so the ring keeps the table entries (16 bits each) and the scaled sample once, and a
// product leaving the average is formed again, to the same bits, from them. That is a quarter
// of the memory (MFSK8: 190 KB in place of 720 KB), which the running sums and the rebuild
// would otherwise stream through every sample.
class TMfskToneBank {
 public:
  static constexpr int kMaxTones = 32;

  explicit TMfskToneBank(const SineTable& sine);

  // tones: 16 or 32, length: 1..65536 samples; refused (false, nothing changed) otherwise.
  // Clears the averages and sets every phase to 0.
  bool SetLength(int tones, int length);
  // Phase step of one tone, FrequencyUnit; the phase and the averages stay.
  void SetStep(int tone, int32_t step);
  // Clears the averages and the phases.
  void Reset();

  // One sample through every detector.
  void Step(double x) {
    if (tones_ == 16) {
      StepN<16>(x);
    } else {
      StepN<32>(x);
    }
  }
  // The same for a tone count known where it is called (the receiver's block loop).
  template <int N>
  void StepN(double x);
#if VESTREL_MFSK_SIMD
  // StepN eight (sixteen) detectors at a time with AVX2 (AVX-512), to the same bits: without
  // fused multiply-add every product and sum rounds as in the plain code. Only where the
  // processor has the extension (Best()), inside a function compiled for it.
  template <int N>
  __attribute__((target("avx2"))) void StepAvx2(double x);
  template <int N>
  __attribute__((target("avx512f"))) void StepAvx512(double x);
#endif
  // The kernels: plain C++, and where the processor has them AVX2 and AVX-512. All give the
  // same bits; the bank starts on the widest this processor runs (decided once).
  enum class Kernel { kPlain, kAvx2, kAvx512 };
  static Kernel Best();
  static bool Supported(Kernel kernel);
  // Refused (false) for a kernel this processor lacks.
  bool SetKernel(Kernel kernel);
  Kernel KernelInUse() const {
    return kernel_;
  }

  // Samples through every detector, with the kernel in use.
  void Process(std::span<const float> x);

  // The magnitude of each tone (m[0..Tones()-1]): sqrt(I^2 + Q^2) of the averages, 0 below the
  // detectors' floor.
  void Magnitudes(double* m) const;
  // Tone `tone`'s average split in two: the sums of its products over the newest `half`
  // samples and over the `half` before them (half <= Length()/2), as (cosine, -sine) pairs, so
  // a signal above the tone turns the newer ahead of the older. Once a symbol, not per sample.
  void HalfSums(int tone, uint32_t half, std::complex<double>& older, std::complex<double>& newer) const;
  // The same sum for a detector of phase step `step` that the bank does not run, over the
  // newest `samples` samples (at most Length()), its phase starting anywhere: only its
  // magnitude counts, against HalfSums'.
  std::complex<double> SumAt(int32_t step, uint32_t samples) const;
  // What the receiver forms once a symbol, in one pass over the ring: HalfSums of `tone`, and
  // SumAt of the steps `below` and `above` over the 2 x half samples of those halves.
  struct SymbolSums {
    std::complex<double> older, newer, below, above;
  };
  SymbolSums SumsAt(int tone, uint32_t half, int32_t below, int32_t above) const;

  int Tones() const {
    return tones_;
  }
  int Length() const {
    return static_cast<int>(length_);
  }
  int32_t StepOf(int tone) const {
    return static_cast<int32_t>(step_[tone]);
  }

 private:
  void Rebuild();
  // A ring entry's sine and cosine, as the table holds them.
  static int32_t SinOf(int32_t entry) {
    return entry >> 16;
  }
  static int32_t CosOf(int32_t entry) {
    return static_cast<int16_t>(static_cast<uint16_t>(entry));
  }

  // Sine and cosine of each phase in one 32-bit entry, the sine in the upper half.
  std::vector<int32_t> sinCos_;
  Kernel kernel_ = Best();
  int tones_ = 16;
  uint32_t length_ = 0;
  uint32_t pos_ = 0;
  alignas(64) std::array<uint32_t, kMaxTones> phase_{};
  alignas(64) std::array<uint32_t, kMaxTones> step_{};
  alignas(64) std::array<double, kMaxTones> sumI_{};
  alignas(64) std::array<double, kMaxTones> sumQ_{};
  // The last `length` samples: each one's table entries (a row of tones_), and its scale.
  std::vector<int32_t> entries_;
  std::vector<double> scales_;
};

template <int N>
inline void TMfskToneBank::StepN(double x) {
  const double c = x * 3.125e-5;  // x / 32000: the table's amplitude cancels
  int32_t* row = entries_.data() + static_cast<size_t>(pos_) * N;
  const double old = scales_[pos_];
  for (int d = 0; d < N; ++d) {
    const uint32_t ph = (phase_[d] + step_[d]) & SineTable::kMask;
    phase_[d] = ph;
    const int32_t now = sinCos_[ph];
    const int32_t was = row[d];
    sumI_[d] = sumI_[d] - SinOf(was) * old + SinOf(now) * c;
    sumQ_[d] = sumQ_[d] - CosOf(was) * old + CosOf(now) * c;
    row[d] = now;
  }
  scales_[pos_] = c;
  if (++pos_ == length_) {
    pos_ = 0;
    Rebuild();
  }
}

#if VESTREL_MFSK_SIMD
// A value the compiler must form as it stands: a product passed through this is rounded before
// it is added, never fused into a multiply-add (AVX-512 brings FMA, which would round once).
__attribute__((target("avx2"))) inline __m256d Rounded(__m256d v) {
  asm("" : "+x"(v));
  return v;
}
__attribute__((target("avx512f"))) inline __m512d Rounded(__m512d v) {
  asm("" : "+v"(v));
  return v;
}

// The lower (h = 0) or upper half of a vector of 32-bit values.
__attribute__((target("avx2"))) inline __m128i Half(__m256i v, int h) {
  return h ? _mm256_extracti128_si256(v, 1) : _mm256_castsi256_si128(v);
}
__attribute__((target("avx512f"))) inline __m256i Half(__m512i v, int h) {
  return h ? _mm512_extracti64x4_epi64(v, 1) : _mm512_castsi512_si256(v);
}

template <int N>
__attribute__((target("avx2"))) inline void TMfskToneBank::StepAvx2(double x) {
  static_assert(N % 8 == 0);
  const double cs = x * 3.125e-5;
  const __m256d c = _mm256_set1_pd(cs);
  const __m256d old = _mm256_set1_pd(scales_[pos_]);
  const __m256i mask = _mm256_set1_epi32(static_cast<int>(SineTable::kMask));
  int32_t* row = entries_.data() + static_cast<size_t>(pos_) * N;
  for (int d = 0; d < N; d += 8) {
    auto* phase = reinterpret_cast<__m256i*>(phase_.data() + d);
    const __m256i step = _mm256_load_si256(reinterpret_cast<const __m256i*>(step_.data() + d));
    const __m256i ph = _mm256_and_si256(_mm256_add_epi32(_mm256_load_si256(phase), step), mask);
    _mm256_store_si256(phase, ph);
    const __m256i now = _mm256_i32gather_epi32(sinCos_.data(), ph, 4);
    auto* slot = reinterpret_cast<__m256i*>(row + d);
    const __m256i was = _mm256_loadu_si256(slot);
    _mm256_storeu_si256(slot, now);
    const __m256i sinNow = _mm256_srai_epi32(now, 16);
    const __m256i cosNow = _mm256_srai_epi32(_mm256_slli_epi32(now, 16), 16);
    const __m256i sinWas = _mm256_srai_epi32(was, 16);
    const __m256i cosWas = _mm256_srai_epi32(_mm256_slli_epi32(was, 16), 16);
    for (int h = 0; h < 2; ++h) {
      double* si = sumI_.data() + d + 4 * h;
      double* sq = sumQ_.data() + d + 4 * h;
      const __m256d leaveI = Rounded(_mm256_mul_pd(_mm256_cvtepi32_pd(Half(sinWas, h)), old));
      const __m256d leaveQ = Rounded(_mm256_mul_pd(_mm256_cvtepi32_pd(Half(cosWas, h)), old));
      const __m256d enterI = Rounded(_mm256_mul_pd(_mm256_cvtepi32_pd(Half(sinNow, h)), c));
      const __m256d enterQ = Rounded(_mm256_mul_pd(_mm256_cvtepi32_pd(Half(cosNow, h)), c));
      _mm256_store_pd(si, _mm256_add_pd(_mm256_sub_pd(_mm256_load_pd(si), leaveI), enterI));
      _mm256_store_pd(sq, _mm256_add_pd(_mm256_sub_pd(_mm256_load_pd(sq), leaveQ), enterQ));
    }
  }
  scales_[pos_] = cs;
  if (++pos_ == length_) {
    pos_ = 0;
    Rebuild();
  }
}

template <int N>
__attribute__((target("avx512f"))) inline void TMfskToneBank::StepAvx512(double x) {
  static_assert(N % 16 == 0);
  const double cs = x * 3.125e-5;
  const __m512d c = _mm512_set1_pd(cs);
  const __m512d old = _mm512_set1_pd(scales_[pos_]);
  const __m512i mask = _mm512_set1_epi32(static_cast<int>(SineTable::kMask));
  int32_t* row = entries_.data() + static_cast<size_t>(pos_) * N;
  for (int d = 0; d < N; d += 16) {
    const __m512i step = _mm512_load_si512(step_.data() + d);
    const __m512i ph = _mm512_and_si512(_mm512_add_epi32(_mm512_load_si512(phase_.data() + d), step), mask);
    _mm512_store_si512(phase_.data() + d, ph);
    const __m512i now = _mm512_i32gather_epi32(ph, sinCos_.data(), 4);
    const __m512i was = _mm512_loadu_si512(row + d);
    _mm512_storeu_si512(row + d, now);
    const __m512i sinNow = _mm512_srai_epi32(now, 16);
    const __m512i cosNow = _mm512_srai_epi32(_mm512_slli_epi32(now, 16), 16);
    const __m512i sinWas = _mm512_srai_epi32(was, 16);
    const __m512i cosWas = _mm512_srai_epi32(_mm512_slli_epi32(was, 16), 16);
    for (int h = 0; h < 2; ++h) {
      double* si = sumI_.data() + d + 8 * h;
      double* sq = sumQ_.data() + d + 8 * h;
      const __m512d leaveI = Rounded(_mm512_mul_pd(_mm512_cvtepi32_pd(Half(sinWas, h)), old));
      const __m512d leaveQ = Rounded(_mm512_mul_pd(_mm512_cvtepi32_pd(Half(cosWas, h)), old));
      const __m512d enterI = Rounded(_mm512_mul_pd(_mm512_cvtepi32_pd(Half(sinNow, h)), c));
      const __m512d enterQ = Rounded(_mm512_mul_pd(_mm512_cvtepi32_pd(Half(cosNow, h)), c));
      _mm512_store_pd(si, _mm512_add_pd(_mm512_sub_pd(_mm512_load_pd(si), leaveI), enterI));
      _mm512_store_pd(sq, _mm512_add_pd(_mm512_sub_pd(_mm512_load_pd(sq), leaveQ), enterQ));
    }
  }
  scales_[pos_] = cs;
  if (++pos_ == length_) {
    pos_ = 0;
    Rebuild();
  }
}
#endif

}  // namespace vestrel
