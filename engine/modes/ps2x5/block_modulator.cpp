#include "engine/modes/ps2x5/block_modulator.h"

#include <cstring>

namespace vestrel {

void TBlockModulator::BuildBlock(const BlockBytes& bytes, bool end, int length, BlockSymbols& symbols,
                                 BlockSymbols& echo) {
  symbols = BuildBlockSymbols(codec_, bytes, end, counter_);
  echo.fill(0);
  for (int i = 0; i < length && i < kBlockBytes; ++i) echo[kEchoFirst + kEchoStep * i] = bytes[i];
  counter_ = NextBlockCounter(counter_);
}

uint32_t TBlockModulator::SpanLength(int64_t lengthMilli) const {
  if (acc_ >= lengthMilli) return 0;
  return static_cast<uint32_t>((lengthMilli - acc_ + 999) / 1000);
}

uint32_t TBlockModulator::WriteSpan(int16_t* out, int64_t lengthMilli, int32_t step) {
  const uint32_t n = SpanLength(lengthMilli);
  uint32_t p = phase_;
  const uint32_t s = static_cast<uint32_t>(step);
  const int16_t* table = sine_.data();
  for (uint32_t i = 0; i < n; ++i) {
    p = (p + s) & SineTable::kMask;
    out[i] = table[p];
  }
  phase_ = p;
  acc_ += 1000 * static_cast<int64_t>(n) - lengthMilli;
  return n;
}

uint32_t TBlockModulator::WriteRamp(int16_t* out, int64_t lengthMilli, int32_t step, bool up) {
  const uint32_t n = WriteSpan(out, lengthMilli, step);
  if (n == 0) return 0;
  // Envelope index 0 .. 8191 across the piece: sine from 0 up, or the cosine down to 0.
  const int16_t* table = sine_.data();
  for (uint32_t i = 0; i < n; ++i) {
    const uint32_t at = static_cast<uint32_t>(uint64_t{i} * SineTable::kQuarter / n);
    const int32_t env = table[up ? at : SineTable::kQuarter + at];
    out[i] = static_cast<int16_t>(int32_t{out[i]} * env / SineTable::kAmplitude);
  }
  return n;
}

uint32_t TBlockModulator::WriteZeros(int16_t* out, uint32_t n) {
  std::memset(out, 0, n * sizeof(int16_t));
  return n;
}

}  // namespace vestrel
