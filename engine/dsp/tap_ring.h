#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
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
    for (int l = 0; l < Lanes; ++l) lo[l] = hi[l] = frame[l];
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
// i (newest sample first), so every lane gives the same double as a plain one-filter loop.
// The lanes are independent, which lets the compiler vectorise across them without
// reassociating any sum.
template <int Lanes>
inline void ConvolveLanes(const double* newest, const double* taps, int n, double* out) {
  double acc[Lanes] = {};
  for (int i = 0; i < n; ++i) {
    const double* f = newest - static_cast<ptrdiff_t>(i) * Lanes;
    const double h = taps[i];
    for (int l = 0; l < Lanes; ++l) acc[l] += f[l] * h;
  }
  for (int l = 0; l < Lanes; ++l) out[l] = acc[l];
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
