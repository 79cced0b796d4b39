#include "engine/modes/psk/psk_front_end.h"

#include <cstring>

#include "engine/dsp/decimator3.h"
#include "engine/dsp/fsk_detector.h"
#include "engine/modes/psk/psk_filters.h"

namespace vestrel {

namespace {

// Two doubles, the I and Q lanes of one TapRing<2> frame, in one register.
typedef double Lanes2 __attribute__((vector_size(16)));

Lanes2 Load(const double* p) {
  Lanes2 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// y[l] = sum over i < n of newest[l - 2 i] x taps[i] for the two lanes of a TapRing<2>, over a
// symmetric table (taps[n - 1 - i] = taps[i]): the two frames that share a tap are added
// first, and four partial sums run side by side so the additions need not wait on each other.
// Rounds differently from the plain sum, by a few units in the last place.
template <size_t N>
void SymmetricConvolve2(const double* newest, const std::array<double, N>& taps, double* y) {
  constexpr size_t n = N;
  constexpr size_t pairs = n / 2;
  const double* h = taps.data();
  const double* oldest = newest - 2 * static_cast<ptrdiff_t>(n - 1);
  constexpr size_t quads = pairs / 4 * 4;
  Lanes2 a = {0, 0}, b = {0, 0}, c = {0, 0}, d = {0, 0};
  for (size_t i = 0; i < quads; i += 4) {
    const double* p = newest - 2 * static_cast<ptrdiff_t>(i);
    const double* q = oldest + 2 * i;
    a += (Load(p) + Load(q)) * h[i];
    b += (Load(p - 2) + Load(q + 2)) * h[i + 1];
    c += (Load(p - 4) + Load(q + 4)) * h[i + 2];
    d += (Load(p - 6) + Load(q + 6)) * h[i + 3];
  }
  if constexpr (pairs > quads) a += (Load(newest - 2 * quads) + Load(oldest + 2 * quads)) * h[quads];
  if constexpr (pairs > quads + 1)
    b += (Load(newest - 2 * quads - 2) + Load(oldest + 2 * quads + 2)) * h[quads + 1];
  if constexpr (pairs > quads + 2)
    c += (Load(newest - 2 * quads - 4) + Load(oldest + 2 * quads + 4)) * h[quads + 2];
  if constexpr (n & 1) d += Load(newest - 2 * pairs) * h[pairs];
  const Lanes2 sum = (a + b) + (c + d);
  y[0] = sum[0];
  y[1] = sum[1];
}

}  // namespace

TPskFrontEnd::TPskFrontEnd(const SineTable& sine) : sine_(&sine) {
  pre_.SetLength(static_cast<int>(kPskPre.size()));
  pre49_.SetLength(static_cast<int>(kPre49.size()));
  dec3a_.SetLength(static_cast<int>(kC27.size()));
  dec3b_.SetLength(static_cast<int>(kC27.size()));
  SetRate(31);
}

int TPskFrontEnd::SetRate(int rateCode) {
  rateCode_ = rateCode == 125 ? 125 : rateCode == 63 ? 63 : 31;
  mf_.SetLength(static_cast<int>(rateCode_ == 125 ? kMf85.size() : kMf79.size()));
  Reset();
  return rateCode_;
}

bool TPskFrontEnd::SetStep(int32_t step) {
  if (step <= 0 || step >= static_cast<int32_t>(SineTable::kSize / 2)) return false;
  step_ = static_cast<uint32_t>(step);
  return true;
}

void TPskFrontEnd::Reset() {
  // The cosine is read a quarter turn on from the sine phase: it starts at 8192.
  phase_ = 0;
  count1_ = count2_ = count3_ = 0;
  I = Q = 0.0;
  pre_.Clear();
  pre49_.Clear();
  dec3a_.Clear();
  dec3b_.Clear();
  mf_.Clear();
}

bool TPskFrontEnd::Decimate3Twice(const double* in) {
  dec3a_.Push(in);
  if (++count2_ < 3) return false;
  count2_ = 0;
  double y[2];
  SymmetricConvolve2(dec3a_.Newest(), kC27, y);
  dec3b_.Push(y);
  if (++count3_ < 3) return false;
  count3_ = 0;
  SymmetricConvolve2(dec3b_.Newest(), kC27, y);
  Matched(y);
  return true;
}

void TPskFrontEnd::Matched(const double* in) {
  mf_.Push(in);
  double y[2];
  if (rateCode_ == 125)
    SymmetricConvolve2(mf_.Newest(), kMf85, y);
  else
    SymmetricConvolve2(mf_.Newest(), kMf79, y);
  I = y[0];
  Q = y[1];
}

bool TPskFrontEnd::PreThenDecimate3Twice() {
  double y[2];
  SymmetricConvolve2(pre_.Newest(), kPskPre, y);
  return Decimate3Twice(y);
}

bool TPskFrontEnd::PreThenPre49() {
  double y[2];
  SymmetricConvolve2(pre_.Newest(), kPskPre, y);
  pre49_.Push(y);
  if (count2_++ & 1u) return false;
  SymmetricConvolve2(pre49_.Newest(), kPre49, y);
  Matched(y);
  return true;
}

}  // namespace vestrel
