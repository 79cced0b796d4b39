#include "engine/codes/reed_solomon31.h"

#include <algorithm>
#include <cstring>

namespace vestrel {

TReedSolomon31::TReedSolomon31() {
  // x^5 + x^3 + 1: 1, 0, 0, 1, 0, 1 from x^0 up.
  poly_ = {1, 0, 0, 1, 0, 1};
  Init(8);
}

bool TReedSolomon31::Init(int t) {
  if (t < 1 || t > kMaxT) return false;
  t_ = t;
  k_ = kN - 2 * t;

  uint8_t reduce = 0;  // x^5 expressed in the lower powers
  for (int i = 0; i < 5; ++i) reduce |= static_cast<uint8_t>(poly_[i] << i);
  uint8_t x = 1;
  for (int i = 0; i < kN; ++i) {
    powerOf_[i] = x;
    x = static_cast<uint8_t>(x << 1);
    if (x & 0x20) x = static_cast<uint8_t>((x & 0x1F) ^ reduce);
  }
  powerOf_[kN] = powerOf_[0];
  logOf_[0] = -1;
  for (int i = 0; i < kN; ++i) logOf_[powerOf_[i]] = static_cast<int8_t>(i);
  for (int a = 0; a < 32; ++a) {
    inverse_[a] = a == 0 ? 0 : powerOf_[(kN - logOf_[a]) % kN];
    for (int b = 0; b < 32; ++b)
      product_[a][b] = (a == 0 || b == 0) ? 0 : powerOf_[(logOf_[a] + logOf_[b]) % kN];
  }

  // g(x) = (x + alpha^1)(x + alpha^2)...(x + alpha^2t), built in polynomial form.
  std::array<uint8_t, 2 * kMaxT + 1> g{};
  g[0] = 1;
  for (int j = 1; j <= 2 * t; ++j) {
    const uint8_t root = powerOf_[j % kN];
    for (int i = j; i >= 1; --i) g[i] = static_cast<uint8_t>(g[i - 1] ^ Mul(root, g[i]));
    g[0] = Mul(root, g[0]);
  }
  for (int i = 0; i <= 2 * t; ++i) generator_[i] = g[i];

  for (int i = 0; i < kN; ++i) {
    for (int v = 0; v < 32; ++v) {
      std::array<uint8_t, 32>& s = syndromeTable_[i][v];
      s.fill(0);
      if (v == 0) continue;
      for (int j = 0; j < 2 * t; ++j) s[j] = Mul(static_cast<uint8_t>(v), powerOf_[(i * (j + 1)) % kN]);
    }
  }
  for (int j = 0; j <= kMaxT; ++j) {
    for (int v = 0; v < 32; ++v) {
      std::array<uint8_t, 32>& row = chienTable_[j][v];
      row.fill(0);
      for (int i = 0; i < kN; ++i) row[i] = Mul(static_cast<uint8_t>(v), powerOf_[(j * (kN - i)) % kN]);
    }
  }
  return true;
}

void TReedSolomon31::Encode(const uint8_t* info, uint8_t* parity) const {
  const int np = 2 * t_;
  std::array<uint8_t, 2 * kMaxT> reg{};
  // Division by the monic g(x) in a feedback shift register, the highest information symbol
  // first; what remains is info(x) x^2t mod g(x).
  for (int j = k_ - 1; j >= 0; --j) {
    const uint8_t feedback = static_cast<uint8_t>((info[j] & 31) ^ reg[np - 1]);
    for (int i = np - 1; i >= 1; --i) reg[i] = static_cast<uint8_t>(reg[i - 1] ^ Mul(feedback, generator_[i]));
    reg[0] = Mul(feedback, generator_[0]);
  }
  for (int i = 0; i < np; ++i) parity[i] = reg[i];
}

bool TReedSolomon31::Syndromes(const uint8_t* r) {
  uint64_t acc[4] = {0, 0, 0, 0};
  for (int i = 0; i < kN; ++i) {
    uint64_t w[4];
    std::memcpy(w, syndromeTable_[i][r[i] & 31].data(), sizeof w);
    acc[0] ^= w[0];
    acc[1] ^= w[1];
    acc[2] ^= w[2];
    acc[3] ^= w[3];
  }
  std::memcpy(syndrome_.data(), acc, sizeof acc);
  return (acc[0] | acc[1] | acc[2] | acc[3]) != 0;
}

int TReedSolomon31::Decode(const uint8_t* received, uint8_t* corrected) {
  changed_ = 0;
  if (corrected != received) std::memcpy(corrected, received, kN);
  for (int i = 0; i < kN; ++i) corrected[i] &= 31;
  if (!Syndromes(corrected)) return 0;

  // Berlekamp-Massey: the shortest feedback shift register Lambda that generates the syndromes.
  const int np = 2 * t_;
  lambda_.fill(0);
  prev_.fill(0);
  lambda_[0] = 1;
  prev_[0] = 1;
  int length = 0;  // L, the degree of Lambda
  int shift = 1;   // m: steps since prev_ was saved
  int prevDegree = 0;
  uint8_t prevDiscrepancy = 1;
  for (int n = 0; n < np; ++n) {
    uint8_t d = syndrome_[n];
    for (int i = 1; i <= length; ++i) d ^= Mul(lambda_[i], syndrome_[n - i]);
    if (d == 0) {
      ++shift;
      continue;
    }
    // Lambda -= (d / b) x^m B; the terms beyond x^2t never matter (and stay below them).
    const uint8_t scale = Mul(d, inverse_[prevDiscrepancy]);
    const int top = std::min(prevDegree, np - shift);
    if (2 * length <= n) {
      const int degree = std::max(length, top + shift);
      for (int i = 0; i <= degree; ++i) temp_[i] = lambda_[i];
      for (int i = 0; i <= top; ++i) lambda_[i + shift] ^= Mul(scale, prev_[i]);
      for (int i = 0; i <= length; ++i) prev_[i] = temp_[i];
      for (int i = length + 1; i <= prevDegree; ++i) prev_[i] = 0;
      prevDegree = length;
      length = n + 1 - length;
      prevDiscrepancy = d;
      shift = 1;
    } else {
      for (int i = 0; i <= top; ++i) lambda_[i + shift] ^= Mul(scale, prev_[i]);
      ++shift;
    }
  }
  if (length > t_) return 1;

  // Chien search: position i is in error when Lambda(alpha^-i) = 0.
  // Lambda at every alpha^-i at once: the XOR of the rows of its coefficients.
  uint64_t value[4] = {0, 0, 0, 0};
  for (int j = 0; j <= length; ++j) {
    uint64_t w[4];
    std::memcpy(w, chienTable_[j][lambda_[j]].data(), sizeof w);
    value[0] ^= w[0];
    value[1] ^= w[1];
    value[2] ^= w[2];
    value[3] ^= w[3];
  }
  std::array<uint8_t, 32> at;
  std::memcpy(at.data(), value, sizeof value);
  int roots = 0;
  for (int i = 0; i < kN; ++i) {
    if (at[i] != 0) continue;
    if (roots == length) return 1;
    rootPos_[roots] = static_cast<uint8_t>(i);
    rootInv_[roots] = static_cast<uint8_t>((kN - i) % kN);  // log of alpha^-i
    ++roots;
  }
  if (roots != length) return 1;

  // Forney: Omega = S Lambda mod x^2t; the error at X = alpha^i is Omega(X^-1) / Lambda'(X^-1).
  for (int i = 0; i < np; ++i) {
    uint8_t o = 0;
    for (int j = 0; j <= i && j <= length; ++j) o ^= Mul(lambda_[j], syndrome_[i - j]);
    omega_[i] = o;
  }
  for (int r = 0; r < roots; ++r) {
    const uint8_t x = powerOf_[rootInv_[r]];  // X^-1
    // Horner's rule for Omega(X^-1) and for Lambda'(X^-1) = sum of the odd terms, lambda_i X^-(i-1).
    uint8_t num = 0;
    for (int i = np - 1; i >= 0; --i) num = static_cast<uint8_t>(Mul(num, x) ^ omega_[i]);
    const uint8_t x2 = Mul(x, x);
    uint8_t den = 0;
    for (int i = length - ((length & 1) ? 0 : 1); i >= 1; i -= 2) den = static_cast<uint8_t>(Mul(den, x2) ^ lambda_[i]);
    if (den == 0) return 1;
    if (num == 0) continue;
    corrected[rootPos_[r]] ^= Mul(num, inverse_[den]);
    ++changed_;
  }
  return 0;
}

int TReedSolomon31::BlockDecode(const uint8_t* received, uint8_t* corrected) {
  if (Decode(received, corrected) != 0) return kN;
  return changed_;
}

}  // namespace vestrel
