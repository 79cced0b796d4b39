#include "engine/modes/ps33x5/hop_transform.h"

#include <cmath>
#include <cstring>
#include <numbers>

#include "engine/dsp/block_clones.h"

namespace vestrel {

namespace {

// W columns of butterflies side by side in vector registers (unaligned loads and stores).
// zeros: b is padding, so a stays and b becomes a times the twiddle.
template <int W, bool Zeros>
inline void Columns(float* ar, float* ai, float* br, float* bi, const float* wr, const float* wi) {
  typedef float V __attribute__((vector_size(4 * W)));
  V xr, xi, yr, yi, c, d;
  std::memcpy(&xr, ar, sizeof xr);
  std::memcpy(&xi, ai, sizeof xi);
  std::memcpy(&c, wr, sizeof c);
  std::memcpy(&d, wi, sizeof d);
  if constexpr (Zeros) {
    yr = xr * c - xi * d;
    yi = xr * d + xi * c;
  } else {
    std::memcpy(&yr, br, sizeof yr);
    std::memcpy(&yi, bi, sizeof yi);
    const V dr = xr - yr;
    const V di = xi - yi;
    xr = xr + yr;
    xi = xi + yi;
    std::memcpy(ar, &xr, sizeof xr);
    std::memcpy(ai, &xi, sizeof xi);
    yr = dr * c - di * d;
    yi = dr * d + di * c;
  }
  std::memcpy(br, &yr, sizeof yr);
  std::memcpy(bi, &yi, sizeof yi);
}

template <bool Zeros>
inline void Stage(float* re, float* im, int m, int half, const float* wr, const float* wi) {
  for (int base = 0; base < m; base += 2 * half) {
    float* ar = re + base;
    float* ai = im + base;
    if (half >= 8) {
      for (int j = 0; j < half; j += 8) Columns<8, Zeros>(ar + j, ai + j, ar + half + j, ai + half + j, wr + j, wi + j);
    } else {
      Columns<4, Zeros>(ar, ai, ar + 4, ai + 4, wr, wi);
    }
  }
}

// The decimation-in-frequency stages on re/im of length m (16 or more), the first `zeroStages`
// of them seeing padding in every second half. The last two (halves 2 and 1) go together
// without multiplications: their twiddles are 1 and -i. Outputs stay in bit-reversed order.
VESTREL_BLOCK_CLONES void Stages(float* re, float* im, int m, int zeroStages, const float* twRe, const float* twIm) {
  int stage = 0;
  for (int half = m / 2; half >= 4; half /= 2, ++stage) {
    if (stage < zeroStages) {
      Stage<true>(re, im, m, half, twRe + (half - 1), twIm + (half - 1));
    } else {
      Stage<false>(re, im, m, half, twRe + (half - 1), twIm + (half - 1));
    }
  }
  for (int g = 0; g < m; g += 4) {
    float* r = re + g;
    float* i = im + g;
    const float a0r = r[0] + r[2], a0i = i[0] + i[2];
    const float a2r = r[0] - r[2], a2i = i[0] - i[2];
    const float a1r = r[1] + r[3], a1i = i[1] + i[3];
    const float a3r = i[1] - i[3], a3i = r[3] - r[1];  // (x1 - x3) times -i
    r[0] = a0r + a1r;
    i[0] = a0i + a1i;
    r[1] = a0r - a1r;
    i[1] = a0i - a1i;
    r[2] = a2r + a3r;
    i[2] = a2i + a3i;
    r[3] = a2r - a3r;
    i[3] = a2i - a3i;
  }
}

VESTREL_BLOCK_CLONES void Untangle(const float* ar, const float* ai, const float* br, const float* bi, const float* wr,
                                 const float* wi, float* re, float* im, int count) {
  for (int i = 0; i < count; ++i) {
    const float er = 0.5f * (ar[i] + br[i]), ei = 0.5f * (ai[i] + bi[i]);
    const float orr = 0.5f * (ai[i] - bi[i]), oi = -0.5f * (ar[i] - br[i]);
    re[i] = er + wr[i] * orr - wi[i] * oi;
    im[i] = ei + wr[i] * oi + wi[i] * orr;
  }
}

// The plain stages for sizes below 16.
void SmallStages(float* re, float* im, int m, int zeroStages, const float* twRe, const float* twIm) {
  int stage = 0;
  for (int half = m / 2; half >= 1; half /= 2, ++stage) {
    const float* wr = twRe + (half - 1);
    const float* wi = twIm + (half - 1);
    for (int base = 0; base < m; base += 2 * half) {
      for (int j = 0; j < half; ++j) {
        float* ar = re + base + j;
        float* ai = im + base + j;
        float* br = ar + half;
        float* bi = ai + half;
        const float xr = *ar, xi = *ai;
        const float yr = stage < zeroStages ? 0.0f : *br, yi = stage < zeroStages ? 0.0f : *bi;
        const float dr = xr - yr, di = xi - yi;
        *ar = xr + yr;
        *ai = xi + yi;
        *br = dr * wr[j] - di * wi[j];
        *bi = dr * wi[j] + di * wr[j];
      }
    }
  }
}

}  // namespace

bool TPs33x5HopTransform::Setup(int n, int window) {
  int log2n = -1;
  for (int k = 3; k <= 14; ++k)
    if (n == (1 << k)) log2n = k;
  if (log2n < 0 || window < 2 || window > n || (window & 1) != 0) return false;
  n_ = n;
  window_ = window;
  m_ = n / 2;
  log2M_ = log2n - 1;
  // The complex input is window / 2 long; while a stage's half reaches past it, the half of
  // every group is zeros.
  zeroStages_ = 0;
  for (int half = m_ / 2; half >= window / 2 && half >= 1; half /= 2) ++zeroStages_;
  zr_.assign(m_, 0.0f);
  zi_.assign(m_, 0.0f);
  twRe_.assign(m_, 0.0f);
  twIm_.assign(m_, 0.0f);
  for (int half = 1; half < m_; half *= 2) {
    for (int j = 0; j < half; ++j) {
      const double a = std::numbers::pi * j / half;
      twRe_[half - 1 + j] = static_cast<float>(std::cos(a));
      twIm_[half - 1 + j] = static_cast<float>(-std::sin(a));
    }
  }
  splitRe_.assign(m_, 0.0f);
  splitIm_.assign(m_, 0.0f);
  for (int k = 0; k < m_; ++k) {
    const double a = 2.0 * std::numbers::pi * k / n;
    splitRe_[k] = static_cast<float>(std::cos(a));
    splitIm_[k] = static_cast<float>(-std::sin(a));
  }
  gather_.assign(4 * static_cast<size_t>(m_), 0.0f);
  reversed_.assign(m_, 0);
  for (int k = 0; k < m_; ++k) {
    uint32_t r = 0;
    for (int b = 0; b < log2M_; ++b)
      if (k & (1 << b)) r |= 1u << (log2M_ - 1 - b);
    reversed_[k] = r;
  }
  return true;
}

void TPs33x5HopTransform::Run(const float* samples, int first, int last, float* re, float* im) {
  const int half = window_ / 2;
  for (int j = 0; j < half; ++j) {
    zr_[j] = samples[2 * j];
    zi_[j] = samples[2 * j + 1];
  }
  // The padding the first stage reads (its second half, which the zero stages skip, is
  // written before it is read).
  const int filled = zeroStages_ > 0 ? m_ / 2 : m_;
  for (int j = half; j < filled; ++j) zr_[j] = zi_[j] = 0.0f;
  if (m_ >= 16) {
    Stages(zr_.data(), zi_.data(), m_, zeroStages_, twRe_.data(), twIm_.data());
  } else {
    SmallStages(zr_.data(), zi_.data(), m_, zeroStages_, twRe_.data(), twIm_.data());
  }
  // X[k] = E + w^k O with E = (Z[k] + conj Z[m - k]) / 2, O = -i (Z[k] - conj Z[m - k]) / 2:
  // the bins gathered from their bit-reversed places, then the arithmetic in one sweep.
  const int count = last - first + 1;
  float* ar = gather_.data();
  float* ai = ar + m_;
  float* br = ai + m_;
  float* bi = br + m_;
  for (int i = 0; i < count; ++i) {
    const int k = first + i;
    const uint32_t a = reversed_[k];
    const uint32_t b = reversed_[(m_ - k) & (m_ - 1)];
    ar[i] = zr_[a];
    ai[i] = zi_[a];
    br[i] = zr_[b];
    bi[i] = -zi_[b];
  }
  Untangle(ar, ai, br, bi, splitRe_.data() + first, splitIm_.data() + first, re + first, im + first, count);
}

}  // namespace vestrel
