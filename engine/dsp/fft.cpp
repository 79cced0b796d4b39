#include "engine/dsp/fft.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vestrel {

// cos and -sin of pi / 2^k, rounded to float; k = 0 and 1 exact.
const float FftTwiddleSeeds[2][14] = {
    {-1.0f, 0.0f, 0.707106769f, 0.923879504f, 0.980785251f, 0.99518472f, 0.99879545f, 0.999698818f,
     0.999924719f, 0.999981165f, 0.999995291f, 0.999998808f, 0.999999702f, 0.99999994f},
    {0.0f, -1.0f, -0.707106769f, -0.382683426f, -0.195090324f, -0.0980171412f, -0.0490676761f, -0.024541229f,
     -0.0122715384f, -0.00613588467f, -0.00306795677f, -0.00153398013f, -0.000766990299f, -0.000383495179f}};

int Log2PowerOfTwo(int n) {
  for (int k = 2; k <= 14; ++k)
    if (n == (1 << k)) return k;
  return -1;
}

namespace {

// The twiddles of every stage, as the recurrence produces them: a stage of span 2^(k+1) starts
// at w = 1 and multiplies by the seed of k once per butterfly column, in float, so column j holds
// the very value the rotating twiddle has there. They depend on k and the direction only, not
// on the transform size; kept for k = 0..13, entries 2^k - 1 .. 2^(k+1) - 2 for k.
struct Twiddles {
  static constexpr int kEntries = (1 << 14) - 1;
  std::array<float, kEntries> re{};
  std::array<float, kEntries> im{};

  explicit Twiddles(int direction) {
    for (int k = 0; k < 14; ++k) {
      const float seedRe = FftTwiddleSeeds[0][k];
      const float seedIm = direction < 0 ? FftTwiddleSeeds[1][k] : -FftTwiddleSeeds[1][k];
      float wRe = 1.0f;
      float wIm = 0.0f;
      const int first = (1 << k) - 1;
      for (int j = 0; j < (1 << k); ++j) {
        re[first + j] = wRe;
        im[first + j] = wIm;
        const float t = wRe * seedRe - wIm * seedIm;
        wIm = wRe * seedIm + wIm * seedRe;
        wRe = t;
      }
    }
  }
};

// W butterflies side by side (columns j..j+W-1): in SSE registers, or AVX ones where the
// stage loop is built for them. No multiply-add is fused: every product is rounded on its own,
// so each lane is the scalar butterfly.
template <int W>
inline void ButterflyColumns(float* ra, float* ia, float* rb, float* ib, const float* wr, const float* wi) {
  typedef float V __attribute__((vector_size(4 * W)));
  V xa, ya, xb, yb, c, d;
  std::memcpy(&xa, ra, sizeof xa);
  std::memcpy(&ya, ia, sizeof ya);
  std::memcpy(&xb, rb, sizeof xb);
  std::memcpy(&yb, ib, sizeof yb);
  std::memcpy(&c, wr, sizeof c);
  std::memcpy(&d, wi, sizeof d);
  const V dRe = xa - xb;
  const V dIm = ya - yb;
  xa = xa + xb;
  ya = ya + yb;
  xb = dRe * c - dIm * d;
  yb = dRe * d + dIm * c;
  std::memcpy(ra, &xa, sizeof xa);
  std::memcpy(ia, &ya, sizeof ya);
  std::memcpy(rb, &xb, sizeof xb);
  std::memcpy(ib, &yb, sizeof yb);
}

// The stages from span n down to span 2 x lastHalf, column by column within each group of
// span 2 x half: the same operations on the same values as the column-major order, each
// rounded to float at its store. Built twice: with AVX (eight columns at a time; AVX has no
// fused multiply-add, so the rounding is the same) and for any x86-64.
#if defined(__x86_64__) && !defined(__SANITIZE_THREAD__)
__attribute__((target_clones("avx", "default")))
#endif
void Stages(float* re, float* im, int n, int lastHalf, const float* twRe, const float* twIm) {
  for (int half = n / 2; half >= lastHalf; half /= 2) {
    const float* wRe = twRe + (half - 1);
    const float* wIm = twIm + (half - 1);
    for (int a0 = 0; a0 < n; a0 += 2 * half) {
      float* ra = re + a0;
      float* ia = im + a0;
      float* rb = ra + half;
      float* ib = ia + half;
      int j = 0;
      for (; j + 8 <= half; j += 8) ButterflyColumns<8>(ra + j, ia + j, rb + j, ib + j, wRe + j, wIm + j);
      for (; j + 4 <= half; j += 4) ButterflyColumns<4>(ra + j, ia + j, rb + j, ib + j, wRe + j, wIm + j);
      for (; j < half; ++j) {
        const float dRe = ra[j] - rb[j];
        const float dIm = ia[j] - ib[j];
        ra[j] = ra[j] + rb[j];
        ia[j] = ia[j] + ib[j];
        rb[j] = dRe * wRe[j] - dIm * wIm[j];
        ib[j] = dRe * wIm[j] + dIm * wRe[j];
      }
    }
  }
}

#if defined(__SSE2__)
// The butterflies of the last two stages: in every group of four the pairs (0, 2) and (1, 3)
// with the twiddles of span 4, then in every pair (0, 1) the twiddle of span 2; the values are
// regrouped in registers so that each butterfly is the scalar one, lane by lane.
inline void ButterflySse(__m128& ar, __m128& ai, __m128& br, __m128& bi, __m128 wr, __m128 wi) {
  const __m128 dRe = _mm_sub_ps(ar, br);
  const __m128 dIm = _mm_sub_ps(ai, bi);
  ar = _mm_add_ps(ar, br);
  ai = _mm_add_ps(ai, bi);
  br = _mm_sub_ps(_mm_mul_ps(dRe, wr), _mm_mul_ps(dIm, wi));
  bi = _mm_add_ps(_mm_mul_ps(dRe, wi), _mm_mul_ps(dIm, wr));
}

void LastTwoStages(float* re, float* im, int n, const Twiddles& tw) {
  const __m128 w4r = _mm_setr_ps(tw.re[1], tw.re[2], tw.re[1], tw.re[2]);
  const __m128 w4i = _mm_setr_ps(tw.im[1], tw.im[2], tw.im[1], tw.im[2]);
  const __m128 w2r = _mm_set1_ps(tw.re[0]);
  const __m128 w2i = _mm_set1_ps(tw.im[0]);
  for (int a0 = 0; a0 < n; a0 += 8) {
    __m128 r0 = _mm_loadu_ps(re + a0);
    __m128 r1 = _mm_loadu_ps(re + a0 + 4);
    __m128 i0 = _mm_loadu_ps(im + a0);
    __m128 i1 = _mm_loadu_ps(im + a0 + 4);
    // Span 4: a = elements 0, 1 of each group, b = elements 2, 3.
    __m128 ar = _mm_movelh_ps(r0, r1);
    __m128 br = _mm_movehl_ps(r1, r0);
    __m128 ai = _mm_movelh_ps(i0, i1);
    __m128 bi = _mm_movehl_ps(i1, i0);
    ButterflySse(ar, ai, br, bi, w4r, w4i);
    r0 = _mm_movelh_ps(ar, br);
    r1 = _mm_movehl_ps(br, ar);
    i0 = _mm_movelh_ps(ai, bi);
    i1 = _mm_movehl_ps(bi, ai);
    // Span 2: a = the even elements, b = the odd.
    ar = _mm_shuffle_ps(r0, r1, _MM_SHUFFLE(2, 0, 2, 0));
    br = _mm_shuffle_ps(r0, r1, _MM_SHUFFLE(3, 1, 3, 1));
    ai = _mm_shuffle_ps(i0, i1, _MM_SHUFFLE(2, 0, 2, 0));
    bi = _mm_shuffle_ps(i0, i1, _MM_SHUFFLE(3, 1, 3, 1));
    ButterflySse(ar, ai, br, bi, w2r, w2i);
    _mm_storeu_ps(re + a0, _mm_unpacklo_ps(ar, br));
    _mm_storeu_ps(re + a0 + 4, _mm_unpackhi_ps(ar, br));
    _mm_storeu_ps(im + a0, _mm_unpacklo_ps(ai, bi));
    _mm_storeu_ps(im + a0 + 4, _mm_unpackhi_ps(ai, bi));
  }
}
#endif

// Bytes with their bits in reverse order.
constexpr std::array<uint8_t, 256> ReversedBytes() {
  std::array<uint8_t, 256> t{};
  for (int i = 0; i < 256; ++i) {
    int r = 0;
    for (int b = 0; b < 8; ++b)
      if (i & (1 << b)) r |= 1 << (7 - b);
    t[i] = static_cast<uint8_t>(r);
  }
  return t;
}
constexpr std::array<uint8_t, 256> kReversedBytes = ReversedBytes();

const Twiddles& TwiddlesFor(int direction) {
  static const Twiddles forward(-1);
  static const Twiddles inverse(1);
  return direction < 0 ? forward : inverse;
}

}  // namespace

int ComplexFft(float* re, float* im, int n, int log2N, int direction) {
  if (re == nullptr || im == nullptr) return 0;
  if (direction != -1 && direction != 1) return 0;
  if (log2N < 2 || log2N > 14 || n != (1 << log2N)) return 0;

  const Twiddles& tw = TwiddlesFor(direction);
#if defined(__SSE2__)
  // The last two stages (spans 4 and 2) together, eight values at a time.
  const int lastHalf = n >= 8 ? 4 : 1;
#else
  const int lastHalf = 1;
#endif
  Stages(re, im, n, lastHalf, tw.re.data(), tw.im.data());
#if defined(__SSE2__)
  if (lastHalf == 4) LastTwoStages(re, im, n, tw);
#endif

  // Bit-reversal permutation.
  const int drop = 16 - log2N;
  for (int i = 1; i < n; ++i) {
    const int j = static_cast<int>(((kReversedBytes[i & 0xFF] << 8) | kReversedBytes[i >> 8]) >> drop);
    if (i < j) {
      std::swap(re[i], re[j]);
      std::swap(im[i], im[j]);
    }
  }

  if (direction > 0) {
    const float scale = 1.0f / static_cast<float>(n);
    for (int i = 0; i < n; ++i) {
      re[i] *= scale;
      im[i] *= scale;
    }
  }
  return 1;
}

int RealFft(int n, const float* src, float* re, float* im) {
  const int log2N = Log2PowerOfTwo(n);
  if (log2N < 2 || src == nullptr || re == nullptr || im == nullptr) return 0;
  if (src != re) std::copy(src, src + n, re);
  std::fill(im, im + n, 0.0f);
  return ComplexFft(re, im, n, log2N, -1);
}

}  // namespace vestrel
