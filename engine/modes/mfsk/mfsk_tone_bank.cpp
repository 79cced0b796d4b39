#include "engine/modes/mfsk/mfsk_tone_bank.h"

#include <algorithm>
#include <cmath>

#include "engine/dsp/quad_detector.h"
#include "engine/dsp/reqt_filter.h"

namespace vestrel {

TMfskToneBank::TMfskToneBank(const SineTable& sine) : sinCos_(SineTable::kSize) {
  for (uint32_t j = 0; j < SineTable::kSize; ++j)
    sinCos_[j] =
        static_cast<int32_t>((static_cast<uint32_t>(sine.Sin(j)) << 16) | static_cast<uint16_t>(sine.Cos(j)));
}

TMfskToneBank::Kernel TMfskToneBank::Best() {
#if VESTREL_MFSK_SIMD
  static const Kernel best = __builtin_cpu_supports("avx512f") ? Kernel::kAvx512
                             : __builtin_cpu_supports("avx2")  ? Kernel::kAvx2
                                                               : Kernel::kPlain;
  return best;
#else
  return Kernel::kPlain;
#endif
}

bool TMfskToneBank::Supported(Kernel kernel) {
  switch (kernel) {
    case Kernel::kAvx512:
      return Best() == Kernel::kAvx512;
    case Kernel::kAvx2:
      return Best() != Kernel::kPlain;
    case Kernel::kPlain:
      break;
  }
  return true;
}

bool TMfskToneBank::SetKernel(Kernel kernel) {
  if (!Supported(kernel)) return false;
  kernel_ = kernel;
  return true;
}

bool TMfskToneBank::SetLength(int tones, int length) {
  if ((tones != 16 && tones != 32) || length < 1 || length > TReqtFilter::kMaxLength) return false;
  tones_ = tones;
  length_ = static_cast<uint32_t>(length);
  entries_.assign(static_cast<size_t>(length_) * static_cast<size_t>(tones_), 0);
  scales_.assign(length_, 0.0);
  Reset();
  return true;
}

void TMfskToneBank::SetStep(int tone, int32_t step) {
  if (tone >= 0 && tone < kMaxTones) step_[tone] = static_cast<uint32_t>(step);
}

// An empty ring holds products of 0: entry 0 (sine and cosine 0) at scale 0.
void TMfskToneBank::Reset() {
  std::fill(entries_.begin(), entries_.end(), 0);
  std::fill(scales_.begin(), scales_.end(), 0.0);
  pos_ = 0;
  phase_.fill(0);
  sumI_.fill(0.0);
  sumQ_.fill(0.0);
}

void TMfskToneBank::HalfSums(int tone, uint32_t half, std::complex<double>& older,
                             std::complex<double>& newer) const {
  older = newer = {};
  if (tone < 0 || tone >= tones_ || length_ == 0) return;
  half = std::min(half, length_ / 2);
  double s[2] = {0.0, 0.0}, c[2] = {0.0, 0.0};
  uint32_t r = pos_;
  for (uint32_t k = 0; k < 2 * half; ++k) {
    r = r == 0 ? length_ - 1 : r - 1;  // newest first
    const int32_t e =
        entries_[static_cast<size_t>(r) * static_cast<size_t>(tones_) + static_cast<size_t>(tone)];
    const int h = k < half ? 1 : 0;
    s[h] += SinOf(e) * scales_[r];
    c[h] += CosOf(e) * scales_[r];
  }
  older = {c[0], -s[0]};
  newer = {c[1], -s[1]};
}

std::complex<double> TMfskToneBank::SumAt(int32_t step, uint32_t samples) const {
  if (length_ == 0) return {};
  samples = std::min(samples, length_);
  double s = 0.0, c = 0.0;
  uint32_t r = pos_, ph = 0;
  for (uint32_t k = 0; k < samples; ++k) {
    r = r == 0 ? length_ - 1 : r - 1;
    ph = (ph - static_cast<uint32_t>(step)) & SineTable::kMask;  // newest first: backwards
    s += SinOf(sinCos_[ph]) * scales_[r];
    c += CosOf(sinCos_[ph]) * scales_[r];
  }
  return {c, -s};
}

TMfskToneBank::SymbolSums TMfskToneBank::SumsAt(int tone, uint32_t half, int32_t below, int32_t above) const {
  SymbolSums out;
  if (tone < 0 || tone >= tones_ || length_ == 0) return out;
  half = std::min(half, length_ / 2);
  double s[2] = {0.0, 0.0}, c[2] = {0.0, 0.0};
  double bs = 0.0, bc = 0.0, as = 0.0, ac = 0.0;
  uint32_t pb = 0, pa = 0;
  const uint32_t db = static_cast<uint32_t>(below), da = static_cast<uint32_t>(above);
  const int32_t* column = entries_.data() + tone;
  const size_t stride = static_cast<size_t>(tones_);
  // Newest first, in the ring's two runs (below pos_, then from its end down).
  uint32_t k = 0;
  for (const uint32_t top : {pos_, length_}) {
    for (uint32_t r = top; r-- > (top == pos_ ? 0u : pos_) && k < 2 * half; ++k) {
      const double sc = scales_[r];
      const int32_t e = column[r * stride];
      const int h = k < half ? 1 : 0;
      s[h] += SinOf(e) * sc;
      c[h] += CosOf(e) * sc;
      pb = (pb - db) & SineTable::kMask;
      pa = (pa - da) & SineTable::kMask;
      const int32_t eb = sinCos_[pb], ea = sinCos_[pa];
      bs += SinOf(eb) * sc;
      bc += CosOf(eb) * sc;
      as += SinOf(ea) * sc;
      ac += CosOf(ea) * sc;
    }
  }
  out.older = {c[0], -s[0]};
  out.newer = {c[1], -s[1]};
  out.below = {bc, -bs};
  out.above = {ac, -as};
  return out;
}

namespace {

// Each sum formed afresh from its products, oldest first: sin[d] and cos[d] over the rows.
template <int N>
void SumRows(const int32_t* entries, const double* scales, uint32_t rows, double* sin, double* cos) {
  std::array<double, N> si{};
  std::array<double, N> sq{};
  for (uint32_t j = 0; j < rows; ++j, entries += N) {
    const double c = scales[j];
    for (int d = 0; d < N; ++d) {
      si[d] += (entries[d] >> 16) * c;
      sq[d] += static_cast<int16_t>(static_cast<uint16_t>(entries[d])) * c;
    }
  }
  std::copy(si.begin(), si.end(), sin);
  std::copy(sq.begin(), sq.end(), cos);
}

#if VESTREL_MFSK_SIMD
// SumRows eight (sixteen) detectors at a time, a group of G of them per pass over the rows, with
// the sums in registers.
template <int N, int G>
__attribute__((target("avx2"))) void SumRowsAvx2(const int32_t* entries, const double* scales, uint32_t rows,
                                                 double* sin, double* cos) {
  static_assert(N % G == 0 && G % 8 == 0);
  for (int g = 0; g < N; g += G) {
    __m256d si[G / 4], sq[G / 4];
    for (int k = 0; k < G / 4; ++k) si[k] = sq[k] = _mm256_setzero_pd();
    const int32_t* e = entries + g;
    for (uint32_t j = 0; j < rows; ++j, e += N) {
      const __m256d c = _mm256_set1_pd(scales[j]);
      for (int d = 0; d < G; d += 8) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(e + d));
        const __m256i vs = _mm256_srai_epi32(v, 16);
        const __m256i vc = _mm256_srai_epi32(_mm256_slli_epi32(v, 16), 16);
        for (int h = 0; h < 2; ++h) {
          const int k = d / 4 + h;
          si[k] = _mm256_add_pd(si[k], Rounded(_mm256_mul_pd(_mm256_cvtepi32_pd(Half(vs, h)), c)));
          sq[k] = _mm256_add_pd(sq[k], Rounded(_mm256_mul_pd(_mm256_cvtepi32_pd(Half(vc, h)), c)));
        }
      }
    }
    for (int k = 0; k < G / 4; ++k) {
      _mm256_storeu_pd(sin + g + 4 * k, si[k]);
      _mm256_storeu_pd(cos + g + 4 * k, sq[k]);
    }
  }
}

template <int N>
__attribute__((target("avx512f"))) void SumRowsAvx512(const int32_t* entries, const double* scales,
                                                      uint32_t rows, double* sin, double* cos) {
  static_assert(N % 16 == 0);
  __m512d si[N / 8], sq[N / 8];
  for (int k = 0; k < N / 8; ++k) si[k] = sq[k] = _mm512_setzero_pd();
  for (uint32_t j = 0; j < rows; ++j, entries += N) {
    const __m512d c = _mm512_set1_pd(scales[j]);
    for (int d = 0; d < N; d += 16) {
      const __m512i v = _mm512_loadu_si512(entries + d);
      const __m512i vs = _mm512_srai_epi32(v, 16);
      const __m512i vc = _mm512_srai_epi32(_mm512_slli_epi32(v, 16), 16);
      for (int h = 0; h < 2; ++h) {
        const int k = d / 8 + h;
        si[k] = _mm512_add_pd(si[k], Rounded(_mm512_mul_pd(_mm512_cvtepi32_pd(Half(vs, h)), c)));
        sq[k] = _mm512_add_pd(sq[k], Rounded(_mm512_mul_pd(_mm512_cvtepi32_pd(Half(vc, h)), c)));
      }
    }
  }
  for (int k = 0; k < N / 8; ++k) {
    _mm512_storeu_pd(sin + 8 * k, si[k]);
    _mm512_storeu_pd(cos + 8 * k, sq[k]);
  }
}

template <int N>
__attribute__((target("avx2"))) void ProcessAvx2(TMfskToneBank& bank, std::span<const float> x) {
  for (const float v : x) bank.StepAvx2<N>(v);
}

template <int N>
__attribute__((target("avx512f"))) void ProcessAvx512(TMfskToneBank& bank, std::span<const float> x) {
  for (const float v : x) bank.StepAvx512<N>(v);
}
#endif

}  // namespace

// Once a length, each sum is formed afresh from its ring in the order a TReqtFilter adds it
// (oldest slot first), so rounding never accumulates and the sums stay those of the detectors.
void TMfskToneBank::Rebuild() {
  auto sum = tones_ == 16 ? SumRows<16> : SumRows<32>;
#if VESTREL_MFSK_SIMD
  if (kernel_ == Kernel::kAvx2) sum = tones_ == 16 ? SumRowsAvx2<16, 16> : SumRowsAvx2<32, 16>;
  if (kernel_ == Kernel::kAvx512) sum = tones_ == 16 ? SumRowsAvx512<16> : SumRowsAvx512<32>;
#endif
  sum(entries_.data(), scales_.data(), length_, sumI_.data(), sumQ_.data());
}

void TMfskToneBank::Process(std::span<const float> x) {
#if VESTREL_MFSK_SIMD
  const Kernel k = kernel_;
  if (k == Kernel::kAvx512 && tones_ == 16) return ProcessAvx512<16>(*this, x);
  if (k == Kernel::kAvx512 && tones_ == 32) return ProcessAvx512<32>(*this, x);
  if (k == Kernel::kAvx2 && tones_ == 16) return ProcessAvx2<16>(*this, x);
  if (k == Kernel::kAvx2 && tones_ == 32) return ProcessAvx2<32>(*this, x);
#endif
  for (const float v : x) Step(v);
}

void TMfskToneBank::Magnitudes(double* m) const {
  const double len = static_cast<double>(length_);
  for (int d = 0; d < tones_; ++d) {
    const double i = sumI_[d] / len;
    const double q = sumQ_[d] / len;
    const double p = i * i + q * q;
    m[d] = p >= TQuadDetector::kFloor ? std::sqrt(p) : 0.0;
  }
}

}  // namespace vestrel
