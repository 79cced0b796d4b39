#pragma once
#include <array>
#include <cstdint>

namespace vestrel {

// The diagonal bit interleaver of the MFSK modes and its mirror: a cascade of stages, each
// delaying the bits of a symbol by different amounts, so a burst that spoils a few symbols
// reaches the decoder as scattered single errors. MFSK16: 10 stages of 4 bits; MFSK8: 5 stages
// of 5 bits. Every bit is delayed by D - 1 symbols a stage in all: the interleaver delays bit j
// (j = 0 the least significant) by D - 1 - j, the deinterleaver its bit j (j = 0 the most
// significant, the same bit on the air) by D - 1 - j.
inline constexpr int kMfskMaxBits = 5;
inline constexpr int kMfskMaxStages = 10;

// Transmit side: a symbol value in, the interleaved value out.
class TMfskInterleaver {
 public:
  // bits: 4 (10 stages) or 5 (5 stages); clears the rows.
  void SetBits(int bits);
  void Reset() { rows_ = {}; }
  uint32_t Interleave(uint32_t value);

 private:
  int bits_ = 4;
  int stages_ = 10;
  // Row j of each stage: bit j of the values of the last symbols, the newest in bit 0.
  std::array<std::array<uint32_t, kMfskMaxBits>, kMfskMaxStages> rows_{};
};

// Receive side: the soft bits of one symbol in (index 0 the most significant), the
// deinterleaved soft bits out, in place.
class TMfskDeinterleaver {
 public:
  // bits: 4 (10 stages) or 5 (5 stages); clears the arrays.
  void SetBits(int bits);
  void Reset() { cells_ = {}; }
  void Deinterleave(uint8_t* soft);

 private:
  int bits_ = 4;
  int stages_ = 10;
  // Each stage a D x D array: row j holds soft bit j of the last D symbols, the newest in the
  // last column.
  std::array<std::array<std::array<uint8_t, kMfskMaxBits>, kMfskMaxBits>, kMfskMaxStages> cells_{};
};

}  // namespace vestrel
