#include "engine/dsp/fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

namespace vestrel {
namespace {

constexpr double kPi = 3.14159265358979323846;

// One bin of the double-precision DFT of x.
std::complex<double> DftBin(const std::vector<float>& re, const std::vector<float>& im, int k) {
  const int n = static_cast<int>(re.size());
  std::complex<double> sum = 0.0;
  for (int j = 0; j < n; ++j) {
    // (j * k) mod n keeps the angle small so the reference itself stays exact to 1e-15.
    const double angle = -2.0 * kPi * static_cast<double>((static_cast<long long>(j) * k) % n) / n;
    sum += std::complex<double>(re[j], im[j]) * std::polar(1.0, angle);
  }
  return sum;
}

std::vector<float> Noise(int n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> u(-1.0f, 1.0f);
  std::vector<float> v(n);
  for (float& x : v) x = u(rng);
  return v;
}

double ErrorBound(int n) {
  return 1e-6 + n / 2.0 * std::ldexp(1.0, -24);
}

TEST(FftTwiddleSeeds, AreCosAndMinusSinOfPiOverPowersOfTwo) {
  for (int k = 2; k < 14; ++k) {
    EXPECT_EQ(FftTwiddleSeeds[0][k], static_cast<float>(std::cos(kPi / (1 << k)))) << k;
    EXPECT_EQ(FftTwiddleSeeds[1][k], static_cast<float>(-std::sin(kPi / (1 << k)))) << k;
  }
}

TEST(Log2PowerOfTwo, AcceptsFourTo16384Only) {
  EXPECT_EQ(Log2PowerOfTwo(4), 2);
  EXPECT_EQ(Log2PowerOfTwo(2048), 11);
  EXPECT_EQ(Log2PowerOfTwo(16384), 14);
  for (int n : {-4, 0, 1, 2, 3, 6, 2047, 2049, 32768, 1 << 30}) EXPECT_EQ(Log2PowerOfTwo(n), -1) << n;
}

// Every length 4..16384 against the double DFT, complex noise in [-1, 1]. Each stage builds
// its twiddle by repeated rotation with a float seed whose angle and length are off by up to
// 2^-24, so the twiddle of column j is off by up to j x 2^-24: N/2 x 2^-24 in the last column
// of the first stage, N/4 x 2^-24 on average. Held to 1e-6 (the plain rounding of log2N stages
// of float butterflies) plus N/2 x 2^-24 relative to the RMS magnitude sqrt(2N/3); the runs
// show 5 to 10 times less.
TEST(ComplexFft, MatchesDoubleDftAtEveryLength) {
  for (int log2N = 2; log2N <= 14; ++log2N) {
    const int n = 1 << log2N;
    std::vector<float> re = Noise(n, 1 + log2N), im = Noise(n, 100 + log2N);
    const std::vector<float> re0 = re, im0 = im;
    ASSERT_EQ(ComplexFft(re.data(), im.data(), n, log2N, -1), 1);
    // All bins up to N = 1024, then 97 spread bins plus the edges (the reference is O(N) a bin).
    const int stride = n <= 1024 ? 1 : n / 97;
    double errSq = 0.0;
    int bins = 0;
    for (int k = 0; k < n; k += stride) {
      for (int kk : {k, n - 1 - k}) {
        const std::complex<double> want = DftBin(re0, im0, kk);
        errSq += std::norm(want - std::complex<double>(re[kk], im[kk]));
        ++bins;
      }
    }
    const double rmsErr = std::sqrt(errSq / bins);
    const double rmsMag = std::sqrt(2.0 * n / 3.0);
    EXPECT_LT(rmsErr / rmsMag, ErrorBound(n)) << "N = " << n;
  }
}

// Forward then inverse returns the input: the round trip at most doubles the error above.
TEST(ComplexFft, ForwardThenInverseIsIdentity) {
  for (int log2N = 2; log2N <= 14; ++log2N) {
    const int n = 1 << log2N;
    std::vector<float> re = Noise(n, 7 * log2N), im = Noise(n, 9 * log2N);
    const std::vector<float> re0 = re, im0 = im;
    ASSERT_EQ(ComplexFft(re.data(), im.data(), n, log2N, -1), 1);
    ASSERT_EQ(ComplexFft(re.data(), im.data(), n, log2N, +1), 1);
    double errSq = 0.0;
    for (int i = 0; i < n; ++i) errSq += std::pow(re[i] - re0[i], 2) + std::pow(im[i] - im0[i], 2);
    EXPECT_LT(std::sqrt(errSq / n) / std::sqrt(2.0 / 3.0), 2.0 * ErrorBound(n)) << "N = " << n;
  }
}

TEST(ComplexFft, RefusesBadArgumentsAndLeavesArraysUntouched) {
  std::vector<float> re = Noise(16, 3), im = Noise(16, 4);
  const std::vector<float> re0 = re, im0 = im;
  struct Case {
    float* re;
    float* im;
    int n, log2N, direction;
  } cases[] = {
      {nullptr, im.data(), 16, 4, -1},                                          // missing array
      {re.data(), nullptr, 16, 4, -1},       {re.data(), im.data(), 16, 4, 0},  // direction neither -1 nor +1
      {re.data(), im.data(), 16, 4, 2},      {re.data(), im.data(), 16, 3, -1},  // log2N does not match N
      {re.data(), im.data(), 16, 5, -1},     {re.data(), im.data(), 12, 4, -1},  // not a power of two
      {re.data(), im.data(), 2, 1, -1},                                          // log2N below 2
      {re.data(), im.data(), 32768, 15, -1},                                     // log2N above 14
      {re.data(), im.data(), 0, 0, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ComplexFft(c.re, c.im, c.n, c.log2N, c.direction), 0) << c.n << " " << c.log2N;
    EXPECT_EQ(re, re0);
    EXPECT_EQ(im, im0);
  }
}

// A real cosine at bin 5 of 64 gives N/2 at bins 5 and 59, nothing elsewhere; a constant gives N at 0.
TEST(RealFft, KnownVectorsAndLengths) {
  const int n = 64;
  std::vector<float> src(n), re(n), im(n, 123.0f);
  for (int j = 0; j < n; ++j) src[j] = static_cast<float>(std::cos(2 * kPi * 5 * j / n));
  ASSERT_EQ(RealFft(n, src.data(), re.data(), im.data()), 1);
  for (int k = 0; k < n; ++k) {
    const double want = (k == 5 || k == 59) ? n / 2.0 : 0.0;
    EXPECT_NEAR(re[k], want, 1e-4) << k;
    EXPECT_NEAR(im[k], 0.0, 1e-4) << k;
  }
  // In place: src may be re.
  std::vector<float> ones(8, 1.0f), im8(8);
  ASSERT_EQ(RealFft(8, ones.data(), ones.data(), im8.data()), 1);
  EXPECT_FLOAT_EQ(ones[0], 8.0f);
  for (int k = 1; k < 8; ++k) EXPECT_FLOAT_EQ(std::abs(std::complex<float>(ones[k], im8[k])), 0.0f);

  std::vector<float> big(32768), bigIm(32768);
  EXPECT_EQ(RealFft(2, big.data(), big.data(), bigIm.data()), 0);
  EXPECT_EQ(RealFft(32768, big.data(), big.data(), bigIm.data()), 0);
  EXPECT_EQ(RealFft(16384, big.data(), big.data(), bigIm.data()), 1);
  EXPECT_EQ(RealFft(16, nullptr, big.data(), bigIm.data()), 0);
}

}  // namespace
}  // namespace vestrel
