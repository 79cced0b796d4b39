#include "engine/dsp/fft.h"

#include <algorithm>
#include <array>
#include <utility>

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
  for (int half = n / 2; half >= 1; half /= 2) {
    const float* wRe = tw.re.data() + (half - 1);
    const float* wIm = tw.im.data() + (half - 1);
    // Butterflies column by column within each group of span 2 x half: the same operations on
    // the same values as the column-major order, each rounded to float at its store.
    for (int a0 = 0; a0 < n; a0 += 2 * half) {
      float* ra = re + a0;
      float* ia = im + a0;
      float* rb = ra + half;
      float* ib = ia + half;
      for (int j = 0; j < half; ++j) {
        const float dRe = ra[j] - rb[j];
        const float dIm = ia[j] - ib[j];
        ra[j] = ra[j] + rb[j];
        ia[j] = ia[j] + ib[j];
        rb[j] = dRe * wRe[j] - dIm * wIm[j];
        ib[j] = dRe * wIm[j] + dIm * wRe[j];
      }
    }
  }

  // Bit-reversal permutation with a running reversed index j (1-based).
  int j = 1;
  for (int i = 1; i < n; ++i) {
    if (i < j) {
      std::swap(re[i - 1], re[j - 1]);
      std::swap(im[i - 1], im[j - 1]);
    }
    int step = n / 2;
    while (step < j) {
      j -= step;
      step /= 2;
    }
    j += step;
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
