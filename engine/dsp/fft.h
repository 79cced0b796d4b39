#pragma once

namespace vestrel {

// Radix-2 decimation-in-frequency transform of single-precision arrays, in place.

// Twiddle seeds by k = 0..13: row 0 cos(pi / 2^k), row 1 -sin(pi / 2^k). A stage of span
// 2^(k+1) rotates its twiddle by one seed per butterfly column instead of calling sin/cos.
extern const float FftTwiddleSeeds[2][14];

// k for n = 2^k with k in 2..14 (n = 4..16384), else -1.
int Log2PowerOfTwo(int n);

// In-place complex transform of re[0..n) + i im[0..n). direction -1: forward, kernel
// e^(-i 2 pi n k / N), unscaled; +1: inverse, divided by N. log2N must be the log of n, within
// 2..14 (n = 4..16384). Returns 1 on success, 0 when refused (the arrays are then untouched).
int ComplexFft(float* re, float* im, int n, int log2N, int direction);

// Forward transform of n real samples (n = 4..16384): re[k] + i im[k] = sum src[j] e^(-i 2 pi j k / n),
// unscaled. src may equal re. Returns 1 on success, 0 when refused.
int RealFft(int n, const float* src, float* re, float* im);

}  // namespace vestrel
