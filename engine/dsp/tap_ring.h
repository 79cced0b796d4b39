#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace vestrel {

// Delay line of frames of Lanes doubles (one lane per parallel filter) that a convolution
// reads in one piece: the ring holds a power of two M >= Length() frames and every frame is
// written twice, at p and p + M, so the newest Length() frames always lie contiguous before
// Newest(). Indexing is by mask; there is no shift per sample and no copy per wrap.
template <int Lanes>
class TapRing {
 public:
  static constexpr int kMaxLength = 1 << 14;

  // n: window length in frames, 1..kMaxLength. Refused (false, ring unchanged) outside.
  bool SetLength(int n) {
    if (n < 1 || n > kMaxLength) return false;
    uint32_t m = 1;
    while (m < static_cast<uint32_t>(n)) m <<= 1;
    length_ = n;
    size_ = m;
    buf_.assign(static_cast<size_t>(2 * m) * Lanes, 0.0);
    pos_ = 0;
    return true;
  }

  void Clear() {
    buf_.assign(buf_.size(), 0.0);
    pos_ = 0;
  }

  int Length() const { return length_; }
  bool Empty() const { return length_ == 0; }

  // frame: Lanes values. Only valid after a successful SetLength.
  void Push(const double* frame) {
    pos_ = (pos_ + 1) & (size_ - 1);
    double* lo = buf_.data() + static_cast<size_t>(pos_) * Lanes;
    double* hi = lo + static_cast<size_t>(size_) * Lanes;
    if constexpr (Lanes == 4) {
      // One whole-frame store each, gathered in registers: the convolution reads the frame
      // back at once in one piece, which a processor forwards only from a store of that size.
      typedef double V4 __attribute__((vector_size(32)));
      const V4 v = {frame[0], frame[1], frame[2], frame[3]};
      std::memcpy(lo, &v, sizeof v);
      std::memcpy(hi, &v, sizeof v);
    } else {
      for (int l = 0; l < Lanes; ++l) lo[l] = hi[l] = frame[l];
    }
  }

  // The newest frame; the frame i samples older is at Newest() - i * Lanes, i < Length().
  const double* Newest() const { return buf_.data() + static_cast<size_t>(pos_ + size_) * Lanes; }

 private:
  std::vector<double> buf_;
  uint32_t size_ = 0;
  uint32_t pos_ = 0;
  int length_ = 0;
};

// out[l] = sum over i < n of newest[l - i * Lanes] x taps[i], each lane summed in the order of
// i (newest sample first): the arithmetic of the plain single filters of the reference chain.
template <int Lanes>
inline void ConvolveInOrder(const double* newest, const double* taps, int n, double* out) {
  double acc[Lanes] = {};
  for (int i = 0; i < n; ++i) {
    const double* f = newest - static_cast<ptrdiff_t>(i) * Lanes;
    const double h = taps[i];
    for (int l = 0; l < Lanes; ++l) acc[l] += f[l] * h;
  }
  for (int l = 0; l < Lanes; ++l) out[l] = acc[l];
}

// The same sum for the fast chain. The lanes are independent, so
// the compiler vectorises across them; each lane is summed in four interleaved partial sums
// (taps i, i + 4, ...) added at the end, so that the additions do not wait on one another. The
// result differs from a plain one-filter loop by rounding only (a few units in the last place
// of the largest product).
template <int Lanes>
inline void ConvolveLanes(const double* newest, const double* taps, int n, double* out) {
  constexpr int kSums = 4;
  double acc[kSums][Lanes] = {};
  int i = 0;
  for (; i + kSums <= n; i += kSums) {
    for (int k = 0; k < kSums; ++k) {
      const double* f = newest - static_cast<ptrdiff_t>(i + k) * Lanes;
      const double h = taps[i + k];
      for (int l = 0; l < Lanes; ++l) acc[k][l] += f[l] * h;
    }
  }
  for (; i < n; ++i) {
    const double* f = newest - static_cast<ptrdiff_t>(i) * Lanes;
    const double h = taps[i];
    for (int l = 0; l < Lanes; ++l) acc[0][l] += f[l] * h;
  }
  for (int l = 0; l < Lanes; ++l) out[l] = (acc[0][l] + acc[1][l]) + (acc[2][l] + acc[3][l]);
}

// The same for a symmetric table (taps[n - 1 - i] = taps[i]): the two samples that share a
// tap are added first, so the filter costs half the multiplications.
template <int Lanes>
inline void ConvolveLanesSymmetric(const double* newest, const double* taps, int n, double* out) {
  constexpr int kSums = 4;
  double acc[kSums][Lanes] = {};
  const int half = n / 2;
  const double* oldest = newest - static_cast<ptrdiff_t>(n - 1) * Lanes;
  int i = 0;
  for (; i + kSums <= half; i += kSums) {
    for (int k = 0; k < kSums; ++k) {
      const double* a = newest - static_cast<ptrdiff_t>(i + k) * Lanes;
      const double* b = oldest + static_cast<ptrdiff_t>(i + k) * Lanes;
      const double h = taps[i + k];
      for (int l = 0; l < Lanes; ++l) acc[k][l] += (a[l] + b[l]) * h;
    }
  }
  for (; i < half; ++i) {
    const double* a = newest - static_cast<ptrdiff_t>(i) * Lanes;
    const double* b = oldest + static_cast<ptrdiff_t>(i) * Lanes;
    const double h = taps[i];
    for (int l = 0; l < Lanes; ++l) acc[0][l] += (a[l] + b[l]) * h;
  }
  if (n & 1) {
    const double* m = newest - static_cast<ptrdiff_t>(half) * Lanes;
    for (int l = 0; l < Lanes; ++l) acc[1][l] += m[l] * taps[half];
  }
  for (int l = 0; l < Lanes; ++l) out[l] = (acc[0][l] + acc[1][l]) + (acc[2][l] + acc[3][l]);
}

// Four lanes, the FSK front end's A-sine, B-sine, A-cosine, B-cosine: one vector of four
// doubles per frame (two SSE2 registers, or one AVX register where the caller is compiled for
// it), the same sums in the same order as the generic versions.
// (No vector travels by value through a call: its passing would differ between the clones.)
namespace lanes4 {
typedef double V4 __attribute__((vector_size(32)));
// acc += frame x h
inline void MulAdd(V4& acc, const double* frame, double h) {
  V4 v;
  std::memcpy(&v, frame, sizeof v);
  acc += v * h;
}
// acc += (frame a + frame b) x h
inline void MulAddPair(V4& acc, const double* a, const double* b, double h) {
  V4 u;
  V4 v;
  std::memcpy(&u, a, sizeof u);
  std::memcpy(&v, b, sizeof v);
  acc += (u + v) * h;
}
inline void StoreSum(double* out, const V4& a0, const V4& a1, const V4& a2, const V4& a3) {
  const V4 r = (a0 + a1) + (a2 + a3);
  std::memcpy(out, &r, sizeof r);
}
}  // namespace lanes4

template <>
inline void ConvolveLanes<4>(const double* newest, const double* taps, int n, double* out) {
  using lanes4::MulAdd;
  lanes4::V4 a0 = {}, a1 = {}, a2 = {}, a3 = {};
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    const double* f = newest - static_cast<ptrdiff_t>(i) * 4;
    MulAdd(a0, f, taps[i]);
    MulAdd(a1, f - 4, taps[i + 1]);
    MulAdd(a2, f - 8, taps[i + 2]);
    MulAdd(a3, f - 12, taps[i + 3]);
  }
  for (; i < n; ++i) MulAdd(a0, newest - static_cast<ptrdiff_t>(i) * 4, taps[i]);
  lanes4::StoreSum(out, a0, a1, a2, a3);
}

template <>
inline void ConvolveLanesSymmetric<4>(const double* newest, const double* taps, int n, double* out) {
  using lanes4::MulAddPair;
  lanes4::V4 a0 = {}, a1 = {}, a2 = {}, a3 = {};
  const int half = n / 2;
  const double* oldest = newest - static_cast<ptrdiff_t>(n - 1) * 4;
  int i = 0;
  for (; i + 4 <= half; i += 4) {
    const double* a = newest - static_cast<ptrdiff_t>(i) * 4;
    const double* b = oldest + static_cast<ptrdiff_t>(i) * 4;
    MulAddPair(a0, a, b, taps[i]);
    MulAddPair(a1, a - 4, b + 4, taps[i + 1]);
    MulAddPair(a2, a - 8, b + 8, taps[i + 2]);
    MulAddPair(a3, a - 12, b + 12, taps[i + 3]);
  }
  for (; i < half; ++i)
    MulAddPair(a0, newest - static_cast<ptrdiff_t>(i) * 4, oldest + static_cast<ptrdiff_t>(i) * 4, taps[i]);
  if (n & 1) lanes4::MulAdd(a1, newest - static_cast<ptrdiff_t>(half) * 4, taps[half]);
  lanes4::StoreSum(out, a0, a1, a2, a3);
}

// True when taps[n - 1 - i] = taps[i] for every i.
inline bool IsSymmetric(const double* taps, int n) {
  for (int i = 0; i < n / 2; ++i)
    if (taps[i] != taps[n - 1 - i]) return false;
  return true;
}

// Builds a symmetric tap table (entry n - 1 - i = entry i) from its first (n + 1) / 2 entries.
template <size_t N, size_t H>
constexpr std::array<double, N> MirrorTaps(const double (&half)[H]) {
  static_assert(H == (N + 1) / 2, "half table length");
  std::array<double, N> t{};
  for (size_t i = 0; i < N; ++i) t[i] = i < H ? half[i] : half[N - 1 - i];
  return t;
}

}  // namespace vestrel
