#include "engine/modes/mfsk/mfsk_interleaver.h"

namespace vestrel {

namespace {
// 4 bits a symbol run through 10 stages, 5 bits through 5: both spread a symbol over some
// 30 symbols (MFSK16) or 20 (MFSK8), about two seconds of either.
int StagesOf(int bits) {
  return bits == 5 ? 5 : 10;
}
}  // namespace

void TMfskInterleaver::SetBits(int bits) {
  bits_ = bits == 5 ? 5 : 4;
  stages_ = StagesOf(bits_);
  Reset();
}

uint32_t TMfskInterleaver::Interleave(uint32_t value) {
  const int d = bits_;
  for (int s = 0; s < stages_; ++s) {
    uint32_t out = 0;
    for (int j = 0; j < d; ++j) {
      uint32_t& row = rows_[s][j];
      row = (row << 1) | ((value >> j) & 1u);
      out |= ((row >> (d - 1 - j)) & 1u) << j;
    }
    value = out;
  }
  return value;
}

void TMfskDeinterleaver::SetBits(int bits) {
  bits_ = bits == 5 ? 5 : 4;
  stages_ = StagesOf(bits_);
  Reset();
}

void TMfskDeinterleaver::Deinterleave(uint8_t* soft) {
  const int d = bits_;
  for (int s = 0; s < stages_; ++s) {
    for (int j = 0; j < d; ++j) {
      std::array<uint8_t, kMfskMaxBits>& row = cells_[s][j];
      for (int k = 0; k + 1 < d; ++k) row[k] = row[k + 1];
      row[d - 1] = soft[j];
      soft[j] = row[j];
    }
  }
}

}  // namespace vestrel
