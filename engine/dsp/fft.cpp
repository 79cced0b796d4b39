#include "engine/dsp/fft.h"

#include <algorithm>
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

int ComplexFft(float* re, float* im, int n, int log2N, int direction) {
  if (re == nullptr || im == nullptr) return 0;
  if (direction != -1 && direction != 1) return 0;
  if (log2N < 2 || log2N > 14 || n != (1 << log2N)) return 0;

  int span = n;
  for (int s = 1; s <= log2N; ++s) {
    const int half = span / 2;
    const float seedRe = FftTwiddleSeeds[0][log2N - s];
    const float seedIm = direction < 0 ? FftTwiddleSeeds[1][log2N - s] : -FftTwiddleSeeds[1][log2N - s];
    float wRe = 1.0f;
    float wIm = 0.0f;
    for (int j = 0; j < half; ++j) {
      for (int a = j; a < n; a += span) {
        const int b = a + half;
        const float dRe = re[a] - re[b];
        const float dIm = im[a] - im[b];
        re[a] = re[a] + re[b];
        im[a] = im[a] + im[b];
        re[b] = dRe * wRe - dIm * wIm;
        im[b] = dRe * wIm + dIm * wRe;
      }
      const float t = wRe * seedRe - wIm * seedIm;
      wIm = wRe * seedIm + wIm * seedRe;
      wRe = t;
    }
    span = half;
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
